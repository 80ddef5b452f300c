#include "app/farm_grid.h"

#include "app/grid_accessible.h"

#include "resources/resource.h"
#include "util/text.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

// Lengths of the 96-DPI layout.
constexpr int kHeaderHeight = 22;
constexpr int kRowHeight = 20;
constexpr int kTextPadding = 3;
constexpr int kResizeGrip = 3;
constexpr int kMinColumnWidth = 10;
constexpr COLORREF kEditedColor = RGB(0, 255, 0);
constexpr COLORREF kLineColor = RGB(192, 192, 192);
constexpr int kEditedFrame = 1;

}  // namespace

GridColors ChooseGridColors(bool highContrast)
{
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    if (highContrast)
        return {window, text, window, text, GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT),
                window, text, GetSysColor(COLOR_GRAYTEXT), text, true};
    // Black stays readable on the fixed lime green whatever the text colour is.
    return {window, text, GetSysColor(COLOR_BTNFACE), text, GetSysColor(COLOR_HIGHLIGHT),
            GetSysColor(COLOR_HIGHLIGHTTEXT), kEditedColor, RGB(0, 0, 0), GetSysColor(COLOR_GRAYTEXT), kLineColor,
            false};
}

bool HighContrastOn()
{
    HIGHCONTRASTA contrast = {};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

bool FarmGrid::Register(HINSTANCE instance)
{
    return RegisterWindowClass(instance, kClassName, WindowBinding<FarmGrid>::ControlProc, CS_DBLCLKS);
}

FarmGrid::FarmGrid(HWND window)
    : Window(window),
      rows_(LoadText(IDS_GRID_FARM), LoadText(IDS_GRID_KEY)),
      colors_(ChooseGridColors(HighContrastOn())),
      linePen_(CreatePen(PS_SOLID, 1, colors_.line))
{
}

// A theme or colour change: the colours anew, and everything redrawn.
void FarmGrid::OnColorsChanged()
{
    colors_ = ChooseGridColors(HighContrastOn());
    linePen_ = GdiObject(CreatePen(PS_SOLID, 1, colors_.line));
    InvalidateRect(window_, nullptr, TRUE);
}

void FarmGrid::SetFont(HFONT font)
{
    font_ = font;
    LOGFONTA bold = {};
    if (font && GetObjectA(font, sizeof(bold), &bold)) {
        bold.lfWeight = FW_BOLD;
        boldFont_ = GdiObject(CreateFontIndirectA(&bold));
    }
}

void FarmGrid::SetDpi(int dpi)
{
    // Widths the user dragged keep their share.
    for (int& width : widths_)
        width = MulDiv(width, dpi, dpi_);
    dpi_ = dpi;
    UpdateScrollBar();
    InvalidateRect(window_, nullptr, TRUE);
}

void FarmGrid::Refresh()
{
    topRow_ = std::clamp(topRow_, 1, std::max(1, rows_.RowCount() - 1));
    currentRow_ = std::clamp(currentRow_, 1, std::max(1, rows_.RowCount() - 1));
    UpdateScrollBar();
    InvalidateRect(window_, nullptr, TRUE);
}

int FarmGrid::VisibleRows() const
{
    RECT client;
    GetClientRect(window_, &client);
    return std::max(1, static_cast<int>((client.bottom - Px(kHeaderHeight)) / Px(kRowHeight)));
}

int FarmGrid::RowAt(int y) const
{
    return topRow_ + (y - Px(kHeaderHeight)) / Px(kRowHeight);
}

int FarmGrid::RowTop(int row) const
{
    return row == 0 ? 0 : Px(kHeaderHeight) + (row - topRow_) * Px(kRowHeight);
}

bool FarmGrid::CellRect(int column, int row, RECT& rect) const
{
    if (row != 0 && (row < topRow_ || row >= rows_.RowCount()))
        return false;
    rect.left = column == 0 ? 0 : widths_[0];
    rect.right = rect.left + widths_[column];
    rect.top = RowTop(row);
    rect.bottom = rect.top + (row == 0 ? Px(kHeaderHeight) : Px(kRowHeight));
    return true;
}

// The column whose right border lies under x in the header row, or -1.
int FarmGrid::ColumnBorderAt(int x) const
{
    int border = 0;
    for (int column = 0; column < GridRows::kColumns; ++column) {
        border += widths_[column];
        if (std::abs(x - border) <= Px(kResizeGrip))
            return column;
    }
    return -1;
}

void FarmGrid::UpdateScrollBar()
{
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    // The bar stays visible, disabled, when every row fits.
    info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = std::max(0, rows_.RowCount() - 2);
    info.nPage = static_cast<UINT>(VisibleRows());
    info.nPos = topRow_ - 1;
    SetScrollInfo(window_, SB_VERT, &info, TRUE);
}

void FarmGrid::ScrollTo(int topRow)
{
    const int lastTop = std::max(1, rows_.RowCount() - VisibleRows());
    topRow = std::clamp(topRow, 1, lastTop);
    if (topRow == topRow_)
        return;
    EndEdit(true);
    topRow_ = topRow;
    UpdateScrollBar();
    InvalidateRect(window_, nullptr, TRUE);
}

void FarmGrid::Select(int row)
{
    if (rows_.RowCount() < 2)
        return;
    currentRow_ = std::clamp(row, 1, rows_.RowCount() - 1);
    if (currentRow_ < topRow_)
        ScrollTo(currentRow_);
    else if (currentRow_ >= topRow_ + VisibleRows())
        ScrollTo(currentRow_ - VisibleRows() + 1);
    InvalidateRect(window_, nullptr, TRUE);
    NotifyKeyCell(EVENT_OBJECT_SELECTION, currentRow_);
    if (HasFocus())
        NotifyKeyCell(EVENT_OBJECT_FOCUS, currentRow_);
}

bool FarmGrid::HasFocus() const
{
    HWND focus = GetFocus();
    return focus && (focus == window_ || focus == editor_);
}

bool FarmGrid::CellScreenRect(int column, int row, RECT& rect) const
{
    if (row != 0 && row >= topRow_ + VisibleRows())
        return false;
    if (!CellRect(column, row, rect))
        return false;
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return true;
}

bool FarmGrid::CellAt(POINT screen, int& column, int& row) const
{
    ScreenToClient(window_, &screen);
    RECT client;
    GetClientRect(window_, &client);
    if (!PtInRect(&client, screen) || screen.x >= widths_[0] + widths_[1])
        return false;
    column = screen.x < widths_[0] ? 0 : 1;
    row = screen.y < Px(kHeaderHeight) ? 0 : RowAt(screen.y);
    return row < rows_.RowCount();
}

void FarmGrid::NotifyKeyCell(DWORD event, int row) const
{
    NotifyWinEvent(event, window_, OBJID_CLIENT, grid_accessible::CellId(1, row));
}

void FarmGrid::PaintCell(HDC dc, const RECT& cell, const std::string& text, bool fixed, int row)
{
    const bool selected = !fixed && row == currentRow_ && GetFocus() == window_;
    const bool edited = !fixed && rows_.IsEdited(row);
    COLORREF background = colors_.background;
    COLORREF foreground = colors_.text;
    if (fixed)
        background = colors_.fixedBackground, foreground = colors_.fixedText;
    else if (selected)
        background = colors_.selectedBackground, foreground = colors_.selectedText;
    else if (edited)
        background = colors_.editedBackground, foreground = colors_.editedText;
    if (!IsWindowEnabled(window_))
        foreground = colors_.disabledText;

    SetBkColor(dc, background);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &cell, nullptr, 0, nullptr);
    RECT edge = cell;
    if (fixed) {
        DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
    } else {
        const SelectedObject pen(dc, linePen_.get());
        MoveToEx(dc, cell.left, cell.bottom - 1, nullptr);
        LineTo(dc, cell.right - 1, cell.bottom - 1);
        LineTo(dc, cell.right - 1, cell.top - 1);
    }
    const bool marked = edited && colors_.markEdited;
    if (marked) {
        RECT frame = {cell.left + Px(kEditedFrame), cell.top + Px(kEditedFrame), cell.right - Px(kEditedFrame) - 1,
                      cell.bottom - Px(kEditedFrame) - 1};
        const GdiObject brush(CreateSolidBrush(foreground));
        FrameRect(dc, &frame, static_cast<HBRUSH>(brush.get()));
    }
    RECT textRect = {cell.left + Px(kTextPadding), cell.top, cell.right - Px(kTextPadding), cell.bottom};
    SetTextColor(dc, foreground);
    SetBkMode(dc, TRANSPARENT);
    const SelectedObject font(dc, marked && boldFont_ ? boldFont_.get() : GetCurrentObject(dc, OBJ_FONT));
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void FarmGrid::Paint(HDC dc, const RECT& client)
{
    SetBkColor(dc, colors_.background);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
    const SelectedObject font(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    const int lastRow = std::min(rows_.RowCount() - 1, topRow_ + VisibleRows());
    for (int row = 0; row <= lastRow; row = row == 0 ? topRow_ : row + 1) {
        for (int column = 0; column < GridRows::kColumns; ++column) {
            RECT cell;
            if (CellRect(column, row, cell))
                PaintCell(dc, cell, rows_.Cell(column, row), row == 0 || column == 0, row);
        }
    }
}

std::string FarmGrid::AllText() const
{
    std::string text;
    for (int row = 0; row < rows_.RowCount(); ++row)
        text += rows_.Cell(0, row) + '\t' + rows_.Cell(1, row) + "\r\n";
    return text;
}

void FarmGrid::OnPaint()
{
    const PaintDc dc(window_);
    RECT client;
    GetClientRect(window_, &client);
    // Drawn off screen first, so rows do not flicker while the list repaints.
    const MemoryDc memory(CreateCompatibleDC(dc.get()));
    const GdiObject bitmap(CreateCompatibleBitmap(dc.get(), client.right, client.bottom));
    const SelectedObject selected(memory.get(), bitmap.get());
    Paint(memory.get(), client);
    BitBlt(dc.get(), 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
}

// The cells, tab-separated, one line per row: lets other programs read the grid.
LRESULT FarmGrid::OnGetText(WPARAM size, LPARAM buffer) const
{
    const std::string text = AllText();
    if (size == 0)
        return 0;
    const size_t count = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::copy_n(text.data(), count, reinterpret_cast<char*>(buffer));
    reinterpret_cast<char*>(buffer)[count] = '\0';
    return static_cast<LRESULT>(count);
}

bool FarmGrid::OnSetCursor(LPARAM lParam)
{
    if (LOWORD(lParam) != HTCLIENT)
        return false;
    POINT point;
    GetCursorPos(&point);
    ScreenToClient(window_, &point);
    if (resizing_ < 0 && (point.y >= Px(kHeaderHeight) || ColumnBorderAt(point.x) < 0))
        return false;
    SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
    return true;
}

void FarmGrid::OnMouse(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), message == WM_LBUTTONDBLCLK);
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(GET_X_LPARAM(lParam));
        break;
    case WM_LBUTTONUP:
        OnButtonUp();
        break;
    case WM_MOUSEWHEEL:
        ScrollTo(topRow_ - GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA);
        break;
    }
}

