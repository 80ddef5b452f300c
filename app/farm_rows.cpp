#include "app/farm_rows.h"

#include "app/startup.h"
#include "resources/resource.h"
#include "update/u_constants.h"
#include "util/files.h"
#include "util/registry.h"
#include "util/text.h"

namespace {

// A string value of the key; empty when key or value is missing.
std::string ReadText(const std::string& keyPath, const char* name)
{
    std::string value;
    if (ReadStringValue(OpenUserKey(keyPath), name, value) == ValueRead::WrongType)
        throw StartupError(FormatText(IDS_WRONG_REGISTRY_TYPE, {name, keyPath}));
    return value;
}

}  // namespace

std::string BuildFarmLabel(const Farm& farm)
{
    return farm.Label(ReadText(farm.ValuesKeyPath(), names::kDescriptionValue));
}

void FillFarmGrid(GridRows& grid, const std::string& programPath)
{
    for (int row = 1; row < grid.RowCount(); ++row) {
        grid.SetCell(0, row, "");
        grid.SetCell(1, row, "");
    }
    if (!UserKeyExists(names::kProductKey))
        return;

    int filled = 0;
    const auto addRow = [&](const std::string& label, const std::string& key) {
        if (filled + 1 >= grid.RowCount())
            grid.AddRow();
        grid.SetCell(0, filled + 1, label);
        grid.SetCell(1, filled + 1, key);
        ++filled;
    };
    for (const std::string& farmKey : SubkeyNames(OpenUserKey(names::kProductKey))) {
        const Farm oldLayout(farmKey);
        if (oldLayout.IsOldLayout(programPath))
            addRow(oldLayout.OldLayoutLabel(), ReadText(oldLayout.ValuesKeyPath(), names::kKeyValue));
        for (const std::string& entry : SubkeyNames(OpenUserKey(oldLayout.FarmKeyPath()))) {
            const Farm farm = Farm::FromEntry(farmKey, entry);
            addRow(BuildFarmLabel(farm), ReadText(farm.ValuesKeyPath(), names::kKeyValue));
        }
    }
}
