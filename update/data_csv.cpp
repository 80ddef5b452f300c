// Data CSVs: each of a farm's encrypted data files is decrypted, stripped of the catalogues that
// the update replaces, extended by the shipped records, stamped with the new data version and
// encrypted back. The farm file is replaced in one rename, so it is never missing or half written.
#include "resources/resource.h"
#include "update/errors.h"
#include "update/farm.h"
#include "update/pbf_library.h"
#include "update/records.h"
#include "update/run_journal.h"
#include "update/temp_files.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "update/u_log.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/registry.h"
#include "util/text.h"
#include "util/text_file.h"

#include <exception>
#include <string_view>
#include <stdexcept>
#include <vector>

namespace {

bool IsCatalogKey(const UpdateContext& context, std::string_view key)
{
    if (key.empty())
        return false;
    for (const std::string& prefix : context.CatalogList)
        if (!prefix.empty() && key.substr(0, prefix.size()) == prefix)
            return true;
    return false;
}

// ERROR_DISK_FULL when the drive of target has less room than source takes, else none.
DWORD DriveFullError(const std::string& target, const std::string& source)
{
    ULARGE_INTEGER free = {};
    const std::string folder = target.substr(0, target.find_last_of('\\') + 1);
    if (!PathExists(source) || !GetDiskFreeSpaceExA(folder.c_str(), &free, nullptr, nullptr))
        return ERROR_SUCCESS;
    return free.QuadPart < FileSize(source) ? ERROR_DISK_FULL : ERROR_SUCCESS;
}

// Filters and extends the decrypted file, encrypts it into the run's store and lets it take the
// farm file's place.
bool EditAndStore(UpdateContext& context, const PbfLibrary& library, const std::string& farm,
                  const std::string& file, const std::string& key, std::string& message)
{
    const std::string plain = context.TempPath + names::kTempPlain;
    const std::string edited = context.TempPath + names::kTempEdited;
    RunJournal& journal = Changes(context);
    const std::string staged = journal.StagedName(file);
    Log(FormatText(IDS_DATA_UPDATING, {file}));
    FFilterDataCSV(context, plain, edited);
    FAppendTextFile(context.UpdatePath + names::kCatalogCsv, edited);
    const int encrypted = staged.empty() ? PBF_CANNOT_WRITE
                                         : CallPbf(library.Find(names::kEncryptExport), edited, staged, key);
    if (encrypted == PBF_OK && journal.Replace(staged, file)) {
        context.UpdatedFarmList.push_back(farm);
        return true;
    }
    // The farm file is untouched; the run must not report success. The Windows error is the
    // tool's own call's; what the library leaves behind may come from any call inside it, so for
    // its failure only a full drive is named.
    const DWORD error = encrypted == PBF_OK || staged.empty() ? GetLastError() : DriveFullError(staged, edited);
    PbfResultText(encrypted == PBF_OK ? PBF_CANNOT_WRITE : encrypted, message);
    message = LoadText(IDS_DATA_FAILED) + message;
    if (error != ERROR_SUCCESS)
        message = WithWindowsError(message, error);
    return false;
}

// One data file: decrypt, check the version, then edit and store. A failure of the library's
// decryption leaves the file and goes on with the next (true, with the message); any other
// failure stops (false).
bool ModifyFile(UpdateContext& context, const std::string& farm, const std::string& file,
                       const std::string& key, std::string& message)
{
    const std::string plain = context.TempPath + names::kTempPlain;
    ClearFileAttributes(file);
    RemoveFile(plain);
    RemoveFile(context.TempPath + names::kTempEdited);

    // The library crashed: the farm file is untouched, but the library is not to be trusted with
    // further files.
    unsigned int abortedText = IDS_KC_CALL_ABORTED;
    const PbfStep step{LoadText(IDS_DATA_FAILED),
                       [&](const PbfCrash& crash) {
                           return LoadText(IDS_DATA_FAILED) + FormatText(abortedText, {crash.what()});
                       },
                       ReleaseFailure::BoxAndFails, nullptr};
    return WithPbfLibrary(context.UpdatePath, step, message, [&](const PbfLibrary& library) {
        try {
            const int decrypted = CallPbf(library.Find(names::kDecryptExport), file, plain, key);
            if (decrypted != PBF_OK) {
                PbfResultText(decrypted, message);
                message = LoadText(IDS_DATA_FAILED) + message;
                return true;
            }
            if (FGetDataCSVVersion(plain) != "3") {
                Log(FormatText(IDS_DATA_OLD_VERSION, {file}));
                return true;
            }
            abortedText = IDS_PBF_ENCRYPT_ABORTED;
            return EditAndStore(context, library, farm, file, key, message);
        } catch (const PbfCrash&) {
            throw;
        } catch (const std::exception& error) {
            // The tool's own side failed (temp files, the catalogue): the farm file is untouched.
            message = FormatText(IDS_DATA_EDIT_FAILED, {file, ErrorText(error)});
            return false;
        }
    });
}

}  // namespace

std::vector<std::string> FFarmDataFiles(const UpdateContext& context, const std::string& farmName)
{
    const Farm farm(farmName);
    std::vector<std::string> files = {farm.DataFile(context.ProgramPath)};
    const std::string keyPath = farm.ValuesKeyPath();
    const RegKey key = OpenUserKey(keyPath);
    if (!key)
        return files;
    std::string savePath;
    if (ReadStringValue(key, names::kSavePathValue, savePath) == ValueRead::WrongType)
        throw std::runtime_error(FormatText(IDS_WRONG_REGISTRY_TYPE, {names::kSavePathValue, keyPath}));
    savePath = Trim(savePath);
    if (savePath.empty())
        return files;
    for (const std::string& name : EntryNames(savePath + "*.CND"))
        files.push_back(savePath + name);
    return files;
}

std::string FGetDataCSVVersion(const std::string& path)
{
    LineReader reader(path);
    std::string line;
    while (reader.Next(line))
        if (records::Key(line) == records::kVersion3Marker)
            return "3";
    return "2";
}

void FFilterDataCSV(const UpdateContext& context, const std::string& source, const std::string& target)
{
    LineReader reader(source);
    LineWriter writer(target, LineWriter::kCreate);
    const std::string versionLine = records::DataVersionLine(context.UpdateVersion);
    bool versionSeen = false;
    std::string line;
    while (reader.Next(line)) {
        std::string_view key = records::Key(line);
        if (key == records::kDataVersion) {
            line = versionLine;
            key = records::Key(line);
            versionSeen = true;
        }
        if (!IsCatalogKey(context, key))
            writer.Write(line);
    }
    if (!versionSeen)
        writer.Write(versionLine);
    writer.Close();
}

void FAppendTextFile(const std::string& source, const std::string& target)
{
    LineReader reader(source, LineReader::kShipped);
    LineWriter writer(target, LineWriter::kAppend);
    std::string line;
    while (reader.Next(line))
        if (!records::Key(line).empty())
            writer.Write(line);
    writer.Close();
}

bool FModifyDataCSV(UpdateContext& context, const std::string& farm, const std::string& key, std::string& message)
{
    const TempFileGuard cleanup{context.TempPath + names::kTempPlain, context.TempPath + names::kTempEdited};
    const std::vector<std::string> files = FFarmDataFiles(context, farm);
    LogDebug(FormatText(IDS_DATA_COUNT, {std::to_string(files.size())}));
    for (const std::string& file : files)
        if (!ModifyFile(context, farm, file, key, message))
            return false;
    return true;
}
