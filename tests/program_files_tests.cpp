// Program files replaced in the prefix's file system, and the preflight for held files.
#include "tests/test_support.h"
#include "update/u_functions.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const std::vector<std::string> kAll = {
    "kolvano2.exe", "kolvano3.exe",  "qzmail.dll",     "datastores.pbd", "main.pbd",      "PFCapsrv.pbd",
    "PFCdwsrv.pbd", "PFCmain.pbd",   "PFCutil.pbd",    "PFCwnsrv.pbd",   "PFEapsrv.pbd",  "PFEdwsrv.pbd",
    "PFEmain.pbd",  "PFEutil.pbd",   "PFEwnsrv.pbd",   "utilities.pbd",  "windows.pbd",   "atl71.dll",
    "gdiplus.dll",  "msvcp71.dll",   "msvcr71.dll",    "libjcc.dll",     "libjutils.dll", "PBDWE125.DLL",
    "PBSHR125.DLL", "PBVM125.DLL"};

class ProgramFilesTest : public testing::Test {
protected:
    UpdateContext& context() { return scratch_.context; }
    void Install(const std::string& name, const std::string& text) { WriteFileBytes(context().ProgramPath + name, text); }
    void Ship(const std::string& name, const std::string& text) { WriteFileBytes(context().UpdatePath + name, text); }
    std::string Installed(const std::string& name) { return ReadFileBytes(context().ProgramPath + name); }
    bool Update() { return FUpdateProgramFiles(context(), message_); }

    ScratchContext scratch_;
    std::string message_ = "vorher";
};

}  // namespace

