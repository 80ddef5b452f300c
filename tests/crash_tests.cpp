// The tool killed in the middle of the data phase: every farm file must still decrypt to its old
// or its new content, and the next run must finish the job as if nothing had happened.
#include "demo/gui_driver.h"
#include "resources/resource.h"
#include "tests/test_support.h"
#include "update/farm.h"
#include "util/files.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstdio>

namespace {

constexpr int kFarms = 5;
constexpr int kSaveFiles = 3;
constexpr int kPaddingRecords = 12000;  // about 0.7 MB of records per file

std::string Padding()
{
    std::string text;
    for (int i = 0; i < kPaddingRecords; ++i)
        text += DemoRecord("D40X0U7T1C" + std::to_string(i) + "L1R1", "Schlag " + std::to_string(i) + " Weizen");
    return text;
}

struct FarmFile {
    DemoFarm farm;
    std::string path;
    std::string oldText;
    std::string newText;
};

class CrashTest : public testing::Test {
protected:
    void SetUp() override
    {
        demo_.Register();
        demo_.ShipTool();
        demo_.ShipFile("KATALOGE4UPDATE.CSV", DemoCatalog());
        const std::string padding = Padding();
        for (int i = 0; i < kFarms; ++i) {
            const DemoFarm farm{"BNR40000" + std::to_string(i), "71" + std::to_string(i) + "_1_1",
                                "Schl\xFCssel " + std::to_string(i), "Antrag"};
            // The padding sits between the kept records and the catalogue the update replaces.
            const std::string oldText = DemoDataCsv(farm) + padding;
            const std::string newText = DemoUpdatedCsv(farm, "0.00.00.00");
            const std::string expected = newText.substr(0, newText.size() - DemoCatalog().size()) + padding +
                                         DemoCatalog();
            demo_.AddFarm(farm, oldText);
            files_.push_back({farm, demo_.DataFile(farm), oldText, expected});
            for (int j = 0; j < kSaveFiles; ++j) {
                const std::string path = demo_.AddSaveFile(farm, std::to_string(2020 + j) + ".CND", oldText);
                files_.push_back({farm, path, oldText, expected});
            }
        }
    }

    // Every file decrypts to its old or its new text; returns how many are new.
    int CheckEveryFile()
    {
        int updated = 0;
        for (const FarmFile& file : files_) {
            const std::string text = DecryptText(BinFolder(), file.path, file.farm.key);
            EXPECT_TRUE(text == file.oldText || text == file.newText) << file.path;
            updated += text == file.newText ? 1 : 0;
        }
        return updated;
    }

    std::string TempFile(const char* name) const
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        return std::string(temp) + name;
    }

    RegistryScratch registry_;
    ScratchFolder scratch_;
    DemoInstallation demo_{scratch_.path(), BinFolder()};
    std::vector<FarmFile> files_;
};

}  // namespace

