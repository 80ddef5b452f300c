// The farm key grid control: a fixed header row, a fixed read-only label column and an editable
// key column. Edited keys are shown in lime green and live only in the grid.
#pragma once

#include "app/grid_rows.h"
#include "app/window.h"
#include "util/handles.h"

#include <windows.h>

class FarmGrid : public Window {
public:
    static constexpr char kClassName[] = "KvFarmGrid";

    // Registers the window class; the dialog template creates the control by that name.
    static bool Register(HINSTANCE instance);
    // The grid behind a control of this class.
    static FarmGrid* From(HWND window) { return WindowBinding<FarmGrid>::From(window); }

    GridRows& Rows() { return rows_; }
    // Shows changed rows.
    void Refresh();
    // Takes over a key that is still being typed.
    void FinishEditing() { EndEdit(true); }
    // Column widths, row heights and margins for the DPI.
    void SetDpi(int dpi);
    // Makes the row's key cell the current one, scrolled into view.
    void Select(int row);

    explicit FarmGrid(HWND window);

private:
    friend struct WindowBinding<FarmGrid>;
    static LRESULT CALLBACK EditorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    // Painting.
    void OnPaint();
    LRESULT OnGetText(WPARAM size, LPARAM buffer) const;
    void Paint(HDC dc, const RECT& client);
    void PaintCell(HDC dc, const RECT& cell, const std::string& text, bool fixed, int row);
    int VisibleRows() const;
    int RowTop(int row) const;
    // A length of the 96-DPI layout at the grid's DPI.
    int Px(int length) const { return Scaled(length, dpi_); }
    bool CellRect(int column, int row, RECT& rect) const;
    int ColumnBorderAt(int x) const;

    // Mouse and scroll bar.
    bool OnSetCursor(LPARAM lParam);
    void OnMouse(UINT message, WPARAM wParam, LPARAM lParam);
    void OnButtonDown(int x, int y, bool doubleClick);
    void OnMouseMove(int x);
    void OnButtonUp();
    void OnScroll(WORD request, WORD thumb);

    // Keyboard.
    LRESULT OnGetDlgCode(LPARAM lParam) const;
    bool OnKeyDown(WPARAM key);
    void OnChar(WPARAM character);

    void UpdateScrollBar();
    void ScrollTo(int topRow);
    void BeginEdit(const std::string* replacement);
    void EndEdit(bool keep);
    std::string AllText() const;

    HWND editor_ = nullptr;
    int editRow_ = 0;
    HFONT font_ = nullptr;
    GridRows rows_;
    int dpi_ = kLayoutDpi;
    int widths_[GridRows::kColumns] = {500, 250};
    int topRow_ = 1;
    int currentRow_ = 1;
    int resizing_ = -1;
    GdiObject linePen_;
};