TEST_F(ProgramFilesTest, ReplacesOnlyWhatTheUpdateCarries)
{
    for (const char* name : {"kolvano3.exe", "main.pbd", "windows.pbd", "atl71.dll"})
        Install(name, "alt");
    SetFileAttributesA((context().ProgramPath + "main.pbd").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((context().ProgramPath + "atl71.dll").c_str(), FILE_ATTRIBUTE_READONLY);
    for (const char* name : {"kolvano3.exe", "main.pbd", "windows.pbd"})
        Ship(name, "neu");
    EXPECT_TRUE(Update());
    EXPECT_EQ(message_, "vorher");
    EXPECT_EQ(Installed("kolvano3.exe"), "neu");
    EXPECT_EQ(Installed("main.pbd"), "neu") << "a read-only file is unlocked first";
    EXPECT_EQ(Installed("windows.pbd"), "neu");
    EXPECT_EQ(Installed("atl71.dll"), "alt");
    EXPECT_EQ(GetFileAttributesA((context().ProgramPath + "atl71.dll").c_str()) & FILE_ATTRIBUTE_READONLY, 0u)
        << "installed files are unlocked whether or not they are replaced";
}

TEST_F(ProgramFilesTest, OldExecutableGoesEvenWithoutANewOne)
{
    Install("kolvano2.exe", "alt");
    Ship("kolvano3.exe", "neu");
    EXPECT_TRUE(Update());
    EXPECT_EQ(Installed("kolvano2.exe"), "alt") << "it goes once the links lead to the new one";
    EXPECT_TRUE(FRemoveOldMainProgram(context(), message_));
    EXPECT_FALSE(FileExists(context().ProgramPath + "kolvano2.exe"));
    EXPECT_EQ(Installed("kolvano3.exe"), "neu");
}

TEST_F(ProgramFilesTest, AllTwentySixCopiedIntoAnEmptyInstallation)
{
    for (const std::string& name : kAll)
        Ship(name, name);
    EXPECT_TRUE(Update());
    for (const std::string& name : kAll)
        EXPECT_EQ(Installed(name), name);
}

// Undone, every old file is back, the old main executable included, what was added is gone, and
// nothing of the run stays beside the installation; a user's own "*.alt" file is never touched.
TEST_F(ProgramFilesTest, RolledBackRunPutsEveryOldFileBack)
{
    for (const std::string& name : kAll) {
        Install(name, "alt");
        Ship(name, "neu");
    }
    Install("utilities.pbd.alt", "eigene Sicherung");
    EXPECT_TRUE(Update());
    EXPECT_TRUE(FRemoveOldMainProgram(context(), message_));
    EXPECT_EQ(Installed("PFCwnsrv.pbd"), "neu");
    std::string leftOver;
    EXPECT_TRUE(scratch_.journal.RollBack(leftOver)) << leftOver;
    for (const std::string& name : kAll)
        EXPECT_EQ(Installed(name), "alt") << name;
    EXPECT_EQ(Installed("utilities.pbd.alt"), "eigene Sicherung");
    EXPECT_EQ(EntryNames(context().ProgramPath + "Kolvano-UpdateTool*").size(), 0u) << "no journal, no store";

    // Into an empty installation: what was added goes again.
    RemoveTree(context().ProgramPath);
    ASSERT_TRUE(CreateFolder(context().ProgramPath));
    std::string message;
    ASSERT_TRUE(scratch_.journal.Begin(message)) << message;
    EXPECT_TRUE(Update());
    EXPECT_TRUE(scratch_.journal.RollBack(leftOver)) << leftOver;
    EXPECT_EQ(EntryNames(context().ProgramPath + "*").size(), 0u);
}

TEST_F(ProgramFilesTest, FolderInPlaceOfAProgramFileIsFoundBeforeAnythingChanges)
{
    Install("kolvano3.exe", "alt");
    Ship("kolvano3.exe", "neu");
    Ship("qzmail.dll", "neu");
    ASSERT_TRUE(CreateFolder(context().ProgramPath + "qzmail.dll"));
    EXPECT_FALSE(Update());
    EXPECT_EQ(message_, "Unter dem Namen " + context().ProgramPath + Cp1252(u8"qzmail.dll, den das Update anlegen "
                                                                            u8"muss, liegt ein Ordner oder eine schreibgeschützte Datei."));
    EXPECT_EQ(Installed("kolvano3.exe"), "alt");
}

TEST_F(ProgramFilesTest, HeldExecutableStopsBeforeAnythingChanges)
{
    Install("kolvano2.exe", "alt2");
    Install("kolvano3.exe", "alt3");
    Install("main.pbd", "alt");
    SetFileAttributesA((context().ProgramPath + "main.pbd").c_str(), FILE_ATTRIBUTE_READONLY);
    for (const char* name : {"kolvano3.exe", "main.pbd"})
        Ship(name, "neu");

    // Another process (a running Kolvano, say) holds the executable without sharing.
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::string command = "cmd.exe /c ping -n 30 127.0.0.1 >nul";
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                               &startup, &info));
    const KernelHandle process(info.hProcess);
    const KernelHandle thread(info.hThread);
    HANDLE held = CreateFileA((context().ProgramPath + "kolvano3.exe").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HANDLE inChild = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), held, process.get(), &inChild, 0, FALSE,
                                DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE));

    EXPECT_FALSE(Update());
    EXPECT_EQ(message_, Cp1252(u8"Die Datei 'kolvano3.exe' wird von einem anderen Programm verwendet und kann nicht "
                               u8"ersetzt werden. Bitte schließen Sie Kolvano und starten Sie das Update danach erneut. Es wurde noch keine Programmdatei geändert. (Windows-Fehler 32: ") + SystemErrorText(32) + ")");
    TerminateProcess(process.get(), 0);
    WaitForSingleObject(process.get(), 5000);
    EXPECT_EQ(Installed("kolvano2.exe"), "alt2");
    EXPECT_EQ(Installed("kolvano3.exe"), "alt3");
    EXPECT_EQ(Installed("main.pbd"), "alt");
    EXPECT_NE(GetFileAttributesA((context().ProgramPath + "main.pbd").c_str()) & FILE_ATTRIBUTE_READONLY, 0u)
        << "not even attributes were touched";

    EXPECT_TRUE(Update()) << "once the program has ended, the update goes through";
    EXPECT_EQ(Installed("kolvano3.exe"), "neu");
}
