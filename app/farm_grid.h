// The farm key grid control: a fixed header row, a fixed read-only label column and an editable
// key column. Edited keys are shown in lime green and live only in the grid.
#pragma once

#include "app/grid_rows.h"

#include <windows.h>

#include <memory>

class FarmGrid {
public:
    static constexpr char kClassName[] = "KvFarmGrid";

    // Registers the window class; the dialog template creates the control by that name.
    static bool Register(HINSTANCE instance);
    // The grid behind a control of this class.
    static FarmGrid* From(HWND window);

    GridRows& Rows() { return rows_; }
    // Shows changed rows.
    void Refresh();
    // Takes over a key that is still being typed.
    void FinishEditing() { EndEdit(true); }

    explicit FarmGrid(HWND window);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK EditorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    void Paint(HDC dc, const RECT& client);
    void PaintCell(HDC dc, const RECT& cell, const std::string& text, bool fixed, int row);
    int VisibleRows() const;
    int RowTop(int row) const;
    bool CellRect(int column, int row, RECT& rect) const;
    int ColumnBorderAt(int x) const;
    void UpdateScrollBar();
    void ScrollTo(int topRow);
    void Select(int row);
    void BeginEdit(const std::string* replacement);
    void EndEdit(bool keep);
    std::string AllText() const;

    HWND window_;
    HWND editor_ = nullptr;
    int editRow_ = 0;
    HFONT font_ = nullptr;
    GridRows rows_;
    int widths_[GridRows::kColumns] = {500, 250};
    int topRow_ = 1;
    int currentRow_ = 1;
    int resizing_ = -1;
};
