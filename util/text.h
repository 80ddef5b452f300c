// German user texts from the string table, as code page 1252 bytes.
#pragma once

#include <vector>
#include <string>

// The text without blanks and control characters on either side.
std::string Trim(const std::string& text);

// The string resource with this id from the executable; empty when it is missing.
std::string LoadText(unsigned int id);

// The string resource with each "%s" replaced by the next argument, in order.
std::string FormatText(unsigned int id, const std::vector<std::string>& args);

// Windows' own description of a system error code, without the closing line break; empty when
// Windows has none.
std::string SystemErrorText(unsigned long code);

// The code page of the tool's own texts, its log and the files it writes.
inline constexpr unsigned int kTextCodePage = 1252;

// Text between a code page's bytes and UTF-16; the tool's own texts use 1252, the update's list
// of files UTF-8 (65001). Bytes that are invalid in the code page become U+FFFD.
std::wstring ToWide(const std::string& text, unsigned int codePage);
std::string FromWide(const std::wstring& text, unsigned int codePage);
