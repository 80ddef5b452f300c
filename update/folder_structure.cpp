// Folder restructuring: a farm of the old layout (one folder "BNR" + number, values directly in
// the farm's registry key) moves to the current one (folder and subkey per application). The
// registry values are read before anything moves, and a move that fails half way is undone, so a
// farm is always wholly in one layout: folder, application-data folder and registry together.
#include "resources/resource.h"
#include "update/errors.h"
#include "update/farm.h"
#include "update/file_steps.h"
#include "update/pbf_library.h"
#include "update/records.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "update/u_log.h"
#include "util/files.h"
#include "util/registry.h"
#include "util/text.h"
#include "util/text_file.h"

#include <exception>
#include <functional>
#include <vector>

namespace {

constexpr char kNewEntrySuffix[] = "_1_1";

struct OldValues {
    std::string key;
    int saveKey = 0;
    std::string savePath;
};

// Reversals of the steps done so far, each with what stays behind if it fails. Run last step
// first unless the whole move succeeded.
class UndoSteps {
public:
    UndoSteps() = default;
    UndoSteps(const UndoSteps&) = delete;
    UndoSteps& operator=(const UndoSteps&) = delete;
    ~UndoSteps()
    {
        std::string ignored;
        Run(ignored);
    }
    void Add(std::function<bool()> step, std::string leftOver) { steps_.push_back({std::move(step), leftOver}); }
    void Commit() { steps_.clear(); }

