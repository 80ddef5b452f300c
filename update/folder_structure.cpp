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

// Reversals of the steps done so far; run last step first unless the whole move succeeded.
class UndoSteps {
public:
    UndoSteps() = default;
    UndoSteps(const UndoSteps&) = delete;
    UndoSteps& operator=(const UndoSteps&) = delete;
    ~UndoSteps()
    {
        if (!committed_)
            for (auto step = steps_.rbegin(); step != steps_.rend(); ++step)
                (*step)();
    }
    void Add(std::function<void()> step) { steps_.push_back(std::move(step)); }
    void Commit() { committed_ = true; }

private:
    std::vector<std::function<void()>> steps_;
    bool committed_ = false;
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
        message = FormatText(IDS_FOLDERS_RENAME, {from, to});
        return false;
    }
    undo.Add([from, to] { MoveFileA(to.c_str(), from.c_str()); });
    return true;
}

// Renames both folders and moves the registry values into the new subkey, or changes nothing.
bool MoveFarm(const UpdateContext& context, const std::string& farm, const std::string& entry,
              const OldValues& values, std::string& message)
{
    const Farm from(farm);
    const Farm to = Farm::FromEntry(farm, entry);
    UndoSteps undo;
    if (!RenameFolder(from.Folder(context.ProgramPath), to.Folder(context.ProgramPath), undo, message))
        return false;
    const std::string appData = from.AppDataFolder(context.AppDataPath);
    // A farm without application data has nothing to rename there.
    if (FolderExists(appData) && !RenameFolder(appData, to.AppDataFolder(context.AppDataPath), undo, message))
        return false;

    const std::string farmKeyPath = from.FarmKeyPath();
    const std::string entryKeyPath = to.ValuesKeyPath();
    const bool entryExisted = UserKeyExists(entryKeyPath);
    undo.Add([entryKeyPath, entryExisted] {
        if (!entryExisted)
            DeleteUserTree(entryKeyPath);
    });
    const RegKey entryKey = CreateUserKey(entryKeyPath);
    undo.Add([farmKeyPath, values] { WriteValues(OpenUserKey(farmKeyPath), values); });
    const RegKey farmKey = OpenUserKey(farmKeyPath);
    if (!WriteValues(entryKey, values) ||
        !WriteStringValue(entryKey, names::kDescriptionValue, LoadText(IDS_FOLDERS_DESCRIPTION)) ||
        !DeleteValue(farmKey, names::kKeyValue) || !DeleteValue(farmKey, names::kSaveKeyValue) ||
        !DeleteValue(farmKey, names::kSavePathValue)) {
        message = FormatText(IDS_FOLDERS_REGISTRY, {farm});
        return false;
    }
    undo.Commit();
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

}  // namespace

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
        const std::string id = ApplicationId(tmpPlain);
        if (id.empty()) {
            message = FormatText(IDS_FOLDERS_NO_ID, {farm});
            return false;
        }
        // The id comes from the farm's data and becomes part of a folder name.
        if (!IsPlainName(id)) {
            message = FormatText(IDS_FOLDERS_BAD_ID, {id, farm});
            return false;
        }
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
