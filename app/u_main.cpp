#include "app/u_main.h"

#include "app/busy_ring.h"
#include "app/farm_grid.h"
#include "app/path_label.h"
#include "app/window_calls.h"
#include "app/window_fit.h"
#include "resources/resource.h"
#include "shell/farm_rows.h"
#include "shell/messages.h"
#include "shell/startup.h"
#include "update/errors.h"
#include "update/u_constants.h"
#include "util/files.h"
#include "util/text.h"
#include "util/versions.h"

#include <shellapi.h>

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace {

// Lines of a run reach the status list this often; each showing costs a repaint of the list.
constexpr UINT_PTR kLinesTimer = 1;
constexpr UINT kLinesIntervalMs = 250;
constexpr UINT kRunFinishedMessage = WM_APP + 2;
constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kRed = RGB(255, 0, 0);

}  // namespace

Tw_main::Tw_main(HINSTANCE instance, const std::string& logPath) : instance_(instance), logSink_(*this)
{
    context_.LogPath = logPath;
}

Tw_main::~Tw_main() = default;

bool Tw_main::Create()
{
    if (!RegisterWindowClass(instance_, kClassName, DefDlgProcA, 0, DLGWINDOWEXTRA, LoadCursor(nullptr, IDC_ARROW),
                             GetSysColorBrush(COLOR_BTNFACE)) ||
        !FarmGrid::Register(instance_) || !busy_ring::Register(instance_))
        return false;
    if (!CreateDialogParamA(instance_, MAKEINTRESOURCEA(IDD_MAIN), nullptr, WindowBinding<Tw_main>::DialogProc,
                            reinterpret_cast<LPARAM>(this)))
        return false;
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    FormShow();
    const bool gridHoldsFarm = Grid().Rows().RowCount() > 1 && !Trim(Grid().Rows().Cell(0, 1)).empty();
    FocusOn(gridHoldsFarm ? 1 : 0);
    return true;
}

int Tw_main::RunMessageLoop()
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return exitCode_;
}

FarmGrid& Tw_main::Grid() const
{
    return *FarmGrid::From(Control(IDC_S_GRID));
}

bool Tw_main::OnWindowThread() const
{
    return GetWindowThreadProcessId(window_, nullptr) == GetCurrentThreadId();
}

void Tw_main::AddLine(const std::string& text)
{
    statusList_.Add(text);
    if (OnWindowThread())
        statusList_.ShowPending();
}

void Tw_main::ClearLines()
{
    statusList_.Clear();
    if (OnWindowThread())
        statusList_.ShowPending();
}

void Tw_main::ShowProgress(const std::string& text)
{
    statusList_.SetProgress(text);
    if (OnWindowThread())
        statusList_.ShowPending();
}

void Tw_main::SetUpControls()
{
    statusList_.Attach(Control(IDC_LISTBOX1));
    CaptureLayout();
    TakeOverDpiScaling(window_);
    ApplyDpi(WindowDpi(window_));
}

void Tw_main::FormCreate()
{
    SetWindowTextA(window_, FormatText(IDS_CAPTION_VERSION, {GetFileVersion("")}).c_str());

    const StartupResult startup = FillUpdateContext(context_, OwnExecutablePath());
    statusList_.KeepLine(startup.recovery);
    if (!startup.recovery.empty())
        RunLog(context_, GetFileVersion("")).Write(startup.recovery);
    std::string error = startup.error;
    if (startup.Passed(StartupStep::UpdateSettings) && !IsGridShown(context_)) {
        Show(IDC_S_GRID, false);
        Show(IDC_LABEL4, false);
        SetText(IDC_LABEL3, LoadText(IDS_HINT_PATHS_ONLY));
    }
    if (startup.Passed(StartupStep::UpdateSettings))
        SetText(IDC_LBL_QUELLE, context_.UpdatePath);
    if (startup.Passed(StartupStep::Versions)) {
        SetText(IDC_LBL_TMP, context_.TempPath);
        try {
            if (!context_.ProgramPath.empty()) {
                SetText(IDC_LBL_ZIEL, context_.ProgramPath);
                Enable(IDC_BTN_START, true);
                SetText(IDC_LBL_INFO, StartupHeadline(context_));
                if (IsGridFilled(context_))
                    FillFarmGrid(Grid().Rows(), context_.ProgramPath);
            } else {
                ShowInfo(LoadText(IDS_NOT_INSTALLED));
                SetText(IDC_LBL_INFO, LoadText(IDS_HEADLINE));
            }
            if (context_.DebugInfo) {
                Show(IDC_LBL_DEBUGINFO_AKTIV, true);
                Show(IDC_LBL_DEBUGINFO, false);
            }
        } catch (const StartupError& fillError) {
            error = fillError.what();
        }
        Grid().Refresh();
    }
    if (!error.empty())
        ShowError(error);
}

