// The update run behind the Start button: the phases in their order, each behind its gate, with
// the status lines around them. The run reads no window: it works on a copy of the farm rows and
// returns what the window shows when it has ended.
#pragma once

#include "shell/grid_rows.h"
#include "update/u_context.h"

#include <string>
#include <utility>
#include <vector>

// How a run ended, from the kind of failure a distribution system can act on.
enum class RunOutcome {
    Success,
    NotInstalled,
    // A program runs from the installation (Kolvano, say); nothing was changed.
    ProgramRunning,
    // The temp folder is missing or takes no file; nothing was changed.
    TempUnusable,
    // A file of the update folder cannot be read again after the folder's check.
    FolderUnreadable,
    // The update folder differs from its signed manifest, or has none where one is required.
    FolderRefused,
    // The encryption library is missing, of the wrong kind, or cannot be loaded.
    LibraryUnusable,
    // The key check stopped; nothing was changed.
    KeyRefused,
    // The preflight found problems; nothing was changed.
    PreflightRefused,
    // The preflight found only files that other programs hold; nothing was changed.
    FileHeld,
    // A stop after the first change; the changes were undone.
    Failed,
};

enum class RunMode {
    Update,
    // The library, the keys and the preflight only: nothing is changed.
    Check,
};

struct RunResult {
    RunOutcome outcome = RunOutcome::Success;
    // The grid row of the farm at which the run stopped; 0 for a stop outside the farms.
    int row = 0;
    // The box that ends the run: the stop's message, or the success report of an update; empty
    // for none (a stop reported in the status list only, a check that passed).
    std::string message;
    // The rows whose farm moved to the current layout, with the label that names its new folder.
    std::vector<std::pair<int, std::string>> movedLabels;
};

// Runs every phase whose gate is open on the farm rows (row 0 the header), while the caller keeps
// a RunLog open. Mid-run it reaches the caller only through the log sink: lines, the progress
// line, the one plain box and the emptying of the status list once the run begins its work.
// Every stop leaves the installation ready for another Start.
RunResult RunUpdate(UpdateContext& context, const GridRows& rows, RunMode mode = RunMode::Update);

// The exit code that tells a distribution system how the run ended.
int ExitCodeOf(RunOutcome outcome);
