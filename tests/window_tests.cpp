// The real tool under Xvfb, driven from outside its process: start-up as the user sees it.
#include "resources/resource.h"
#include "demo/gui_driver.h"
#include "tests/test_support.h"
#include "util/files.h"
#include "util/versions.h"

#include <gtest/gtest.h>

namespace {

const std::string kProduct = "SOFTWARE\\Orvalis GmbH\\Kolvano";

std::string ScreenshotFolder()
{
    const std::string folder = ExeFolder() + "..\\screenshots\\";
    CreateFolder(folder);
    return folder;
}

class WindowTest : public testing::Test {
protected:
    void SetUp() override { demo_.ShipTool(); }

    void Start()
    {
        ASSERT_TRUE(tool_.Start(demo_.ToolPath()));
        ASSERT_NE(tool_.MainWindow(), nullptr);
    }

    RegistryScratch registry_;
    ScratchFolder scratch_;
    DemoInstallation demo_{scratch_.path(), BinFolder()};
    GuiDriver tool_;
};

}  // namespace

TEST_F(WindowTest, ShowsTheInstallationWithItsFarms)
{
    demo_.Register();
    demo_.AddFarm({"BNR276001", "4711_1_1", "geheim", "Antrag 2026 Gr\xFCnland"}, "data");
    demo_.AddFarm({"BNR276001", "4712_1_Z", "", "Erg\xE4nzung"}, "data");
    demo_.ShipCopy(FixtureFolder() + "version_7_0_2_2.exe", "kolvano3.exe");
    demo_.InstallCopy(FixtureFolder() + "version_7_0_1_0.exe", "kolvano3.exe");
    demo_.ShipFile("update.ini", "[UPDATES]\r\nReplacePlausiCSV=1\r\n");
    demo_.ShipFile("CSV_PLAUSI.CSV", "rules");
    demo_.SetDebugInfo(1);
    Start();
    ASSERT_TRUE(tool_.WaitVisible());

    EXPECT_EQ(tool_.Text(tool_.MainWindow()), "Kolvano-UpdateTool - V" + GetFileVersion(demo_.ToolPath()));
    EXPECT_EQ(tool_.ControlText(IDC_LBL_INFO),
              "Update f\xFCr Programm Kolvano (7.00.01.00) auf die Version 7.00.02.02");
    EXPECT_EQ(tool_.ControlText(IDC_LBL_QUELLE), demo_.UpdatePath());
    EXPECT_EQ(tool_.ControlText(IDC_LBL_ZIEL), demo_.ProgramPath());
    EXPECT_EQ(tool_.ControlText(IDC_LBL_TMP), TempFolder());
    EXPECT_TRUE(tool_.IsVisible(IDC_S_GRID));
    EXPECT_TRUE(tool_.IsVisible(IDC_LABEL4));
    EXPECT_EQ(tool_.ControlText(IDC_LABEL3),
              "Bitte \xFC" "berpr\xFC" "fen Sie vor Beginn die angezeigten Pfade und geben Sie ggf. die Schl\xFC"
              "ssel f\xFCr die entspr. Betriebsnummern ein.");
    const auto rows = tool_.GridRows(IDC_S_GRID);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"Betriebsnummer", "Schl\xFCssel"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"BNR276001_4711_1_1|Antrag 2026 Gr\xFCnland|Erstantrag", "geheim"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{"BNR276001_4712_1_Z|Erg\xE4nzung|Erg\xE4nzungsbewilligung", ""}));
    EXPECT_TRUE(tool_.IsEnabled(IDC_BTN_START));
    EXPECT_TRUE(tool_.IsEnabled(IDC_BTN_CLOSE));
    EXPECT_FALSE(tool_.IsEnabled(IDC_CB_NEUSTART));
    EXPECT_TRUE(tool_.IsVisible(IDC_LBL_DEBUGINFO_AKTIV));
    EXPECT_FALSE(tool_.IsVisible(IDC_LBL_DEBUGINFO));
    EXPECT_FALSE(tool_.IsVisible(IDC_BUSY));
    EXPECT_EQ(tool_.ClientSize().cx, 809);
    EXPECT_EQ(tool_.ClientSize().cy, 462);
    EXPECT_TRUE(tool_.Screenshot(ScreenshotFolder() + "window_with_grid.bmp"));

    tool_.Click(IDC_BTN_CLOSE);
    EXPECT_EQ(tool_.WaitForExit(), 0u);
}

TEST_F(WindowTest, WithoutDataPhasesTheGridIsHidden)
{
    demo_.Register();
    demo_.ShipCopy(FixtureFolder() + "version_7_0_2_2.exe", "kolvano3.exe");
    Start();
    ASSERT_TRUE(tool_.WaitVisible());
    EXPECT_FALSE(tool_.IsVisible(IDC_S_GRID));
    EXPECT_FALSE(tool_.IsVisible(IDC_LABEL4));
    EXPECT_EQ(tool_.ControlText(IDC_LABEL3), "Bitte \xFC" "berpr\xFC" "fen Sie vor Beginn die angezeigten Pfade.");
    EXPECT_EQ(tool_.ControlText(IDC_LBL_INFO),
              "Update f\xFCr Programm Kolvano (0.00.00.00) auf die Version 7.00.02.02");
    EXPECT_TRUE(tool_.IsEnabled(IDC_BTN_START));
    EXPECT_TRUE(tool_.IsVisible(IDC_LBL_DEBUGINFO));
    EXPECT_FALSE(tool_.IsVisible(IDC_LBL_DEBUGINFO_AKTIV));
    EXPECT_TRUE(tool_.Screenshot(ScreenshotFolder() + "window_without_grid.bmp"));
}

