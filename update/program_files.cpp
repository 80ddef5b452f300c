// Program files: the installed executables and libraries are replaced by the update's copies,
// all or nothing. The new copies are first written beside the old files ("….neu"); then each old
// file steps aside ("….alt") and its new copy takes its name; only when every file is in place
// are the old ones deleted. A journal in the program folder records whether a swap was under
// way or being committed, so that a start after a kill can undo or finish it.
#include "resources/resource.h"
#include "update/errors.h"
#include "update/file_steps.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "update/u_log.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/text.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr std::array<const char*, 26> kProgramFileList = {
    "kolvano2.exe", "kolvano3.exe",  "qzmail.dll",     "datastores.pbd", "main.pbd",      "PFCapsrv.pbd",
    "PFCdwsrv.pbd", "PFCmain.pbd",   "PFCutil.pbd",    "PFCwnsrv.pbd",   "PFEapsrv.pbd",  "PFEdwsrv.pbd",
    "PFEmain.pbd",  "PFEutil.pbd",   "PFEwnsrv.pbd",   "utilities.pbd",  "windows.pbd",   "atl71.dll",
    "gdiplus.dll",  "msvcp71.dll",   "msvcr71.dll",    "libjcc.dll",     "libjutils.dll", "PBDWE125.DLL",
    "PBSHR125.DLL", "PBVM125.DLL"};

constexpr char kSwapping[] = "tausche";
constexpr char kCommitting[] = "abschliessen";

std::string Kept(const std::string& installed)
{
    return installed + ".alt";
}

// Whether the installed file takes part in the swap: the update carries it, or it is the old
// main executable, which goes in any case.
bool IsReplaced(const UpdateContext& context, const std::string& name)
{
    return FileExists(context.UpdatePath + name) || name == names::kOldMainExe;
}

// 0 when the file can be replaced, otherwise the Windows error of opening it for writing
// without sharing, its read-only mark cleared as the unlock pass would (and then restored).
DWORD ReplaceBlocker(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly && !SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
        return GetLastError();
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    const DWORD error = file ? 0 : GetLastError();
    if (readOnly)
        SetFileAttributesA(path.c_str(), attributes);
    return error;
}

// The journal: the swap's state on the first line, then the names that had no installed file
// before, which an undo removes again.
bool WriteSwapJournal(const UpdateContext& context, const char* state, std::vector<std::string> added)
{
    added.insert(added.begin(), state);
    return WriteJournal(context.ProgramPath + names::kProgramJournal, added);
}

// Puts every old file back and removes what the swap added; false names the first file that
// could not be put back.
bool Undo(const UpdateContext& context, const std::vector<std::string>& added, std::string& failed)
{
    bool ok = true;
    for (const char* name : kProgramFileList) {
        const std::string installed = context.ProgramPath + name;
        RemoveFile(NewFileName(installed));
        if (FileExists(Kept(installed)) && !MoveFileExA(Kept(installed).c_str(), installed.c_str(),
                                                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) && ok) {
            ok = false;
            failed = name;
        }
    }
    for (const std::string& name : added)
        RemoveFile(context.ProgramPath + name);
    return ok;
}

// Deletes the old files once every new one is in place.
bool Commit(const UpdateContext& context, std::string& failed)
{
    bool ok = true;
    for (const char* name : kProgramFileList)
        if (!RemoveFile(Kept(context.ProgramPath + name)) && ok) {
            ok = false;
            failed = name;
        }
    return ok;
}

bool Stage(const UpdateContext& context, std::string& message)
{
    for (const char* name : kProgramFileList) {
        const std::string shipped = context.UpdatePath + name;
        const std::string staged = NewFileName(context.ProgramPath + name);
        if (FileExists(shipped) && (!CopyFileA(shipped.c_str(), staged.c_str(), FALSE) || !FlushToDisk(staged))) {
            message = WithWindowsError(FormatText(IDS_PROGRAM_COPY, {name}), GetLastError());
            return false;
        }
    }
    return true;
}