// The version gate: an update older than the installation is refused.
void Tw_main::FormShow()
{
    if (!IsWindowEnabled(Control(IDC_BTN_START)) || !context_.HasProgramFiles)
        return;
    try {
        if (IsUpdatePossible(context_))
            return;
    } catch (const std::exception& error) {
        ShowError(ErrorText(error));
        return;
    }
    SetText(IDC_LBL_INFO, FormatText(IDS_REFUSED_HEADLINE, {context_.InstalledVersion, context_.UpdateVersion}));
    ShowInfo(FormatText(IDS_REFUSED_BOX, {context_.InstalledVersion, context_.UpdateVersion}));
    Enable(IDC_BTN_START, false);
    for (int id : {IDC_LISTBOX1, IDC_LABEL5, IDC_LABEL3, IDC_LABEL4, IDC_S_GRID})
        Show(id, false);
    refused_ = true;
    ShowRefusedHeight();
    Enable(IDC_CB_NEUSTART, true);
}

void Tw_main::btn_startClick()
{
    if (running_)
        return;
    // A key still in its editor counts as typed.
    Grid().FinishEditing();
    runRows_ = Grid().Rows();
    ShowRunning(true);
    running_ = true;
    SetPropA(window_, kRunningProperty, window_);
    SetTimer(window_, kLinesTimer, kLinesIntervalMs, nullptr);
    runThread_.reset(CreateThread(nullptr, 0, RunThread, this, 0, nullptr));
    if (!runThread_) {
        const std::string error = WindowsErrorText(GetLastError());
        runResult_ = {RunOutcome::Failed, 0, error, {}};
        Log(error);
        OnRunFinished();
    }
}

DWORD WINAPI Tw_main::RunThread(void* parameter)
{
    auto& self = *static_cast<Tw_main*>(parameter);
    {
        const ComApartment com;
        RunLog runLog(self.context_, GetFileVersion(""));
        try {
            self.runResult_ = RunUpdate(self.context_, self.runRows_);
        } catch (...) {
            self.runResult_ = {RunOutcome::Failed, 0, LoadText(IDS_RUN_UNKNOWN_ERROR), {}};
        }
        const int exitCode = ExitCodeOf(self.runResult_.outcome);
        runLog.Finish(exitCode, ExitCodeMeaning(exitCode));
    }
    PostMessageA(self.window_, kRunFinishedMessage, 0, 0);
    return 0;
}

void Tw_main::OnRunFinished()
{
    if (runThread_) {
        WaitForSingleObject(runThread_.get(), INFINITE);
        runThread_.reset();
    }
    KillTimer(window_, kLinesTimer);
    statusList_.ShowPending();
    exitCode_ = ExitCodeOf(runResult_.outcome);
    ShowRunResult();
    RemovePropA(window_, kRunningProperty);
    running_ = false;
    FocusOn(runResult_.row);
}

