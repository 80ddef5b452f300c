// Update runs in the real window, driven from outside: what the user sees and what stays on disk.
#include "resources/resource.h"
#include "demo/gui_driver.h"
#include "tests/test_support.h"
#include "update/u_constants.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/registry.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

using Lines = std::vector<std::string>;

const std::string kCheckingKeys = Cp1252(u8"Bitte warten, Schlüssel werden überprüft...");
const std::string kDataPhase = "Bitte warten, Daten-CSVs werden aktualisiert...";
const std::string kProgramFiles = "Bitte warten, Programmdateien werden aktualisiert...";
const std::string kShortcuts = Cp1252(u8"Bitte warten, Verknüpfungen werden aktualisiert...");
const std::string kDocuments = "Bitte warten, Dokumente werden aktualisiert...";

// Kolvano started from the installation; it waits until it is ended.
struct StartedKolvano {
    KernelHandle process;
    DWORD id = 0;
    ~StartedKolvano()
    {
        TerminateProcess(process.get(), 0);
        WaitForSingleObject(process.get(), 5000);
    }
};

std::unique_ptr<StartedKolvano> StartKolvano(const std::string& programPath)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    const std::string kolvano = programPath + "kolvano3.exe";
    std::string command = "\"" + kolvano + "\" /warten";
    if (!CreateProcessA(kolvano.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    auto started = std::make_unique<StartedKolvano>();
    started->process.reset(info.hProcess);
    started->id = info.dwProcessId;
    return started;
}

const char kKolvanoOpen[] = "Aus der Installation laufen noch Programme: kolvano3.exe. Bitte schlie\xDF" "en Sie sie und "
                            "dr\xFC" "cken Sie danach erneut Start.";

class RunWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        demo_.Register();
        demo_.ShipTool();
        for (const DemoFarm& farm : farms_)
            demo_.AddFarm(farm, DemoDataCsv(farm));
        demo_.InstallCopy(FixtureFolder() + "version_7_0_1_0.exe", "kolvano3.exe");
        demo_.ShipCopy(FixtureFolder() + "version_7_0_2_2.exe", "kolvano3.exe");
        demo_.ShipFile("KATALOGE4UPDATE.CSV", DemoCatalog());
    }

    void Start()
    {
        ASSERT_TRUE(tool_.Start(demo_.ToolPath()));
        ASSERT_TRUE(tool_.WaitVisible());
    }

    std::string DataFile(const DemoFarm& farm) const
    {
        return demo_.ProgramPath() + farm.FarmId() + "\\CSV-Dateien\\CSV_ALL_DAT.CND";
    }

    RegistryScratch registry_;
    ShortcutScratch shortcuts_;
    ScratchFolder scratch_;
    DemoInstallation demo_{scratch_.path(), BinFolder()};
    const std::vector<DemoFarm> farms_ = {{"BNR276001", "4711_1_1", "Sommerweide", "Antrag"},
                                          {"BNR310777", "5230_1_1", "Hofladen#7", "Antrag"}};
    GuiDriver tool_;
};

}  // namespace

