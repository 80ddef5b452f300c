// Times the tool on a demo installation made by make_demo, as the user sees it:
//   scale_bench window <tool>   time until the window shows the farms, the run after Start, and
//                               how long Windows took the window for hung meanwhile
//   scale_bench quiet <tool>    the /quiet run's time, exit code and peak working set
//   scale_bench start <tool>    four starts, each timed until the window is ready: shown, every
//                               farm in the grid and Start on
#include "demo/gui_driver.h"
#include "resources/resource.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

double SecondsSince(ULONGLONG begin)
{
    return static_cast<double>(GetTickCount64() - begin) / 1000.0;
}

int TimeWindow(const std::string& tool)
{
    GuiDriver driver;
    const ULONGLONG start = GetTickCount64();
    if (!driver.Start(tool) || !driver.WaitVisible(60000))
        return 1;
    const double ready = SecondsSince(start);
    const size_t rows = driver.GridRows(IDC_S_GRID).size();
    driver.Click(IDC_BTN_START);
    const ULONGLONG begin = GetTickCount64();
    // Looking for the box walks every window through the Wine server, which the tool's own work
    // needs too: once a second is enough to time a run of minutes.
    constexpr DWORD kHungCheckMs = 250;
    ULONGLONG hungMs = 0;
    std::optional<MessageBoxSeen> box;
    for (int check = 1; GetTickCount64() - begin < 3600000; ++check) {
        Sleep(kHungCheckMs);
        if (IsHungAppWindow(driver.MainWindow()))
            hungMs += kHungCheckMs;
        if (check % 4 == 0 && (box = driver.WaitForMessageBox(0)))
            break;
    }
    const double run = SecondsSince(begin);
    std::printf("window: ready %.2f s with %zu grid rows, run %.1f s, marked hung %.1f s, box \"%s\"\n", ready, rows,
                run, static_cast<double>(hungMs) / 1000.0, box ? box->text.c_str() : "(none)");
    if (box)
        driver.PressOk(*box);
    driver.Click(IDC_BTN_CLOSE);
    driver.WaitForExit(10000);
    return 0;
}

// Seconds from the process's start until the window is ready; a negative figure when it never was.
double ReadyTime(const std::string& tool, size_t& rows)
{
    GuiDriver driver;
    const ULONGLONG start = GetTickCount64();
    if (!driver.Start(tool))
        return -1;
    const bool ready = WaitUntil(60000, [&] {
        return driver.MainWindow(0) && IsWindowVisible(driver.MainWindow(0)) &&
               IsWindowEnabled(driver.Control(IDC_BTN_START));
    });
    const double seconds = ready ? SecondsSince(start) : -1;
    rows = driver.GridRows(IDC_S_GRID).size();
    driver.Click(IDC_BTN_CLOSE);
    driver.WaitForExit(10000);
    return seconds;
}

int TimeStarts(const std::string& tool)
{
    constexpr int kStarts = 4;
    std::vector<double> times;
    size_t rows = 0;
    for (int start = 0; start < kStarts; ++start) {
        times.push_back(ReadyTime(tool, rows));
        std::printf("start %d: ready %.2f s with %zu grid rows\n", start + 1, times.back(), rows);
        if (times.back() < 0)
            return 1;
    }
    std::sort(times.begin(), times.end());
    std::printf("start: median ready %.2f s of %d starts\n", (times[kStarts / 2 - 1] + times[kStarts / 2]) / 2,
                kStarts);
    return 0;
}

int TimeQuiet(const std::string& tool)
{
    GuiDriver driver;
    const ULONGLONG begin = GetTickCount64();
    if (!driver.Start(tool, "/quiet"))
        return 1;
    // Wine keeps no counters of an ended process: the peak is read while it runs.
    SIZE_T peak = 0;
    std::optional<DWORD> code;
    while (!(code = driver.WaitForExit(50)) && GetTickCount64() - begin < 3600000) {
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof(memory);
        if (GetProcessMemoryInfo(driver.Process(), &memory, sizeof(memory)))
            peak = std::max(peak, memory.PeakWorkingSetSize);
    }
    const double run = SecondsSince(begin);
    std::printf("quiet: run %.1f s, exit code %lu, peak working set %.1f MB\n", run,
                static_cast<unsigned long>(code.value_or(259)), static_cast<double>(peak) / 1048576.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "window") == 0)
        return TimeWindow(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "quiet") == 0)
        return TimeQuiet(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "start") == 0)
        return TimeStarts(argv[2]);
    std::fprintf(stderr, "usage: scale_bench window|quiet|start <tool>\n");
    return 2;
}
