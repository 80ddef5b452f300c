// The farm key grid's keyboard and its key editor: an edit control over the key cell, which
// Enter, Escape, the arrow keys and a lost focus end.
#include "app/farm_grid.h"

#include "app/grid_accessible.h"

#include <commctrl.h>

#include <utility>

namespace {

constexpr UINT_PTR kEditorSubclass = 1;

}  // namespace

void FarmGrid::SetKey(int row, const std::string& text)
{
    if (row < 1 || row >= rows_.RowCount() || !IsWindowEnabled(window_))
        return;
    if (editor_ && editRow_ == row)
        EndEdit(false);
    rows_.SetEditedKey(row, text);
    InvalidateRect(window_, nullptr, TRUE);
    NotifyKeyCell(EVENT_OBJECT_VALUECHANGE, row);
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
        const std::string before = rows_.Cell(1, editRow_);
        rows_.SetEditedKey(editRow_, text);
        if (rows_.Cell(1, editRow_) != before)
            NotifyKeyCell(EVENT_OBJECT_VALUECHANGE, editRow_);
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

// Enter opens the editor rather than pressing a dialog button.
LRESULT FarmGrid::OnGetDlgCode(LPARAM lParam) const
{
    const auto* pending = reinterpret_cast<const MSG*>(lParam);
    if (pending && pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN)
        return DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTMESSAGE;
    return DLGC_WANTARROWS | DLGC_WANTCHARS;
}

bool FarmGrid::OnKeyDown(WPARAM key)
{
    switch (key) {
    case VK_UP: Select(currentRow_ - 1); return true;
    case VK_DOWN: Select(currentRow_ + 1); return true;
    case VK_PRIOR: Select(currentRow_ - VisibleRows()); return true;
    case VK_NEXT: Select(currentRow_ + VisibleRows()); return true;
    case VK_HOME: Select(1); return true;
    case VK_END: Select(rows_.RowCount() - 1); return true;
    case VK_F2:
    case VK_RETURN: BeginEdit(nullptr); return true;
    }
    return false;
}

// Typing over a selected key replaces it, as in a spreadsheet.
void FarmGrid::OnChar(WPARAM character)
{
    if (character >= ' ') {
        const std::string typed(1, static_cast<char>(character));
        BeginEdit(&typed);
    }
}
