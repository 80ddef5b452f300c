// The farm key grid control: a fixed header row, a fixed read-only label column and an editable
// key column. Edited keys are shown in lime green, or in bold and framed under a high-contrast
// theme, and live only in the grid.
#pragma once

#include "shell/grid_rows.h"
#include "app/window.h"
#include "util/handles.h"

#include <windows.h>

// The colours the grid draws with. Under a high-contrast theme only the theme's own colours,
// and an edited key is marked by its bold, framed text rather than by a colour.
struct GridColors {
    COLORREF background;
    COLORREF text;
    COLORREF fixedBackground;
    COLORREF fixedText;
    COLORREF selectedBackground;
    COLORREF selectedText;
    COLORREF editedBackground;
    COLORREF editedText;
    COLORREF disabledText;
    COLORREF line;
    bool markEdited;
};
GridColors ChooseGridColors(bool highContrast);

// Whether a high-contrast theme is on.
bool HighContrastOn();

class FarmGrid : public Window {
public:
    static constexpr char kClassName[] = "KvFarmGrid";

    // Registers the window class; the dialog template creates the control by that name.
    static bool Register(HINSTANCE instance);
    // The grid behind a control of this class.
    static FarmGrid* From(HWND window) { return WindowBinding<FarmGrid>::From(window); }

    GridRows& Rows() { return rows_; }
    const GridRows& Rows() const { return rows_; }
    // Shows changed rows.
    void Refresh();
    // Takes over a key that is still being typed.
    void FinishEditing() { EndEdit(true); }
    // Column widths, row heights and margins for the DPI.
    void SetDpi(int dpi);
    // Makes the row's key cell the current one, scrolled into view.
    void Select(int row);
    int CurrentRow() const { return currentRow_; }
    // Whether the grid or its editor has the keyboard focus.
    bool HasFocus() const;
    // A key set from outside the keyboard, by an assistive program.
    void SetKey(int row, const std::string& text);
    // The cell's rectangle on the screen; false when it is scrolled out of view.
    bool CellScreenRect(int column, int row, RECT& rect) const;
    // The cell under a point of the screen; false when there is none.
    bool CellAt(POINT screen, int& column, int& row) const;

    explicit FarmGrid(HWND window);

private:
    friend struct WindowBinding<FarmGrid>;
    static LRESULT CALLBACK EditorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleDisplay(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool HandleInput(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Painting.
    void OnColorsChanged();
    void OnPaint();
    LRESULT OnGetText(WPARAM size, LPARAM buffer) const;
    void Paint(HDC dc, const RECT& client);
    void PaintCell(HDC dc, const RECT& cell, const std::string& text, bool fixed, int row);
    void SetFont(HFONT font);
    int VisibleRows() const;
    int RowTop(int row) const;
    // The data row at a height below the header, counted while scrolled.
    int RowAt(int y) const;
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
    // Tells assistive programs that the row's key cell changed in the way the event says.
    void NotifyKeyCell(DWORD event, int row) const;

    HWND editor_ = nullptr;
    int editRow_ = 0;
    HFONT font_ = nullptr;
    GdiObject boldFont_;
    GridRows rows_;
    GridColors colors_;
    int dpi_ = kLayoutDpi;
    int widths_[GridRows::kColumns] = {500, 250};
    int topRow_ = 1;
    int currentRow_ = 1;
    int resizing_ = -1;
    GdiObject linePen_;
};
