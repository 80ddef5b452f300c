// Program entry of the update tool.
#include "shell/command_line.h"
#include "app/u_main.h"
#include "shell/unattended.h"
#include "util/handles.h"
#include "util/session.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Arguments()
{
    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i)
        args.emplace_back(__argv[i]);
    return args;
}

// A relative log path means the folder the tool was started in, not one it changes to later.
std::string FullPath(const std::string& path)
{
    if (path.empty())
        return path;
    char buffer[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(buffer, length) : path;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // Before anything loads a library: never from the tool's own folder, which is the update
    // folder and often Downloads. The encryption library is loaded by its full path.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    Options options = ReadOptions(Arguments());
    options.logPath = FullPath(options.logPath);
    if (options.help || !options.error.empty())
        return ShowUsage(options);
    const InstanceLock lock(kInstanceLockName);
    if (const int refused = StartRefusal(options, RunsAsLocalSystem(), lock.IsFirst()); refused != kExitSuccess)
        return refused;

    ComApartment com;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    if (options.Unattended())
        return RunUnattended(options);

    Tw_main w_main(instance, options.logPath);
    if (!w_main.Create())
        return 1;
    return w_main.RunMessageLoop();
}
