// The tool's command line, for software distribution systems that start it without a person at
// the window, and the exit codes they read.
#pragma once

#include <string>
#include <vector>

// Exit codes. The large ones are those of Windows Installer, which distribution systems already
// map (1618 is retried later by most); the small ones are failures found before anything changed.
enum ExitCode : int {
    kExitSuccess = 0,
    kExitBadCommandLine = 2,
    kExitLogNotWritable = 3,
    kExitSystemAccount = 4,
    kExitNotInstalled = 5,
    kExitUpdateFolder = 6,
    kExitLibrary = 7,
    kExitKeys = 8,
    kExitPreflight = 9,
    kExitTempFolder = 10,
    // A killed run's changes could not be undone at start-up; nothing else was begun.
    kExitRecoveryFailed = 11,
    kExitRunFailed = 1603,
    kExitAlreadyRunning = 1618,
    kExitNewerInstalled = 1638,
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