TEST_F(RunWindowTest, SuccessfulRunReportsAndOffersToStartKolvano)
{
    Start();
    EXPECT_EQ(tool_.RunUpdate(), Lines{kSuccess});
    EXPECT_EQ(tool_.ListLines(IDC_LISTBOX1),
              (Lines{kSuccess, kDocuments, kShortcuts, kProgramFiles,
                     "Daten-CSV '" + DataFile(farms_[1]) + "' wird aktualisiert...",
                     "Daten-CSV '" + DataFile(farms_[0]) + "' wird aktualisiert...", kDataPhase, kCheckingKeys}));
    EXPECT_EQ(tool_.ControlText(IDC_LBL_INFO), "Installierte Version = 7.00.01.00, Update-Version = 7.00.02.02");
    EXPECT_FALSE(tool_.IsEnabled(IDC_BTN_START));
    EXPECT_TRUE(tool_.IsEnabled(IDC_BTN_CLOSE));
    EXPECT_EQ(tool_.FocusedWindow(), tool_.Control(IDC_BTN_CLOSE)) << "Start is off after success";
    EXPECT_TRUE(tool_.IsEnabled(IDC_CB_NEUSTART));
    EXPECT_FALSE(tool_.IsVisible(IDC_BUSY));
    tool_.Screenshot(ExeFolder() + "..\\screenshots\\run_finished.bmp");

    // A double click on the headline offers Start again, and the second run goes through too.
    SendMessageTimeoutA(tool_.Control(IDC_LBL_INFO), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    EXPECT_TRUE(WaitUntil(5000, [&] { return tool_.IsEnabled(IDC_BTN_START); }));
    EXPECT_EQ(tool_.RunUpdate(), Lines{kSuccess});

    // Beenden with the box checked starts the installed program maximised in its folder.
    SendMessageTimeoutA(tool_.Control(IDC_CB_NEUSTART), BM_SETCHECK, BST_CHECKED, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    tool_.Click(IDC_BTN_CLOSE);
    EXPECT_EQ(tool_.WaitForExit(), 0u) << "the last run succeeded";
    // The started program may still be writing its note when it first shows.
    std::string started;
    EXPECT_TRUE(WaitUntil(10000, [&] {
        try {
            started = ReadFileBytes(demo_.ProgramPath() + "started.txt");
        } catch (const std::runtime_error&) {
        }
        return started == "show=3\r\n";
    })) << started;
}

TEST_F(RunWindowTest, WrongKeyInTheSecondRowStopsWithoutChangingFarms)
{
    SetUserString("SOFTWARE\\Orvalis GmbH\\Kolvano\\BNR310777\\5230_1_1", "Key", "Hofladen#8");
    const std::string before = ReadFileBytes(DataFile(farms_[1]));
    Start();
    const std::string message = Cp1252(u8"Fehler bei Schlüsselprüfung (BNR310777_5230_1_1): Falscher Schlüssel.");
    EXPECT_EQ(tool_.RunUpdate(), Lines{message});
    EXPECT_EQ(tool_.ListLines(IDC_LISTBOX1), (Lines{message, kCheckingKeys}));
    EXPECT_TRUE(tool_.IsEnabled(IDC_BTN_START)) << "the user can correct the key and start again";
    EXPECT_TRUE(tool_.IsEnabled(IDC_BTN_CLOSE));
    // The keyboard is back on the wrong key: the second row's key cell is the selected one.
    EXPECT_EQ(tool_.FocusedWindow(), tool_.Control(IDC_S_GRID));
    EXPECT_EQ(PixelAt(tool_.Control(IDC_S_GRID), 745, 46), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_FALSE(tool_.IsEnabled(IDC_CB_NEUSTART));
    EXPECT_EQ(ReadFileBytes(DataFile(farms_[1])), before);
}

// A library that is missing, that this process cannot load, or that crashes stops the run before
// anything changes, and the tool lives on; once a usable library is there, Start goes through.
TEST_F(RunWindowTest, MissingUnusableOrCrashingLibraryChangesNothing)
{
    const std::string library = demo_.UpdatePath() + "pbfdec.dll";
    const std::string good = ReadFileBytes(library);
    const std::string notLibrary = "Die Datei " + library + Cp1252(u8" ist keine Windows-Bibliothek (leer, beschädigt "
                                                                   u8"oder eine Textdatei). Update wird abgebrochen!");
    const struct {
        const char* what;
        std::string bytes;
        std::string text;
    } cases[] = {
        {"missing", "", Cp1252(u8"DLL (pbfdec.dll) für Entschlüsselung nicht gefunden, Update wird abgebrochen!")},
        {"other bitness", ReadFileBytes(ExeFolder() + "other_bitness_pbfdec.dll"),
         "Die Datei " + library +
             (sizeof(void*) == 4 ? Cp1252(u8" ist eine Bibliothek für 64-Bit-Windows (x64); das UpdateTool braucht die "
                                          u8"Version für 32-Bit-Windows (x86). Update wird abgebrochen!")
                                 : Cp1252(u8" ist eine Bibliothek für 32-Bit-Windows (x86); das UpdateTool braucht die "
                                          u8"Version für 64-Bit-Windows (x64). Update wird abgebrochen!"))},
        {"empty", "", notLibrary},
        {"text", "Dies ist keine Bibliothek.\r\n", notLibrary},
        {"truncated", good.substr(0, good.size() / 2),
         "Die Datei " + library + Cp1252(u8" ist unvollständig (abgeschnitten oder beschädigt). Update wird "
                                         u8"abgebrochen!")},
        {"crashing", ReadFileBytes(ExeFolder() + "null_pointer_pbfdec.dll"),
         Cp1252(u8"Fehler bei Schlüsselprüfung (BNR276001_4711_1_1): Die Entschlüsselung wurde mit einem Fehler "
                u8"abgebrochen (Ausnahme 0xC0000005 in pbfdec.dll).")},
    };
    const std::string before = InstallationSnapshot(demo_.ProgramPath());
    Start();
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        DeleteFileA(library.c_str());
        if (std::string(test.what) != "missing")
            WriteFileBytes(library, test.bytes);
        EXPECT_EQ(tool_.RunUpdate(), Lines{test.text});
        EXPECT_EQ(tool_.ListLines(IDC_LISTBOX1).front(), test.text) << "the newest line of the status list";
        EXPECT_TRUE(tool_.IsEnabled(IDC_BTN_START));
        EXPECT_EQ(InstallationSnapshot(demo_.ProgramPath()), before);
    }
    EXPECT_EQ(tool_.ControlText(IDC_LBL_INFO), Cp1252(u8"Update für Programm Kolvano (7.00.01.00) auf die Version "
                                                      u8"7.00.02.02"));
    WriteFileBytes(library, good);
    EXPECT_EQ(tool_.RunUpdate(), Lines{kSuccess});
}

TEST_F(RunWindowTest, OlderUpdateIsRefusedAndTheWindowShrinks)
{
    demo_.InstallCopy(FixtureFolder() + "version_7_0_2_2.exe", "kolvano3.exe");
    demo_.ShipCopy(FixtureFolder() + "version_7_0_1_0.exe", "kolvano3.exe");
    ASSERT_TRUE(tool_.Start(demo_.ToolPath()));
    const auto box = tool_.WaitForMessageBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, "Die installierte Programmversion ist 7.00.02.02 und kann damit nicht durch dieses "
                         "Update 7.00.01.00 aktualisiert werden.");
    ASSERT_TRUE(tool_.PressOk(*box));
    EXPECT_TRUE(WaitUntil(5000, [&] { return tool_.OuterSize().cy == 187; }));
    EXPECT_EQ(tool_.ControlText(IDC_LBL_INFO),
              Cp1252(u8"Installierte Version = 7.00.02.02, Update-Version = 7.00.01.00, kein Update möglich."));
    EXPECT_FALSE(tool_.IsEnabled(IDC_BTN_START));
    EXPECT_TRUE(tool_.IsEnabled(IDC_CB_NEUSTART));
    EXPECT_EQ(tool_.FocusedWindow(), tool_.Control(IDC_BTN_CLOSE));
    for (int id : {IDC_LISTBOX1, IDC_LABEL5, IDC_LABEL3, IDC_LABEL4, IDC_S_GRID})
        EXPECT_FALSE(tool_.IsVisible(id)) << id;

    // The bottom row followed the bottom edge: Beenden lies inside the shrunken client area.
    RECT client;
    RECT button;
    GetClientRect(tool_.MainWindow(), &client);
    GetWindowRect(tool_.Control(IDC_BTN_CLOSE), &button);
    MapWindowPoints(nullptr, tool_.MainWindow(), reinterpret_cast<POINT*>(&button), 2);
    EXPECT_EQ(client.bottom - button.bottom, 462 - 450) << "as in the full window, where Beenden ends at 450";
    tool_.Screenshot(ExeFolder() + "..\\screenshots\\update_refused.bmp");

    // Without a started program, Beenden only closes the tool.
    tool_.Click(IDC_BTN_CLOSE);
    EXPECT_EQ(tool_.WaitForExit(), 1602u) << "closed without a run";
    EXPECT_FALSE(FileExists(demo_.ProgramPath() + "started.txt"));
}

TEST_F(RunWindowTest, FarmDataPhasesRunInOrderAndLeaveTheExpectedRecords)
{
    char appData[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, FALSE));
    const std::string appFolder = std::string(appData) + "\\Kolvano\\" + farms_[0].FarmId();
    demo_.AddAppData(farms_[0], appData);
    const std::string saveFile = demo_.AddSaveFile(farms_[0], "2025.CND", DemoDataCsv(farms_[0]));
    for (const DemoFarm& farm : farms_)
        demo_.AddStructureFile(farm.FarmId(), ";version=2014.12.01.00");
    demo_.ShipFile("CSV_ALL_STR.CSV", ";version=2015.03.17.01\r\nEbene;Feld;Typ\r\n");
    demo_.ShipFile("CSV_PLAUSI.CSV", "Regel;Feld\r\n");
    demo_.ShipFile("update.ini", "[UPDATES]\r\nReplacePlausiCSV=1\r\n");
    Start();
    EXPECT_EQ(tool_.RunUpdate(), Lines{kSuccess});

    Lines lines = tool_.ListLines(IDC_LISTBOX1);
    std::reverse(lines.begin(), lines.end());
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 6),
              (Lines{kCheckingKeys, Cp1252(u8"Bitte warten, Plausibilitätsprüfungen werden aktualisiert..."),
                     kDataPhase,
                     "Daten-CSV '" + DataFile(farms_[0]) + "' wird aktualisiert...",
                     "Daten-CSV '" + saveFile + "' wird aktualisiert...",
                     "Daten-CSV '" + DataFile(farms_[1]) + "' wird aktualisiert..."}));
    // The structure step lists the farm folders in the file system's order, then updates them.
    const Lines listed(lines.begin() + 6, lines.begin() + 8);
    const Lines updated(lines.begin() + 8, lines.begin() + 10);
    for (size_t i = 0; i < 2; ++i) {
        const std::string farm = listed[i].substr(listed[i].find('\'') + 1, 18);
        EXPECT_EQ(listed[i], Cp1252(u8"Struktur-CSV für '") + farm + "' wird aktualisiert.");
        EXPECT_EQ(updated[i], Cp1252(u8"Struktur-CSV für ") + farm +
                                  " wird auf Version 2015031701 aktualisiert. Anwendungsdaten werden entfernt.");
    }
    EXPECT_EQ(Lines(lines.begin() + 10, lines.end()), (Lines{kProgramFiles, kShortcuts, kDocuments, kSuccess}));

    for (const DemoFarm& farm : farms_) {
        EXPECT_EQ(DecryptText(BinFolder(), DataFile(farm), farm.key), DemoUpdatedCsv(farm, "7.00.02.02"));
        const std::string csv = demo_.ProgramPath() + farm.FarmId() + "\\CSV-Dateien\\";
        EXPECT_EQ(DecryptText(BinFolder(), csv + "CSV_PLAUSI.CND", farm.key), "Regel;Feld\r\n");
        EXPECT_EQ(ReadFileBytes(csv + "CSV_ALL_STR.CSV"), ";version=2015.03.17.01\r\nEbene;Feld;Typ\r\n");
    }
    EXPECT_EQ(DecryptText(BinFolder(), saveFile, farms_[0].key), DemoUpdatedCsv(farms_[0], "7.00.02.02"));
    EXPECT_FALSE(FileExists(appFolder + "\\Ansicht.cache"));
    EXPECT_TRUE(FileExists(appFolder + "\\Layouts\\Standard.lay"));
    RemoveTree(appFolder);
}

