// The window-free half of start-up: fills the UpdateContext from the registry, update.ini and
// the folders, in the order of the start-up steps, so that it can be tested without a window.
#pragma once

#include "update/u_context.h"

#include <stdexcept>
#include <string>
#include <vector>

// An error that ends the start-up sequence; its text is shown to the user.
class StartupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The steps that fill the context, in their order.
enum class StartupStep {
    ClearLists,
    DebugSwitch,
    UpdateFolder,
    ProgramFolder,
    AppDataFolder,
    TempFolder,
    Recovery,
    UpdateSettings,
    Versions,
    None,
};

struct StartupResult {
    // The step whose error stopped start-up; None when every step ran.
    StartupStep stoppedAt = StartupStep::None;
    std::string error;
    // What the recovery of a killed run did, already in the status list; for the run log file.
    std::string recovery;

    // Whether the step ran to its end.
    bool Passed(StartupStep step) const { return step < stoppedAt; }
};

// Fills the context for the tool started from exePath, step by step. An error stops the
// sequence; the fields set so far keep their values.
StartupResult FillUpdateContext(UpdateContext& context, const std::string& exePath);

// Reads update.ini and the catalogue list again, as the run uses them once the update folder is
// verified and held: what start-up read may have changed since. False with the error's text.
bool RereadUpdateSettings(UpdateContext& context, std::string& error);

// Reads the catalogue prefixes (characters 6 to 12 of each non-blank line) into the list.
// Throws StartupError when the file cannot be read.
void FLoadCatalogList(const std::string& path, std::vector<std::string>& list);

// The grid is shown for the phases whose keys the user may type.
bool IsGridShown(const UpdateContext& context);
// The grid is filled whenever a phase reads its rows.
bool IsGridFilled(const UpdateContext& context);

// Sets InstalledVersion and UpdateVersion, normalised, from the two executables.
void ReadVersions(UpdateContext& context, const std::string& installedExe, const std::string& updateExe);

// The update gate: true when the shipped version is not older than the installed one. Throws
// NumberError when a version number does not fit into a signed 32-bit integer.
bool IsUpdatePossible(const UpdateContext& context);

// The headline of a ready window.
std::string StartupHeadline(const UpdateContext& context);
