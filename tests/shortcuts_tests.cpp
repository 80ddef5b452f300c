// Shortcuts written through the real shell link object of the prefix and read back.
#include "tests/test_support.h"
#include "update/u_functions.h"
#include "util/files.h"
#include "util/handles.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

namespace {

struct Link {
    std::string target;
    std::string arguments;
    std::string workingFolder;
    int showCommand = 0;
    std::string iconFile;
    int iconIndex = -1;
};

Link ReadLink(const std::string& path)
{
    Link link;
    ComPtr<IShellLinkA> shellLink;
    EXPECT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                           reinterpret_cast<void**>(shellLink.put()))));
    ComPtr<IPersistFile> file;
    if (!shellLink || FAILED(shellLink.As(file)))
        return link;
    std::wstring wide(path.begin(), path.end());
    if (FAILED(file->Load(wide.c_str(), STGM_READ)))
        return link;
    char text[MAX_PATH] = {};
    shellLink->GetPath(text, MAX_PATH, nullptr, 0);
    link.target = text;
    shellLink->GetArguments(text, MAX_PATH);
    link.arguments = text;
    shellLink->GetWorkingDirectory(text, MAX_PATH);
    link.workingFolder = text;
    // Wine's link object reports SW_SHOWNORMAL after loading whatever the file holds, so the show
    // command is read from the file's header (a 32-bit value at offset 0x3C).
    const std::string bytes = ReadFileBytes(path);
    if (bytes.size() >= 0x40)
        link.showCommand = static_cast<unsigned char>(bytes[0x3C]) | (static_cast<unsigned char>(bytes[0x3D]) << 8);
    shellLink->GetIconLocation(text, MAX_PATH, &link.iconIndex);
    link.iconFile = text;
    return link;
}

void ExpectLink(const std::string& path, const std::string& target, const std::string& arguments,
                const std::string& folder, int show)
{
    ASSERT_TRUE(FileExists(path)) << path;
    const Link link = ReadLink(path);
    EXPECT_EQ(link.target, target) << path;
    EXPECT_EQ(link.arguments, arguments) << path;
    EXPECT_EQ(link.workingFolder, folder) << path;
    EXPECT_EQ(link.showCommand, show) << path;
    EXPECT_EQ(link.iconFile, target) << path;
    EXPECT_EQ(link.iconIndex, 0) << path;
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    ListFiles(folder, "*.*", false, &names);
    std::sort(names.begin(), names.end());
    return names;
}

class ShortcutsTest : public testing::Test {
protected:
    ShortcutScratch shortcuts_;
    ScratchContext scratch_;
    const UpdateContext& context_ = scratch_.context;
    const std::string desktop_ = GetSpecialFolderPath(0);
    const std::string userPrograms_ = GetSpecialFolderPath(2) + "Orvalis GmbH\\";
    const std::string commonPrograms_ = GetSpecialFolderPath(23) + "Orvalis GmbH\\";
};

}  // namespace

TEST_F(ShortcutsTest, OldShortcutsGoAndTheNewOnesPointIntoTheInstallation)
{
    ASSERT_FALSE(desktop_.empty());
    WriteFileBytes(desktop_ + "Kolvano.lnk", "old link");
    for (const std::string& folder : {userPrograms_, commonPrograms_}) {
        ASSERT_TRUE(SHCreateDirectoryExA(nullptr, (folder + "Kolvano").c_str(), nullptr) == ERROR_SUCCESS);
        WriteFileBytes(folder + "Kolvano\\Kolvano.lnk", "old link");
        WriteFileBytes(folder + "Kolvano\\Liesmich.txt", "extra file");
    }
    ASSERT_TRUE(CreateFolder(userPrograms_ + "Anderes Produkt"));

    RemoveShortcuts(context_, "Kolvano");
    RemoveShortcuts(context_, "Kolvano3");
    EXPECT_FALSE(FileExists(desktop_ + "Kolvano.lnk"));
    EXPECT_FALSE(FolderExists(userPrograms_ + "Kolvano")) << "a product folder goes with its contents";
    EXPECT_TRUE(FolderExists(userPrograms_ + "Anderes Produkt")) << "another product's folder stays";
    EXPECT_FALSE(FolderExists(commonPrograms_)) << "the emptied company folder is removed";

    const std::string f = context_.ProgramPath;
    CreateDesktopShortcut(context_);
    CreateStartMenuShortcuts(context_);
    ExpectLink(desktop_ + "Kolvano3.lnk", f + "kolvano3.exe", "", f, SW_SHOWNORMAL);
    for (const std::string& folder : {userPrograms_, commonPrograms_}) {
        EXPECT_EQ(Names(folder + "Kolvano3"), (std::vector<std::string>{"Deinstallation.lnk", "Kolvano3.lnk"}));
        ExpectLink(folder + "Kolvano3\\Kolvano3.lnk", f + "kolvano3.exe", "", f, SW_SHOWMAXIMIZED);
        ExpectLink(folder + "Kolvano3\\Deinstallation.lnk", f + "setup.exe", "-uninstall", f, SW_SHOWNORMAL);
        EXPECT_FALSE(FolderExists(folder + "Kolvano"));
    }
    EXPECT_TRUE(FolderExists(userPrograms_ + "Anderes Produkt"));

    // Renewing again replaces the links in place.
    RemoveShortcuts(context_, "Kolvano3");
    CreateDesktopShortcut(context_);
    CreateStartMenuShortcuts(context_);
    EXPECT_EQ(Names(userPrograms_ + "Kolvano3"), (std::vector<std::string>{"Deinstallation.lnk", "Kolvano3.lnk"}));

    // Undone, the old links and folders are back as they were, and the new ones gone.
    std::string leftOver;
    EXPECT_TRUE(scratch_.journal.RollBack(leftOver)) << leftOver;
    EXPECT_EQ(ReadFileBytes(desktop_ + "Kolvano.lnk"), "old link");
    EXPECT_FALSE(FileExists(desktop_ + "Kolvano3.lnk"));
    for (const std::string& folder : {userPrograms_, commonPrograms_}) {
        EXPECT_EQ(Names(folder + "Kolvano"), (std::vector<std::string>{"Kolvano.lnk", "Liesmich.txt"}));
        EXPECT_FALSE(FolderExists(folder + "Kolvano3"));
    }
}

TEST_F(ShortcutsTest, FolderCountsAsEmptyOnlyWithoutAnyEntry)
{
    ScratchFolder scratch;
    ASSERT_TRUE(CreateFolder(scratch / "empty"));
    ASSERT_TRUE(CreateFolder(scratch / "holds_folder"));
    ASSERT_TRUE(CreateFolder(scratch / "holds_folder\\sub"));
    EXPECT_TRUE(FolderHasNoEntries(scratch / "empty"));
    EXPECT_TRUE(FolderHasNoEntries(scratch / "empty\\"));
    EXPECT_FALSE(FolderHasNoEntries(scratch / "holds_folder"));
    EXPECT_FALSE(FolderHasNoEntries(scratch / "missing"));
}