TEST_F(RunWindowTest, OldLayoutFarmEndsInTheCurrentLayout)
{
    const DemoFarm old{"BNR402000", "8800_1_1", "Altbestand", ""};
    demo_.AddOldLayoutFarm(old, DemoDataCsv(old));
    for (const DemoFarm& farm : farms_)
        demo_.AddStructureFile(farm.FarmId(), ";version=2015.03.17.01");
    WriteFileBytes(demo_.ProgramPath() + "BNR402000\\CSV-Dateien\\CSV_ALL_STR.CSV", ";version=2014.12.01.00\r\n");
    demo_.ShipFile("CSV_ALL_STR.CSV", ";version=2015.03.17.01\r\nneu\r\n");
    Start();
    const auto rowsBefore = tool_.GridRows(IDC_S_GRID);
    ASSERT_EQ(rowsBefore.size(), 4u);
    EXPECT_EQ(rowsBefore[1], (Lines{"BNR276001_4711_1_1|Antrag|Erstantrag", "Sommerweide"}));
    EXPECT_EQ(rowsBefore[2], (Lines{"BNR310777_5230_1_1|Antrag|Erstantrag", "Hofladen#7"}));
    EXPECT_EQ(rowsBefore[3], (Lines{"BNR402000|alte Ordnerstruktur, wird umgestellt|", "Altbestand"}));

    EXPECT_EQ(tool_.RunUpdate(), Lines{kSuccess});
    const Lines lines = tool_.ListLines(IDC_LISTBOX1);
    const auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has(Cp1252(u8"Modifiziere Ordnerstruktur für BNR402000|alte Ordnerstruktur, wird umgestellt|...")));
    EXPECT_TRUE(has(Cp1252(u8"Modifiziere Daten-CSVs für BNR402000...")));
    // Its data is rewritten once, under the new name only.
    EXPECT_FALSE(has("Daten-CSV '" + demo_.ProgramPath() + "BNR402000\\CSV-Dateien\\CSV_ALL_DAT.CND' wird aktualisiert..."));
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "Daten-CSV '" + demo_.ProgramPath() + "BNR402000_8800_1_1\\CSV-Dateien\\CSV_ALL_DAT.CND' "
                         "wird aktualisiert..."),
              1);
    EXPECT_TRUE(has(Cp1252(u8"Struktur-CSV für BNR402000_8800_1_1 wird auf Version 2015031701 aktualisiert. "
                           u8"Anwendungsdaten werden entfernt.")));

    const std::string moved = demo_.ProgramPath() + "BNR402000_8800_1_1\\CSV-Dateien\\";
    EXPECT_FALSE(FolderExists(demo_.ProgramPath() + "BNR402000"));
    EXPECT_EQ(DecryptText(BinFolder(), moved + "CSV_ALL_DAT.CND", old.key), DemoUpdatedCsv(old, "7.00.02.02"));
    EXPECT_EQ(ReadFileBytes(moved + "CSV_ALL_STR.CSV"), ";version=2015.03.17.01\r\nneu\r\n");
    std::string description;
    EXPECT_EQ(ReadStringValue(OpenUserKey("SOFTWARE\\Orvalis GmbH\\Kolvano\\BNR402000\\8800_1_1"), "BezAntrag",
                              description),
              ValueRead::Ok);
    EXPECT_EQ(tool_.GridRows(IDC_S_GRID)[3][0], "BNR402000_8800_1_1|Erster Antrag nach Umstrukturierung|Erstantrag");
    for (const DemoFarm& farm : farms_) {
        EXPECT_TRUE(FolderExists(demo_.ProgramPath() + farm.FarmId())) << "other farms keep their folders";
        EXPECT_TRUE(UserKeyExists("SOFTWARE\\Orvalis GmbH\\Kolvano\\" + farm.farm + "\\" + farm.application));
    }
}

