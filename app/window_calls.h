// The update run works on a thread of its own, so that the window answers whatever a step costs.
// The one box it must wait for is shown by a call that the window's thread makes between its
// other messages, while the run waits for the call's end.
#pragma once

#include <windows.h>

#include <functional>

// The message that carries a call; the window procedure hands it to HandleWindowCall.
inline constexpr UINT kWindowCallMessage = WM_APP + 1;

// Makes the call on the window's thread and waits for it; an exception it throws is thrown here.
void CallOnWindowThread(HWND window, const std::function<void()>& call);

// The window procedure's half of CallOnWindowThread.
void HandleWindowCall(LPARAM lParam);
