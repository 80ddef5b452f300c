#include "shell/update_run.h"

#include "shell/command_line.h"
#include "shell/farm_rows.h"
#include "shell/startup.h"
#include "resources/resource.h"
#include "update/errors.h"
#include "update/farm.h"
#include "update/pbf_library.h"
#include "update/run_journal.h"
#include "update/temp_files.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "update/u_log.h"
#include "update/update_folder.h"
#include "util/files.h"
#include "util/text.h"

#include <exception>
#include <functional>
#include <utility>
#include <vector>

namespace {

struct FarmRow {
    Farm farm;
    std::string key;
    int gridRow;
};

// The data rows whose farm is not blank, read when a phase begins.
std::vector<FarmRow> FarmRows(const GridRows& grid)
{
    std::vector<FarmRow> rows;
    const int count = grid.RowCount();
    for (int row = 1; row < count; ++row) {
        FarmRow farmRow{Farm::FromLabel(grid.Cell(0, row)), grid.Cell(1, row), row};
        if (!farmRow.farm.IsBlank())
            rows.push_back(farmRow);
    }
    return rows;
}

// A per-farm phase: its opening line, its debug lines and how an error in it is reported.
struct FarmPhase {
    unsigned int opening;
    unsigned int begin;
    unsigned int end;
    const char* operation;
    bool blankAfterColon;
    std::function<bool(const FarmRow&, std::string&)> call;
};

// Removes the progress line when a phase ends, also by a stop.
struct ProgressLine {
    ProgressLine() = default;
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    ~ProgressLine() { ShowProgress(""); }
};

// Thrown to leave the run once a stop has been logged and its box is in the result.
struct RunStopped {};

// Where a stop's message goes: the status list and the box, the box alone (where the status list
// has the message's lines already), or the status list alone (an exception in a farm's step).
enum class StopShown { LogAndBox, Box, Log };

class UpdateRun {
public:
    UpdateRun(UpdateContext& context, const GridRows& rows, const std::string& folderChecked)
        : context_(context), rows_(rows), folderChecked_(folderChecked),
          folderCheckLevel_(context.HeldUpdateFiles.empty() ? 1 : 0)
    {
    }

    RunResult Run(RunMode mode);

private:
    // The steps that change nothing: programs running from the installation, the temp folder,
    // the keys and the preflight.
    void RunChecks();

    // From here on every change is recorded first, and a stop undoes them all.
    void BeginChanges();
    void CommitChanges();

    // Undoes the run's changes, last first, and the labels of moved farms in the run's rows; the
    // sentence that ends the stop's message: nothing changed, or what is left where.
    std::string RollBack();

    // The message with the end of the undo behind it.
    std::string WithRollBack(const std::string& text);

    // A Kolvano started from the installation during the run would work on files that change
    // under it: the run stops and is undone, as before its start.
    void StopWhenProgramsRun();

    // The steps that change the installation, in their order.
    void RunChanges();

    // Stops before the first change with every problem that would stop the run half way.
    void Preflight();

    // The phases that take the farms one by one, and how one is run.
    FarmPhase KeyPhase();
    FarmPhase PlausiPhase();
    FarmPhase DataPhase();
    FarmPhase DocumentsPhase();
    void RunFarmPhase(const FarmPhase& phase);

    // Every row whose label is not blank; an old-layout row hands over its farm folder name,
    // other rows their whole label. A moved farm's row then names its new folder, so the later
    // phases of this run find it.
    void RunRestructuring();

    // Ends the run: the message goes where `shown` says, with the end of the undo behind it (in a
    // line of its own when there is no box); the box waits in the result for the run's end.
    [[noreturn]] void Stop(const std::string& text, StopShown shown = StopShown::LogAndBox);

    // An exception from a farm's step: the step and the farm, then the error.
    [[noreturn]] void StopAtException(const FarmPhase& phase, const std::string& farm, const std::string& error);