    // Runs every step; false with what stays behind when a step failed.
    bool Run(std::string& leftOver)
    {
        bool ok = true;
        for (auto step = steps_.rbegin(); step != steps_.rend(); ++step)
            if (!step->first()) {
                leftOver += (ok ? "" : " ") + step->second;
                ok = false;
            }
        steps_.clear();
        return ok;
    }

private:
    std::vector<std::pair<std::function<bool()>, std::string>> steps_;
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

bool WriteValues(const RegKey& key, const OldValues& values)
{
    return WriteStringValue(key, names::kKeyValue, values.key) &&
           WriteIntegerValue(key, names::kSaveKeyValue, values.saveKey) &&
           WriteStringValue(key, names::kSavePathValue, values.savePath);
}

bool RenameFolder(const std::string& from, const std::string& to, UndoSteps& undo, std::string& message)
{
    if (!MoveFileA(from.c_str(), to.c_str())) {
        message = WithWindowsError(FormatText(IDS_FOLDERS_RENAME, {from, to}), GetLastError());
        return false;
    }
    undo.Add([from, to] { return MoveFileA(to.c_str(), from.c_str()) != 0; },
             FormatText(IDS_FOLDERS_LEFT_FOLDER, {from, to}));
    return true;
}

// Moves the values from the farm key into the entry key with its description; nothing to do
// when the farm key holds them no longer.
bool MoveValues(const Farm& from, const Farm& to, const OldValues& values)
{
    const RegKey entryKey = CreateUserKey(to.ValuesKeyPath());
    const RegKey farmKey = OpenUserKey(from.FarmKeyPath());
    return WriteValues(entryKey, values) &&
           WriteStringValue(entryKey, names::kDescriptionValue, LoadText(IDS_FOLDERS_DESCRIPTION)) &&
           DeleteValue(farmKey, names::kKeyValue) && DeleteValue(farmKey, names::kSaveKeyValue) &&
           DeleteValue(farmKey, names::kSavePathValue);
}

std::string JournalPath(const UpdateContext& context)
{
    return context.ProgramPath + names::kFolderJournal;
}

// Renames both folders and moves the registry values into the new subkey, or changes nothing.
// The journal beside the installation names the move until it is done, so that the next start
// can finish it after a kill.
bool MoveFarm(const UpdateContext& context, const std::string& farm, const std::string& entry,
              const OldValues& values, std::string& message)
{
    const Farm from(farm);
    const Farm to = Farm::FromEntry(farm, entry);
    if (!WriteJournal(JournalPath(context), {farm, entry})) {
        message = WithWindowsError(FormatText(IDS_PREFLIGHT_NO_WRITE, {context.ProgramPath}), GetLastError());
        return false;
    }
    UndoSteps undo;
    const std::string appData = from.AppDataFolder(context.AppDataPath);
    // A farm without application data has nothing to rename there.
    bool ok = RenameFolder(from.Folder(context.ProgramPath), to.Folder(context.ProgramPath), undo, message) &&
              (!FolderExists(appData) || RenameFolder(appData, to.AppDataFolder(context.AppDataPath), undo, message));
    if (ok) {
        const std::string farmKeyPath = from.FarmKeyPath();
        const std::string entryKeyPath = to.ValuesKeyPath();
        const bool entryExisted = UserKeyExists(entryKeyPath);
        undo.Add([entryKeyPath, entryExisted] { return entryExisted || (DeleteUserTree(entryKeyPath), true); },
                 FormatText(IDS_FOLDERS_LEFT_KEY, {farmKeyPath, entryKeyPath}));
        undo.Add([farmKeyPath, values] { return WriteValues(OpenUserKey(farmKeyPath), values); },
                 FormatText(IDS_FOLDERS_LEFT_KEY, {farmKeyPath, entryKeyPath}));
        ok = MoveValues(from, to, values);
        if (!ok)
            message = FormatText(IDS_FOLDERS_REGISTRY, {farm});
    }
    if (ok) {
        undo.Commit();
    } else if (std::string leftOver; !undo.Run(leftOver)) {
        // The journal stays: the next start tries again.
        message += FormatText(IDS_FOLDERS_UNDO_FAILED, {leftOver});
        return false;
    }
    RemoveFile(JournalPath(context));
    return ok;
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

}  // namespace

bool FRecoverFolderStructure(const UpdateContext& context)
{
    if (context.ProgramPath.empty())
        return true;
    // The journal names the farm and its new entry; anything else in it is not ours to follow.
    const std::vector<std::string> journal = ReadJournal(JournalPath(context));
    if (journal.size() < 2 || !IsPlainName(journal[0]) || !IsPlainName(journal[1]))
        return true;
    const Farm from(journal[0]);
    const Farm to = Farm::FromEntry(journal[0], journal[1]);
    std::string message;
    if (FolderExists(from.Folder(context.ProgramPath))) {
        // The farm folder was not renamed, so nothing else was changed.
        RemoveFile(JournalPath(context));
        Log(FormatText(IDS_FOLDERS_RECOVERED_OLD, {from.Name()}));
        return true;
    }
    const std::string oldAppData = from.AppDataFolder(context.AppDataPath);
    const std::string newAppData = to.AppDataFolder(context.AppDataPath);
    OldValues values;
    const RegKey farmKey = OpenUserKey(from.FarmKeyPath());
    const bool valuesLeft = farmKey && ReadStringValue(farmKey, names::kKeyValue, values.key) == ValueRead::Ok;
    if ((FolderExists(oldAppData) && !FolderExists(newAppData) && !MoveFileA(oldAppData.c_str(), newAppData.c_str())) ||
        (valuesLeft && (!ReadOldValues(from.Name(), values, message) || !MoveValues(from, to, values)))) {
        Log(FormatText(IDS_FOLDERS_NOT_RECOVERED, {from.Name()}) + ' ' + message);
        return false;
    }
    RemoveFile(JournalPath(context));
    Log(FormatText(IDS_FOLDERS_RECOVERED_NEW, {from.Name()}));
    return true;
}

bool FModifyFolderStructure(UpdateContext& context, const std::string& farm, const std::string& key,
                            std::string& message, std::string& movedTo)
{
    movedTo.clear();
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
        return false;
    }
    int code = PBF_OK;
    try {
        if (const PbfFileFunction decrypt = library.Find(names::kDecryptExport))
            code = CallPbf(decrypt, tmpCnd, tmpPlain, key);
    } catch (const PbfCrash& crash) {
        library.Release();
        message = LoadText(IDS_FOLDERS_FAILED) + FormatText(IDS_KC_CALL_ABORTED, {crash.what()});
        return false;
    }
    if (!library.Release()) {
        message = LoadText(IDS_DLL_NOT_UNLOADED);
        return false;
    }
    // Rows of the current layout, wrong keys and missing files pass here without a change.
    if (code != PBF_OK) {
        PbfResultText(code, message);
        message = LoadText(IDS_FOLDERS_FAILED) + message;
        return true;
    }

    try {
        std::string id;
        if (!ReadApplicationId(tmpPlain, farm, id, message))
            return false;
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
