#include "update/farm.h"

#include "resources/resource.h"
#include "update/u_constants.h"
#include "util/files.h"
#include "util/registry.h"
#include "util/text.h"

namespace {

// Registry key names are at most 255 characters long.
constexpr size_t kMaxKeyName = 255;

// The text after the first "_" (at most a key name long), or the whole text without one.
std::string AfterUnderscore(const std::string& text)
{
    const size_t at = text.find('_');
    return at == std::string::npos ? text : text.substr(at + 1, kMaxKeyName);
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

}  // namespace

Farm Farm::FromLabel(const std::string& label)
{
    const size_t bar = label.find('|');
    return Farm(bar == std::string::npos ? std::string() : label.substr(0, bar));
}

Farm Farm::FromEntry(const std::string& farmKey, const std::string& entry)
{
    return Farm(farmKey + "_" + entry);
}

bool Farm::IsFarmName(const std::string& name)
{
    return name.compare(0, 3, names::kOldFarmPrefix) == 0;
}

bool Farm::IsBlank() const
{
    return Trim(name_).empty();
}

std::string Farm::EntryName() const
{
    const size_t at = name_.find('_');
    return at == std::string::npos ? std::string() : name_.substr(at + 1, kMaxKeyName);
}

std::string Farm::FarmKeyPath() const
{
    return std::string(names::kProductKey) + "\\" + name_.substr(0, name_.find('_'));
}

std::string Farm::ValuesKeyPath() const
{
    const std::string entry = EntryName();
    return entry.empty() ? FarmKeyPath() : FarmKeyPath() + "\\" + entry;
}

std::string Farm::KindCode() const
{
    return AfterUnderscore(AfterUnderscore(AfterUnderscore(name_)));
}

std::string Farm::Folder(const std::string& programPath) const
{
    return programPath + name_;
}

std::string Farm::CsvFolder(const std::string& programPath) const
{
    return Folder(programPath) + names::kFarmCsvFolder;
}

std::string Farm::DataFile(const std::string& programPath) const
{
    return CsvFolder(programPath) + names::kFarmDataFile;
}

std::string Farm::PlausiFile(const std::string& programPath) const
{
    return CsvFolder(programPath) + names::kFarmPlausiFile;
}

std::string Farm::StructureFile(const std::string& programPath) const
{
    return CsvFolder(programPath) + names::kStructureCsv;
}

std::string Farm::AppDataFolder(const std::string& appDataPath) const
{
    return appDataPath + names::kAppDataProduct + name_;
}

std::string Farm::Label(const std::string& description) const
{
    return name_ + "|" + description + "|" + KindText(KindCode());
}

std::string Farm::OldLayoutLabel() const
{
    return name_ + "|" + LoadText(IDS_OLD_LAYOUT_LABEL) + "|";
}

bool Farm::IsOldLayout(const std::string& programPath) const
{
    if (programPath.empty() || !IsFarmName(name_) || name_.find('_') != std::string::npos ||
        !FileExists(DataFile(programPath)))
        return false;
    // A farm key with application entries belongs to the current layout; a folder of the same
    // name beside the application folders is no farm of its own.
    const RegKey key = OpenUserKey(FarmKeyPath());
    return key && SubkeyNames(key).empty();
}
