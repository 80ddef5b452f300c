// Shortcuts: the old desktop links and start-menu folders of both product names go aside, the new
// ones are written through the shell's link object; every step goes through the run's journal. A special folder that the shell cannot resolve
// is skipped rather than taken as the current folder.
#include "resources/resource.h"
#include "update/errors.h"
#include "update/run_journal.h"
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

// Writes a new link through the run's journal, setting aside one that stands there. Throws when
// the name cannot be freed or the shell cannot write the link, so the run stops and is undone.
void WriteLink(RunJournal& journal, const std::string& linkFile, const std::string& target,
               const std::string& arguments, const std::string& workingFolder, int showCommand)
{
    if (FileExists(linkFile) && !journal.Remove(linkFile))
        throw std::runtime_error(AtLastError(IDS_FILE_NOT_WRITABLE, {linkFile}).Message());
    const bool made = journal.Create(linkFile, [&](const std::string& path) {
        return CreateShellLink(path, target, arguments, workingFolder, showCommand, target, 0);
    });
    if (!made)
        throw std::runtime_error(FormatText(IDS_FILE_NOT_WRITABLE, {linkFile}) + " " + LoadText(IDS_SHELL_LINK));
}

}  // namespace

void RemoveShortcuts(const UpdateContext& context, const std::string& product)
{
    RunJournal& journal = Changes(context);
    const std::string desktop = GetSpecialFolderPath(names::kCsidlDesktop);
    if (!desktop.empty() && FileExists(desktop + product + ".lnk"))
        journal.Remove(desktop + product + ".lnk");
    const std::vector<std::string> programs = ProgramsFolders();
    // A standard user may not change the all-users start menu: said, and the run goes on.
    for (const std::string& folder : programs) {
        const std::string productFolder = folder + names::kCompanyFolder + "\\" + product;
        if (FolderExists(productFolder) && !journal.Remove(productFolder))
            Log(AtLastError(IDS_SHORTCUT_NOT_REMOVED, {productFolder}).Message());
    }
    // An empty company folder that cannot be removed stays; the new shortcuts are still made.
    for (const std::string& folder : programs) {
        const std::string company = folder + names::kCompanyFolder;
        if (FolderExists(company) && FolderHasNoEntries(company) && !journal.Remove(company))
            Log(AtLastError(IDS_SHORTCUT_FOLDER_KEPT, {company}).Message());
    }
}

void CreateDesktopShortcut(const UpdateContext& context)
{
    const std::string desktop = GetSpecialFolderPath(names::kCsidlDesktop);
    if (desktop.empty())
        return;
    const std::string program = context.ProgramPath + names::kMainExe;
    WriteLink(Changes(context), desktop + names::kNewProduct + ".lnk", program, "", context.ProgramPath, kShowNormal);
}

void CreateStartMenuShortcuts(const UpdateContext& context)
{
    RunJournal& journal = Changes(context);
    const std::string& programPath = context.ProgramPath;
    const std::string common = GetSpecialFolderPath(names::kCsidlCommonPrograms);
    std::vector<std::string> programs;
    for (const std::string& folder : ProgramsFolders()) {
        const std::string company = folder + names::kCompanyFolder;
        if ((journal.CreateFolder(company) && journal.CreateFolder(company + "\\" + names::kNewProduct)) ||
            folder != common)
            programs.push_back(folder);
        else
            // Without the right to write to the all-users start menu, the user's own links suffice.
            Log(AtLastError(IDS_SHORTCUT_COMMON_SKIPPED, {company}).Message());
    }
    const std::string program = programPath + names::kMainExe;
    const std::string uninstaller = programPath + names::kUninstaller;
    for (const std::string& folder : programs)
        WriteLink(journal, folder + names::kCompanyFolder + "\\" + names::kNewProduct + "\\" + names::kNewProduct + ".lnk",
                  program, "", programPath, kShowMaximized);
    for (const std::string& folder : programs)
        WriteLink(journal, folder + names::kCompanyFolder + "\\" + names::kNewProduct + "\\" + names::kUninstallLink,
                  uninstaller, names::kUninstallArguments, programPath, kShowNormal);
}
