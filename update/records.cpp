#include "update/records.h"

namespace records {

namespace {
constexpr char kKeyOpen[] = "key=\"";
constexpr char kValueOpen[] = "value=\"";
constexpr size_t kMaxValue = 255;
}  // namespace

std::string_view Key(const std::string& line)
{
    const size_t open = sizeof(kKeyOpen) - 1;
    if (line.compare(0, open, kKeyOpen) != 0)
        return {};
    const size_t close = line.find('"', open);
    return close == std::string::npos ? std::string_view() : std::string_view(line).substr(open, close - open);
}

std::string Value(const std::string& line)
{
    const size_t at = line.find(kValueOpen);
    if (at == std::string::npos)
        return {};
    const std::string rest = line.substr(at + sizeof(kValueOpen) - 1, kMaxValue);
    return rest.substr(0, rest.find('"'));
}

std::string DataVersionLine(const std::string& version)
{
    return std::string(kKeyOpen) + kDataVersion + "\"; " + kValueOpen + version + "\"; enabled=\"\"";
}

}  // namespace records
