// A guard for structured exceptions (access violations, exceptions of other languages'
// runtimes) around a call into foreign code. C++'s catch does not see them.
#pragma once

#include <windows.h>

// Calls function(data). True when it returned. False when a structured exception that the
// called code did not handle itself ended it; exceptionCode then holds the exception's code.
// Exceptions that the called code raises and handles itself pass unnoticed.
bool CallGuarded(void (*function)(void*), void* data, DWORD& exceptionCode);
