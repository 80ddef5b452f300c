// Folder restructuring: a farm of the old layout (one folder "BNR" + number, values directly in
// the farm's registry key) moves to the current one (folder and subkey per application). The
// registry values are read before anything moves, and every step goes through the run's journal,
// so a farm that fails half way returns wholly to the old layout with the rest of the run.
#include "resources/resource.h"
#include "update/errors.h"
#include "update/farm.h"
#include "update/file_steps.h"
#include "update/pbf_library.h"
#include "update/records.h"
#include "update/run_journal.h"
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

struct OldValues {
    std::string key;
    int saveKey = 0;
    std::string savePath;
};

bool ReadOldValues(const std::string& farm, OldValues& values, std::string& message)
{
    const RegKey key = OpenUserKey(Farm(farm).FarmKeyPath());
    if (!key) {
        message = FormatText(IDS_FOLDERS_NO_KEY, {farm});
        return false;
    }
    const char* bad = nullptr;
    if (ReadStringValue(key, names::kKeyValue, values.key) == ValueRead::WrongType)
        bad = names::kKeyValue;
    else if (ReadIntegerValue(key, names::kSaveKeyValue, values.saveKey) != ValueRead::Ok)
        bad = names::kSaveKeyValue;
    else if (ReadStringValue(key, names::kSavePathValue, values.savePath) == ValueRead::WrongType)
        bad = names::kSavePathValue;
    if (bad) {
        message = FormatText(IDS_FOLDERS_BAD_VALUE, {bad, farm});
        return false;
    }
    return true;
}

// Moves the values from the farm key into the entry key with its description, each change
// recorded in the run's journal.
bool MoveValues(RunJournal& journal, const Farm& from, const Farm& to, const OldValues& values)
{
    const std::string entryKey = to.ValuesKeyPath();
    const std::string farmKey = from.FarmKeyPath();
    return journal.CreateKey(entryKey) && journal.WriteString(entryKey, names::kKeyValue, values.key) &&
           journal.WriteInteger(entryKey, names::kSaveKeyValue, values.saveKey) &&
           journal.WriteString(entryKey, names::kSavePathValue, values.savePath) &&
           journal.WriteString(entryKey, names::kDescriptionValue, LoadText(IDS_FOLDERS_DESCRIPTION)) &&
           journal.DeleteValue(farmKey, names::kKeyValue) && journal.DeleteValue(farmKey, names::kSaveKeyValue) &&
           journal.DeleteValue(farmKey, names::kSavePathValue);
}

bool RenameFolder(RunJournal& journal, const std::string& from, const std::string& to, std::string& message)
{
    if (journal.Rename(from, to))
        return true;
    message = WithWindowsError(FormatText(IDS_FOLDERS_RENAME, {from, to}), GetLastError());
    return false;
}

// Renames both folders and moves the registry values into the new subkey. A failure leaves the
// undo to the run, which puts everything back.
bool MoveFarm(const UpdateContext& context, const std::string& farm, const std::string& entry,
              const OldValues& values, std::string& message)
{
    RunJournal& journal = Changes(context);
    const Farm from(farm);
    const Farm to = Farm::FromEntry(farm, entry);
    const std::string appData = from.AppDataFolder(context.AppDataPath);
    // A farm without application data has nothing to rename there.
    if (!RenameFolder(journal, from.Folder(context.ProgramPath), to.Folder(context.ProgramPath), message) ||
        (FolderExists(appData) && !RenameFolder(journal, appData, to.AppDataFolder(context.AppDataPath), message)))
        return false;
    if (!MoveValues(journal, from, to, values)) {
        message = FormatText(IDS_FOLDERS_REGISTRY, {farm});
        return false;
    }
    journal.Checkpoint();
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

    PbfLibrary library;
    if (!library.Load(context.UpdatePath)) {
        message = LoadText(IDS_FOLDERS_FAILED) + library.Error();
        return IdRead::Stop;
    }
    int code = PBF_OK;
    try {
        if (const PbfFileFunction decrypt = library.Find(names::kDecryptExport))
            code = CallPbf(decrypt, tmpCnd, tmpPlain, key);
    } catch (const PbfCrash& crash) {
        library.Release();
        message = LoadText(IDS_FOLDERS_FAILED) + FormatText(IDS_KC_CALL_ABORTED, {crash.what()});
        return IdRead::Stop;
    }
    if (!library.Release()) {
        message = LoadText(IDS_DLL_NOT_UNLOADED);
        return IdRead::Stop;
    }
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
    OldValues values;
    std::string id;
    return ReadOldValues(farm, values, message) &&
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
            OldValues values;
            if (!ReadOldValues(farm, values, message) || !MoveFarm(context, farm, entry, values, message))
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