    UpdateContext& context_;
    // The run's copy of the farm rows; a moved farm's row names its new folder.
    GridRows rows_;
    // How the update folder was checked, the run's first status line.
    const std::string folderChecked_;
    // A debug line for a folder without a manifest, which only a test build takes.
    const unsigned char folderCheckLevel_;
    RunJournal journal_{context_};
    // Rows whose farm moved to the current layout in this run, with their label before and after.
    std::vector<std::pair<int, std::string>> labelsBefore_;
    std::vector<std::pair<int, std::string>> movedLabels_;
    // What the run returns after a stop.
    RunResult stop_;
    // The message of the step at work; cleared before each step, so no earlier text can reach a
    // box.
    std::string message_;
    // What a stop means at the current point of the run.
    RunOutcome failure_ = RunOutcome::KeyRefused;
    // The grid row of the farm at work; 0 between the farm phases.
    int farmRow_ = 0;
};

RunResult UpdateRun::Run(RunMode mode)
{
    ClearLines();
    WriteLog(folderChecked_, folderCheckLevel_);
    try {
        RunChecks();
        if (mode == RunMode::Check) {
            Log(LoadText(IDS_CHECK_PASSED));
            return {};
        }
        BeginChanges();
        RunChanges();
        CommitChanges();
        const std::string success = LoadText(IDS_RUN_SUCCESS);
        Log(success);
        return {RunOutcome::Success, 0, success, movedLabels_};
    } catch (const RunStopped&) {
        return stop_;
    } catch (const std::exception& error) {
        message_ = ErrorText(error);
    } catch (...) {
        message_ = LoadText(IDS_RUN_UNKNOWN_ERROR);
    }
    try {
        Stop(message_);
    } catch (const RunStopped&) {
    }
    return stop_;
}

void UpdateRun::RunChecks()
{
    failure_ = RunOutcome::ProgramRunning;
    if (const std::string problem = FRunningProgramsProblem(context_); !problem.empty())
        Stop(problem);
    failure_ = RunOutcome::PreflightRefused;
    if (const std::string problem = FFolderNameProblems(); !problem.empty())
        Stop(problem);
    failure_ = RunOutcome::TempUnusable;
    if (const std::string problem = FTempFolderProblem(context_); !problem.empty())
        Stop(problem);
    failure_ = RunOutcome::KeyRefused;
    if (context_.ReplacePlausi || context_.UpdateDataCsvs || context_.RestructureFolders)
        RunFarmPhase(KeyPhase());
    failure_ = RunOutcome::PreflightRefused;
    Preflight();
}

void UpdateRun::BeginChanges()
{
    failure_ = RunOutcome::Failed;
    context_.UpdatedFarmList.clear();
    if (!journal_.Begin(message_))
        Stop(message_);
    context_.Journal = &journal_;
}

void UpdateRun::CommitChanges()
{
    StopWhenProgramsRun();
    context_.Journal = nullptr;
    // The installation is wholly new either way; what could not be cleared is finished at
    // the next start.
    journal_.Commit();
}

std::string UpdateRun::RollBack()
{
    if (!journal_.IsOpen())
        return {};
    context_.Journal = nullptr;
    context_.UpdatedFarmList.clear();
    for (auto label = labelsBefore_.rbegin(); label != labelsBefore_.rend(); ++label)
        rows_.SetCell(0, label->first, label->second);
    labelsBefore_.clear();
    movedLabels_.clear();
    std::string leftOver;
    if (!journal_.RollBack(leftOver))
        return FormatText(IDS_TX_NOT_UNDONE, {leftOver});
    return LoadText(IDS_TX_NOTHING_CHANGED);
}

std::string UpdateRun::WithRollBack(const std::string& text)
{
    const std::string undone = RollBack();
    if (undone.empty())
        return text;
    return text + (text.empty() || text.back() == ' ' ? "" : " ") + undone;
}

void UpdateRun::StopWhenProgramsRun()
{
    if (!journal_.IsOpen())
        return;
    if (const std::string problem = FRunningProgramsProblem(context_); !problem.empty()) {
        failure_ = RunOutcome::ProgramRunning;
        Stop(problem);
    }
}

void UpdateRun::RunChanges()
{
    if (context_.ReplacePlausi)
        RunFarmPhase(PlausiPhase());
    if (context_.UpdateDataCsvs)
        RunFarmPhase(DataPhase());
    if (context_.RestructureFolders)
        RunRestructuring();
    StopWhenProgramsRun();
    if (FileExists(context_.UpdatePath + names::kStructureCsv))
        FUpdateStructureCSV(context_);
    if (context_.DeleteAppData)
        FDeleteAppData(context_);
    if (context_.HasProgramFiles) {
        StopWhenProgramsRun();
        Log(LoadText(IDS_RUN_PROGRAM_FILES));
        message_.clear();
        if (!FUpdateProgramFiles(context_, message_))
            Stop(message_);
        Log(LoadText(IDS_RUN_SHORTCUTS));
        RemoveShortcuts(context_, names::kOldProduct);
        RemoveShortcuts(context_, names::kNewProduct);
        CreateDesktopShortcut(context_);
        CreateStartMenuShortcuts(context_);
        if (!FRemoveOldMainProgram(context_, message_))
            Stop(message_);
    }
    RunFarmPhase(DocumentsPhase());
    message_.clear();
    if (!FRecordAppliedUpdate(context_, message_))
        Stop(message_);
}

void UpdateRun::Preflight()
{
    std::vector<FarmKey> farms;
    for (const FarmRow& row : FarmRows(rows_))
        farms.push_back({row.farm.Name(), row.key});
    size_t held = 0;
    const std::vector<std::string> problems = FPreflight(context_, farms, &held);
    if (problems.empty())
        return;
    if (held == problems.size())
        failure_ = RunOutcome::FileHeld;
    message_ = LoadText(IDS_PREFLIGHT_HEADER);
    Log(message_);
    for (const std::string& problem : problems) {
        Log(problem);
        message_ += "\n\n" + problem;
    }
    Stop(message_, StopShown::Box);
}

FarmPhase UpdateRun::KeyPhase()
{
    return {IDS_RUN_KEYS, IDS_RUN_KEY_BEGIN, IDS_RUN_KEY_END, "FIsRightKeyForFile", true,
            [this](const FarmRow& row, std::string& message) {
                LogDebug(LoadText(IDS_RUN_KEY_CALL));
                return FIsRightKeyForFile(context_, row.farm.Name(), row.farm.DataFile(context_.ProgramPath),
                                          row.key, message);
            }};
}

FarmPhase UpdateRun::PlausiPhase()
{
    return {IDS_RUN_PLAUSI, IDS_RUN_PLAUSI_BEGIN, IDS_RUN_PLAUSI_END, "FReplacePlausiCSV", false,
            [this](const FarmRow& row, std::string& message) {
                return FReplacePlausiCSV(context_, row.farm.Name(), row.key, message);
            }};
}

FarmPhase UpdateRun::DataPhase()
{
    return {IDS_RUN_DATA, IDS_RUN_DATA_BEGIN, IDS_RUN_DATA_END, "FModifyDataCSV", false,
            [this](const FarmRow& row, std::string& message) {
                // An old-layout farm's files are rewritten once, under their new name, when
                // the farm is restructured.
                if (row.farm.IsOldLayout(context_.ProgramPath))
                    return true;
                return FModifyDataCSV(context_, row.farm.Name(), row.key, message);
            }};
}

FarmPhase UpdateRun::DocumentsPhase()
{
    return {IDS_RUN_DOCUMENTS, IDS_RUN_DOCUMENTS_BEGIN, IDS_RUN_DOCUMENTS_END, "FModifyDocuments", false,
            [this](const FarmRow& row, std::string& message) {
                return FModifyDocuments(context_, row.farm.Name(), message);
            }};
}

void UpdateRun::RunFarmPhase(const FarmPhase& phase)
{
    StopWhenProgramsRun();
    RemoveOwnTempFiles(context_.TempPath);
    Log(LoadText(phase.opening));
    const std::vector<FarmRow> rows = FarmRows(rows_);
    const ProgressLine progress;
    for (size_t done = 0; done < rows.size(); ++done) {
        const FarmRow& row = rows[done];
        farmRow_ = row.gridRow;
        ShowProgress(
            FormatText(IDS_RUN_PROGRESS, {row.farm.Name(), std::to_string(done), std::to_string(rows.size())}));
        LogDebug(FormatText(phase.begin, {row.farm.Name()}));
        bool ok = false;
        message_.clear();
        try {
            ok = phase.call(row, message_);
        } catch (const std::exception& error) {
            StopAtException(phase, row.farm.Name(), ErrorText(error));
        } catch (...) {
            StopAtException(phase, row.farm.Name(), LoadText(IDS_RUN_UNKNOWN_ERROR));
        }
        if (!ok)
            Stop(message_);
        LogDebug(FormatText(phase.end, {row.farm.Name()}));
    }
    farmRow_ = 0;
}

void UpdateRun::RunRestructuring()
{
    StopWhenProgramsRun();
    RemoveOwnTempFiles(context_.TempPath);
    const int count = rows_.RowCount();
    for (int row = 1; row < count; ++row) {
        const std::string label = rows_.Cell(0, row);
        if (Trim(label).empty())
            continue;
        farmRow_ = row;
        Log(FormatText(IDS_RUN_FOLDERS, {label}));
        const Farm farm = Farm::FromLabel(label);
        const bool oldLayout = farm.IsOldLayout(context_.ProgramPath);
        std::string movedTo;
        bool ok = false;
        message_.clear();
        try {
            ok = FModifyFolderStructure(context_, oldLayout ? farm.Name() : label, rows_.Cell(1, row), message_,
                                        movedTo);
        } catch (const std::exception& error) {
            Stop(ErrorText(error), StopShown::Box);
        }
        if (!ok)
            Stop(message_, StopShown::Box);
        if (!movedTo.empty()) {
            labelsBefore_.emplace_back(row, label);
            movedLabels_.emplace_back(row, BuildFarmLabel(Farm(movedTo)));
            rows_.SetCell(0, row, movedLabels_.back().second);
        }
    }
    farmRow_ = 0;
}

void UpdateRun::Stop(const std::string& text, StopShown shown)
{
    std::string box;
    if (shown == StopShown::Log) {
        Log(text);
        if (const std::string undone = RollBack(); !undone.empty())
            Log(undone);
    } else {
        box = WithRollBack(text.empty() ? LoadText(IDS_RUN_UNKNOWN_ERROR) : text);
        if (shown == StopShown::LogAndBox)
            Log(box);
    }
    stop_ = {failure_, farmRow_, box, {}};
    throw RunStopped{};
}

void UpdateRun::StopAtException(const FarmPhase& phase, const std::string& farm, const std::string& error)
{
    Log(FormatText(IDS_RUN_EXCEPTION, {phase.operation, farm}));
    Stop(FormatText(phase.blankAfterColon ? IDS_RUN_EXCEPTION_TEXT_BLANK : IDS_RUN_EXCEPTION_TEXT, {error}),
         StopShown::Log);
}

}  // namespace