TEST_F(RunWindowTest, MissingSaveKeyStopsCleanlyAndASecondStartCompletes)
{
    const DemoFarm old{"BNR402000", "8800_1_1", "Altbestand", ""};
    demo_.AddOldLayoutFarm(old, DemoDataCsv(old));
    const std::string oldKey = "SOFTWARE\\Orvalis GmbH\\Kolvano\\BNR402000";
    RegDeleteKeyValueA(HKEY_CURRENT_USER, oldKey.c_str(), "SaveKey");
    Start();
    EXPECT_EQ(tool_.RunUpdate(), Lines{Cp1252(u8"Das Update kann nicht beginnen; es wurde nichts geändert:\n\nDer "
                                              u8"Registrierungswert 'SaveKey' des Betriebs BNR402000 fehlt oder hat "
                                              u8"einen ungültigen Datentyp. Die Ordnerstruktur wurde nicht geändert.")});
    EXPECT_TRUE(FolderExists(demo_.ProgramPath() + "BNR402000"));
    EXPECT_FALSE(FolderExists(demo_.ProgramPath() + "BNR402000_8800_1_1"));
    EXPECT_TRUE(tool_.IsEnabled(IDC_BTN_START));

    SetUserDword(oldKey, "SaveKey", 7);
    EXPECT_EQ(tool_.RunUpdate(), Lines{kSuccess});
    EXPECT_TRUE(FolderExists(demo_.ProgramPath() + "BNR402000_8800_1_1"));
    EXPECT_FALSE(FolderExists(demo_.ProgramPath() + "BNR402000"));
}