TEST_F(CrashTest, KilledDuringTheDataPhaseLosesNothing)
{
    int updated = 0;
    bool sawPartial = false;
    // Each run starts over with the first file, so later kills reach further; the delays span
    // slow and fast machines alike.
    for (DWORD delay : {0, 30, 90, 200, 400, 700, 1000, 1500, 2500}) {
        GuiDriver tool;
        ASSERT_TRUE(tool.Start(demo_.ToolPath()));
        ASSERT_TRUE(tool.WaitVisible());
        // A killed run leaves its temp files behind; they must not be taken for this run's.
        DeleteFileA(TempFile("DATEN_CSV_M.TXT").c_str());
        tool.Click(IDC_BTN_START);
        // The edited plain text exists only while a data file is being rewritten.
        ASSERT_TRUE(WaitUntil(60000, [&] { return FileExists(TempFile("DATEN_CSV_M.TXT")); }));
        Sleep(delay);
        tool.Terminate();
        const int now = CheckEveryFile();
        EXPECT_GE(now, updated) << "a finished file stays finished";
        updated = now;
        sawPartial = sawPartial || (now > 0 && now < static_cast<int>(files_.size()));
        std::printf("kill after %lu ms: %d of %zu files updated\n", delay, updated, files_.size());
        if (updated == static_cast<int>(files_.size()))
            break;
    }
    EXPECT_TRUE(sawPartial) << "some kill came after some files were done and before all of them were";

    GuiDriver tool;
    ASSERT_TRUE(tool.Start(demo_.ToolPath()));
    ASSERT_TRUE(tool.WaitVisible());
    EXPECT_EQ(tool.RunUpdate(300000), std::vector<std::string>{"Die Dateien wurden erfolgreich aktualisiert."});
    for (const FarmFile& file : files_) {
        EXPECT_EQ(DecryptText(BinFolder(), file.path, file.farm.key), file.newText) << file.path;
        EXPECT_FALSE(FileExists(file.path + ".neu"));
    }
    EXPECT_FALSE(FileExists(TempFile("DATEN_CSV.TXT")));
    EXPECT_FALSE(FileExists(TempFile("DATEN_CSV_M.TXT")));
}

namespace {

const char* const kProgramFiles[] = {
    "kolvano2.exe", "kolvano3.exe",  "qzmail.dll",     "datastores.pbd", "main.pbd",      "PFCapsrv.pbd",
    "PFCdwsrv.pbd", "PFCmain.pbd",   "PFCutil.pbd",    "PFCwnsrv.pbd",   "PFEapsrv.pbd",  "PFEdwsrv.pbd",
    "PFEmain.pbd",  "PFEutil.pbd",   "PFEwnsrv.pbd",   "utilities.pbd",  "windows.pbd",   "atl71.dll",
    "gdiplus.dll",  "msvcp71.dll",   "msvcr71.dll",    "libjcc.dll",     "libjutils.dll", "PBDWE125.DLL",
    "PBSHR125.DLL", "PBVM125.DLL"};

// A farm of the current layout and one of the old layout, which the run moves.
const DemoFarm kCurrentFarm{"BNR276001", "4711_1_1", "Sommerweide", "Antrag"};
const DemoFarm kOldFarm{"BNR402000", "8800_1_1", "Altbestand", ""};

// An installation of one release with two small farms, an update folder with the next.
class ProgramCrashTest : public testing::Test {
protected:
    void Prepare()
    {
        RemoveDemoRegistry();
        RemoveTree(demo_.ProgramPath());
        ASSERT_TRUE(CreateFolder(demo_.ProgramPath()));
        demo_.Register();
        demo_.ShipTool();
        demo_.ShipFile("KATALOGE4UPDATE.CSV", DemoCatalog());
        demo_.AddFarm(kCurrentFarm, DemoDataCsv(kCurrentFarm));
        demo_.AddOldLayoutFarm(kOldFarm, DemoDataCsv(kOldFarm));
        for (const char* name : kProgramFiles) {
            demo_.InstallFile(name, Content(name, "alt"));
            if (std::string(name) != "kolvano2.exe")
                demo_.ShipFile(name, Content(name, "neu"));
        }
    }

    // A large main executable, so that copying it takes a while.
    static std::string Content(const std::string& name, const std::string& release)
    {
        return release + " " + name + (name == "kolvano3.exe" ? std::string(24 << 20, release[0]) : "");
    }

    // "alt" or "neu" when every program file belongs to that release and nothing is left over.
    std::string Release()
    {
        const std::string folder = demo_.ProgramPath();
        const bool oldOne = FileExists(folder + "kolvano2.exe");
        const std::string release = oldOne ? "alt" : "neu";
        for (const char* name : kProgramFiles) {
            const bool expected = oldOne || std::string(name) != "kolvano2.exe";
            if (expected && (!FileExists(folder + name) || ReadFileBytes(folder + name) != Content(name, release)))
                return std::string("mixed at ") + name;
            if (FileExists(folder + name + ".neu") || FileExists(folder + name + ".alt"))
                return std::string("left over: ") + name;
        }
        return FileExists(folder + "Kolvano-UpdateTool.programme") ? "journal left over" : release;
    }

