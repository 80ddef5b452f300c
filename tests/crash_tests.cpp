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
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// The journal as the tool has written it so far, read without hindering it.
std::string JournalText(const std::string& path)
{
    return ReadWholeFile(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
}

size_t LineCount(std::string_view text)
{
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

size_t JournalLines(const std::string& path)
{
    return LineCount(JournalText(path));
}

// The journal's size, or nothing while there is none.
std::optional<ULONGLONG> JournalSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Watches a run's journal every millisecond. It is read again only when its size changed: reading
// it every time took a fifth of the processor from the run it watches.
class JournalWatch {
public:
    explicit JournalWatch(std::string path) : path_(std::move(path)) {}

    // Whether the journal is there; its text is then the newest.
    bool Poll()
    {
        const std::optional<ULONGLONG> size = JournalSize(path_);
        if (size && *size != size_) {
            size_ = *size;
            text_ = JournalText(path_);
        }
        return size.has_value();
    }
    const std::string& Text() const { return text_; }
    size_t Lines() const { return LineCount(text_); }

private:
    std::string path_;
    ULONGLONG size_ = ~0ull;
    std::string text_;
};

// Where to kill a run: before its first change, one line into each of its phases, each found in
// the journal of a whole run by the first thing the phase names, and at its last line.
std::vector<size_t> KillMoments(const std::string& journal)
{
    const char* const phases[] = {"CSV_PLAUSI.CND", "CSV_ALL_DAT.CND", "\r\nmove\t", "CSV_ALL_STR.CSV",
                                  "kolvano3.exe",   ".lnk",            "kolvano2.exe", "Merkblatt",
                                  "\tAppliedUpdate\t"};
    std::vector<size_t> moments = {1};
    for (const char* phase : phases) {
        const size_t at = journal.find(phase);
        EXPECT_NE(at, std::string::npos) << phase << " is not in the journal of a whole run";
        if (at != std::string::npos)
            moments.push_back(LineCount(std::string_view(journal).substr(0, at)) + 2);
    }
    moments.push_back(LineCount(journal));
    return moments;
}

// The journal as a power cut leaves it: every change is written through, the journal only as far
// as its last flush, which follows each batch of named changes. The notes on made changes after
// the last named one are gone, and so is a line cut short. Returns whether the run had committed.
bool CutToLastFlush(const std::string& path)
{
    const std::string text = ReadFileBytes(path);
    size_t keep = 0;
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        if (text.compare(start, 5, "made\t") != 0)
            keep = end + 2;
    WriteFileBytes(path, text.substr(0, keep));
    return text.substr(0, keep).find("\r\ncommit\r\n") != std::string::npos;
}

bool RecoveryReported(const std::vector<std::string>& lines)
{
    return std::any_of(lines.begin(), lines.end(),
                       [](const std::string& line) { return line.rfind("Ein abgebrochenes Update", 0) == 0; });
}

// The runs' stores of kept originals in the user's profile.
size_t UserStores()
{
    WIN32_FIND_DATAA found = {};
    const std::string pattern = GetSpecialFolderPath(CSIDL_LOCAL_APPDATA) + "Kolvano-UpdateTool-*";
    const FindHandle find(FindFirstFileA(pattern.c_str(), &found));
    size_t stores = find ? 1 : 0;
    while (find && FindNextFileA(find.get(), &found))
        ++stores;
    return stores;
}

// What cleaning tools and the log-off of a remote session do: the temp folder emptied, here all
// but the test's own scratch folder.
void EmptyTempFolder(const std::string& keep)
{
    const std::string temp = TempFile("");
    WIN32_FIND_DATAA found = {};
    const FindHandle find(FindFirstFileA((temp + "*").c_str(), &found));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileA(find.get(), &found)) {
        const std::string path = temp + found.cFileName;
        if (std::string(found.cFileName) == "." || std::string(found.cFileName) == ".." ||
            WithBackslash(path) == keep)
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(path);
        else
            DeleteFileA(path.c_str());
    }
}

// The journal lies where every user of the PC may read it: no farm key may be in it, as text or
// as the hex of its bytes.
void ExpectNoFarmKeyIn(const std::string& journal)
{
    const std::string text = ReadFileBytes(journal);
    for (const std::string key : {"Sommerweide", "Hofladen#7", "Altbestand"}) {
        std::string hex;
        char digits[3];
        for (const unsigned char byte : key) {
            std::snprintf(digits, sizeof(digits), "%02X", byte);
            hex += digits;
        }
        EXPECT_EQ(text.find(key), std::string::npos) << key;
        EXPECT_EQ(text.find(hex), std::string::npos) << key;
    }
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

// Killed in each phase of the run, by how far its journal has come, the tool's next start leaves
// the installation as it was before the run or as a whole run leaves it, never a mixture; a run
// from there succeeds.
TEST_F(KillTest, KilledAnywhereTheNextStartLeavesTheOldOrTheNewInstallation)
{
    const std::string root = scratch_.path();
    // One whole run: the state it leaves, and how many journal lines it writes.
    const std::string toolPath = Prepare();
    std::string journal;
    {
        GuiDriver tool;
        ASSERT_TRUE(tool.Start(toolPath));
        ASSERT_TRUE(tool.WaitVisible());
        tool.Click(IDC_BTN_START);
        ASSERT_TRUE(WaitUntil(60000, [&] { return FileExists(Journal()); }));
        JournalWatch watch(Journal());
        while (watch.Poll()) {
            if (watch.Text().size() > journal.size())
                journal = watch.Text();
            Sleep(1);
        }
        const auto box = tool.WaitForMessageBox();
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->text, kSuccess);
        tool.PressOk(*box);
    }
    const std::string updated = Snapshot(root, false);
    const std::vector<size_t> moments = KillMoments(journal);
    const size_t lines = moments.back();
    std::printf("a whole run writes %zu journal lines\n", lines);
    ASSERT_GT(lines, 20u);

    const size_t kills = moments.size();
    int oldStates = 0;
    int newStates = 0;
    for (size_t kill = 0; kill < kills; ++kill) {
        Prepare();
        const std::string before = Snapshot(root, true);
        const size_t stores = UserStores();
        const size_t killAt = moments[kill];
        size_t reached = 0;
        {
            GuiDriver tool;
            ASSERT_TRUE(tool.Start(toolPath));
            ASSERT_TRUE(tool.WaitVisible());
            tool.Click(IDC_BTN_START);
            ASSERT_TRUE(WaitUntil(60000, [&] { return FileExists(Journal()); }));
            const ULONGLONG end = GetTickCount64() + 60000;
            JournalWatch watch(Journal());
            while (watch.Poll() && (reached = watch.Lines()) < killAt && GetTickCount64() < end)
                Sleep(1);
            tool.Terminate();
        }
        ExpectLinksLeadToPrograms();

        if (FileExists(Journal()))
            ExpectNoFarmKeyIn(Journal());
        if (kill % 3 == 1)
            EmptyTempFolder(root);

        // Every other time the kill is a power cut, which leaves the journal as far as its last
        // flush: a run that had not committed must then come back exactly as before.
        const bool powerCut = kill % 2 == 0 && FileExists(Journal());
        const bool committed = powerCut && CutToLastFlush(Journal());

        // Mostly the start that undoes the run is killed too, a few undone steps in: the next
        // start goes on from there and must end in the same state.
        if (kill % 6 != 0 && FileExists(Journal())) {
            GuiDriver undoing;
            ASSERT_TRUE(undoing.Start(toolPath));
            const size_t undoAt = JournalLines(Journal()) + 1 + kill % 4;
            const ULONGLONG end = GetTickCount64() + 60000;
            size_t undone = 0;
            JournalWatch watch(Journal());
            while (watch.Poll() && (undone = watch.Lines()) < undoAt && GetTickCount64() < end)
                Sleep(1);
            // An undo that has already finished may still write its log line before the kill.
            if (!FileExists(Journal()))
                undoing.WaitVisible();
            undoing.Terminate();
            std::printf("undo of kill %2zu killed at %3zu journal lines%s\n", kill, undone,
                        FileExists(Journal()) ? "" : " (it had finished)");
            ExpectLinksLeadToPrograms();
        }

        const bool pending = FileExists(Journal());
        GuiDriver tool;
        ASSERT_TRUE(tool.Start(toolPath));
        ASSERT_TRUE(tool.WaitVisible());
        const bool old = Snapshot(root, true) == before;
        const bool whole = Snapshot(root, false) == updated;
        std::printf("kill %2zu at %3zu of %zu journal lines%s: %s\n", kill, reached, lines,
                    powerCut ? " (power cut)" : "", old ? "as before" : whole ? "updated" : "MIXED");
        EXPECT_TRUE(old || whole) << "kill " << kill;
        EXPECT_EQ(UserStores(), stores) << "kill " << kill;
        if (powerCut && !committed) {
            EXPECT_TRUE(old) << "kill " << kill;
        }
        oldStates += old ? 1 : 0;
        newStates += whole ? 1 : 0;
        // What the start did is said in the status list and in the run log.
        EXPECT_EQ(RecoveryReported(tool.ListLines(IDC_LISTBOX1)), pending) << "kill " << kill;
        EXPECT_NE(ReadFileBytes(TempFile("Kolvano-UpdateTool.log")).rfind("Ein abgebrochenes Update"),
                  std::string::npos);
        // Now and then, and the last time, a run from there finishes the update; the list keeps
        // the line of the recovery.
        if (kill % 5 == 0 || kill == kills - 1) {
            EXPECT_EQ(tool.RunUpdate(), std::vector<std::string>{kSuccess});
            EXPECT_EQ(Snapshot(root, false), updated) << "kill " << kill;
            EXPECT_EQ(RecoveryReported(tool.ListLines(IDC_LISTBOX1)), pending) << "kill " << kill;
        }
    }
    EXPECT_GT(oldStates, 0);
}
