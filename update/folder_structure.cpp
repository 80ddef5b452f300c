// Folder restructuring: a farm of the old layout (one folder "BNR" + number, values directly in
// the farm's registry key) moves to the current one (folder and subkey per application). The
// registry values are read before anything moves, and every step goes through the run's journal,
// so a farm that fails half way returns wholly to the old layout with the rest of the run.
#include "resources/resource.h"
#include "update/errors.h"
#include "update/farm.h"
#include "update/pbf_library.h"
#include "update/records.h"
#include "update/run_changes.h"
#include "update/run_journal.h"
#include "update/temp_files.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "update/u_log.h"
#include "util/files.h"
#include "util/registry.h"
#include "util/text.h"
#include "util/text_file.h"

#include <exception>
#include <vector>

namespace {

constexpr char kNewEntrySuffix[] = "_1_1";

// The farm key's values must be of the kinds the entry key takes before they are moved there.
bool CheckOldValues(const std::string& farm, std::string& message)
{
    const RegKey key = OpenUserKey(Farm(farm).FarmKeyPath());
    if (!key) {
        message = FormatText(IDS_FOLDERS_NO_KEY, {farm});
        return false;
    }
    std::string text;
    int number = 0;
    const char* bad = nullptr;
    if (ReadStringValue(key, names::kKeyValue, text) == ValueRead::WrongType)
        bad = names::kKeyValue;
    else if (ReadIntegerValue(key, names::kSaveKeyValue, number) != ValueRead::Ok)
        bad = names::kSaveKeyValue;
    else if (ReadStringValue(key, names::kSavePathValue, text) == ValueRead::WrongType)
        bad = names::kSavePathValue;
    if (bad) {
        message = FormatText(IDS_FOLDERS_BAD_VALUE, {bad, farm});
        return false;
    }
    return true;
}

// Moves the values from the farm key into the entry key with its description. A value the farm
// key lacks arrives empty, as it was read.
bool MoveValues(RunJournal& journal, const Farm& from, const Farm& to)
{
    const std::string entryKey = to.ValuesKeyPath();
    const std::string farmKey = from.FarmKeyPath();
    std::vector<RunChangePtr> changes;
    if (!UserKeyExists(entryKey))
        changes.push_back(CreateKey(entryKey));
    const RegKey key = OpenUserKey(farmKey);
    for (const char* name : {names::kKeyValue, names::kSaveKeyValue, names::kSavePathValue}) {
        unsigned long type = 0;
        std::string data;
        if (ReadRawValue(key, name, type, data))
            changes.push_back(MoveValue(farmKey, name, entryKey));
        else
            changes.push_back(SetValue(entryKey, name, REG_SZ, std::string(1, '\0'), false));
    }
    const std::string description = LoadText(IDS_FOLDERS_DESCRIPTION);
    changes.push_back(
        SetValue(entryKey, names::kDescriptionValue, REG_SZ, std::string(description.c_str(), description.size() + 1), false));
    return journal.Make(std::move(changes));
}

// Renames both folders (a farm without application data has nothing to rename there) and moves
// the registry values into the new subkey. A failure leaves the undo to the run, which puts
// everything back.
bool MoveFarm(const UpdateContext& context, const std::string& farm, const std::string& entry, std::string& message)
{
    RunJournal& journal = Changes(context);
    const Farm from(farm);
    const Farm to = Farm::FromEntry(farm, entry);
    std::vector<std::pair<std::string, std::string>> renames = {
        {from.Folder(context.ProgramPath), to.Folder(context.ProgramPath)}};
    const std::string appData = from.AppDataFolder(context.AppDataPath);
    if (FolderExists(appData))
        renames.emplace_back(appData, to.AppDataFolder(context.AppDataPath));
    std::vector<RunChangePtr> changes;
    for (const auto& [oldName, newName] : renames)
        changes.push_back(RenameEntry(oldName, newName));
    size_t failed = 0;
    if (!journal.Make(std::move(changes), &failed)) {
        message = AtLastError(IDS_FOLDERS_RENAME, {renames[failed].first, renames[failed].second}).Message();
        return false;
    }
    if (!MoveValues(journal, from, to)) {
        message = FormatText(IDS_FOLDERS_REGISTRY, {farm});
        return false;
    }
    return true;
}

// The application id: the value of the last application-id record.
std::string ApplicationId(const std::string& plain)
{
    LineReader reader(plain);
    std::string id;
    std::string line;
    while (reader.Next(line))
        if (records::Key(line) == records::kApplicationId)
            id = records::Value(line);
    return id;
}

// The farm's application id, which becomes part of its new folder name: false with the message
// when there is none or it is no plain name.
bool ReadApplicationId(const std::string& plain, const std::string& farm, std::string& id, std::string& message)
{
    id = ApplicationId(plain);
    if (id.empty()) {
        message = FormatText(IDS_FOLDERS_NO_ID, {farm});
        return false;
    }
    if (!IsPlainName(id)) {
        message = FormatText(IDS_FOLDERS_BAD_ID, {id, farm});
        return false;
    }
    return true;
}

enum class IdRead { Stop, Passed, Found };

// The farm's application id, read from its data file decrypted into the temp folder, which is
// removed again on every path. Passed, with the message, when the library refuses the file (rows
// of the current layout, wrong keys, missing files); Stop when the library failed or the data
// holds no usable id.
IdRead ReadFarmApplicationId(const UpdateContext& context, const std::string& farm, const std::string& key,
                             std::string& id, std::string& message)
{
    const std::string tmpCnd = context.TempPath + names::kTempCnd;
    const std::string tmpPlain = context.TempPath + names::kTempPlain;
    const TempFileGuard cleanup{tmpPlain, tmpCnd};
    RemoveFile(tmpCnd);
    CopyFileA(Farm(farm).DataFile(context.ProgramPath).c_str(), tmpCnd.c_str(), TRUE);
    ClearFileAttributes(tmpCnd);
    RemoveFile(tmpPlain);

    const PbfStep step{LoadText(IDS_FOLDERS_FAILED),
                       [](const PbfCrash& crash) {
                           return LoadText(IDS_FOLDERS_FAILED) + FormatText(IDS_KC_CALL_ABORTED, {crash.what()});
                       },
                       ReleaseFailure::Fails, nullptr};
    int code = PBF_OK;
    if (!WithPbfLibrary(context.UpdatePath, step, message, [&](const PbfLibrary& library) {
            if (const PbfFileFunction decrypt = library.Find(names::kDecryptExport))
                code = CallPbf(decrypt, tmpCnd, tmpPlain, key);
            return true;
        }))
        return IdRead::Stop;
    if (code != PBF_OK) {
        PbfResultText(code, message);
        message = LoadText(IDS_FOLDERS_FAILED) + message;
        return IdRead::Passed;
    }
    try {
        return ReadApplicationId(tmpPlain, farm, id, message) ? IdRead::Found : IdRead::Stop;
    } catch (const std::exception& error) {
        message = LoadText(IDS_FOLDERS_FAILED) + ErrorText(error);
        return IdRead::Stop;
    }
}

}  // namespace

