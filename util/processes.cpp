#include "util/processes.h"

#include "util/files.h"
#include "util/handles.h"

#include <windows.h>
#include <tlhelp32.h>

std::vector<RunningProgram> ProgramsRunningFrom(const std::string& folder)
{
    std::vector<RunningProgram> programs;
    // A snapshot handle is invalid as INVALID_HANDLE_VALUE, like a file's.
    const FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    if (!snapshot || !Process32First(snapshot.get(), &entry))
        return programs;
    do {
        // Processes of other users or of the system cannot be opened; they cannot hold this
        // user's installation either.
        const KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        char path[MAX_PATH] = {};
        DWORD length = MAX_PATH;
        if (!process || !QueryFullProcessImageNameA(process.get(), 0, path, &length))
            continue;
        if (IsInFolder(std::string(path, length), folder))
            programs.push_back({entry.th32ProcessID, std::string(path, length)});
    } while (Process32Next(snapshot.get(), &entry));
    return programs;
}
