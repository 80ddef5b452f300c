// The update run works on a thread of its own, so that the window answers whatever a step costs.
// It reaches the window only through calls that the window's thread makes between its other
// messages, while the run waits for each call's end.
#pragma once

#include "app/update_run.h"

#include <windows.h>

#include <functional>

// The message that carries a call; the window procedure hands it to HandleWindowCall.
inline constexpr UINT kWindowCallMessage = WM_APP + 1;

// Makes the call on the window's thread and waits for it; an exception it throws is thrown here.
void CallOnWindowThread(HWND window, const std::function<void()>& call);

// The window procedure's half of CallOnWindowThread.
void HandleWindowCall(LPARAM lParam);

// A run view whose every call is made on the window's thread.
class RunViewOnWindowThread : public RunView {
public:
    RunViewOnWindowThread(HWND window, RunView& view) : window_(window), view_(view) {}

    int RowCount() override;
    std::string Cell(int column, int row) override;
    void SetCell(int column, int row, const std::string& text) override;
    void ShowBusy(bool busy) override;
    void SetWaitCursor(bool wait) override;
    void ClearLog() override;
    void EnableControls(bool enabled) override;
    void Repaint() override;
    void ShowInfo(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void SetHeadline(const std::string& text) override;
    void EnableStart(bool enabled) override;
    void EnableRestartBox(bool enabled) override;

private:
    void Call(const std::function<void()>& call) { CallOnWindowThread(window_, call); }

    HWND window_;
    RunView& view_;
};
