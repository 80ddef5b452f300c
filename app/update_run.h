// The update run behind the Start button: the phases in their order, each behind its gate, with
// the status lines around them and what a stop does to the window.
#pragma once

#include "update/u_context.h"

#include <string>

// What the run needs from the main window.
class RunView {
public:
    virtual ~RunView() = default;

    // The farm key grid: row 0 is the header, column 0 the farm label, column 1 the key.
    virtual int RowCount() = 0;
    virtual std::string Cell(int column, int row) = 0;
    virtual void SetCell(int column, int row, const std::string& text) = 0;

    virtual void ShowBusy(bool busy) = 0;
    virtual void SetWaitCursor(bool wait) = 0;
    virtual void ClearLog() = 0;
    virtual void EnableControls(bool enabled) = 0;
    virtual void Repaint() = 0;
    virtual void ShowInfo(const std::string& text) = 0;
    virtual void ShowError(const std::string& text) = 0;
    virtual void SetHeadline(const std::string& text) = 0;
    virtual void EnableStart(bool enabled) = 0;
    virtual void EnableRestartBox(bool enabled) = 0;
};

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
};

// Runs every phase whose gate is open, while the caller keeps a RunLog open. Each stop leaves
// the window ready for another Start.
RunResult RunUpdate(UpdateContext& context, RunView& view, RunMode mode = RunMode::Update);

// The exit code that tells a distribution system how the run ended.
int ExitCodeOf(RunOutcome outcome);
