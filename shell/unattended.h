// The tool without a person at its window: what every start refuses before anything else, and
// the /quiet and /check runs, which end in an exit code.
#pragma once

#include "shell/command_line.h"

#include <string>

// The name of the lock that keeps the tool to one instance per session.
inline constexpr char kInstanceLockName[] = "Kolvano-UpdateTool";

// Tells a person (an error box) or a distribution system (the console, when quiet) why the tool
// ends with the code, and writes both to the log files.
void Announce(const Options& options, const std::string& text, int code);

// The usage for /? and for a command line that cannot be read; returns the exit code.
int ShowUsage(const Options& options);

// What every start refuses before it reads the installation: the local system account, a second
// instance, a log file that cannot be written. kExitSuccess when the tool may go on.
int StartRefusal(const Options& options, bool asLocalSystem, bool firstInstance);

// The run of Start without the window, over the farm rows and keys stored in the registry, or
// with options.check only its checks. Returns the exit code.
int RunUnattended(const Options& options);
