// The main window's layout: read at 96 DPI from the dialog template, drawn at the window's DPI,
// fitted into the monitor's work area, and its bottom row kept at the bottom edge.
#include "app/u_main.h"

#include "app/farm_grid.h"
#include "app/window_fit.h"
#include "resources/resource.h"

#include <algorithm>

namespace {

constexpr int kListExtent = 1000;
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
    PlaceControls(fit);
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

// Every control at the fit's scale in the normal font; below the grid everything moves up by what
// the grid gave, below the list by both.
void Tw_main::PlaceControls(const Fit& fit)
{
    const RECT& grid = LayoutOf(IDC_S_GRID);
    const RECT& list = LayoutOf(IDC_LISTBOX1);
    for (const ControlPlace& place : layout_) {
        RECT rect = place.layout;
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
        SetWindowPos(place.control, nullptr, Scaled(rect.left, fit.scale), Scaled(rect.top, fit.scale),
                     Scaled(rect.right, fit.scale), Scaled(rect.bottom, fit.scale), SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageA(place.control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    }
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
