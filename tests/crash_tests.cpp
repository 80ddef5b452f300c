// The tool killed in the middle of the data phase: every farm file must still decrypt to its old
// or its new content, and the next run must finish the job as if nothing had happened.
#include "demo/gui_driver.h"
#include "resources/resource.h"
#include "tests/test_support.h"
#include "util/files.h"

#include <gtest/gtest.h>

#include <windows.h>

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
