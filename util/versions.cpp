// Version resources are read through the version API; the comparison works on the normalised
// strings with the dots removed, so the leading zeros keep each part in its decimal place.
#include "util/versions.h"

#include "resources/resource.h"
#include "update/u_context.h"
#include "util/files.h"
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
    if (start < digits.size() && digits[start] == '+')
        ++start;
    std::int32_t number = 0;
    const char* first = digits.data() + start;
    const char* last = digits.data() + digits.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last || first == last)
        throw std::range_error(FormatText(IDS_NOT_AN_INTEGER, {digits}));
    return number;
}

std::string GetFileVersion(const std::string& path)
{
    const std::string file = Trim(path).empty() ? OwnExecutablePath() : path;
    const std::string none = "0.0.0.0";

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
    if (size == 0)
        return none;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(file.c_str(), 0, size, block.data()))
        return none;

    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &infoSize) || !info ||
        infoSize < sizeof(VS_FIXEDFILEINFO))
        return none;

    return std::to_string(HIWORD(info->dwFileVersionMS)) + '.' + std::to_string(LOWORD(info->dwFileVersionMS)) +
           '.' + std::to_string(HIWORD(info->dwFileVersionLS)) + '.' +
           std::to_string(LOWORD(info->dwFileVersionLS));
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

bool ReadVersions(UpdateContext& context, const std::string& installedExe, const std::string& updateExe)
{
    context.InstalledVersion = NormalizeVersion(GetFileVersion(installedExe));
    context.UpdateVersion = NormalizeVersion(GetFileVersion(updateExe));
    return true;
}

bool IsUpdatePossible(const UpdateContext& context)
{
    const std::int32_t installed = ToVersionNumber(context.InstalledVersion);
    const std::int32_t update = ToVersionNumber(context.UpdateVersion);
    return update >= installed;
}
