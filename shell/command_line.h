// The tool's command line, for software distribution systems that start it without a person at
// the window, and the exit codes they read.
#pragma once

#include <string>
#include <vector>

// Exit codes. The large ones are those of Windows Installer where one fits (1618 is retried later
// by the distribution systems); the small ones are failures found before anything changed, and
// none of them is a code that a runtime's abort (3) or a plain failure (1, 2) would give.
enum ExitCode : int {
    kExitSuccess = 0,
    kExitSystemAccount = 4,
    kExitNotInstalled = 5,
    kExitUpdateFolder = 6,
    kExitLibrary = 7,
    kExitKeys = 8,
    kExitPreflight = 9,
    kExitTempFolder = 10,
    // A killed run's changes could not be undone at start-up; nothing else was begun.
    kExitRecoveryFailed = 11,
    // Every cause the preflight found is a file that another program holds (a viewer, a virus
    // scanner): nothing was changed, and a later try may pass.
    kExitFileHeld = 12,
    // The update folder differs from its signed manifest (a file changed, missing or added, a
    // signature that does not verify, an older update): nothing was changed.
    kExitFolderRefused = 13,
    kExitRunFailed = 1603,
    // The window was closed without a run.
    kExitNoRun = 1602,
    kExitAlreadyRunning = 1618,
    // Kolvano runs from the installation: like another installation under way, to be retried.
    kExitProgramRunning = 1618,
    kExitLogNotWritable = 1622,
    kExitNewerInstalled = 1638,
    kExitBadCommandLine = 1639,
};

struct Options {
    // No window and no message box.
    bool quiet = false;
    // Verify only; nothing is changed.
    bool check = false;
    bool help = false;
    // A file that receives the status lines too; empty when none was given.
    std::string logPath;
    // Why the command line was refused; empty when it was read.
    std::string error;

    // Whether the tool runs without its main window.
    bool Unattended() const { return quiet || check; }
};

// Reads the arguments after the program name. Switches start with '/' or '-' and are matched
// without regard to case: /quiet, /check, /log:<path>, /?.
Options ReadOptions(const std::vector<std::string>& args);

// What the exit code means, in the words of the usage text; empty for a code it does not list.
std::string ExitCodeMeaning(int code);
