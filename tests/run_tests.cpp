// The update run on a copy of the farm rows: gates, stops, the success report and the result
// that the window shows.
#include "shell/farm_rows.h"
#include "shell/update_run.h"
#include "tests/test_support.h"
#include "util/files.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

namespace {

using Lines = std::vector<std::string>;

class RunTest : public testing::Test {
protected:
    void SetUp() override
    {
        context().InstalledVersion = "7.00.01.00";
        context().UpdateVersion = "7.00.02.02";
        // The run begins a journal of its own.
        std::string ignored;
        ASSERT_TRUE(scratch_.journal.RollBack(ignored));
        context().Journal = nullptr;
    }
    UpdateContext& context() { return scratch_.context; }
    void AddFarm(const DemoFarm& farm)
    {
        demo_.AddFarm(farm, DemoDataCsv(farm));
        AddRow(farm.FarmId() + "|" + farm.description + "|Erstantrag", farm.key);
    }
    // As the grid fills: the design-time empty row first.
    void AddRow(const std::string& label, const std::string& key)
    {
        if (rows_.RowCount() > 2 || !rows_.Cell(0, 1).empty())
            rows_.AddRow();
        rows_.SetCell(0, rows_.RowCount() - 1, label);
        rows_.SetCell(1, rows_.RowCount() - 1, key);
    }

    RegistryScratch registry_;
    ScratchContext scratch_;
    DemoInstallation demo_{scratch_.root.path(), BinFolder()};
    RecordingSink sink_;
    GridRows rows_{"Betriebsnummer", Cp1252(u8"Schlüssel")};
};

}  // namespace

TEST_F(RunTest, MissingLibraryStopsBeforeAnythingChanges)
{
    ASSERT_TRUE(DeleteFileA((context().UpdatePath + "pbfdec.dll").c_str()));
    const RunResult result = RunUpdate(context(), rows_);
    const std::string text = Cp1252(u8"DLL (pbfdec.dll) für Entschlüsselung nicht gefunden, Update wird abgebrochen!");
    EXPECT_EQ(sink_.lines, Lines{text});
    EXPECT_EQ(result.outcome, RunOutcome::LibraryUnusable);
    EXPECT_EQ(result.message, text);
    EXPECT_EQ(sink_.clears, 0) << "the list is not emptied";
}

TEST_F(RunTest, MissingTempFolderStopsWithItsOwnOutcomeBeforeTheKeys)
{
    context().TempPath = scratch_.root / "fehlt\\";
    const RunResult result = RunUpdate(context(), rows_);
    EXPECT_EQ(result.outcome, RunOutcome::TempUnusable);
    EXPECT_EQ(sink_.lines, Lines{"Der Temp-Ordner " + context().TempPath +
                                 Cp1252(u8" fehlt oder nimmt keine Datei auf. Update wird abgebrochen, es wurde "
                                        u8"nichts geändert.")});
    EXPECT_FALSE(FileExists(context().ProgramPath + "Kolvano-UpdateTool.journal"));
}

TEST_F(RunTest, NothingToDoEndsWithTheSuccessReport)
{
    const RunResult result = RunUpdate(context(), rows_);
    EXPECT_EQ(sink_.lines, (Lines{"Die Dateien wurden erfolgreich aktualisiert.",
                                  "Bitte warten, Dokumente werden aktualisiert..."}));
    EXPECT_EQ(sink_.clears, 1);
    EXPECT_EQ(result.outcome, RunOutcome::Success);
    EXPECT_EQ(result.message, kSuccess);
    EXPECT_TRUE(result.movedLabels.empty());
}

