// The farm key grid as screen readers see it (MSAA): a table named "Eingabe Schlüssel" with one
// row per grid row, named by the farm's label; each row holds the label's cell and the key's
// cell, whose value is the key. Events name a cell by its child id of the table.
#pragma once

#include <windows.h>

namespace grid_accessible {

long RowId(int row);
long CellId(int column, int row);

// The answer to WM_GETOBJECT for the grid's client area.
LRESULT Answer(HWND grid, WPARAM flags);

}  // namespace grid_accessible
