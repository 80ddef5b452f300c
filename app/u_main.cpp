#include "app/u_main.h"

#include "app/busy_ring.h"
#include "app/farm_grid.h"
#include "app/farm_rows.h"
#include "app/messages.h"
#include "app/startup.h"
#include "app/window_calls.h"
#include "app/window_fit.h"
#include "resources/resource.h"
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

constexpr int kListExtent = 1000;
// Lines of a run reach the status list this often; each showing costs a repaint of the list.
constexpr UINT_PTR kLinesTimer = 1;
constexpr UINT kLinesIntervalMs = 250;
constexpr UINT kRunFinishedMessage = WM_APP + 2;
constexpr int kRefusedOuterHeight = 187;
// What the grid (header and two rows) and the status list (three lines) keep of their height
// on a small screen, at 96 DPI.
constexpr int kGridMinHeight = 66;
constexpr int kListMinHeight = 60;
constexpr int kDialogPoints = 8;
constexpr int kHeadlinePoints = 10;
// Base units of the dialog font (Tahoma 8) at 96 DPI, in which the dialog template is laid out.
constexpr int kLayoutBaseX = 6;
constexpr int kLayoutBaseY = 13;
constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kRed = RGB(255, 0, 0);

// The labels that show a path, shortened in the middle.
constexpr int kPathLabels[] = {IDC_LBL_QUELLE, IDC_LBL_ZIEL, IDC_LBL_TMP};
// Controls that sit on the bottom row and follow the bottom edge.
constexpr int kBottomRow[] = {IDC_BEVEL1, IDC_BTN_START, IDC_BTN_CLOSE, IDC_CB_NEUSTART};
constexpr int kBoldControls[] = {IDC_LABEL1, IDC_LABEL2, IDC_LBL_TMP2, IDC_LABEL3, IDC_LABEL4,
                                 IDC_LABEL5, IDC_BTN_START, IDC_LBL_DEBUGINFO_AKTIV};

// The dialog's font face at the DPI, with the weight and size.
GdiObject DialogFont(HFONT dialogFont, int weight, int points, int dpi)
{
    LOGFONTA font = {};
    GetObjectA(dialogFont, sizeof(font), &font);
    font.lfWeight = weight;
    font.lfHeight = -MulDiv(points, dpi, 72);
    font.lfWidth = 0;
    return GdiObject(CreateFontIndirectA(&font));
}

// A length that the dialog manager placed in dialog units of the actual font, in pixels of the
// 96-DPI layout.
int ToLayout(int pixels, int baseUnits, int units, int layoutBase)
{
    return MulDiv(MulDiv(pixels, units, baseUnits), layoutBase, units);
}

RECT ChildRect(HWND parent, HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

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
    {
        const std::lock_guard<std::mutex> lock(pendingMutex_);
        pendingLines_.push_back(text);
    }
    if (OnWindowThread())
        ShowPendingLines();
}

void Tw_main::ClearLines()
{
    {
        const std::lock_guard<std::mutex> lock(pendingMutex_);
        pendingLines_.clear();
        clearPending_ = true;
    }
    if (OnWindowThread())
        ShowPendingLines();
}

void Tw_main::ShowProgress(const std::string& text)
{
    {
        const std::lock_guard<std::mutex> lock(pendingMutex_);
        pendingProgress_ = text;
        progressPending_ = true;
    }
    if (OnWindowThread())
        ShowPendingLines();
}

