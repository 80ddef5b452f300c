// German user texts from the string table, as code page 1252 bytes.
#pragma once

#include <initializer_list>
#include <string>

// The text without blanks and control characters on either side.
std::string Trim(const std::string& text);

// The string resource with this id from the executable; empty when it is missing.
std::string LoadText(unsigned int id);

// The string resource with each "%s" replaced by the next argument, in order.
std::string FormatText(unsigned int id, std::initializer_list<std::string> args);

// Windows' own description of a system error code, without the closing line break; empty when
// Windows has none.
std::string SystemErrorText(unsigned long code);
