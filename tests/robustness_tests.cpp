// The tool over installations spoiled in one way each: every run must end with a clear message
// (box or status line), leave the window usable, and keep every farm data file readable with
// its key, with either its old or its new content.
#include "demo/gui_driver.h"
#include "resources/resource.h"
#include "tests/test_support.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/registry.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <optional>
#include <stdexcept>

namespace {

using Lines = std::vector<std::string>;

const DemoFarm kFarms[] = {{"BNR276001", "4711_1_1", "Sommerweide", "Antrag"},
                           {"BNR310777", "5230_1_1", "Hofladen#7", "Antrag"}};

// What a spoiled installation looks like, and how the tool must end.
struct Row {
    const char* what;
    // Below the scratch folder: where the demo installation goes.
    std::string subfolder;
    std::function<void(const DemoInstallation&)> spoil;
    // Expected: a box at start-up, a box at the end of the run, or a status line of the run,
    // each found by a part of its text.
    std::string startupBox;
    std::string runBox;
    std::string statusLine;
    // Below the program folder: a file that another program holds open, without sharing, during
    // the run.
    std::string held = {};
    // Once the window is open, before Start.
    std::function<void(const DemoInstallation&)> afterOpen = {};
    // After the run, for what else the row promises.
    std::function<void(const DemoInstallation&)> check = {};
};

std::string FarmCsv(const DemoInstallation& demo, const DemoFarm& farm)
{
    return demo.ProgramPath() + farm.FarmId() + "\\CSV-Dateien\\";
}

std::string DataWithOddLines()
{
    std::string text = DemoDataCsv(kFarms[0]);
    text += DemoRecord("D40X0U3T9C1L1R1", std::string(1 << 20, 'x'));
    text += Cp1252(u8"Zeile ohne Satzformat\r\näöüßÄÖÜ€Ÿÿ\r\n");
    return text + "key=\"D40X0U3T9C2L1R1\"; value=\"ohne Zeilenende\"; enabled=\"1\"";
}

std::string LongFolder()
{
    // The data file of the first farm ends up with a path of 250 characters.
    const std::string tail = "Kolvano\\BNR276001_4711_1_1\\CSV-Dateien\\CSV_ALL_DAT.CND";
    ScratchFolder probe;
    const size_t room = 250 - probe.path().size() - tail.size();
    return std::string(room - 1, 'L') + "\\";
}

const Row kRows[] = {
    {"update.ini with garbage", "", [](const DemoInstallation& d) {
         d.ShipFile("update.ini", "\x01\x02 M\xFCll [[[\r\nReplacePlausiCSV\r\n=1=\r\n");
     }, "", kSuccess, ""},
    {"update.ini without its section", "", [](const DemoInstallation& d) {
         d.ShipFile("update.ini", "[ANDERS]\r\nReplacePlausiCSV=1\r\n");
     }, "", kSuccess, ""},
    {"update.ini with odd values", "", [](const DemoInstallation& d) {
         d.ShipFile("update.ini", "[UPDATES]\r\nReplacePlausiCSV=  1  \r\nDeleteAppdatas=ja\r\n");
     }, "", kSuccess, ""},
    {"data CSV with a 1 MB line, lines without record format, CP1252 bytes, no final line break", "",
     [](const DemoInstallation& d) { d.AddFarm(kFarms[0], DataWithOddLines()); }, "", kSuccess, ""},
    {"truncated encrypted file", "", [](const DemoInstallation& d) {
         const std::string file = FarmCsv(d, kFarms[1]) + "CSV_ALL_DAT.CND";
         const std::string bytes = ReadFileBytes(file);
         WriteFileBytes(file, bytes.substr(0, bytes.size() - 10));
     }, "", Cp1252(u8"Fehler bei Schlüsselprüfung (BNR310777_5230_1_1): "), ""},
    {"encrypted file that is not ours", "", [](const DemoInstallation& d) {
         WriteFileBytes(FarmCsv(d, kFarms[1]) + "CSV_ALL_DAT.CND", DemoDataCsv(kFarms[1]));
     }, "", Cp1252(u8"Fehler bei Schlüsselprüfung (BNR310777_5230_1_1): Falscher Schlüssel."), ""},
    {"farm structure file whose first line is not a stamp", "", [](const DemoInstallation& d) {
         d.AddStructureFile(kFarms[0].FarmId(), "Ebene;x;version=2014.12.01.00");
         d.ShipFile("CSV_ALL_STR.CSV", ";version=2015.03.17.01\r\n");
     }, "", kSuccess, "hat keinen lesbaren Versionsstempel und wird ersetzt.", "", nullptr, [](const DemoInstallation& d) {
         EXPECT_EQ(ReadFileBytes(FarmCsv(d, kFarms[0]) + "CSV_ALL_STR.CSV"), ";version=2015.03.17.01\r\n");
     }},
    {"DOKUMENTE.TXT with a version field that is not a number", "", [](const DemoInstallation& d) {
         d.ShipFile("DOKUMENTE.TXT", "   Version 7    Merkblatt.pdf;\r\n");
     }, "", Cp1252(u8"Das Update kann nicht beginnen; es wurde nichts geändert:"), ""},
    {"description of another type in the registry", "", [](const DemoInstallation&) {
         SetUserDword(kProduct + "\\BNR310777\\5230_1_1", "BezAntrag", 5);
     }, Cp1252(u8"Ungültiger Datentyp für 'BezAntrag'"), kSuccess, ""},
    {"save folder of another type in the registry", "", [](const DemoInstallation&) {
         SetUserDword(kProduct + "\\BNR310777\\5230_1_1", "SavePath", 5);
     }, "", Cp1252(u8"Ungültiger Datentyp für 'SavePath'"), Cp1252(u8"Ungültiger Datentyp für 'SavePath'")},
    {"farm folder without CSV-Dateien", "", [](const DemoInstallation& d) {
         RemoveTree(FarmCsv(d, kFarms[1]));
     }, "", "konnte NICHT nach (tmpcndFile)", ""},
    {"read-only farm files", "", [](const DemoInstallation& d) {
         for (const DemoFarm& farm : kFarms)
             SetFileAttributesA((FarmCsv(d, farm) + "CSV_ALL_DAT.CND").c_str(), FILE_ATTRIBUTE_READONLY);
     }, "", kSuccess, ""},
    {"read-only program file held by another program", "", [](const DemoInstallation& d) {
         d.InstallFile("main.pbd", "alt");
         d.ShipFile("main.pbd", "neu");
         SetFileAttributesA((d.ProgramPath() + "main.pbd").c_str(), FILE_ATTRIBUTE_READONLY);
     }, "", "Die Datei 'main.pbd' wird von einem anderen Programm verwendet", "", "main.pbd", nullptr,
     [](const DemoInstallation& d) {
         EXPECT_EQ(ReadFileBytes(d.ProgramPath() + "main.pbd"), "alt");
         EXPECT_TRUE(FileExists(d.ProgramPath() + "kolvano3.exe"));
     }},
    {"catalogue deleted after the window opened", "", nullptr, "", "KATALOGE4UPDATE.CSV konnte nicht gelesen werden",
     "", "", [](const DemoInstallation& d) { DeleteFileA((d.UpdatePath() + "KATALOGE4UPDATE.CSV").c_str()); }},
    {"catalogue of random bytes", "", [](const DemoInstallation& d) {
         d.ShipFile("KATALOGE4UPDATE.CSV", std::string("\x7F\x45\x4C\x46\x01\x02\x00\x91\xE3\r\n", 11) + "key");
     }, "", Cp1252(u8"ist keine Textdatei: Zeile 1 enthält Steuerzeichen"), ""},
    {"catalogue saved as UTF-8 with a byte-order mark, a header and a blank line", "", [](const DemoInstallation& d) {
         d.ShipFile("KATALOGE4UPDATE.CSV", "\xEF\xBB\xBF" "Kopfzeile\r\n\r\n"
                                           "key=\"D40X0U5T1C1L1R1\"; value=\"Milchk\xC3\xBC" "he 45\"; enabled=\"1\"\r\n"
                                           "key=\"D40X0U5T1C2L1R1\"; value=\"Jungrinder 12\"; enabled=\"1\"\r\n");
     }, "", kSuccess, "", "", nullptr, [](const DemoInstallation& d) {
         for (const DemoFarm& farm : kFarms)
             EXPECT_EQ(DecryptText(BinFolder(), FarmCsv(d, farm) + "CSV_ALL_DAT.CND", farm.key),
                       DemoUpdatedCsv(farm, "7.00.02.02")) << "each record once, converted, no header";
     }},
    {"structure file saved as UTF-8 with a character that code page 1252 lacks", "", [](const DemoInstallation& d) {
         d.ShipFile("CSV_ALL_STR.CSV", "\xEF\xBB\xBF;version=2015.03.17.01\r\nFl\xC3\xA4" "che in \xCE\xA9\r\n");
     }, "", Cp1252(u8"Zeile 2 ist kein gültiges UTF-8 oder enthält Zeichen, die es in Windows-1252 nicht gibt"), ""},
    {"folder named like a current farm's registry key", "", [](const DemoInstallation& d) {
         ASSERT_TRUE(CreateFolder(d.ProgramPath() + "BNR276001"));
         ASSERT_TRUE(CreateFolder(d.ProgramPath() + "BNR276001\\CSV-Dateien"));
         ASSERT_TRUE(CopyFileA((FarmCsv(d, kFarms[0]) + "CSV_ALL_DAT.CND").c_str(),
                               (d.ProgramPath() + "BNR276001\\CSV-Dateien\\CSV_ALL_DAT.CND").c_str(), FALSE));
     }, "", kSuccess, ""},
    {"application id that climbs out of the installation", "", [](const DemoInstallation& d) {
         const DemoFarm old{"BNR402000", "8800_1_1", "Altbestand", ""};
         d.AddOldLayoutFarm(old, DemoDataCsv(old) + DemoRecord("D40X0U3T3C2L1R1", "x\\..\\..\\..\\Ausserhalb"));
     }, "", "Die ANTR-ID 'x\\..\\..\\..\\Ausserhalb' bei BNR BNR402000 kann nicht Teil eines Ordnernamens sein", "",
     "", nullptr, [](const DemoInstallation& d) {
         EXPECT_TRUE(FolderExists(d.ProgramPath() + "BNR402000"));
         EXPECT_TRUE(UserKeyExists("SOFTWARE\\Orvalis GmbH\\Kolvano\\BNR402000"));
     }},
    {"decrypted data a killed run left in the temp folder", "", [](const DemoInstallation&) {
         WriteFileBytes(TempFile("DATEN_CSV.TXT"), Cp1252(u8"entschlüsselte Daten"));
         WriteFileBytes(TempFile("CSV_PLAUSI.TXT"), "Regeln");
         WriteFileBytes(TempFile("DATEN_CSV.TXT.behalten"), "fremd");
     }, "", kSuccess, "", "", [](const DemoInstallation&) {
         EXPECT_FALSE(FileExists(TempFile("DATEN_CSV.TXT"))) << "removed at start-up";
         EXPECT_FALSE(FileExists(TempFile("CSV_PLAUSI.TXT")));
         EXPECT_TRUE(FileExists(TempFile("DATEN_CSV.TXT.behalten"))) << "nothing else is touched";
         DeleteFileA(TempFile("DATEN_CSV.TXT.behalten").c_str());
     }},
    {"installation path with blanks and umlauts", Cp1252(u8"Mühle am Bach ÄÖÜ\\"), nullptr, "", kSuccess, ""},
    {"data file path of 250 characters", LongFolder(), nullptr, "", kSuccess, ""},
};

// The plain text of a farm file, or nothing when it cannot be decrypted with the key.
std::optional<std::string> Plain(const std::string& file, const std::string& key)
{
    try {
        return DecryptText(BinFolder(), file, key);
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

bool Contains(const Lines& lines, const std::string& part)
{
    for (const std::string& line : lines)
        if (line.find(part) != std::string::npos)
            return true;
    return false;
}

// A test name from the row's description: its letters and digits, each word capitalised.
std::string RowName(const testing::TestParamInfo<Row>& info)
{
    std::string name;
    bool wordStart = true;
    for (const char c : std::string(info.param.what)) {
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alnum)
            name += wordStart && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        wordStart = !alnum;
    }
    return name;
}

class Robustness : public testing::TestWithParam<Row> {};

// GoogleTest names a failing row by its description.
[[maybe_unused]] void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.what;
}

}  // namespace