// The grid takes no input while a run works, and is usable again afterwards where it was.
void Tw_main::ShowRunning(bool running)
{
    Show(IDC_BUSY, running);
    Enable(IDC_BTN_START, !running);
    Enable(IDC_BTN_CLOSE, !running);
    if (running)
        gridWasEnabled_ = IsWindowEnabled(Control(IDC_S_GRID)) != FALSE;
    if (context_.ReplacePlausi || running || gridWasEnabled_)
        Enable(IDC_S_GRID, !running);
    SetWaitCursor(running);
    RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// The window as the run left the installation, then the run's box.
void Tw_main::ShowRunResult()
{
    for (const auto& [row, label] : runResult_.movedLabels)
        Grid().Rows().SetCell(0, row, label);
    Grid().Refresh();
    ShowRunning(false);
    const bool updated = runResult_.outcome == RunOutcome::Success && !runResult_.message.empty();
    if (updated) {
        SetText(IDC_LBL_INFO, FormatText(IDS_RUN_VERSIONS, {context_.InstalledVersion, context_.UpdateVersion}));
        Enable(IDC_CB_NEUSTART, true);
    }
    // Start stays off for an installation brought up to date, and for a folder that is not the
    // update it claims to be.
    if (updated || runResult_.outcome == RunOutcome::FolderRefused)
        Enable(IDC_BTN_START, false);
    if (runResult_.message.empty())
        return;
    if (runResult_.outcome == RunOutcome::Success)
        ShowInfo(runResult_.message);
    else
        ShowError(runResult_.message);
}

// The keyboard focus where the user goes on: the key of a farm's row when the grid is there,
// Start otherwise, Beenden when Start is off.
void Tw_main::FocusOn(int row)
{
    HWND grid = Control(IDC_S_GRID);
    HWND target = IsWindowEnabled(Control(IDC_BTN_START)) ? Control(IDC_BTN_START) : Control(IDC_BTN_CLOSE);
    if (row > 0 && IsWindowVisible(grid) && IsWindowEnabled(grid)) {
        Grid().Select(row);
        target = grid;
    }
    SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
}

void Tw_main::btn_closeClick()
{
    if (running_)
        return;
    const std::string program = context_.ProgramPath + names::kMainExe;
    if (IsDlgButtonChecked(window_, IDC_CB_NEUSTART) == BST_CHECKED && FileExists(program))
        ShellExecuteA(window_, nullptr, program.c_str(), nullptr, context_.ProgramPath.c_str(), SW_SHOWMAXIMIZED);
    FormClose();
    DestroyWindow(window_);
}

void Tw_main::lbl_infoDblClick()
{
    if (running_)
        return;
    Enable(IDC_BTN_START, true);
}

void Tw_main::SetWaitCursor(bool wait)
{
    waitCursor_ = wait;
    SetCursor(LoadCursor(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

void Tw_main::ShowPlainMessage(const std::string& text)
{
    const auto show = [&] { MessageBoxA(window_, text.c_str(), LoadText(IDS_APP_TITLE).c_str(), MB_OK); };
    if (OnWindowThread())
        show();
    else
        CallOnWindowThread(window_, show);
}

void Tw_main::FormClose()
{
    context_.CatalogList.clear();
    context_.UpdatedFarmList.clear();
}

// Under a high-contrast theme the labels keep the theme's colours.
INT_PTR Tw_main::OnColorStatic(HWND control, HDC dc)
{
    const int id = GetDlgCtrlID(control);
    if (HighContrastOn())
        return FALSE;
    if (id == IDC_LBL_INFO)
        SetTextColor(dc, kNavy);
    else if (id == IDC_LABEL3 || id == IDC_LBL_DEBUGINFO_AKTIV)
        SetTextColor(dc, kRed);
    else
        return FALSE;
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

INT_PTR Tw_main::OnSetCursor()
{
    if (!waitCursor_)
        return FALSE;
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    SetWindowLongPtrA(window_, DWLP_MSGRESULT, TRUE);
    return TRUE;
}

// True for the controls whose commands the window handles.
bool Tw_main::OnCommand(int id, int code)
{
    switch (id) {
    case IDC_BTN_START:
        if (code == BN_CLICKED)
            btn_startClick();
        return true;
    case IDC_BTN_CLOSE:
        if (code == BN_CLICKED)
            btn_closeClick();
        return true;
    case IDC_LBL_INFO:
        if (code == STN_DBLCLK)
            lbl_infoDblClick();
        return true;
    }
    return false;
}

INT_PTR Tw_main::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetUpControls();
        FormCreate();
        // Start keeps the focus, as first control of the tab order.
        return TRUE;
    case WM_SIZE:
        OnSize();
        return TRUE;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return TRUE;
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        // Only top-level windows hear of it; the grid draws with colours of its own choice.
        SendMessageA(Control(IDC_S_GRID), message, wParam, lParam);
        InvalidateRect(window_, nullptr, TRUE);
        return FALSE;
    case WM_DRAWITEM:
        // The path labels are the window's only owner-drawn controls.
        DrawPathLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return OnColorStatic(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
    case WM_SETCURSOR:
        return OnSetCursor();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case kWindowCallMessage:
        // What the run logged before the call shows before the call's box or change.
        statusList_.ShowPending();
        HandleWindowCall(lParam);
        return TRUE;
    case kRunFinishedMessage:
        OnRunFinished();
        return TRUE;
    case WM_TIMER:
        if (wParam == kLinesTimer)
            statusList_.ShowPending();
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}
