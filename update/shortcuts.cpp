// Shortcuts: the old desktop links and start-menu folders of both product names go, the new ones
// are written through the shell's link object. A special folder that the shell cannot resolve
// is skipped rather than taken as the current folder.
#include "resources/resource.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/text.h"

#include <shlobj.h>

#include <stdexcept>
#include <vector>

namespace {

constexpr DWORD kLinkContext = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;
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

std::wstring Wide(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), size);
    return wide;
}

}  // namespace

void CreateShellLink(const std::string& linkFile, const std::string& target, const std::string& arguments,
                     const std::string& workingFolder, int showCommand, const std::string& iconFile,
                     unsigned char iconIndex)
{
    ComPtr<IUnknown> object;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, kLinkContext, IID_IUnknown,
                                reinterpret_cast<void**>(object.put()))))
        throw std::runtime_error(LoadText(IDS_SHELL_LINK));
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    if (FAILED(object.As(link)) || FAILED(object.As(file)))
        throw std::runtime_error(LoadText(IDS_SHELL_LINK));
    // A link that cannot be written is simply not there; nothing is reported.
    link->SetPath(target.c_str());
    link->SetArguments(arguments.c_str());
    link->SetWorkingDirectory(workingFolder.c_str());
    link->SetShowCmd(showCommand);
    link->SetIconLocation(iconFile.c_str(), iconIndex);
    file->Save(Wide(linkFile).c_str(), FALSE);
}

bool FolderHasNoEntries(const std::string& folder)
{
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA((WithBackslash(folder) + "*").c_str(), &data));
    if (!find)
        return false;
    bool result = false;
    for (int i = 0; i < 2; ++i) {
        const std::string name = data.cFileName;
        if (name == "." || name == "..")
            result = !FindNextFileA(find.get(), &data);
    }
    return result;
}

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
        if (FolderExists(company) && FolderHasNoEntries(company))
            RemoveDirectoryA(company.c_str());
    }
}

void CreateDesktopShortcut(const std::string& programPath)
{
    const std::string desktop = GetSpecialFolderPath(names::kCsidlDesktop);
    if (desktop.empty())
        return;
    const std::string program = programPath + names::kMainExe;
    CreateShellLink(desktop + names::kNewProduct + ".lnk", program, "", programPath, kShowNormal, program, 0);
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
        CreateShellLink(folder + names::kCompanyFolder + "\\" + names::kNewProduct + "\\" + names::kNewProduct +
                            ".lnk",
                        program, "", programPath, kShowMaximized, program, 0);
    for (const std::string& folder : programs)
        CreateShellLink(folder + names::kCompanyFolder + "\\" + names::kNewProduct + "\\" + names::kUninstallLink,
                        uninstaller, names::kUninstallArguments, programPath, kShowNormal, uninstaller, 0);
}