TEST_F(WindowTest, WithoutInstallationStartStaysDisabled)
{
    Start();
    const auto box = tool_.WaitForMessageBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, "Kolvano-UpdateTool");
    EXPECT_EQ(box->text, "Das Installationsverzeichnis wurde nicht gefunden. Bitte installieren Sie zun\xE4" "chst "
                         "das Programm Kolvano von der CD und f\xFChren Sie danach dieses Tool aus.");
    EXPECT_FALSE(IsWindowVisible(tool_.MainWindow())) << "the box comes before the window";
    EXPECT_TRUE(tool_.Screenshot(ScreenshotFolder() + "not_installed_box.bmp"));
    ASSERT_TRUE(tool_.PressOk(*box));

    ASSERT_TRUE(tool_.WaitVisible());
    EXPECT_FALSE(tool_.IsEnabled(IDC_BTN_START));
    EXPECT_TRUE(tool_.IsEnabled(IDC_BTN_CLOSE));
    EXPECT_EQ(tool_.ControlText(IDC_LBL_ZIEL), "");
    EXPECT_EQ(tool_.ControlText(IDC_LBL_INFO), "Update f\xFCr Programm Kolvano");
    EXPECT_EQ(tool_.ControlText(IDC_LBL_QUELLE), demo_.UpdatePath());

    // A double click on the headline offers Start, but without an installation the run refuses
    // and writes nothing, not even into the current folder (the update folder).
    demo_.ShipFile("kolvano2.exe", "im aktuellen Ordner");
    SendMessageTimeoutA(tool_.Control(IDC_LBL_INFO), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    ASSERT_TRUE(WaitUntil(5000, [&] { return tool_.IsEnabled(IDC_BTN_START); }));
    const std::string refused = "Es wurde keine Installation von Kolvano gefunden, Update wird abgebrochen!";
    EXPECT_EQ(tool_.RunUpdate(), std::vector<std::string>{refused});
    EXPECT_EQ(tool_.ListLines(IDC_LISTBOX1).front(), refused);
    EXPECT_EQ(ReadFileBytes(demo_.UpdatePath() + "kolvano2.exe"), "im aktuellen Ordner");
}

TEST_F(WindowTest, RegistryValueOfAnotherTypeIsReported)
{
    SetUserDword(kProduct, "AppPath", 42);
    Start();
    const auto box = tool_.WaitForMessageBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, "Ung\xFCltiger Datentyp f\xFCr 'AppPath' im Registrierungsschl\xFC" "ssel "
                         "HKEY_CURRENT_USER\\SOFTWARE\\Orvalis GmbH\\Kolvano.");
    ASSERT_TRUE(tool_.PressOk(*box));
    ASSERT_TRUE(tool_.WaitVisible());
    EXPECT_FALSE(tool_.IsEnabled(IDC_BTN_START));
    EXPECT_EQ(tool_.ControlText(IDC_LBL_QUELLE), "") << "start-up stopped before the paths were shown";
    tool_.Click(IDC_BTN_CLOSE);
    EXPECT_EQ(tool_.WaitForExit(), 0u);
}

TEST_F(WindowTest, TypedKeyReplacesTheCellAndTurnsItLimeGreen)
{
    demo_.Register();
    demo_.AddFarm({"BNR276001", "4711_1_1", "geheim", "Antrag"}, "data");
    demo_.AddFarm({"BNR276002", "4800_1_1", "zweiter", "Antrag"}, "data");
    demo_.ShipFile("KATALOGE4UPDATE.CSV", "key=\"D40X0U2T2C20L1R1\"; value=\"1\"; enabled=\"1\"\r\n");
    Start();
    ASSERT_TRUE(tool_.WaitVisible());
    HWND grid = tool_.Control(IDC_S_GRID);

    // Key column of the second data row: x from 500 to 750, y from 42 to 62.
    tool_.ClickAt(grid, 600, 50);
    tool_.ClickAt(grid, 600, 50);
    HWND editor = FindWindowExA(grid, nullptr, "Edit", nullptr);
    ASSERT_NE(editor, nullptr) << "a click on the selected key opens the editor";
    EXPECT_EQ(tool_.Text(editor), "zweiter");
    SendMessageTimeoutA(editor, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, 2000, nullptr);
    tool_.Type(editor, "Neu\xE4 ");
    EXPECT_TRUE(WaitUntil(5000, [&] { return !IsWindow(editor); })) << "Enter closes the editor";

    const auto rows = tool_.GridRows(IDC_S_GRID);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][1], "geheim");
    EXPECT_EQ(rows[2][1], "Neu\xE4 ") << "the typed key is kept as typed, with its blank";

    // The selection moves up, so the edited cell shows its own colour.
    tool_.PressKey(grid, VK_UP);
    ASSERT_TRUE(WaitUntil(5000, [&] { return PixelAt(grid, 745, 26) == GetSysColor(COLOR_HIGHLIGHT); }));
    tool_.Screenshot(ScreenshotFolder() + "edited_key.bmp");
    EXPECT_EQ(PixelAt(grid, 745, 46), RGB(0, 255, 0));

    tool_.Click(IDC_BTN_CLOSE);
    EXPECT_EQ(tool_.WaitForExit(), 0u);
}
