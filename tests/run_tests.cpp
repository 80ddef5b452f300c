// The update run's sequence against a recording view: gates, stops and the success report.
#include "app/update_run.h"
#include "tests/test_support.h"
#include "util/files.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

namespace {

// Records what the run does to the window, in order.
class RecordingView : public RunView {
public:
    std::vector<std::vector<std::string>> rows = {{"Betriebsnummer", "Schl\xFCssel"}, {"", ""}};
    std::vector<std::string> events;

    int RowCount() override { return static_cast<int>(rows.size()); }
    std::string Cell(int column, int row) override { return rows[row][column]; }
    void SetCell(int column, int row, const std::string& text) override
    {
        rows[row][column] = text;
        events.push_back("cell: " + text);
    }
    void ShowBusy(bool busy) override { events.push_back(busy ? "busy" : "idle"); }
    void SetWaitCursor(bool wait) override { events.push_back(wait ? "hourglass" : "arrow"); }
    void ClearLog() override { events.push_back("clear"); }
    void EnableControls(bool enabled) override { events.push_back(enabled ? "controls on" : "controls off"); }
    void Repaint() override { events.push_back("repaint"); }
    void ShowInfo(const std::string& text) override { events.push_back("info: " + text); }
    void ShowError(const std::string& text) override { events.push_back("error: " + text); }
    void SetHeadline(const std::string& text) override { events.push_back("headline: " + text); }
    void EnableStart(bool enabled) override { events.push_back(enabled ? "start on" : "start off"); }
    void EnableRestartBox(bool enabled) override { events.push_back(enabled ? "box on" : "box off"); }
};

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
        // As the grid fills: the design-time empty row first.
        const std::vector<std::string> row = {farm.FarmId() + "|" + farm.description + "|Erstantrag", farm.key};
        if (view_.rows.size() == 2 && view_.rows[1][0].empty())
            view_.rows[1] = row;
        else
            view_.rows.push_back(row);
    }

    RegistryScratch registry_;
    ScratchContext scratch_;
    DemoInstallation demo_{scratch_.root.path(), BinFolder()};
    RecordingSink sink_;
    RecordingView view_;
};

const Lines kPreparation = {"busy", "clear", "controls off", "hourglass", "repaint"};
// The hourglass is set again around the structure and application-data steps.
const Lines kAfterFarmPhases = {"hourglass", "repaint", "hourglass", "repaint"};

Lines Concat(Lines first, const Lines& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

}  // namespace

TEST_F(RunTest, MissingLibraryStopsBeforeAnythingChanges)
{
    ASSERT_TRUE(DeleteFileA((context().UpdatePath + "pbfdec.dll").c_str()));
    RunUpdate(context(), view_);
    const std::string text = "DLL (pbfdec.dll) f\xFCr Entschl\xFCsselung nicht gefunden, Update wird abgebrochen!";
    EXPECT_EQ(sink_.lines, Lines{text});
    EXPECT_EQ(view_.events, Lines{"error: " + text}) << "no busy indicator, the list is not emptied";
}

TEST_F(RunTest, MissingTempFolderStopsWithItsOwnOutcomeBeforeTheKeys)
{
    context().TempPath = scratch_.root / "fehlt\\";
    const RunResult result = RunUpdate(context(), view_);
    EXPECT_EQ(result.outcome, RunOutcome::TempUnusable);
    EXPECT_EQ(sink_.lines, Lines{"Der Temp-Ordner " + context().TempPath + " fehlt oder nimmt keine Datei auf. Update "
                                 "wird abgebrochen, es wurde nichts ge\xE4ndert."});
    EXPECT_FALSE(FileExists(context().ProgramPath + "Kolvano-UpdateTool.journal"));
}

TEST_F(RunTest, NothingToDoEndsWithTheSuccessReport)
{
    RunUpdate(context(), view_);
    EXPECT_EQ(sink_.lines, (Lines{"Die Dateien wurden erfolgreich aktualisiert.",
                                  "Bitte warten, Dokumente werden aktualisiert..."}));
    EXPECT_EQ(view_.events,
              Concat(Concat(kPreparation, kAfterFarmPhases),
                     {"arrow", "controls on", "idle", "info: Die Dateien wurden erfolgreich aktualisiert.",
                      "headline: Installierte Version = 7.00.01.00, Update-Version = 7.00.02.02", "start off",
                      "box on"}));
}

TEST_F(RunTest, KeyVerificationStopsAtTheFirstWrongKey)
{
    context().UpdateDataCsvs = true;
    AddFarm({"BNR1", "100_1_1", "eins", "a"});
    AddFarm({"BNR2", "200_1_1", "zwei", "b"});
    AddFarm({"BNR3", "300_1_1", "drei", "c"});
    view_.rows[2][1] = "falsch";
    RunUpdate(context(), view_);
    const std::string message = "Fehler bei Schl\xFCsselpr\xFC" "fung (BNR2_200_1_1): Falscher Schl\xFCssel.";
    EXPECT_EQ(sink_.lines, (Lines{message, "Bitte warten, Schl\xFC" "ssel werden \xFC" "berpr\xFC" "ft..."}));
    EXPECT_EQ(view_.events, Concat(kPreparation, {"arrow", "error: " + message, "controls on", "idle"}));
    EXPECT_EQ(sink_.progress, (Lines{"Bearbeite BNR1_100_1_1 (0 von 3 Betrieben fertig)",
                                     "Bearbeite BNR2_200_1_1 (1 von 3 Betrieben fertig)", ""}))
        << "the farm at work and the count done; the line goes with the stop";
}

TEST_F(RunTest, OnlyOldLayoutChecksKeysAndWalksEveryRowForRestructuring)
{
    RecordingSink debug(true);
    context().RestructureFolders = true;
    AddFarm({"BNR1", "100_1_1", "eins", "a"});
    view_.rows.push_back({"   |blank farm|", "x"});
    view_.rows.push_back({"no bar at all", "x"});
    RunUpdate(context(), view_);

    Lines lines = debug.lines;
    std::reverse(lines.begin(), lines.end());
    // The run begins with how the update folder was checked: without a manifest, a debug line.
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().rfind("Der Update-Ordner hat keine Dateiliste", 0), 0u);
    lines.erase(lines.begin());
    const auto at = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) - lines.begin(); };
    const auto keyBegin = at("FIsRightKeyForFile Beginn f\xFCr BNR1_100_1_1");
    EXPECT_EQ(at("Bitte warten, Schl\xFC" "ssel werden \xFC" "berpr\xFC" "ft..."), 0);
    EXPECT_EQ(keyBegin, 1);
    EXPECT_EQ(at("  rufe FIsRightKeyForFile..."), 2);
    const auto keyEnd = at("FCheckKeyList Ende f\xFCr BNR1_100_1_1");
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
              (Lines{"Modifiziere Ordnerstruktur f\xFCr BNR1_100_1_1|a|Erstantrag...",
                     "Modifiziere Ordnerstruktur f\xFCr    |blank farm|...",
                     "Modifiziere Ordnerstruktur f\xFCr no bar at all...",
                     "Bitte warten, Dokumente werden aktualisiert...", "Dokumente Beginn f\xFCr BNR1_100_1_1",
                     "Dokumente Ende f\xFCr BNR1_100_1_1", "Die Dateien wurden erfolgreich aktualisiert."}));
}