TEST_F(RunWindowTest, RunLogFileHoldsEveryStatusLineButNoKey)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string logFile = std::string(temp) + "Kolvano-UpdateTool.log";
    DeleteFileA(logFile.c_str());
    demo_.SetDebugInfo(1);
    Start();
    EXPECT_EQ(tool_.RunUpdate(), Lines{kSuccess});
    Lines shown = tool_.ListLines(IDC_LISTBOX1);
    std::reverse(shown.begin(), shown.end());
    ASSERT_GT(shown.size(), 20u) << "debug lines are on";

    const std::string text = ReadFileBytes(logFile);
    Lines logged;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find("\r\n", start);
        logged.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    ASSERT_EQ(logged.size(), shown.size() + 7);
    EXPECT_NE(logged[0].find("==== Kolvano-UpdateTool V"), std::string::npos);
    EXPECT_NE(logged[0].find(", Lauf vom "), std::string::npos);
    EXPECT_EQ(logged[1].find("Computer: "), 21u);
    EXPECT_NE(logged[1].find(", Benutzer: "), std::string::npos);
    EXPECT_NE(logged[1].find(", Befehlszeile: "), std::string::npos);
    EXPECT_EQ(logged[2].substr(21), "Installierte Version: 7.00.01.00, Update-Version: 7.00.02.02");
    EXPECT_EQ(logged[3].substr(21), "Updatepfad: " + demo_.UpdatePath());
    EXPECT_EQ(logged[4].substr(21), "Programmpfad: " + demo_.ProgramPath());
    EXPECT_EQ(logged[5].substr(21), "Temppfad: " + std::string(temp));
    for (size_t i = 0; i < shown.size(); ++i) {
        // "dd.mm.yyyy hh:mm:ss" and two blanks before each line.
        EXPECT_EQ(logged[i + 6][2], '.');
        EXPECT_EQ(logged[i + 6].substr(19, 2), "  ");
        EXPECT_EQ(logged[i + 6].substr(21), shown[i]);
    }
    EXPECT_EQ(logged.back().substr(21), Cp1252(u8"==== Ende, Rückgabewert 0: erfolgreich (/check: Update kann "
                                               u8"beginnen) ===="));
    for (const DemoFarm& farm : farms_)
        EXPECT_EQ(text.find(farm.key), std::string::npos) << "no key in the log file";

    // The next run appends under a header of its own.
    SendMessageTimeoutA(tool_.Control(IDC_LBL_INFO), WM_LBUTTONDBLCLK, MK_LBUTTON, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    EXPECT_EQ(tool_.RunUpdate(), Lines{kSuccess});
    EXPECT_EQ(ReadFileBytes(logFile).rfind(text, 0), 0u);
    EXPECT_GT(ReadFileBytes(logFile).size(), text.size() * 3 / 2);
}

