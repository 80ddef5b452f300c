// Version resources are read through the version API; the comparison works on the normalised
// strings with the dots removed, so the leading zeros keep each part in its decimal place.
#include "util/versions.h"

#include "util/errors.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/text.h"

#include <windows.h>

#include <charconv>
#include <cstdint>
#include <stdexcept>
#include <vector>

std::int32_t ToVersionNumber(const std::string& text)
{
    std::string digits;
    for (char c : text)
        if (c != '.')
            digits += c;
    size_t start = digits.find_first_not_of(' ');
    if (start == std::string::npos)
        start = digits.size();
    // One sign at most: "+" is skipped here, "-" read as part of the number.
    if (start + 1 < digits.size() && digits[start] == '+' && digits[start + 1] != '-')
        ++start;
    std::int32_t number = 0;
    const char* first = digits.data() + start;
    const char* last = digits.data() + digits.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last || first == last)
        throw NumberError(digits);
    return number;
}

namespace {

// version.dll is no KnownDLL, so it is loaded from the system folder alone.
class VersionApi {
public:
    VersionApi()
        : library_("version.dll"),
          infoSize_(library_.Get<decltype(&GetFileVersionInfoSizeA)>("GetFileVersionInfoSizeA")),
          info_(library_.Get<decltype(&GetFileVersionInfoA)>("GetFileVersionInfoA")),
          query_(library_.Get<decltype(&VerQueryValueA)>("VerQueryValueA"))
    {
    }

    // The fixed file info of path's version resource; false when it has none.
    bool FixedInfo(const std::string& path, VS_FIXEDFILEINFO& fixed) const
    {
        if (!infoSize_ || !info_ || !query_)
            return false;
        DWORD ignored = 0;
        const DWORD size = infoSize_(path.c_str(), &ignored);
        if (size == 0)
            return false;
        std::vector<char> block(size);
        if (!info_(path.c_str(), 0, size, block.data()))
            return false;
        VS_FIXEDFILEINFO* found = nullptr;
        UINT foundSize = 0;
        if (!query_(block.data(), "\\", reinterpret_cast<void**>(&found), &foundSize) || !found ||
            foundSize < sizeof(VS_FIXEDFILEINFO))
            return false;
        fixed = *found;
        return true;
    }

private:
    SystemLibrary library_;
    decltype(&GetFileVersionInfoSizeA) infoSize_;
    decltype(&GetFileVersionInfoA) info_;
    decltype(&VerQueryValueA) query_;
};

}  // namespace

std::string GetFileVersion(const std::string& path)
{
    const std::string file = Trim(path).empty() ? OwnExecutablePath() : path;
    VS_FIXEDFILEINFO info = {};
    if (!VersionApi().FixedInfo(file, info))
        return "0.0.0.0";
    return std::to_string(HIWORD(info.dwFileVersionMS)) + '.' + std::to_string(LOWORD(info.dwFileVersionMS)) +
           '.' + std::to_string(HIWORD(info.dwFileVersionLS)) + '.' + std::to_string(LOWORD(info.dwFileVersionLS));
}

std::string NormalizeVersion(const std::string& raw)
{
    std::string parts[4];
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t dot = raw.find('.', start);
        if (dot == std::string::npos) {
            parts[i] = raw.substr(start);
            start = raw.size();
            break;
        }
        parts[i] = raw.substr(start, dot - start);
        start = dot + 1;
    }
    if (start < raw.size())
        parts[3] = raw.substr(start);

    std::string result = parts[0];
    for (int i = 1; i < 4; ++i)
        result += '.' + (parts[i].size() == 1 ? '0' + parts[i] : parts[i]);
    return result;
}

bool IsVersionNewer(const std::string& candidate, const std::string& reference)
{
    return ToVersionNumber(candidate) > ToVersionNumber(reference);
}
