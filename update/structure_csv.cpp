// Structure files and application data: farms whose data CSVs this run rewrote receive the
// shipped structure file when it is newer, and lose their stale application data.
#include "resources/resource.h"
#include "update/farm.h"
#include "update/run_journal.h"
#include "update/temp_files.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "update/u_log.h"
#include "util/errors.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/text.h"
#include "util/text_file.h"
#include "util/versions.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace {

constexpr char kStampMarker[] = ";version=";
constexpr size_t kStampStart = 9;
constexpr size_t kMaxStamp = 255;
constexpr char kOldestFarmStamp[] = "2000.01.01.00";
constexpr char kNewestShippedStamp[] = "2099.12.31.00";

// Lists every "BNR" entry of the installation with its line and keeps those rewritten this run.
std::vector<std::string> UpdatedFarms(const UpdateContext& context)
{
    std::vector<std::string> farms;
    for (const std::string& name : EntryNames(context.ProgramPath + "*.*")) {
        if (!Farm::IsFarmName(name))
            continue;
        if (IsDataCsvUpdated(context, name)) {
            farms.push_back(name);
            Log(FormatText(IDS_STRUCTURE_LISTED, {name}));
        } else {
            Log(FormatText(IDS_STRUCTURE_NOT_LISTED, {name}));
        }
    }
    return farms;
}

std::string FirstLine(const std::string& path, LineReader::Encoding encoding)
{
    LineReader reader(path, encoding);
    std::string line;
    reader.Next(line);
    return line;
}

std::string StampDigits(const std::string& line, const char* missing)
{
    std::string stamp = line.find(kStampMarker) == std::string::npos
                            ? std::string(missing)
                            : line.substr(std::min(kStampStart, line.size()), kMaxStamp);
    stamp.erase(std::remove(stamp.begin(), stamp.end(), '.'), stamp.end());
    return stamp;
}

}  // namespace

bool IsDataCsvUpdated(const UpdateContext& context, const std::string& farm)
{
    return std::find(context.UpdatedFarmList.begin(), context.UpdatedFarmList.end(), farm) !=
           context.UpdatedFarmList.end();
}

bool FIsNewerStructureCSV(const std::string& shipped, const std::string& farmFile, const std::string& farm)
{
    const std::string shippedLine = FirstLine(shipped, LineReader::kShipped);
    const std::string shippedDigits = StampDigits(shippedLine, kNewestShippedStamp);
    const auto shippedNumber = ToVersionNumber(shippedDigits);
    // A farm file whose stamp cannot be read would stop every later run: it counts as older.
    std::string farmDigits;
    try {
        farmDigits = StampDigits(FirstLine(farmFile, LineReader::kCp1252), kOldestFarmStamp);
        ToVersionNumber(farmDigits);
    } catch (const std::exception&) {
        Log(FormatText(IDS_STRUCTURE_UNREADABLE, {farm}));
        return true;
    }
    if (ToVersionNumber(farmDigits) < shippedNumber) {
        Log(FormatText(IDS_STRUCTURE_NEWER, {farm, shippedDigits}));
        return true;
    }
    Log(FormatText(IDS_STRUCTURE_CURRENT, {farm, farmDigits}));
    return false;
}

void FRemoveFarmAppData(const UpdateContext& context, const std::string& farm)
{
    const std::string folder = Farm(farm).AppDataFolder(context.AppDataPath);
    // Files go aside until the run commits, named in the journal at once; subfolders stay with
    // their contents.
    RunJournal& journal = Changes(context);
    std::vector<RunChangePtr> changes;
    for (const std::string& name : EntryNames(folder + "\\*.*")) {
        const std::string path = folder + "\\" + name;
        if (FileExists(path))
            changes.push_back(journal.Removing(path));
    }
    if (!changes.empty() && !journal.Make(std::move(changes)))
        throw FileError(FileError::kWrite, folder, GetLastError());
}

void FUpdateStructureCSV(const UpdateContext& context)
{
    const std::string shipped = context.UpdatePath + names::kStructureCsv;
    // Farms receive the structure file in code page 1252, whatever the update folder holds.
    const TempFileGuard cleanup{context.TempPath + names::kTempStructure};
    const std::string source = ShippedText(shipped, context.TempPath + names::kTempStructure);
    RunJournal& journal = Changes(context);
    for (const std::string& farm : UpdatedFarms(context)) {
        const std::string farmFile = Farm(farm).StructureFile(context.ProgramPath);
        if (!FIsNewerStructureCSV(source, farmFile, farm))
            continue;
        // Written into the store and renamed over, so the farm never holds half a structure file.
        const std::string staged = journal.StagedName(farmFile);
        if (!CopyFileA(source.c_str(), staged.c_str(), TRUE) || !journal.Replace(staged, farmFile))
            throw FileError(FileError::kWrite, farmFile, GetLastError());
        FRemoveFarmAppData(context, farm);
    }
}

void FDeleteAppData(const UpdateContext& context)
{
    for (const std::string& farm : UpdatedFarms(context))
        FRemoveFarmAppData(context, farm);
}
