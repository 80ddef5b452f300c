// The cells of the farm key grid, without the window: row 0 is the header, column 0 the farm
// label, column 1 the key.
#pragma once

#include <array>
#include <string>
#include <vector>

class GridRows {
public:
    static constexpr int kColumns = 2;

    // The design-time grid: the header and one empty data row.
    GridRows(const std::string& farmHeader, const std::string& keyHeader);

    int RowCount() const { return static_cast<int>(rows_.size()); }
    void AddRow();

    // Empty for a cell outside the grid.
    const std::string& Cell(int column, int row) const;
    void SetCell(int column, int row, const std::string& text);

    // A key the user changed in the grid.
    void SetEditedKey(int row, const std::string& text);
    bool IsEdited(int row) const;

private:
    struct Row {
        std::array<std::string, kColumns> cells;
        bool edited = false;
    };
    bool Contains(int column, int row) const;

    std::vector<Row> rows_;
};