void FarmGrid::OnButtonDown(int x, int y, bool doubleClick)
{
    EndEdit(true);
    SetFocus(window_);
    if (y < Px(kHeaderHeight)) {
        resizing_ = ColumnBorderAt(x);
        if (resizing_ >= 0)
            SetCapture(window_);
        return;
    }
    const int row = RowAt(y);
    if (row >= rows_.RowCount())
        return;
    const bool again = row == currentRow_;
    Select(row);
    // A click on the selected key, or a double click, opens the editor.
    if (x >= widths_[0] && x < widths_[0] + widths_[1] && (again || doubleClick))
        BeginEdit(nullptr);
}

void FarmGrid::OnMouseMove(int x)
{
    if (resizing_ < 0)
        return;
    const int left = resizing_ == 0 ? 0 : widths_[0];
    widths_[resizing_] = std::max(Px(kMinColumnWidth), x - left);
    InvalidateRect(window_, nullptr, TRUE);
}

void FarmGrid::OnButtonUp()
{
    if (resizing_ >= 0) {
        resizing_ = -1;
        ReleaseCapture();
    }
}

void FarmGrid::OnScroll(WORD request, WORD thumb)
{
    int top = topRow_;
    switch (request) {
    case SB_LINEUP: --top; break;
    case SB_LINEDOWN: ++top; break;
    case SB_PAGEUP: top -= VisibleRows(); break;
    case SB_PAGEDOWN: top += VisibleRows(); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: top = thumb + 1; break;
    case SB_TOP: top = 1; break;
    case SB_BOTTOM: top = rows_.RowCount(); break;
    }
    ScrollTo(top);
}