// A run of more than ten seconds (a library that takes two seconds a call) never lets Windows
// take the window for hung, and a double click that another program sends meanwhile changes
// nothing.
// Every library call takes eight seconds: the window answers throughout, can be moved and
// repaints, and what the user does to it meanwhile starts nothing.
TEST_F(RunWindowTest, SlowLibraryCallsLeaveTheWindowResponding)
{
    ASSERT_TRUE(CopyFileA((BinFolder() + "pbfdec.dll").c_str(), (demo_.UpdatePath() + "pbfdec_inner.dll").c_str(),
                          FALSE));
    ASSERT_TRUE(CopyFileA((ExeFolder() + "slow_pbfdec.dll").c_str(), (demo_.UpdatePath() + "pbfdec.dll").c_str(),
                          FALSE));
    // One farm: three calls.
    DeleteUserTree(std::string(names::kProductKey) + "\\" + farms_[1].farm);
    Start();
    HWND main = tool_.MainWindow();
    tool_.Click(IDC_BTN_START);
    const ULONGLONG begin = GetTickCount64();
    bool hung = false;
    int moves = 0;
    int repaints = 0;
    bool clicked = false;
    std::optional<MessageBoxSeen> box;
    while (!(box = tool_.WaitForMessageBox(200)) && GetTickCount64() - begin < 120000) {
        hung = hung || IsHungAppWindow(main);
        RECT before;
        GetWindowRect(main, &before);
        const int step = moves % 2 ? -7 : 7;
        SetWindowPos(main, nullptr, before.left + step, before.top + step, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
        if (WaitUntil(1000, [&] {
                RECT now;
                GetWindowRect(main, &now);
                return now.left == before.left + step;
            }))
            ++moves;
        InvalidateRect(main, nullptr, TRUE);
        if (WaitUntil(1000, [&] { return !GetUpdateRect(main, nullptr, FALSE); }))
            ++repaints;
        if (!clicked && GetTickCount64() - begin > 3000) {
            SendMessageTimeoutA(tool_.Control(IDC_LBL_INFO), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5),
                                SMTO_NORMAL, 1000, nullptr);
            tool_.Click(IDC_BTN_CLOSE);
            clicked = true;
        }
    }
    const ULONGLONG elapsed = GetTickCount64() - begin;
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, kSuccess);
    EXPECT_GE(elapsed, 8000u);
    EXPECT_FALSE(hung) << "the window was taken for hung during the run";
    const ULONGLONG rounds = elapsed / 1000;
    EXPECT_GE(moves * 2u, rounds) << "the window moved " << moves << " times in " << elapsed << " ms";
    EXPECT_GE(repaints * 2u, rounds) << "the window repainted " << repaints << " times in " << elapsed << " ms";
    ASSERT_TRUE(tool_.PressOk(*box));
    EXPECT_FALSE(tool_.IsEnabled(IDC_BTN_START)) << "the double click during the run enabled nothing";
    EXPECT_TRUE(IsWindow(main)) << "Beenden during the run ended nothing";
    // The progress line is gone from the status list once the run is over.
    const Lines after = tool_.ListLines(IDC_LISTBOX1);
    EXPECT_TRUE(std::none_of(after.begin(), after.end(), [](const std::string& line) {
        return line.rfind("Bearbeite ", 0) == 0;
    }));
}