TEST_F(RunTest, KeyVerificationStopsAtTheFirstWrongKey)
{
    context().UpdateDataCsvs = true;
    AddFarm({"BNR1", "100_1_1", "eins", "a"});
    AddFarm({"BNR2", "200_1_1", "zwei", "b"});
    AddFarm({"BNR3", "300_1_1", "drei", "c"});
    rows_.SetCell(1, 2, "falsch");
    const RunResult result = RunUpdate(context(), rows_);
    const std::string message = Cp1252(u8"Fehler bei Schlüsselprüfung (BNR2_200_1_1): Falscher Schlüssel.");
    EXPECT_EQ(sink_.lines, (Lines{message, Cp1252(u8"Bitte warten, Schlüssel werden überprüft...")}));
    EXPECT_EQ(result.outcome, RunOutcome::KeyRefused);
    EXPECT_EQ(result.message, message);
    EXPECT_EQ(result.row, 2) << "the row of the farm whose key is wrong";
    EXPECT_EQ(sink_.progress, (Lines{"Bearbeite BNR1_100_1_1 (0 von 3 Betrieben fertig)",
                                     "Bearbeite BNR2_200_1_1 (1 von 3 Betrieben fertig)", ""}))
        << "the farm at work and the count done; the line goes with the stop";
}

TEST_F(RunTest, OnlyOldLayoutChecksKeysAndWalksEveryRowForRestructuring)
{
    RecordingSink debug(true);
    context().RestructureFolders = true;
    AddFarm({"BNR1", "100_1_1", "eins", "a"});
    AddRow("   |blank farm|", "x");
    AddRow("no bar at all", "x");
    RunUpdate(context(), rows_);

    Lines lines = debug.lines;
    std::reverse(lines.begin(), lines.end());
    // The run begins with how the update folder was checked: without a manifest, a debug line.
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().rfind("Der Update-Ordner hat keine Dateiliste", 0), 0u);
    lines.erase(lines.begin());
    const auto at = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) - lines.begin(); };
    const auto keyBegin = at(Cp1252(u8"FIsRightKeyForFile Beginn für BNR1_100_1_1"));
    EXPECT_EQ(at(Cp1252(u8"Bitte warten, Schlüssel werden überprüft...")), 0);
    EXPECT_EQ(keyBegin, 1);
    EXPECT_EQ(at("  rufe FIsRightKeyForFile..."), 2);
    const auto keyEnd = at(Cp1252(u8"FCheckKeyList Ende für BNR1_100_1_1"));
    ASSERT_LT(keyEnd, static_cast<long>(lines.size()));
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.rfind("FIsRightKeyForFile Beginn", 0) == 0; }),
              1)
        << "rows without a farm are skipped";
    // The debug line of what was applied names the update folder's fingerprint.
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].rfind("Eingespielt: Update-Version 7.00.02.02, Kennung ", 0), 0u);
    lines.erase(lines.end() - 2);
    // Restructuring takes every non-blank label whole; none of these rows moves anything.
    EXPECT_EQ(Lines(lines.begin() + keyEnd + 1, lines.end()),
              (Lines{Cp1252(u8"Modifiziere Ordnerstruktur für BNR1_100_1_1|a|Erstantrag..."),
                     Cp1252(u8"Modifiziere Ordnerstruktur für    |blank farm|..."),
                     Cp1252(u8"Modifiziere Ordnerstruktur für no bar at all..."),
                     "Bitte warten, Dokumente werden aktualisiert...", Cp1252(u8"Dokumente Beginn für BNR1_100_1_1"),
                     Cp1252(u8"Dokumente Ende für BNR1_100_1_1"), "Die Dateien wurden erfolgreich aktualisiert."}));
}

TEST_F(RunTest, AMovedFarmKeepsItsNewLabelForTheLaterPhasesAndInTheResult)
{
    RecordingSink debug(true);
    context().RestructureFolders = true;
    const DemoFarm farm{"BNR276001", "4711_1_1", "Sommerweide", "Antrag"};
    demo_.AddOldLayoutFarm(farm, DemoDataCsv(farm));
    FillFarmGrid(rows_, context().ProgramPath);
    ASSERT_EQ(rows_.Cell(0, 1), "BNR276001|alte Ordnerstruktur, wird umgestellt|");
    const RunResult result = RunUpdate(context(), rows_);
    EXPECT_EQ(result.outcome, RunOutcome::Success) << result.message;
    EXPECT_EQ(result.movedLabels,
              (std::vector<std::pair<int, std::string>>{
                  {1, "BNR276001_4711_1_1|Erster Antrag nach Umstrukturierung|Erstantrag"}}));
    EXPECT_TRUE(debug.Contains(Cp1252(u8"Dokumente Beginn für BNR276001_4711_1_1")))
        << "the documents follow the moved farm";
}