bool FCheckOldLayoutFarm(const UpdateContext& context, const std::string& farm, const std::string& key,
                         std::string& message)
{
    std::string id;
    return CheckOldValues(farm, message) &&
           ReadFarmApplicationId(context, farm, key, id, message) != IdRead::Stop;
}

bool FModifyFolderStructure(UpdateContext& context, const std::string& farm, const std::string& key,
                            std::string& message, std::string& movedTo)
{
    movedTo.clear();
    std::string id;
    const IdRead read = ReadFarmApplicationId(context, farm, key, id, message);
    if (read != IdRead::Found)
        return read == IdRead::Passed;
    try {
        const std::string entry = id + kNewEntrySuffix;
        if (context.RestructureFolders) {
            if (!CheckOldValues(farm, message) || !MoveFarm(context, farm, entry, message))
                return false;
            movedTo = Farm::FromEntry(farm, entry).Name();
        }
        if (context.UpdateDataCsvs) {
            Log(FormatText(IDS_FOLDERS_DATA, {farm}));
            return FModifyDataCSV(context, Farm::FromEntry(farm, entry).Name(), key, message);
        }
    } catch (const std::exception& error) {
        message = LoadText(IDS_FOLDERS_FAILED) + ErrorText(error);
        return false;
    }
    return true;
}
