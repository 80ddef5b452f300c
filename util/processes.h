// The programs running on this computer, as far as this user may see them.
#pragma once

#include <string>
#include <vector>

struct RunningProgram {
    unsigned long id = 0;
    std::string path;
};

// Every process whose executable lies in the folder (with its trailing backslash) or below it.
std::vector<RunningProgram> ProgramsRunningFrom(const std::string& folder);
