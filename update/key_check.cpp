// Key verification: a key is right when the library can decrypt a copy of the farm's data file.
#include "resources/resource.h"
#include "update/pbf_library.h"
#include "update/temp_files.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "update/u_log.h"
#include "util/files.h"
#include "util/text.h"

namespace {

// The key is a secret: the debug log only says whether one was given.
std::string MaskedKey(const std::string& key)
{
    return key.empty() ? std::string() : std::string("********");
}

bool Fail(std::string& message, const std::string& text, bool log)
{
    if (log)
        Log(text);
    else
        LogDebug(text);
    message = text;
    return false;
}

// Copies the farm's file to the temp folder, where the check works on it.
bool CopyForCheck(const std::string& cndFile, const std::string& tmpcndFile, const std::string& tmpname,
                  std::string& message)
{
    LogDebug(FormatText(IDS_KC_DELETE_TMPCND, {tmpcndFile}));
    if (FileExists(tmpcndFile) && !DeleteFileA(tmpcndFile.c_str()))
        return Fail(message, FormatText(IDS_KC_TMPCND_LOCKED, {tmpcndFile}), true);
    LogDebug(FormatText(IDS_KC_COPY, {cndFile, tmpcndFile}));
    if (!CopyFileA(cndFile.c_str(), tmpcndFile.c_str(), TRUE))
        return Fail(message, FormatText(IDS_KC_COPY_FAILED, {cndFile, tmpcndFile}), true);
    LogDebug(LoadText(IDS_KC_ATTRIBUTES));
    ClearFileAttributes(tmpcndFile);
    LogDebug(FormatText(IDS_KC_DELETE_TMPNAME, {tmpname}));
    if (FileExists(tmpname))
        DeleteFileA(tmpname.c_str());
    return true;
}

}  // namespace

bool FIsRightKeyForFile(const UpdateContext& context, const std::string& farm, const std::string& cndFile,
                        const std::string& key, std::string& message)
{
    const std::string tmpcndFile = context.TempPath + names::kTempCnd;
    const std::string tmpname = context.TempPath + names::kTempPlain;
    const TempFileGuard cleanup{tmpname, tmpcndFile};

    LogDebug(LoadText(IDS_KC_BEGIN));
    if (!CopyForCheck(cndFile, tmpcndFile, tmpname, message))
        return false;
    if (!FileExists(context.UpdatePath + names::kPbfLibrary))
        return Fail(message, LoadText(IDS_KC_NO_LIBRARY), true);
    LogDebug(LoadText(IDS_KC_LOAD));
    const PbfStep step{LoadText(IDS_KC_LOAD_FAILED) + ' ',
                       [&](const PbfCrash& crash) {
                           return FormatText(IDS_KC_FAILED, {farm}) + FormatText(IDS_KC_CALL_ABORTED, {crash.what()});
                       },
                       ReleaseFailure::Fails, LogDebug};
    bool called = false;
    const bool result = WithPbfLibrary(context.UpdatePath, step, message, [&](const PbfLibrary& library) {
        LogDebug(LoadText(IDS_KC_FIND));
        const PbfFileFunction decrypt = library.Find(names::kDecryptExport);
        if (!decrypt)
            return Fail(message, LoadText(IDS_KC_FIND_FAILED), true);
        called = true;
        LogDebug(LoadText(IDS_KC_CALL));
        LogDebug(FormatText(IDS_KC_CALL_SOURCE, {tmpcndFile}));
        LogDebug(FormatText(IDS_KC_CALL_TARGET, {tmpname}));
        LogDebug(FormatText(IDS_KC_CALL_KEY, {MaskedKey(key)}));
        const int code = CallPbf(decrypt, tmpcndFile, tmpname, key);
        if (code == PBF_OK)
            return true;
        PbfResultText(code, message);
        message = FormatText(IDS_KC_FAILED, {farm}) + message;
        return false;
    });
    if (!called)
        return false;

    LogDebug(FormatText(IDS_KC_DELETE_PLAIN, {tmpname}));
    RemoveFile(tmpname);
    LogDebug(FormatText(IDS_KC_DELETE_COPY, {tmpcndFile}));
    RemoveFile(tmpcndFile);
    LogDebug(LoadText(IDS_KC_END));
    return result;
}
