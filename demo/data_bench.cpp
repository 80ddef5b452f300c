// Benchmark of the data phase (not a test): generates installations of N farms with M data CSVs
// of S megabytes, rewrites them through the update operations, and measures in the same process
// the floor: the same library calls and the same bytes copied, without the tool's own work.
//   data_bench N M S         times for (N, M, S), (2N, M, S) and (N, M, 2S), and the floors
//                            (medians of three rounds each)
//   data_bench --peak MB     peak working set while one data CSV of MB megabytes is rewritten
#include "demo/installation.h"
#include "update/farm.h"
#include "update/pbf_library.h"
#include "update/run_journal.h"
#include "update/u_functions.h"
#include "util/files.h"
#include "util/text_file.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string kKey = "Benchmark-Schl\xFCssel";

double Seconds()
{
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A scratch installation with its context; the files are written record by record.
struct Installation {
    Installation(const std::string& root, int farms, int files, double megabytes)
    {
        context.UpdatePath = root + "Update\\";
        context.ProgramPath = root + "Kolvano\\";
        context.TempPath = root + "Temp\\";
        context.UpdateVersion = "7.00.02.02";
        context.CatalogList = {"D40X0U5"};
        for (const std::string& folder : {root, context.UpdatePath, context.ProgramPath, context.TempPath})
            CreateFolder(folder);
        CopyFileA((ExecutableFolder() + "pbfdec.dll").c_str(), (context.UpdatePath + "pbfdec.dll").c_str(), FALSE);
        WriteFileBytes(context.UpdatePath + "KATALOGE4UPDATE.CSV", DemoCatalog());

        const std::string plain = root + "plain.txt";
        WritePlain(plain, megabytes);
        PbfLibrary library;
        library.Load(context.UpdatePath);
        for (int farm = 0; farm < farms; ++farm) {
            const DemoFarm demoFarm{"BNR" + std::to_string(500000 + farm), "1_1_1", kKey, "Bench"};
            const Farm installed(demoFarm.FarmId());
            farmIds.push_back(installed.Name());
            CreateFolder(installed.Folder(context.ProgramPath));
            CreateFolder(installed.CsvFolder(context.ProgramPath));
            const std::string saveFolder = root + "Sicherung" + std::to_string(farm) + "\\";
            CreateFolder(saveFolder);
            SetUserString(installed.ValuesKeyPath(), "SavePath", files > 1 ? saveFolder : "");
            for (int file = 0; file < files; ++file) {
                const std::string target = file == 0 ? installed.DataFile(context.ProgramPath)
                                                     : saveFolder + std::to_string(file) + ".CND";
                CallPbf(library.Find("FileEncryptA"), plain, target, kKey);
                dataFiles.push_back(target);
            }
        }
        DeleteFileA(plain.c_str());
    }

    static void WritePlain(const std::string& path, double megabytes)
    {
        LineWriter writer(path, LineWriter::kCreate);
        writer.Write("key=\"D40X0U2T2C17L1R1\"; value=\"3\"; enabled=\"1\"");
        writer.Write("key=\"D40X0U2T2C13L18R1\"; value=\"7.00.01.00\"; enabled=\"\"");
        const auto bytes = static_cast<size_t>(megabytes * 1024 * 1024);
        size_t written = 0;
        for (size_t i = 0; written < bytes; ++i) {
            const std::string line = "key=\"D40X0U" + std::string(i % 10 == 0 ? "5" : "7") + "T1C" +
                                     std::to_string(i) + "L1R1\"; value=\"Schlag " + std::to_string(i) +
                                     " Winterweizen 3,25 ha\"; enabled=\"1\"";
            writer.Write(line);
            written += line.size() + 2;
        }
        writer.Close();
    }

    UpdateContext context;
    std::vector<std::string> farmIds;
    std::vector<std::string> dataFiles;
};

// The data phase as a run does it: every change recorded, and committed at the end; false with
// the message at the first failure.
bool RewriteFarms(UpdateContext& context, const std::vector<std::string>& farms, std::string& message)
{
    RunJournal journal(context);
    if (!journal.Begin(message))
        return false;
    context.Journal = &journal;
    bool ok = true;
    for (const std::string& farm : farms)
        ok = ok && FModifyDataCSV(context, farm, kKey, message);
    context.Journal = nullptr;
    std::string leftOver;
    return ok ? journal.Commit() : (journal.RollBack(leftOver), false);
}

double RunTool(Installation& installation)
{
    const double start = Seconds();
    std::string message;
    if (!RewriteFarms(installation.context, installation.farmIds, message))
        std::fprintf(stderr, "failed: %s\n", message.c_str());
    return Seconds() - start;
}

// The same library calls and bytes moved, with a plain copy in place of the tool's editing.
double RunFloor(Installation& installation)
{
    const UpdateContext& context = installation.context;
    const std::string plain = context.TempPath + "floor.txt";
    const std::string edited = context.TempPath + "floor_m.txt";
    const double start = Seconds();
    for (const std::string& file : installation.dataFiles) {
        PbfLibrary library;
        library.Load(context.UpdatePath);
        CallPbf(library.Find("FileDecryptA"), file, plain, kKey);
        CopyFileA(plain.c_str(), edited.c_str(), FALSE);
        const std::string beside = file + ".neu";
        CallPbf(library.Find("FileEncryptA"), edited, beside, kKey);
        FlushToDisk(beside);
        MoveFileExA(beside.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        library.Release();
        DeleteFileA(plain.c_str());
        DeleteFileA(edited.c_str());
    }
    return Seconds() - start;
}

std::string Root(const std::string& name)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "kv_bench_" + name + "\\";
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Floor and tool in turn, several times over the same files; the medians are reported.
void Measure(const char* label, int farms, int files, double megabytes, double& toolTime)
{
    constexpr int kRounds = 3;
    const std::string root = Root(label);
    DeleteFolder(root, false, true, false);
    Installation installation(root, farms, files, megabytes);
    std::vector<double> floors;
    std::vector<double> tools;
    for (int round = 0; round < kRounds; ++round) {
        floors.push_back(RunFloor(installation));
        tools.push_back(RunTool(installation));
    }
    const double floorTime = Median(floors);
    toolTime = Median(tools);
    std::printf("%-10s N=%d M=%d S=%.0f MB: tool %.2f s, floor %.2f s, ratio %.3f\n", label, farms, files,
                megabytes, toolTime, floorTime, toolTime / floorTime);
    DeleteFolder(root, false, true, false);
}

int Peak(double megabytes)
{
    const std::string root = Root("peak");
    DeleteFolder(root, false, true, false);
    {
        Installation installation(root, 1, 1, megabytes);
        // The child process rewrites the file; its peak is the tool's alone.
        // Without its trailing backslash, which would escape the closing quote.
        const std::string command =
            "\"" + OwnExecutablePath() + "\" --rewrite \"" + root.substr(0, root.size() - 1) + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        std::string line = command;
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            return 1;
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    DeleteFolder(root, false, true, false);
    return 0;
}

int Rewrite(const std::string& folder)
{
    const std::string root = WithBackslash(folder);
    UpdateContext context;
    context.UpdatePath = root + "Update\\";
    context.ProgramPath = root + "Kolvano\\";
    context.TempPath = root + "Temp\\";
    context.UpdateVersion = "7.00.02.02";
    context.CatalogList = {"D40X0U5"};
    std::string message;
    const double start = Seconds();
    const bool ok = RewriteFarms(context, {"BNR500000_1_1_1"}, message);
    const double time = Seconds() - start;
    PROCESS_MEMORY_COUNTERS counters = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    std::printf("one data CSV rewritten (%s) in %.2f s, peak working set %.1f MB\n", ok ? "ok" : message.c_str(),
                time, static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0));
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--peak")
        return Peak(std::atof(argv[2]));
    if (argc == 3 && std::string(argv[1]) == "--rewrite")
        return Rewrite(argv[2]);
    if (argc != 4) {
        std::fprintf(stderr, "usage: data_bench N M S | data_bench --peak MB\n");
        return 2;
    }
    const int farms = std::atoi(argv[1]);
    const int files = std::atoi(argv[2]);
    const double megabytes = std::atof(argv[3]);
    RemoveDemoRegistry();
    double base = 0;
    double moreFarms = 0;
    double moreData = 0;
    Measure("base", farms, files, megabytes, base);
    Measure("2N", farms * 2, files, megabytes, moreFarms);
    Measure("2S", farms, files, megabytes * 2, moreData);
    std::printf("doubling the farms: %.2f times the time; doubling the size: %.2f times the time\n",
                moreFarms / base, moreData / base);
    RemoveDemoRegistry();
    return 0;
}
