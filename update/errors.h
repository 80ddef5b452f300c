// The Windows error behind a failure, in the words support asks for, and German texts for the
// exceptions that reach the user.
#pragma once

#include <exception>
#include <initializer_list>
#include <string>
#include <vector>

// "Windows-Fehler <code>: <Windows' own text>".
std::string WindowsErrorText(unsigned long code);

// The text followed by " (Windows-Fehler <code>: …)".
std::string WithWindowsError(const std::string& text, unsigned long code);

// What went wrong in an operation: its German text, as string id and arguments, and the Windows
// error of the call that failed (0 for none). The error is taken when the failure is made, right
// at the failing call: loading the text later cannot overwrite it.
struct Failure {
    unsigned int text = 0;
    std::vector<std::string> arguments;
    unsigned long windowsError = 0;

    // The text, with " (Windows-Fehler <code>: …)" behind it when there is an error.
    std::string Message() const;
};

// The failure of the Windows call just made, with its GetLastError.
Failure AtLastError(unsigned int text, std::initializer_list<std::string> arguments);

// Whether the error says that another program holds the file (open without sharing, or locked):
// a cause that passes by itself, unlike a missing right.
bool IsHeldError(unsigned long code);

// The German text for an exception: util's file and number errors worded from the string table
// (a file error with its Windows error), any other exception by its own text.
std::string ErrorText(const std::exception& error);
