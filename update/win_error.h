// The Windows error behind a failure, in the words support asks for.
#pragma once

#include <string>

// "Windows-Fehler <code>: <Windows' own text>".
std::string WindowsErrorText(unsigned long code);