// Each replaced file steps aside and its new copy takes its name; false at the first failure.
bool Swap(const UpdateContext& context, std::string& message)
{
    for (const char* name : kProgramFileList) {
        const std::string installed = context.ProgramPath + name;
        const std::string staged = NewFileName(installed);
        const bool aside = !FileExists(installed) || !IsReplaced(context, name) ||
                           MoveFileExA(installed.c_str(), Kept(installed).c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!aside || (FileExists(staged) && !MoveFileExA(staged.c_str(), installed.c_str(), MOVEFILE_WRITE_THROUGH))) {
            message = WithWindowsError(FormatText(IDS_PROGRAM_COPY, {name}), GetLastError());
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<std::string> FProgramFileProblems(const UpdateContext& context)
{
    std::vector<std::string> problems;
    for (const char* name : kProgramFileList) {
        const std::string installed = context.ProgramPath + name;
        const DWORD blocker = IsReplaced(context, name) && FileExists(installed) ? ReplaceBlocker(installed) : 0;
        if (blocker != 0) {
            const unsigned int text = blocker == ERROR_ACCESS_DENIED ? IDS_PROGRAM_NO_RIGHTS : IDS_PROGRAM_LOCKED;
            problems.push_back(WithWindowsError(FormatText(text, {name}), blocker));
        }
    }
    return problems;
}

bool FUpdateProgramFiles(const UpdateContext& context, std::string& message)
{
    if (const std::vector<std::string> problems = FProgramFileProblems(context); !problems.empty()) {
        message = problems.front();
        return false;
    }
    std::vector<std::string> added;
    for (const char* name : kProgramFileList) {
        const std::string installed = context.ProgramPath + name;
        if (FileExists(installed) && !ClearFileAttributes(installed)) {
            message = WithWindowsError(FormatText(IDS_PROGRAM_ATTRIBUTES, {name}), GetLastError());
            return false;
        }
        if (!FileExists(installed) && FileExists(context.UpdatePath + name))
            added.push_back(name);
    }
    if (!Stage(context, message) || !WriteSwapJournal(context, kSwapping, added)) {
        std::string ignored;
        Undo(context, {}, ignored);
        return false;
    }
    std::string failed;
    if (!Swap(context, message)) {
        if (Undo(context, added, failed)) {
            message += LoadText(IDS_PROGRAM_RESTORED);
            RemoveFile(context.ProgramPath + names::kProgramJournal);
        }
        return false;
    }
    // From here on the new files stand; a kill is finished, not undone, at the next start.
    if (!WriteSwapJournal(context, kCommitting, {}) || !Commit(context, failed)) {
        message = WithWindowsError(FormatText(IDS_PROGRAM_NOT_RECOVERED, {failed}), GetLastError());
        return false;
    }
    RemoveFile(context.ProgramPath + names::kProgramJournal);
    return true;
}

bool FRecoverProgramFiles(const UpdateContext& context)
{
    const std::string journal = context.ProgramPath + names::kProgramJournal;
    if (context.ProgramPath.empty())
        return true;
    if (!FileExists(journal)) {
        // Copies staged before the swap began; the installed files are untouched.
        for (const char* name : kProgramFileList)
            RemoveFile(NewFileName(context.ProgramPath + name));
        return true;
    }
    const std::vector<std::string> lines = ReadJournal(journal);
    const bool committing = !lines.empty() && lines.front() == kCommitting;
    // Only names of the program file list are ever removed again.
    std::vector<std::string> added;
    for (size_t i = 1; i < lines.size(); ++i)
        if (std::find(kProgramFileList.begin(), kProgramFileList.end(), lines[i]) != kProgramFileList.end())
            added.push_back(lines[i]);
    std::string failed;
    const bool ok = committing ? Commit(context, failed) : Undo(context, added, failed);
    if (!ok) {
        Log(FormatText(IDS_PROGRAM_NOT_RECOVERED, {failed}));
        return false;
    }
    RemoveFile(journal);
    Log(LoadText(committing ? IDS_PROGRAM_RECOVERED_NEW : IDS_PROGRAM_RECOVERED_OLD));
    if (committing) {
        // Start-up runs inside the window's creation, where no exception may pass.
        try {
            RemoveShortcuts(names::kOldProduct);
            RemoveShortcuts(names::kNewProduct);
            CreateDesktopShortcut(context.ProgramPath);
            CreateStartMenuShortcuts(context.ProgramPath);
        } catch (const std::exception& error) {
            Log(ErrorText(error));
        }
    }
    return true;
}
