// Shortcuts: the old desktop links and start-menu folders of both product names go, the new ones
// are written through the shell's link object. A special folder that the shell cannot resolve
// is skipped rather than taken as the current folder.
#include "resources/resource.h"
#include "update/errors.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "update/u_log.h"
#include "util/files.h"
#include "util/shell_link.h"
#include "util/text.h"

#include <shlobj.h>

#include <stdexcept>
#include <vector>

namespace {

constexpr int kShowNormal = SW_SHOWNORMAL;
constexpr int kShowMaximized = SW_SHOWMAXIMIZED;

// The Programs folders of the current user and of all users that the shell can resolve.
std::vector<std::string> ProgramsFolders()
{
    std::vector<std::string> folders;
    for (int csidl : {names::kCsidlPrograms, names::kCsidlCommonPrograms}) {
        const std::string folder = GetSpecialFolderPath(csidl);
        if (!folder.empty())
            folders.push_back(folder);
    }
    return folders;
}

// Throws when the shell's link object cannot be had.
void WriteLink(const std::string& linkFile, const std::string& target, const std::string& arguments,
               const std::string& workingFolder, int showCommand)
{
    if (!CreateShellLink(linkFile, target, arguments, workingFolder, showCommand, target, 0))
        throw std::runtime_error(LoadText(IDS_SHELL_LINK));
}

}  // namespace

void RemoveShortcuts(const std::string& product)
{
    const std::string desktop = GetSpecialFolderPath(names::kCsidlDesktop);
    if (!desktop.empty() && FileExists(desktop + product + ".lnk"))
        DeleteFileA((desktop + product + ".lnk").c_str());
    const std::vector<std::string> programs = ProgramsFolders();
    for (const std::string& folder : programs) {
        const std::string productFolder = folder + names::kCompanyFolder + "\\" + product;
        if (FolderExists(productFolder))
            DeleteFolder(productFolder, false, true, false);
    }
    // An empty company folder that cannot be removed stays; the new shortcuts are still made.
    for (const std::string& folder : programs) {
        const std::string company = folder + names::kCompanyFolder;
        if (FolderExists(company) && FolderHasNoEntries(company) && !RemoveDirectoryA(company.c_str()))
            Log(WithWindowsError(FormatText(IDS_SHORTCUT_FOLDER_KEPT, {company}), GetLastError()));
    }
}

void CreateDesktopShortcut(const std::string& programPath)
{
    const std::string desktop = GetSpecialFolderPath(names::kCsidlDesktop);
    if (desktop.empty())
        return;
    const std::string program = programPath + names::kMainExe;
    WriteLink(desktop + names::kNewProduct + ".lnk", program, "", programPath, kShowNormal);
}

void CreateStartMenuShortcuts(const std::string& programPath)
{
    const std::vector<std::string> programs = ProgramsFolders();
    for (const std::string& folder : programs)
        CreateFolder(folder + names::kCompanyFolder);
    for (const std::string& folder : programs)
        CreateFolder(folder + names::kCompanyFolder + "\\" + names::kNewProduct);
    const std::string program = programPath + names::kMainExe;
    const std::string uninstaller = programPath + names::kUninstaller;
    for (const std::string& folder : programs)
        WriteLink(folder + names::kCompanyFolder + "\\" + names::kNewProduct + "\\" + names::kNewProduct + ".lnk",
                  program, "", programPath, kShowMaximized);
    for (const std::string& folder : programs)
        WriteLink(folder + names::kCompanyFolder + "\\" + names::kNewProduct + "\\" + names::kUninstallLink,
                  uninstaller, names::kUninstallArguments, programPath, kShowNormal);
}
