// The tool killed at any moment of a run: its next start must leave the installation as it was
// before the run or as a whole run leaves it, and the next run must finish the job.
#include "demo/gui_driver.h"
#include "resources/resource.h"
#include "tests/test_support.h"
#include "update/farm.h"
#include "util/files.h"
#include "util/handles.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>

namespace {

// The journal of a run under way, beside the installation.
constexpr char kJournal[] = "Kolvano-UpdateTool.journal";

// What the run may touch: every file below the demo folder with the product's registry key, the
// desktop, both start menus and the farms' application data. Exact, or with encrypted files and
// links by their size, since a successful run writes them with fresh salts and times.
std::string Snapshot(const std::string& root, bool exactBytes)
{
    std::string snapshot = InstallationSnapshot(root, exactBytes);
    for (int csidl : {CSIDL_DESKTOP, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS, CSIDL_APPDATA})
        snapshot += InstallationSnapshot(GetSpecialFolderPath(csidl), exactBytes);
    return snapshot;
}

// The lines of the journal as the tool has written them so far, read without hindering it.
size_t JournalLines(const std::string& path)
{
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    size_t lines = 0;
    char buffer[65536];
    DWORD read = 0;
    while (file && ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        lines += static_cast<size_t>(std::count(buffer, buffer + read, '\n'));
    return lines;
}

bool RecoveryReported(const std::vector<std::string>& lines)
{
    return std::any_of(lines.begin(), lines.end(),
                       [](const std::string& line) { return line.rfind("Ein abgebrochenes Update", 0) == 0; });
}

std::string TempFile(const char* name)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + name;
}

// The demo installation with a farm of each layout, documents, links and application data, in a
// scratch folder; a killed run is judged against it.
class KillTest : public testing::Test {
protected:
    std::string Prepare()
    {
        RemoveDemoShortcuts();
        RemoveTree(GetSpecialFolderPath(CSIDL_APPDATA) + "Kolvano");
        return BuildDemo(scratch_.path(), BinFolder());
    }
    std::string Journal() const { return scratch_.path() + "Kolvano\\" + kJournal; }

    // A desktop link of the product must start a program at every moment.
    void ExpectLinksLeadToPrograms() const
    {
        const std::string desktop = GetSpecialFolderPath(CSIDL_DESKTOP);
        const std::string program = scratch_.path() + "Kolvano\\";
        if (FileExists(desktop + "Kolvano.lnk")) {
            EXPECT_TRUE(FileExists(program + "kolvano2.exe")) << "the old link leads nowhere";
        }
        if (FileExists(desktop + "Kolvano3.lnk")) {
            EXPECT_TRUE(FileExists(program + "kolvano3.exe")) << "the new link leads nowhere";
        }
    }

    RegistryScratch registry_;
    ShortcutScratch shortcuts_;
    ScratchFolder scratch_;
};

}  // namespace

// Killed at moments spread over the whole run, by how far its journal has come, the tool's next
// start leaves the installation as it was before the run or as a whole run leaves it, never a
// mixture; a run from there succeeds.
TEST_F(KillTest, KilledAnywhereTheNextStartLeavesTheOldOrTheNewInstallation)
{
    const std::string root = scratch_.path();
    // One whole run: the state it leaves, and how many journal lines it writes.
    const std::string toolPath = Prepare();
    size_t lines = 0;
    {
        GuiDriver tool;
        ASSERT_TRUE(tool.Start(toolPath));
        ASSERT_TRUE(tool.WaitVisible());
        tool.Click(IDC_BTN_START);
        ASSERT_TRUE(WaitUntil(60000, [&] { return FileExists(Journal()); }));
        while (FileExists(Journal()))
            lines = std::max(lines, JournalLines(Journal()));
        const auto box = tool.WaitForMessageBox();
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->text, "Die Dateien wurden erfolgreich aktualisiert.");
        tool.PressOk(*box);
    }
    const std::string updated = Snapshot(root, false);
    std::printf("a whole run writes %zu journal lines\n", lines);
    ASSERT_GT(lines, 20u);

    // One kill about every four journal lines: every phase is hit, and the test command stays well
    // within its time on a loaded machine.
    constexpr size_t kKills = 14;
    int oldStates = 0;
    int newStates = 0;
    for (size_t kill = 0; kill < kKills; ++kill) {
        Prepare();
        const std::string before = Snapshot(root, true);
        const size_t killAt = 1 + (lines - 1) * kill / (kKills - 1);
        size_t reached = 0;
        {
            GuiDriver tool;
            ASSERT_TRUE(tool.Start(toolPath));
            ASSERT_TRUE(tool.WaitVisible());
            tool.Click(IDC_BTN_START);
            ASSERT_TRUE(WaitUntil(60000, [&] { return FileExists(Journal()); }));
            const ULONGLONG end = GetTickCount64() + 60000;
            while ((reached = JournalLines(Journal())) < killAt && FileExists(Journal()) && GetTickCount64() < end) {
            }
            tool.Terminate();
        }
        ExpectLinksLeadToPrograms();

        GuiDriver tool;
        ASSERT_TRUE(tool.Start(toolPath));
        ASSERT_TRUE(tool.WaitVisible());
        const bool old = Snapshot(root, true) == before;
        const bool whole = Snapshot(root, false) == updated;
        std::printf("kill %2zu at %3zu of %zu journal lines: %s\n", kill, reached, lines,
                    old ? "as before" : whole ? "updated" : "MIXED");
        EXPECT_TRUE(old || whole) << "kill " << kill;
        oldStates += old ? 1 : 0;
        newStates += whole ? 1 : 0;
        // What the start did is said in the status list and in the run log.
        EXPECT_TRUE(RecoveryReported(tool.ListLines(IDC_LISTBOX1))) << "kill " << kill;
        EXPECT_NE(ReadFileBytes(TempFile("Kolvano-UpdateTool.log")).rfind("Ein abgebrochenes Update"),
                  std::string::npos);
        // Now and then, and the last time, a run from there finishes the update; the list keeps
        // the line of the recovery.
        if (kill % 5 == 0 || kill == kKills - 1) {
            EXPECT_EQ(tool.RunUpdate(), std::vector<std::string>{"Die Dateien wurden erfolgreich aktualisiert."});
            EXPECT_EQ(Snapshot(root, false), updated) << "kill " << kill;
            EXPECT_TRUE(RecoveryReported(tool.ListLines(IDC_LISTBOX1))) << "kill " << kill;
        }
    }
    EXPECT_GT(oldStates, 0);
}