    // Every farm has exactly one grid row, and the data file of the folder it names decrypts
    // with its key.
    void ExpectEveryFarmOnceAndReadable(GuiDriver& tool)
    {
        for (const DemoFarm* farm : {&kCurrentFarm, &kOldFarm}) {
            std::vector<std::string> folders;
            for (const auto& row : tool.GridRows(IDC_S_GRID)) {
                const std::string name = row[0].substr(0, row[0].find('|'));
                if (name == farm->farm || name == farm->FarmId())
                    folders.push_back(name);
            }
            ASSERT_EQ(folders.size(), 1u) << farm->farm;
            EXPECT_NO_THROW(DecryptText(BinFolder(), Farm(folders[0]).DataFile(demo_.ProgramPath()), farm->key))
                << folders[0];
        }
    }

    RegistryScratch registry_;
    ShortcutScratch shortcuts_;
    ScratchFolder scratch_;
    DemoInstallation demo_{scratch_.path(), BinFolder()};
};

}  // namespace

// Killed at moments across the restructuring and the program-file step, the tool's next start leaves one whole
// release; a run from there finishes the update.
TEST_F(ProgramCrashTest, KilledDuringTheProgramFilesLeavesOneWholeRelease)
{
    int mixedStates = 0;
    for (int moment = 0; moment < 8; ++moment) {
        Prepare();
        const std::string staged = demo_.ProgramPath() + "kolvano3.exe.neu";
        const std::string oldMain = demo_.ProgramPath() + "kolvano2.exe";
        const std::string oldFolder = demo_.ProgramPath() + kOldFarm.farm;
        {
            GuiDriver tool;
            ASSERT_TRUE(tool.Start(demo_.ToolPath()));
            ASSERT_TRUE(tool.WaitVisible());
            tool.Click(IDC_BTN_START);
            // While copies are staged, right after the old main executable stepped aside, and
            // a little later.
            // Right after the old-layout farm's folder was renamed, before its registry values
            // moved (asked without pause: that lasts only milliseconds), and a little later.
            if (moment >= 6) {
                const ULONGLONG end = GetTickCount64() + 60000;
                while (FolderExists(oldFolder) && GetTickCount64() < end) {
                }
                ASSERT_FALSE(FolderExists(oldFolder));
            } else if (moment == 0)
                ASSERT_TRUE(WaitUntil(60000, [&] { return FileExists(staged); }));
            else
                ASSERT_TRUE(WaitUntil(60000, [&] { return !FileExists(oldMain); }));
            Sleep(moment <= 1 || moment == 6 ? 0 : moment == 7 ? 2 : (moment - 1) * 3);
            tool.Terminate();
        }
        const std::string killed = Release() + (FileExists(demo_.ProgramPath() + "Kolvano-UpdateTool.umstellung")
                                                    ? ", farm move under way"
                                                    : "");
        mixedStates += killed != "alt" && killed != "neu" ? 1 : 0;
        GuiDriver tool;
        ASSERT_TRUE(tool.Start(demo_.ToolPath()));
        ASSERT_TRUE(tool.WaitVisible());
        const std::string recovered = Release();
        std::printf("kill at moment %d: %s, after the next start: %s\n", moment, killed.c_str(), recovered.c_str());
        EXPECT_TRUE(recovered == "alt" || recovered == "neu") << recovered;
        ExpectEveryFarmOnceAndReadable(tool);
        EXPECT_EQ(tool.RunUpdate(), std::vector<std::string>{"Die Dateien wurden erfolgreich aktualisiert."});
        EXPECT_EQ(Release(), "neu");
        EXPECT_TRUE(FileExists(GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY) + "Kolvano3.lnk"));
    }
    EXPECT_GT(mixedStates, 0) << "some kill came in the middle of the step";
}