LRESULT FarmGrid::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (HandleDisplay(message, wParam, lParam, result) || HandleInput(message, wParam, lParam, result))
        return result;
    return DefWindowProcA(window_, message, wParam, lParam);
}

// Size, font, text, colours, painting and the accessible object.
bool FarmGrid::HandleDisplay(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_CREATE:
    case WM_SIZE:
        UpdateScrollBar();
        return true;
    case WM_SETFONT:
        SetFont(reinterpret_cast<HFONT>(wParam));
        if (LOWORD(lParam))
            InvalidateRect(window_, nullptr, TRUE);
        return true;
    case WM_GETFONT:
        result = reinterpret_cast<LRESULT>(font_);
        return true;
    case WM_GETTEXTLENGTH:
        result = static_cast<LRESULT>(AllText().size());
        return true;
    case WM_GETTEXT:
        result = OnGetText(wParam, lParam);
        return true;
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        OnColorsChanged();
        return true;
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_GETOBJECT:
        if (static_cast<LONG>(lParam) != OBJID_CLIENT)
            return false;
        result = grid_accessible::Answer(window_, wParam);
        return true;
    }
    return false;
}

// Focus, mouse, scroll bar and keyboard.
bool FarmGrid::HandleInput(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_SETFOCUS:
        NotifyKeyCell(EVENT_OBJECT_FOCUS, currentRow_);
        InvalidateRect(window_, nullptr, TRUE);
        return true;
    case WM_ENABLE:
        if (!wParam)
            EndEdit(true);
        [[fallthrough]];
    case WM_KILLFOCUS:
        InvalidateRect(window_, nullptr, TRUE);
        return true;
    case WM_GETDLGCODE:
        result = OnGetDlgCode(lParam);
        return true;
    case WM_VSCROLL:
        OnScroll(LOWORD(wParam), HIWORD(wParam));
        return true;
    case WM_SETCURSOR:
        result = TRUE;
        return OnSetCursor(lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_MOUSEWHEEL:
        OnMouse(message, wParam, lParam);
        return true;
    case WM_KEYDOWN:
        return OnKeyDown(wParam);
    case WM_CHAR:
        OnChar(wParam);
        return true;
    }
    return false;
}
