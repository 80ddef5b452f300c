#include "app/farm_rows.h"

#include "app/startup.h"
#include "resources/resource.h"
#include "update/u_constants.h"
#include "util/files.h"
#include "util/registry.h"
#include "util/text.h"

namespace {

constexpr size_t kMaxRest = 255;

// The text after the first "_" (at most 255 characters), or the whole text without one.
std::string AfterUnderscore(const std::string& text)
{
    const size_t at = text.find('_');
    return at == std::string::npos ? text : text.substr(at + 1, kMaxRest);
}

std::string KindText(const std::string& kind)
{
    if (kind == "1")
        return LoadText(IDS_KIND_FIRST);
    if (kind == "Z")
        return LoadText(IDS_KIND_SUPPLEMENT);
    if (kind == "N")
        return LoadText(IDS_KIND_LATER);
    return kind;
}

// A string value of the key; empty when key or value is missing.
std::string ReadText(const std::string& keyPath, const char* name)
{
    std::string value;
    if (ReadStringValue(OpenUserKey(keyPath), name, value) == ValueRead::WrongType)
        throw StartupError(FormatText(IDS_WRONG_REGISTRY_TYPE, {name, keyPath}));
    return value;
}

}  // namespace

std::string BuildFarmLabel(const std::string& farmId)
{
    const size_t at = farmId.find('_');
    const std::string farm = at == std::string::npos ? std::string() : farmId.substr(0, at);
    const std::string rest = at == std::string::npos ? farmId : farmId.substr(at + 1, kMaxRest);

    const std::string description =
        ReadText(std::string(names::kProductKey) + "\\" + farm + "\\" + rest, names::kDescriptionValue);
    const std::string kind = AfterUnderscore(AfterUnderscore(rest));
    return farmId + "|" + description + "|" + KindText(kind);
}

void FillFarmGrid(GridRows& grid, const std::string& programPath)
{
    for (int row = 1; row < grid.RowCount(); ++row) {
        grid.SetCell(0, row, "");
        grid.SetCell(1, row, "");
    }
    if (!UserKeyExists(names::kProductKey))
        return;
    const std::vector<std::string> farms = SubkeyNames(OpenUserKey(names::kProductKey));

    int filled = 0;
    const auto addRow = [&](const std::string& label, const std::string& key) {
        if (filled + 1 >= grid.RowCount())
            grid.AddRow();
        grid.SetCell(0, filled + 1, label);
        grid.SetCell(1, filled + 1, key);
        ++filled;
    };
    for (const std::string& farm : farms) {
        const std::string farmKey = std::string(names::kProductKey) + "\\" + farm;
        if (!programPath.empty() && farm.find('_') == std::string::npos && FolderExists(programPath + farm))
            addRow(farm + "|" + LoadText(IDS_OLD_LAYOUT_LABEL) + "|", ReadText(farmKey, names::kKeyValue));
        for (const std::string& entry : SubkeyNames(OpenUserKey(farmKey))) {
            const std::string key = ReadText(farmKey + "\\" + entry, names::kKeyValue);
            addRow(BuildFarmLabel(farm + "_" + entry), key);
        }
    }
}
