// The string table is stored as UTF-16; the tool works in code page 1252 throughout, whatever
// code page the system uses for ANSI, so the conversion names it explicitly.
#include "util/text.h"

#include <windows.h>

std::string LoadText(unsigned int id)
{
    const wchar_t* wide = nullptr;
    // With a zero buffer size the call hands out a pointer into the resource itself.
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&wide), 0);
    if (length <= 0 || !wide)
        return {};
    const int size = WideCharToMultiByte(kTextCodePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(kTextCodePage, 0, wide, length, text.data(), size, nullptr, nullptr);
    return text;
}

std::string FormatText(unsigned int id, const std::vector<std::string>& args)
{
    std::string text = LoadText(id);
    size_t from = 0;
    for (const std::string& arg : args) {
        const size_t at = text.find("%s", from);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, arg);
        from = at + arg.size();
    }
    return text;
}

std::string Trim(const std::string& text)
{
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::string SystemErrorText(unsigned long code)
{
    char buffer[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        buffer, sizeof(buffer), nullptr);
    return Trim(std::string(buffer, length));
}

std::wstring ToWide(const std::string& text, unsigned int codePage)
{
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), size);
    return wide;
}

std::string FromWide(const std::wstring& text, unsigned int codePage)
{
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), length, narrow.data(), size, nullptr, nullptr);
    return narrow;
}
