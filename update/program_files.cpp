// Program files: the installed executables and libraries are replaced by the update's copies.
// The new copies are first written into the run's store; then each takes its installed file's
// place through the run's journal, which keeps the old file until the whole run commits.
#include "resources/resource.h"
#include "update/errors.h"
#include "update/run_journal.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/text.h"

#include <array>
#include <utility>
#include <vector>

namespace {

constexpr std::array<const char*, 26> kProgramFileList = {
    "kolvano2.exe", "kolvano3.exe",  "qzmail.dll",     "datastores.pbd", "main.pbd",      "PFCapsrv.pbd",
    "PFCdwsrv.pbd", "PFCmain.pbd",   "PFCutil.pbd",    "PFCwnsrv.pbd",   "PFEapsrv.pbd",  "PFEdwsrv.pbd",
    "PFEmain.pbd",  "PFEutil.pbd",   "PFEwnsrv.pbd",   "utilities.pbd",  "windows.pbd",   "atl71.dll",
    "gdiplus.dll",  "msvcp71.dll",   "msvcr71.dll",    "libjcc.dll",     "libjutils.dll", "PBDWE125.DLL",
    "PBSHR125.DLL", "PBVM125.DLL"};

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

}  // namespace

std::vector<std::string> FProgramFileProblems(const UpdateContext& context, size_t* held)
{
    std::vector<std::string> problems;
    for (const char* name : kProgramFileList) {
        const std::string installed = context.ProgramPath + name;
        if (FolderExists(installed) && FileExists(context.UpdatePath + name)) {
            problems.push_back(FormatText(IDS_PREFLIGHT_IN_THE_WAY, {installed}));
            continue;
        }
        const DWORD blocker = IsReplaced(context, name) && FileExists(installed) ? ReplaceBlocker(installed) : 0;
        if (blocker != 0) {
            const unsigned int text = blocker == ERROR_ACCESS_DENIED ? IDS_PROGRAM_NO_RIGHTS : IDS_PROGRAM_LOCKED;
            problems.push_back(Failure{text, {name}, blocker}.Message());
            if (held && IsHeldError(blocker))
                ++*held;
        }
    }
    return problems;
}

std::vector<std::string> FShippedProgramFiles(const UpdateContext& context)
{
    std::vector<std::string> names;
    for (const char* name : kProgramFileList)
        if (FileExists(context.UpdatePath + name))
            names.push_back(name);
    return names;
}

bool FUpdateProgramFiles(const UpdateContext& context, std::string& message)
{
    if (const std::vector<std::string> problems = FProgramFileProblems(context); !problems.empty()) {
        message = problems.front();
        return false;
    }
    // Installed files are unlocked whether or not they are replaced.
    for (const char* name : kProgramFileList) {
        const std::string installed = context.ProgramPath + name;
        if (FileExists(installed) && !ClearFileAttributes(installed)) {
            message = AtLastError(IDS_PROGRAM_ATTRIBUTES, {name}).Message();
            return false;
        }
    }
    RunJournal& journal = Changes(context);
    // Every new copy is complete in the store before the first installed file is touched.
    std::vector<std::pair<std::string, std::string>> staged;
    for (const std::string& name : FShippedProgramFiles(context)) {
        const std::string shipped = context.UpdatePath + name;
        const std::string copy = journal.StagedName(context.ProgramPath + name);
        if (!CopyFileA(shipped.c_str(), copy.c_str(), TRUE) || !FlushToDisk(copy)) {
            message = AtLastError(IDS_PROGRAM_COPY, {name}).Message();
            return false;
        }
        staged.emplace_back(copy, name);
    }
    // All of them named in the journal with one flush, then swapped.
    std::vector<RunChangePtr> changes;
    for (const auto& [copy, name] : staged)
        changes.push_back(journal.Replacing(copy, context.ProgramPath + name));
    size_t failed = 0;
    if (journal.Make(std::move(changes), &failed))
        return true;
    message = AtLastError(IDS_PROGRAM_COPY, {staged[failed].second}).Message();
    return false;
}

bool FRemoveOldMainProgram(const UpdateContext& context, std::string& message)
{
    const std::string oldMain = context.ProgramPath + names::kOldMainExe;
    if (!FileExists(oldMain) || Changes(context).Remove(oldMain))
        return true;
    message = AtLastError(IDS_PROGRAM_ATTRIBUTES, {names::kOldMainExe}).Message();
    return false;
}