RunResult RunUpdate(UpdateContext& context, const GridRows& rows, RunMode mode)
{
    // An installation and a library this process can load are required before anything changes.
    std::string stop;
    std::string reason;
    std::string checked;
    RunOutcome outcome = RunOutcome::LibraryUnusable;
    // Without an installation every path of the run would point into the current folder.
    if (context.ProgramPath.empty()) {
        stop = LoadText(IDS_RUN_NOT_INSTALLED);
        outcome = RunOutcome::NotInstalled;
    } else if (!FileExists(context.UpdatePath + names::kPbfLibrary)) {
        stop = LoadText(IDS_RUN_NO_LIBRARY);
    } else if (const FolderCheck folder = VerifyUpdateFolder(context, SignerCertificate(), checked);
               folder != FolderCheck::Verified) {
        stop = checked;
        outcome = folder == FolderCheck::FileHeld ? RunOutcome::FileHeld : RunOutcome::FolderRefused;
    } else if (!context.HeldUpdateFiles.empty() && !RereadUpdateSettings(context, stop)) {
        outcome = RunOutcome::FolderUnreadable;
    } else if (!CheckPbfLibrary(context.UpdatePath, reason)) {
        stop = FormatText(IDS_PBF_RUN_STOPPED, {reason});
    } else if (mode == RunMode::Check) {
        // A check loads the library even when no farm needs it.
        PbfLibrary library;
        if (!library.Load(context.UpdatePath))
            stop = FormatText(IDS_PBF_RUN_STOPPED, {library.Error()});
    }
    if (!stop.empty()) {
        Log(stop);
        return {outcome, 0, stop, {}};
    }
    return UpdateRun(context, rows, checked).Run(mode);
}

int ExitCodeOf(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::Success:
        return kExitSuccess;
    case RunOutcome::NotInstalled:
        return kExitNotInstalled;
    case RunOutcome::TempUnusable:
        return kExitTempFolder;
    case RunOutcome::ProgramRunning:
        return kExitProgramRunning;
    case RunOutcome::LibraryUnusable:
        return kExitLibrary;
    case RunOutcome::KeyRefused:
        return kExitKeys;
    case RunOutcome::PreflightRefused:
        return kExitPreflight;
    case RunOutcome::FileHeld:
        return kExitFileHeld;
    case RunOutcome::FolderUnreadable:
        return kExitUpdateFolder;
    case RunOutcome::FolderRefused:
        return kExitFolderRefused;
    case RunOutcome::Failed:
        break;
    }
    return kExitRunFailed;
}
