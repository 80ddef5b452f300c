// Modal message boxes of the tool, with its title as caption. Both always return true.
#pragma once

#include <string>

bool ShowInfo(const std::string& text);
bool ShowError(const std::string& text);