// Kolvano open from the installation: Start refuses before any change and names the program.
TEST_F(RunWindowTest, RunningKolvanoIsNamedAndNothingChanges)
{
    Start();
    const std::string before = InstallationSnapshot(demo_.ProgramPath());
    auto kolvano = StartKolvano(demo_.ProgramPath());
    ASSERT_TRUE(kolvano);
    const Lines boxes = tool_.RunUpdate();
    const std::string logged = "kolvano3.exe (Prozess " + std::to_string(kolvano->id) + ").";
    kolvano.reset();
    EXPECT_EQ(boxes, Lines{std::string(kKolvanoOpen) + Cp1252(u8" Es wurde nichts geändert.")});
    const Lines lines = tool_.ListLines(IDC_LISTBOX1);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&](const std::string& line) { return line.find(logged) != std::string::npos; }));
    EXPECT_EQ(InstallationSnapshot(demo_.ProgramPath()), before);
    EXPECT_EQ(tool_.RunUpdate(), Lines{kSuccess}) << "once Kolvano is closed";
}

// Kolvano started while the run works on many farms: the run stops before its next phase and
// is undone; once Kolvano is closed, Start brings the update.
TEST_F(RunWindowTest, KolvanoStartedDuringTheRunStopsItAndItIsUndone)
{
    // A few more farms: Kolvano starts while the run is still at its farms.
    for (int i = 0; i < 3; ++i) {
        const DemoFarm farm{"BNR6" + std::to_string(10000 + i), "1_1_1", "Weide", "Antrag"};
        demo_.AddFarm(farm, DemoDataCsv(farm));
    }
    Start();
    const std::string before = InstallationSnapshot(demo_.ProgramPath());
    tool_.Click(IDC_BTN_START);
    const std::string journal = demo_.ProgramPath() + "Kolvano-UpdateTool.journal";
    ASSERT_TRUE(WaitUntil(60000, [&] { return FileExists(journal); }));
    auto kolvano = StartKolvano(demo_.ProgramPath());
    ASSERT_TRUE(kolvano);
    const auto box = tool_.WaitForMessageBox();
    kolvano.reset();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text.find(kKolvanoOpen), 0u) << box->text;
    tool_.PressOk(*box);
    EXPECT_EQ(InstallationSnapshot(demo_.ProgramPath()), before);
    EXPECT_EQ(tool_.RunUpdate(), Lines{kSuccess}) << "once Kolvano is closed";
}
