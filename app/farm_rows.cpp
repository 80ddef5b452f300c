#include "app/farm_rows.h"

#include "app/startup.h"
#include "resources/resource.h"
#include "update/u_constants.h"
#include "util/files.h"
#include "util/registry.h"
#include "util/text.h"

namespace {

// A string value of the open key at the path; empty when key or value is missing.
std::string ReadText(const RegKey& key, const std::string& keyPath, const char* name)
{
    std::string value;
    if (ReadStringValue(key, name, value) == ValueRead::WrongType)
        throw StartupError(FormatText(IDS_WRONG_REGISTRY_TYPE, {name, keyPath}));
    return value;
}

}  // namespace

std::string BuildFarmLabel(const Farm& farm)
{
    return farm.Label(ReadText(OpenUserKey(farm.ValuesKeyPath()), farm.ValuesKeyPath(), names::kDescriptionValue));
}

// Each key is opened once, relative to its parent: with a thousand farms the registry calls are
// most of the window's start.
void FillFarmGrid(GridRows& grid, const std::string& programPath)
{
    for (int row = 1; row < grid.RowCount(); ++row) {
        grid.SetCell(0, row, "");
        grid.SetCell(1, row, "");
    }
    const RegKey product = OpenUserKey(names::kProductKey);
    if (!product)
        return;

    int filled = 0;
    const auto addRow = [&](const std::string& label, const std::string& key) {
        if (filled + 1 >= grid.RowCount())
            grid.AddRow();
        grid.SetCell(0, filled + 1, label);
        grid.SetCell(1, filled + 1, key);
        ++filled;
    };
    for (const std::string& farmKey : SubkeyNames(product)) {
        const Farm oldLayout(farmKey);
        // The key the farm's name leads to, as Farm::FarmKeyPath names it.
        const RegKey farmValues = OpenSubkey(product, farmKey.substr(0, farmKey.find('_')));
        const std::vector<std::string> entries = SubkeyNames(farmValues);
        // A farm key with application entries belongs to the current layout.
        if (entries.empty() && oldLayout.IsOldLayout(programPath))
            addRow(oldLayout.OldLayoutLabel(), ReadText(farmValues, oldLayout.ValuesKeyPath(), names::kKeyValue));
        for (const std::string& entry : entries) {
            const Farm farm = Farm::FromEntry(farmKey, entry);
            const RegKey values = OpenSubkey(farmValues, entry);
            const std::string label =
                farm.Label(ReadText(values, farm.ValuesKeyPath(), names::kDescriptionValue));
            addRow(label, ReadText(values, farm.ValuesKeyPath(), names::kKeyValue));
        }
    }
}
