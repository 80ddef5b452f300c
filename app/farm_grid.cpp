#include "app/farm_grid.h"

#include "resources/resource.h"
#include "util/text.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kHeaderHeight = 22;
constexpr int kRowHeight = 20;
constexpr int kTextPadding = 3;
constexpr int kResizeGrip = 3;
constexpr int kMinColumnWidth = 10;
constexpr COLORREF kEditedColor = RGB(0, 255, 0);
constexpr COLORREF kLineColor = RGB(192, 192, 192);
constexpr UINT_PTR kEditorSubclass = 1;

}  // namespace

bool FarmGrid::Register(HINSTANCE instance)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExA(&windowClass) != 0;
}

FarmGrid* FarmGrid::From(HWND window)
{
    return reinterpret_cast<FarmGrid*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

FarmGrid::FarmGrid(HWND window) : window_(window), rows_(LoadText(IDS_GRID_FARM), LoadText(IDS_GRID_KEY)) {}

LRESULT CALLBACK FarmGrid::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        // The window owns its grid: released here, taken back on WM_NCDESTROY.
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(std::make_unique<FarmGrid>(window).release()));
    }
    FarmGrid* grid = From(window);
    if (message == WM_NCDESTROY) {
        std::unique_ptr<FarmGrid> owned(grid);
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return grid ? grid->Handle(message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
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
    return std::max(1, static_cast<int>((client.bottom - kHeaderHeight) / kRowHeight));
}

int FarmGrid::RowTop(int row) const
{
    return row == 0 ? 0 : kHeaderHeight + (row - topRow_) * kRowHeight;
}

bool FarmGrid::CellRect(int column, int row, RECT& rect) const
{
    if (row != 0 && (row < topRow_ || row >= rows_.RowCount()))
        return false;
    rect.left = column == 0 ? 0 : widths_[0];
    rect.right = rect.left + widths_[column];
    rect.top = RowTop(row);
    rect.bottom = rect.top + (row == 0 ? kHeaderHeight : kRowHeight);
    return true;
}

// The column whose right border lies under x in the header row, or -1.
int FarmGrid::ColumnBorderAt(int x) const
{
    int border = 0;
    for (int column = 0; column < GridRows::kColumns; ++column) {
        border += widths_[column];
        if (std::abs(x - border) <= kResizeGrip)
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
}

void FarmGrid::BeginEdit(const std::string* replacement)
{
    RECT cell;
    if (editor_ || !IsWindowEnabled(window_) || !CellRect(1, currentRow_, cell))
        return;
    editRow_ = currentRow_;
    const std::string& text = replacement ? *replacement : rows_.Cell(1, editRow_);
    editor_ = CreateWindowExA(0, "EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, cell.left + 1,
                              cell.top + 1, cell.right - cell.left - 2, cell.bottom - cell.top - 2, window_, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    if (!editor_)
        return;
    SendMessageA(editor_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SetWindowSubclass(editor_, EditorProc, kEditorSubclass, reinterpret_cast<DWORD_PTR>(this));
    SetFocus(editor_);
    const int end = static_cast<int>(text.size());
    SendMessageA(editor_, EM_SETSEL, replacement ? end : 0, end);
}

void FarmGrid::EndEdit(bool keep)
{
    if (!editor_)
        return;
    HWND editor = std::exchange(editor_, nullptr);
    if (keep) {
        std::string text(static_cast<size_t>(GetWindowTextLengthA(editor)) + 1, '\0');
        text.resize(static_cast<size_t>(GetWindowTextA(editor, text.data(), static_cast<int>(text.size()))));
        rows_.SetEditedKey(editRow_, text);
    }
    const bool hadFocus = GetFocus() == editor;
    DestroyWindow(editor);
    if (hadFocus)
        SetFocus(window_);
    InvalidateRect(window_, nullptr, TRUE);
}

LRESULT CALLBACK FarmGrid::EditorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR data)
{
    auto* grid = reinterpret_cast<FarmGrid*>(data);
    switch (message) {
    case WM_GETDLGCODE:
        // Enter and Escape end the edit instead of pressing a dialog button.
        if (lParam) {
            const MSG* pending = reinterpret_cast<const MSG*>(lParam);
            if (pending->message == WM_KEYDOWN && (pending->wParam == VK_RETURN || pending->wParam == VK_ESCAPE))
                return DLGC_WANTMESSAGE;
        }
        break;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
            grid->EndEdit(wParam == VK_RETURN);
            return 0;
        }
        if (wParam == VK_UP || wParam == VK_DOWN) {
            grid->EndEdit(true);
            grid->Select(grid->currentRow_ + (wParam == VK_UP ? -1 : 1));
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == '\r' || wParam == 27)
            return 0;
        break;
    case WM_KILLFOCUS:
        if (grid->editor_ == editor) {
            grid->EndEdit(true);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(editor, EditorProc, kEditorSubclass);
        break;
    }
    return DefSubclassProc(editor, message, wParam, lParam);
}

void FarmGrid::PaintCell(HDC dc, const RECT& cell, const std::string& text, bool fixed, int row)
{
    const bool selected = !fixed && row == currentRow_ && GetFocus() == window_;
    COLORREF background = GetSysColor(COLOR_WINDOW);
    COLORREF foreground = GetSysColor(COLOR_WINDOWTEXT);
    if (fixed)
        background = GetSysColor(COLOR_BTNFACE);
    else if (selected)
        background = GetSysColor(COLOR_HIGHLIGHT), foreground = GetSysColor(COLOR_HIGHLIGHTTEXT);
    else if (rows_.IsEdited(row))
        background = kEditedColor;
    if (!IsWindowEnabled(window_))
        foreground = GetSysColor(COLOR_GRAYTEXT);

    SetBkColor(dc, background);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &cell, nullptr, 0, nullptr);
    RECT edge = cell;
    if (fixed) {
        DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
    } else {
        HPEN pen = CreatePen(PS_SOLID, 1, kLineColor);
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, cell.left, cell.bottom - 1, nullptr);
        LineTo(dc, cell.right - 1, cell.bottom - 1);
        LineTo(dc, cell.right - 1, cell.top - 1);
        SelectObject(dc, old);
        DeleteObject(pen);
    }
    RECT textRect = {cell.left + kTextPadding, cell.top, cell.right - kTextPadding, cell.bottom};
    SetTextColor(dc, foreground);
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void FarmGrid::Paint(HDC dc, const RECT& client)
{
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
    HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    const int lastRow = std::min(rows_.RowCount() - 1, topRow_ + VisibleRows());
    for (int row = 0; row <= lastRow; row = row == 0 ? topRow_ : row + 1) {
        for (int column = 0; column < GridRows::kColumns; ++column) {
            RECT cell;
            if (CellRect(column, row, cell))
                PaintCell(dc, cell, rows_.Cell(column, row), row == 0 || column == 0, row);
        }
    }
    SelectObject(dc, oldFont);
}

std::string FarmGrid::AllText() const
{
    std::string text;
    for (int row = 0; row < rows_.RowCount(); ++row)
        text += rows_.Cell(0, row) + '\t' + rows_.Cell(1, row) + "\r\n";
    return text;
}

LRESULT FarmGrid::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        UpdateScrollBar();
        return 0;
    case WM_SETFONT:
        font_ = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            InvalidateRect(window_, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(AllText().size());
    case WM_GETTEXT: {
        // The cells, tab-separated, one line per row: lets other programs read the grid.
        const std::string text = AllText();
        if (wParam == 0)
            return 0;
        const size_t count = std::min(text.size(), static_cast<size_t>(wParam) - 1);
        std::copy_n(text.data(), count, reinterpret_cast<char*>(lParam));
        reinterpret_cast<char*>(lParam)[count] = '\0';
        return static_cast<LRESULT>(count);
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window_, &paint);
        RECT client;
        GetClientRect(window_, &client);
        // Drawn off screen first, so rows do not flicker while the list repaints.
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
        HGDIOBJ old = SelectObject(memory, bitmap);
        Paint(memory, client);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        EndPaint(window_, &paint);
        return 0;
    }
    case WM_SIZE:
        UpdateScrollBar();
        return 0;
    case WM_ENABLE:
        if (!wParam)
            EndEdit(true);
        InvalidateRect(window_, nullptr, TRUE);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(window_, nullptr, TRUE);
        return 0;
    case WM_GETDLGCODE:
        // Enter opens the editor rather than pressing a dialog button.
        if (lParam && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
            reinterpret_cast<const MSG*>(lParam)->wParam == VK_RETURN)
            return DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTMESSAGE;
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_VSCROLL: {
        int top = topRow_;
        switch (LOWORD(wParam)) {
        case SB_LINEUP: --top; break;
        case SB_LINEDOWN: ++top; break;
        case SB_PAGEUP: top -= VisibleRows(); break;
        case SB_PAGEDOWN: top += VisibleRows(); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: top = HIWORD(wParam) + 1; break;
        case SB_TOP: top = 1; break;
        case SB_BOTTOM: top = rows_.RowCount(); break;
        }
        ScrollTo(top);
        return 0;
    }
    case WM_MOUSEWHEEL:
        ScrollTo(topRow_ - GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA);
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            POINT point;
            GetCursorPos(&point);
            ScreenToClient(window_, &point);
            if (resizing_ >= 0 || (point.y < kHeaderHeight && ColumnBorderAt(point.x) >= 0)) {
                SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
                return TRUE;
            }
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        const int x = GET_X_LPARAM(lParam);
        const int y = GET_Y_LPARAM(lParam);
        EndEdit(true);
        SetFocus(window_);
        if (y < kHeaderHeight) {
            resizing_ = ColumnBorderAt(x);
            if (resizing_ >= 0)
                SetCapture(window_);
            return 0;
        }
        const int row = topRow_ + (y - kHeaderHeight) / kRowHeight;
        if (row >= rows_.RowCount())
            return 0;
        const bool again = row == currentRow_;
        Select(row);
        // A click on the selected key, or a double click, opens the editor.
        if (x >= widths_[0] && x < widths_[0] + widths_[1] && (again || message == WM_LBUTTONDBLCLK))
            BeginEdit(nullptr);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (resizing_ >= 0) {
            const int left = resizing_ == 0 ? 0 : widths_[0];
            widths_[resizing_] = std::max(kMinColumnWidth, GET_X_LPARAM(lParam) - left);
            InvalidateRect(window_, nullptr, TRUE);
        }
        return 0;
    case WM_LBUTTONUP:
        if (resizing_ >= 0) {
            resizing_ = -1;
            ReleaseCapture();
        }
        return 0;
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_UP: Select(currentRow_ - 1); return 0;
        case VK_DOWN: Select(currentRow_ + 1); return 0;
        case VK_PRIOR: Select(currentRow_ - VisibleRows()); return 0;
        case VK_NEXT: Select(currentRow_ + VisibleRows()); return 0;
        case VK_HOME: Select(1); return 0;
        case VK_END: Select(rows_.RowCount() - 1); return 0;
        case VK_F2:
        case VK_RETURN: BeginEdit(nullptr); return 0;
        }
        break;
    case WM_CHAR:
        // Typing over a selected key replaces it, as in a spreadsheet.
        if (wParam >= ' ') {
            const std::string typed(1, static_cast<char>(wParam));
            BeginEdit(&typed);
        }
        return 0;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}
