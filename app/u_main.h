// The main window w_main: shows the update context, the farm key grid and the status list.
#pragma once

#include "shell/command_line.h"
#include "shell/update_run.h"
#include "app/status_list.h"
#include "app/window_fit.h"
#include "app/window.h"
#include "update/u_context.h"
#include "update/u_log.h"
#include "util/handles.h"

#include <windows.h>

#include <string>
#include <vector>

class FarmGrid;

class Tw_main : public Window, public LogSink {
public:
    static constexpr char kClassName[] = "Tw_main";
    // A window property set while a run works, for programs that drive the window from outside:
    // the window answers sent messages during a run too.
    static constexpr char kRunningProperty[] = "Kolvano-UpdateTool.Lauf";

    // logPath: a file that receives the run log too; empty for none.
    Tw_main(HINSTANCE instance, const std::string& logPath);
    ~Tw_main() override;
    Tw_main(const Tw_main&) = delete;
    Tw_main& operator=(const Tw_main&) = delete;

    // Registers the window classes and creates the window; false when that failed.
    bool Create();
    // Runs until the window is closed; returns the exit code of the last run, or kExitNoRun.
    int RunMessageLoop();

    // The status list. Lines of the run's thread wait until the window's thread shows them, a few
    // times a second and before the run's box.
    void AddLine(const std::string& text) override;
    bool ShowsDebug() const override { return context_.DebugInfo; }
    void ShowPlainMessage(const std::string& text) override;
    void ShowProgress(const std::string& text) override;
    void ClearLines() override;

private:
    friend struct WindowBinding<Tw_main>;
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnColorStatic(HWND control, HDC dc);
    INT_PTR OnSetCursor();
    bool OnCommand(int id, int code);

    void SetUpControls();
    void FormCreate();
    void FormShow();
    void FormClose();
    void btn_startClick();
    static DWORD WINAPI RunThread(void* self);
    void OnRunFinished();
    bool OnWindowThread() const;
    void FocusOn(int row);
    void btn_closeClick();
    void lbl_infoDblClick();

    // The window while a run works, and as the run's result leaves it.
    void ShowRunning(bool running);
    void ShowRunResult();
    void SetWaitCursor(bool wait);

    void OnSize();
    void CaptureLayout();
    void ApplyDpi(int dpi);
    void PlaceControls(const Fit& fit);
    RECT WorkArea() const;
    const RECT& LayoutOf(int id) const;
    void MoveInto(const RECT& area);
    void SetClientSize(int width, int height);
    void OnDpiChanged(int dpi, const RECT& suggested);
    void ShowRefusedHeight();
    HWND Control(int id) const { return GetDlgItem(window_, id); }
    void SetText(int id, const std::string& text) { SetWindowTextA(Control(id), text.c_str()); }
    void Show(int id, bool visible) { ShowWindow(Control(id), visible ? SW_SHOW : SW_HIDE); }
    void Enable(int id, bool enabled) { EnableWindow(Control(id), enabled); }
    FarmGrid& Grid() const;

    HINSTANCE instance_;
    UpdateContext context_;
    ScopedLogSink logSink_;
    // Where each control sits in the 96-DPI layout: left, top, width, height.
    struct ControlPlace {
        HWND control;
        RECT layout;
    };
    std::vector<ControlPlace> layout_;
    // The client area's size in the layout (right, bottom).
    RECT clientLayout_ = {};
    int dpi_ = kLayoutDpi;
    // The version gate refused the update: the window shows only its top and bottom rows.
    bool refused_ = false;
    GdiObject font_;
    GdiObject boldFont_;
    GdiObject headlineFont_;
    bool waitCursor_ = false;
    // While a run works on its thread, the window handles every message; none may start, end or
    // re-enable anything.
    bool running_ = false;
    KernelHandle runThread_;
    // The farm rows as they were at Start, which the run works on.
    GridRows runRows_{std::string(), std::string()};
    RunResult runResult_;
    // The grid's state before a run, which takes every input from it.
    bool gridWasEnabled_ = false;
    StatusList statusList_;
    // How the last run ended, for the exit code; none yet counts as cancelled.
    int exitCode_ = kExitNoRun;
    // Distances of the bottom row to the bottom and right edges, kept when the height changes.
    int bottomRowOffset_ = 0;
    int checkBoxRightOffset_ = 0;
};
