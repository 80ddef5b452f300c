// The whole demo installation updated in the real window: every phase, in order, and its result
// on disk, in the registry and in the shell's folders.
#include "demo/gui_driver.h"
#include "resources/resource.h"
#include "tests/test_support.h"
#include "util/files.h"
#include "util/versions.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Lines = std::vector<std::string>;

class DemoTest : public testing::Test {
protected:
    ~DemoTest() override { RemoveTree(GetSpecialFolderPath(26) + "Kolvano"); }

    RegistryScratch registry_;
    ShortcutScratch shortcuts_;
    ScratchFolder scratch_;
    GuiDriver tool_;
};

}  // namespace

// What a run leaves on disk, in the registry and among the shortcuts, comparable across runs.
std::string Outcome(const std::string& root)
{
    std::string outcome = InstallationSnapshot(root, false);
    for (int csidl : {0, 2})
        outcome += InstallationSnapshot(GetSpecialFolderPath(csidl), false);
    return outcome;
}

TEST_F(DemoTest, EveryPhaseRunsInOrderAndLeavesTheInstallationUpdated)
{
    const std::string toolPath = BuildDemo(scratch_.path(), BinFolder());
    const std::string program = scratch_ / "Kolvano\\";
    ASSERT_TRUE(FileExists(GetSpecialFolderPath(0) + "Kolvano.lnk"));
    ASSERT_TRUE(tool_.Start(toolPath));
    ASSERT_TRUE(tool_.WaitVisible());
    EXPECT_EQ(tool_.RunUpdate(), Lines{kSuccess});
    tool_.Screenshot(ExeFolder() + "..\\screenshots\\demo_finished.bmp");

    Lines lines = tool_.ListLines(IDC_LISTBOX1);
    std::reverse(lines.begin(), lines.end());
    Lines phases;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(phases),
                 [](const std::string& line) { return line.rfind("Bitte warten", 0) == 0; });
    EXPECT_EQ(phases, (Lines{Cp1252(u8"Bitte warten, Schlüssel werden überprüft..."),
                             Cp1252(u8"Bitte warten, Plausibilitätsprüfungen werden aktualisiert..."),
                             "Bitte warten, Daten-CSVs werden aktualisiert...",
                             "Bitte warten, Programmdateien werden aktualisiert...",
                             Cp1252(u8"Bitte warten, Verknüpfungen werden aktualisiert..."),
                             "Bitte warten, Dokumente werden aktualisiert..."}));
    const auto at = [&](const std::string& prefix) {
        return std::find_if(lines.begin(), lines.end(),
                            [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }) -
               lines.begin();
    };
    EXPECT_LT(at("Bitte warten, Daten-CSVs"), at("Modifiziere Ordnerstruktur"));
    EXPECT_LT(at("Modifiziere Ordnerstruktur"), at("Struktur-CSV"));
    EXPECT_LT(at("Struktur-CSV"), at("Bitte warten, Programmdateien"));
    EXPECT_EQ(lines.back(), kSuccess);

    // Program files replaced, the old executable gone.
    EXPECT_EQ(GetFileVersion(program + "kolvano3.exe"), "7.0.2.2");
    EXPECT_FALSE(FileExists(program + "kolvano2.exe"));
    EXPECT_EQ(ReadFileBytes(program + "main.pbd"), "main.pbd 7.00.02.02");
    // Links renewed.
    EXPECT_FALSE(FileExists(GetSpecialFolderPath(0) + "Kolvano.lnk"));
    EXPECT_TRUE(FileExists(GetSpecialFolderPath(0) + "Kolvano3.lnk"));
    for (int csidl : {2, 23})
        EXPECT_TRUE(FileExists(GetSpecialFolderPath(csidl) + "Orvalis GmbH\\Kolvano3\\Deinstallation.lnk"));
    // Documents placed in every farm, the old copies archived; the moved farm gets them too.
    for (const char* farm : {"BNR276001_4711_1_1", "BNR276001_4712_1_Z", "BNR310777_5230_1_1"}) {
        EXPECT_EQ(ReadFileBytes(program + farm + "\\Merkblatt_2026.pdf"), "Merkblatt, Stand 2026") << farm;
        EXPECT_EQ(ReadFileBytes(program + farm + "\\Merkblatt_2026_OLD_1.pdf"), "Merkblatt, Stand 2025") << farm;
        EXPECT_TRUE(FileExists(program + farm + "\\Antragshilfe.pdf")) << farm;
        EXPECT_FALSE(FileExists(program + farm + "\\Alt.pdf")) << farm;
    }
    EXPECT_TRUE(FileExists(program + "BNR402000_8800_1_1\\Antragshilfe.pdf"));
    EXPECT_FALSE(FolderExists(program + "BNR402000"));
    tool_.Click(IDC_BTN_CLOSE);
    ASSERT_TRUE(tool_.WaitForExit());

    // The same installation updated without a window ends the same.
    const std::string byStart = Outcome(scratch_.path());
    { const ShortcutScratch removeLinks; }
    BuildDemo(scratch_.path(), BinFolder());
    GuiDriver quiet;
    ASSERT_TRUE(quiet.Start(toolPath, "/quiet"));
    EXPECT_EQ(quiet.WaitForExit(60000), DWORD{0});
    EXPECT_EQ(Outcome(scratch_.path()), byStart);
}
