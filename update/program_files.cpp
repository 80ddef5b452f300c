// Program files: the installed executables and libraries are replaced by the update's copies.
// A preflight first makes sure that none of them is held by a running program, so the
// installation is never left half replaced for that reason.
#include "resources/resource.h"
#include "update/errors.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/text.h"

#include <array>

namespace {

constexpr std::array<const char*, 26> kProgramFileList = {
    "kolvano2.exe", "kolvano3.exe",  "qzmail.dll",     "datastores.pbd", "main.pbd",      "PFCapsrv.pbd",
    "PFCdwsrv.pbd", "PFCmain.pbd",   "PFCutil.pbd",    "PFCwnsrv.pbd",   "PFEapsrv.pbd",  "PFEdwsrv.pbd",
    "PFEmain.pbd",  "PFEutil.pbd",   "PFEwnsrv.pbd",   "utilities.pbd",  "windows.pbd",   "atl71.dll",
    "gdiplus.dll",  "msvcp71.dll",   "msvcr71.dll",    "libjcc.dll",     "libjutils.dll", "PBDWE125.DLL",
    "PBSHR125.DLL", "PBVM125.DLL"};

// 0 when nothing else holds the file in a way that keeps it from being replaced, otherwise the
// Windows error of the attempt. A read-only file is only opened for reading: the unlock pass
// clears that mark.
DWORD ReplaceBlocker(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const DWORD access = (attributes & FILE_ATTRIBUTE_READONLY) ? GENERIC_READ : GENERIC_WRITE;
    FileHandle file(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file ? 0 : GetLastError();
}

}  // namespace

bool FUpdateProgramFiles(const UpdateContext& context, std::string& message)
{
    for (const char* name : kProgramFileList) {
        const std::string installed = context.ProgramPath + name;
        const bool replaced = FileExists(context.UpdatePath + name) || std::string(name) == names::kOldMainExe;
        const DWORD blocker = replaced && FileExists(installed) ? ReplaceBlocker(installed) : 0;
        if (blocker != 0) {
            message = WithWindowsError(FormatText(IDS_PROGRAM_LOCKED, {name}), blocker);
            return false;
        }
    }
    for (const char* name : kProgramFileList) {
        const std::string installed = context.ProgramPath + name;
        if (FileExists(installed) && !ClearFileAttributes(installed)) {
            message = WithWindowsError(FormatText(IDS_PROGRAM_ATTRIBUTES, {name}), GetLastError());
            return false;
        }
    }
    const std::string oldExe = context.ProgramPath + names::kOldMainExe;
    if (FileExists(oldExe))
        DeleteFileA(oldExe.c_str());
    for (const char* name : kProgramFileList) {
        const std::string shipped = context.UpdatePath + name;
        if (FileExists(shipped) && !CopyFileA(shipped.c_str(), (context.ProgramPath + name).c_str(), FALSE)) {
            message = WithWindowsError(FormatText(IDS_PROGRAM_COPY, {name}), GetLastError());
            return false;
        }
    }
    return true;
}
