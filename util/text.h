// German user texts from the string table, as code page 1252 bytes.
#pragma once

#include <string>

// The string resource with this id from the executable; empty when it is missing.
std::string LoadText(unsigned int id);
