// The Windows error behind a failure, in the words support asks for, and German texts for the
// exceptions that reach the user.
#pragma once

#include <exception>
#include <string>

// "Windows-Fehler <code>: <Windows' own text>".
std::string WindowsErrorText(unsigned long code);

// The text followed by " (Windows-Fehler <code>: …)".
std::string WithWindowsError(const std::string& text, unsigned long code);

// Whether the error says that another program holds the file (open without sharing, or locked):
// a cause that passes by itself, unlike a missing right.
bool IsHeldError(unsigned long code);

// The German text for an exception: util's file and number errors worded from the string table
// (a file error with its Windows error), any other exception by its own text.
std::string ErrorText(const std::exception& error);