// New lines go on top, the progress line above them; the list repaints once for all of them.
void Tw_main::ShowPendingLines()
{
    std::vector<std::string> lines;
    std::string progress = progress_;
    bool clear = false;
    {
        const std::lock_guard<std::mutex> lock(pendingMutex_);
        lines.swap(pendingLines_);
        if (progressPending_)
            progress = pendingProgress_;
        progressPending_ = false;
        std::swap(clear, clearPending_);
    }
    if (lines.empty() && progress == progress_ && !clear)
        return;
    HWND list = Control(IDC_LISTBOX1);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    // What start-up recovered stays in view: it tells why the installation is as it is.
    if (clear) {
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        if (!recovery_.empty())
            SendMessageA(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(recovery_.c_str()));
    } else if (!progress_.empty()) {
        SendMessageA(list, LB_DELETESTRING, 0, 0);
    }
    for (const std::string& line : lines)
        SendMessageA(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    progress_ = progress;
    if (!progress_.empty())
        SendMessageA(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(progress_.c_str()));
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
}

void Tw_main::SetUpControls()
{
    CaptureLayout();
    TakeOverDpiScaling(window_);
    ApplyDpi(WindowDpi(window_));
}

// The dialog manager placed every control in units of the dialog font at the screen's DPI; read
// back, they give the layout at 96 DPI, from which every DPI is scaled alike.
void Tw_main::CaptureLayout()
{
    RECT base = {0, 0, 4, 8};
    MapDialogRect(window_, &base);
    const auto toLayout = [&](const RECT& rect) {
        return RECT{ToLayout(rect.left, base.right, 4, kLayoutBaseX), ToLayout(rect.top, base.bottom, 8, kLayoutBaseY),
                    ToLayout(rect.right - rect.left, base.right, 4, kLayoutBaseX),
                    ToLayout(rect.bottom - rect.top, base.bottom, 8, kLayoutBaseY)};
    };
    for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        layout_.push_back({child, toLayout(ChildRect(window_, child))});
    RECT client;
    GetClientRect(window_, &client);
    clientLayout_ = toLayout(client);
}

// The work area of the window's monitor.
RECT Tw_main::WorkArea() const
{
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoA(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

const RECT& Tw_main::LayoutOf(int id) const
{
    HWND control = Control(id);
    return std::find_if(layout_.begin(), layout_.end(), [&](const ControlPlace& place) {
               return place.control == control;
           })->layout;
}

// Fonts, control rectangles and the window's size for the DPI, fitted into the work area.
void Tw_main::ApplyDpi(int dpi)
{
    RECT outer;
    RECT client;
    GetWindowRect(window_, &outer);
    GetClientRect(window_, &client);
    const RECT work = WorkArea();
    const RECT& grid = LayoutOf(IDC_S_GRID);
    const RECT& list = LayoutOf(IDC_LISTBOX1);
    const Fit fit = FitToWorkArea({clientLayout_.right, clientLayout_.bottom, grid.bottom, kGridMinHeight,
                                   list.bottom, kListMinHeight, dpi, (outer.right - outer.left) - client.right,
                                   (outer.bottom - outer.top) - client.bottom, work.right - work.left,
                                   work.bottom - work.top});
    const int scale = fit.scale;
    dpi_ = scale;
    const auto dialogFont = reinterpret_cast<HFONT>(SendMessageA(window_, WM_GETFONT, 0, 0));
    font_ = DialogFont(dialogFont, FW_NORMAL, kDialogPoints, scale);
    boldFont_ = DialogFont(dialogFont, FW_BOLD, kDialogPoints, scale);
    headlineFont_ = DialogFont(dialogFont, FW_BOLD, kHeadlinePoints, scale);
    SetClientSize(Scaled(clientLayout_.right, scale),
                  Scaled(clientLayout_.bottom - fit.gridCut - fit.listCut, scale));
    for (const ControlPlace& place : layout_) {
        RECT rect = place.layout;
        // Below the grid everything moves up by what the grid gave, below the list by both.
        if (place.control == Control(IDC_S_GRID))
            rect.bottom -= fit.gridCut;
        else if (rect.top >= grid.top + grid.bottom)
            rect.top -= fit.gridCut;
        if (place.control == Control(IDC_LISTBOX1))
            rect.bottom -= fit.listCut;
        else if (rect.top >= list.top + list.bottom)
            rect.top -= fit.listCut;
        // A path label ends where the grid ends, so that its middle ellipsis keeps the path's end
        // in sight.
        if (std::ranges::count(kPathLabels, GetDlgCtrlID(place.control)) > 0)
            rect.right = std::min(rect.right, grid.left + grid.right - rect.left);
        SetWindowPos(place.control, nullptr, Scaled(rect.left, scale), Scaled(rect.top, scale),
                     Scaled(rect.right, scale), Scaled(rect.bottom, scale), SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageA(place.control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    }
    for (int id : kBoldControls)
        SendMessageA(Control(id), WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_.get()), TRUE);
    SendMessageA(Control(IDC_LBL_INFO), WM_SETFONT, reinterpret_cast<WPARAM>(headlineFont_.get()), TRUE);
    SendMessageA(Control(IDC_LISTBOX1), LB_SETHORIZONTALEXTENT, Scaled(kListExtent, scale), 0);
    Grid().SetDpi(scale);

    GetClientRect(window_, &client);
    const RECT start = ChildRect(window_, Control(IDC_BTN_START));
    const RECT check = ChildRect(window_, Control(IDC_CB_NEUSTART));
    bottomRowOffset_ = client.bottom - start.top;
    checkBoxRightOffset_ = client.right - check.left;
    if (refused_)
        ShowRefusedHeight();
    MoveInto(work);
}

// Moves the window into the area, its title bar first where it is larger.
void Tw_main::MoveInto(const RECT& area)
{
    RECT outer;
    GetWindowRect(window_, &outer);
    const int left = std::max(area.left, std::min(outer.left, area.right - (outer.right - outer.left)));
    const int top = std::max(area.top, std::min(outer.top, area.bottom - (outer.bottom - outer.top)));
    if (left != outer.left || top != outer.top)
        SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Keeps the window's centre; the frame's size is whatever Windows draws at the DPI.
void Tw_main::SetClientSize(int width, int height)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        RECT outer;
        RECT client;
        GetWindowRect(window_, &outer);
        GetClientRect(window_, &client);
        const int dx = width - client.right;
        const int dy = height - client.bottom;
        if (dx == 0 && dy == 0)
            return;
        SetWindowPos(window_, nullptr, outer.left - dx / 2, outer.top - dy / 2, outer.right - outer.left + dx,
                     outer.bottom - outer.top + dy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// A DPI change by a move to another monitor: the layout for the new DPI, where Windows suggests.
void Tw_main::OnDpiChanged(int dpi, const RECT& suggested)
{
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyDpi(dpi);
}

void Tw_main::OnSize()
{
    RECT client;
    GetClientRect(window_, &client);
    const RECT start = ChildRect(window_, Control(IDC_BTN_START));
    const int shift = client.bottom - bottomRowOffset_ - start.top;
    for (int id : kBottomRow) {
        const RECT rect = ChildRect(window_, Control(id));
        const int left = id == IDC_CB_NEUSTART ? client.right - checkBoxRightOffset_ : rect.left;
        SetWindowPos(Control(id), nullptr, left, rect.top + shift, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
}

void Tw_main::ShowRefusedHeight()
{
    RECT outer;
    GetWindowRect(window_, &outer);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, Scaled(kRefusedOuterHeight, dpi_),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Tw_main::FormCreate()
{
    SetWindowTextA(window_, FormatText(IDS_CAPTION_VERSION, {GetFileVersion("")}).c_str());

    const StartupResult startup = FillUpdateContext(context_, OwnExecutablePath());
    recovery_ = startup.recovery;
    if (!recovery_.empty())
        RunLog(context_, GetFileVersion("")).Write(recovery_);
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
    ShowPendingLines();
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
    case WM_CTLCOLORSTATIC:
        return OnColorStatic(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
    case WM_SETCURSOR:
        return OnSetCursor();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case kWindowCallMessage:
        // What the run logged before the call shows before the call's box or change.
        ShowPendingLines();
        HandleWindowCall(lParam);
        return TRUE;
    case kRunFinishedMessage:
        OnRunFinished();
        return TRUE;
    case WM_TIMER:
        if (wParam == kLinesTimer)
            ShowPendingLines();
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}
