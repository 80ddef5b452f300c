#include "shell/grid_rows.h"

GridRows::GridRows(const std::string& farmHeader, const std::string& keyHeader) : rows_(2)
{
    rows_[0].cells = {farmHeader, keyHeader};
}

void GridRows::AddRow()
{
    rows_.emplace_back();
}

bool GridRows::Contains(int column, int row) const
{
    return column >= 0 && column < kColumns && row >= 0 && row < RowCount();
}

const std::string& GridRows::Cell(int column, int row) const
{
    static const std::string none;
    return Contains(column, row) ? rows_[row].cells[column] : none;
}

void GridRows::SetCell(int column, int row, const std::string& text)
{
    if (Contains(column, row))
        rows_[row].cells[column] = text;
}

void GridRows::SetEditedKey(int row, const std::string& text)
{
    if (!Contains(1, row) || row == 0 || rows_[row].cells[1] == text)
        return;
    rows_[row].cells[1] = text;
    rows_[row].edited = true;
}

bool GridRows::IsEdited(int row) const
{
    return Contains(0, row) && rows_[row].edited;
}