TEST_P(Robustness, SpoiledInstallationEndsCleanly)
{
    const Row& row = GetParam();
    RegistryScratch registry;
    ShortcutScratch shortcuts;
    ScratchFolder scratch;
    if (!row.subfolder.empty()) {
        ASSERT_EQ(SHCreateDirectoryExA(nullptr, (scratch.path() + row.subfolder).c_str(), nullptr), ERROR_SUCCESS);
    }
    DemoInstallation demo(scratch.path() + row.subfolder, BinFolder());
    demo.Register();
    demo.ShipTool();
    demo.ShipCopy(FixtureFolder() + "version_7_0_2_2.exe", "kolvano3.exe");
    demo.InstallCopy(FixtureFolder() + "version_7_0_1_0.exe", "kolvano3.exe");
    demo.ShipFile("KATALOGE4UPDATE.CSV", DemoCatalog());
    for (const DemoFarm& farm : kFarms)
        demo.AddFarm(farm, DemoDataCsv(farm));
    if (row.spoil)
        row.spoil(demo);
    std::vector<std::optional<std::string>> before;
    for (const DemoFarm& farm : kFarms)
        before.push_back(Plain(FarmCsv(demo, farm) + "CSV_ALL_DAT.CND", farm.key));

    GuiDriver tool;
    ASSERT_TRUE(tool.Start(demo.ToolPath()));
    if (!row.startupBox.empty()) {
        const auto box = tool.WaitForMessageBox();
        ASSERT_TRUE(box.has_value());
        EXPECT_NE(box->text.find(row.startupBox), std::string::npos) << box->text;
        tool.PressOk(*box);
    }
    ASSERT_TRUE(tool.WaitVisible());
    if (row.afterOpen)
        row.afterOpen(demo);
    FileHandle held;
    if (!row.held.empty()) {
        held.reset(CreateFileA((demo.ProgramPath() + row.held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
    }
    const Lines boxes = tool.RunUpdate();
    held.reset();
    if (row.check)
        row.check(demo);
    if (row.runBox.empty()) {
        EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0]);
    } else {
        EXPECT_TRUE(boxes.size() == 1 && boxes[0].find(row.runBox) != std::string::npos)
            << (boxes.empty() ? "no box" : boxes[0]);
    }
    if (!row.statusLine.empty()) {
        EXPECT_TRUE(Contains(tool.ListLines(IDC_LISTBOX1), row.statusLine));
    }
    EXPECT_TRUE(tool.IsEnabled(IDC_BTN_CLOSE)) << "the window is usable again";
    EXPECT_FALSE(tool.IsVisible(IDC_BUSY));
    if (boxes != Lines{kSuccess}) {
        EXPECT_TRUE(tool.IsEnabled(IDC_BTN_START)) << "Start can be pressed again";
    }

    // A farm file that was readable stays readable, with its old text or the updated one.
    for (size_t i = 0; i < std::size(kFarms); ++i) {
        if (!before[i])
            continue;
        const auto after = Plain(FarmCsv(demo, kFarms[i]) + "CSV_ALL_DAT.CND", kFarms[i].key);
        ASSERT_TRUE(after.has_value()) << kFarms[i].FarmId();
        EXPECT_TRUE(*after == *before[i] ||
                    after->find("key=\"D40X0U2T2C13L18R1\"; value=\"7.00.02.02\"") != std::string::npos)
            << kFarms[i].FarmId();
    }
    tool.Click(IDC_BTN_CLOSE);
    EXPECT_TRUE(tool.WaitForExit().has_value());
}

INSTANTIATE_TEST_SUITE_P(Spoiled, Robustness, testing::ValuesIn(kRows), RowName);
