#include "shell/unattended.h"

#include "shell/farm_rows.h"
#include "shell/grid_rows.h"
#include "shell/messages.h"
#include "shell/startup.h"
#include "shell/update_run.h"
#include "resources/resource.h"
#include "update/errors.h"
#include "update/farm.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "update/u_log.h"
#include "update/update_folder.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/text.h"
#include "util/versions.h"

#include <windows.h>

#include <algorithm>
#include <sstream>
#include <vector>

namespace {

// The standard output a distribution system captures, or the console of the command prompt
// that started the tool.
void WriteToConsole(const std::string& text)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    FileHandle console;
    if (!out || out == INVALID_HANDLE_VALUE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS))
            return;
        console.reset(CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!console)
            return;
        out = console.get();
    }
    const std::string line = text + "\r\n";
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        // A console shows its own code page; the text is code page 1252.
        std::wstring wide(line.size(), L'\0');
        const int length = MultiByteToWideChar(1252, 0, line.data(), static_cast<int>(line.size()), wide.data(),
                                               static_cast<int>(wide.size()));
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(length), &written, nullptr);
    } else {
        WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
}

// The lines of a text, without empty ones.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        if (!Trim(line).empty())
            lines.push_back(line);
    return lines;
}

// Stands in for the main window: the farm rows come from the registry, and what the window
// would show in a box goes to the log (and, for a check with a person, into a box).
class UnattendedRun : public LogSink {
public:
    explicit UnattendedRun(const Options& options)
        : options_(options), rows_(LoadText(IDS_GRID_FARM), LoadText(IDS_GRID_KEY)), sink_(*this)
    {
    }

    int Run();

    void AddLine(const std::string& text) override { logged_.push_back(text); }
    bool ShowsDebug() const override { return context_.DebugInfo; }
    void ShowPlainMessage(const std::string& text) override { Report(text, false); }

private:
    // Logs the lines of the text that the log does not hold yet; a person sees the box too.
    void Report(const std::string& text, bool error)
    {
        for (const std::string& line : Lines(text))
            if (std::find(logged_.begin(), logged_.end(), line) == logged_.end())
                Log(line);
        if (!options_.quiet)
            error ? ::ShowError(text) : ::ShowInfo(text);
    }

    int Stop(const std::string& text, int code)
    {
        Report(text, true);
        return code;
    }

    // A farm without a stored key cannot be typed in here; every such farm is named.
    bool KeysComplete()
    {
        bool complete = true;
        for (int row = 1; row < rows_.RowCount(); ++row) {
            const Farm farm = Farm::FromLabel(rows_.Cell(0, row));
            if (farm.IsBlank() || !Trim(rows_.Cell(1, row)).empty())
                continue;
            Log(FormatText(IDS_KEY_MISSING, {farm.Name()}));
            complete = false;
        }
        return complete;
    }

    int Decide(const StartupResult& startup);
    int CheckAndRun();

    const Options& options_;
    UpdateContext context_;
    GridRows rows_;
    ScopedLogSink sink_;
    std::vector<std::string> logged_;
};

int UnattendedRun::Run()
{
    const StartupResult startup = FillUpdateContext(context_, OwnExecutablePath());
    context_.LogPath = options_.logPath;
    // A start-up that stopped early has not read the temp folder yet; the log needs it.
    if (context_.TempPath.empty())
        context_.TempPath = TempFolder();
    RunLog runLog(context_, GetFileVersion(""));
    if (!startup.recovery.empty())
        runLog.Write(startup.recovery);
    const int code = Decide(startup);
    runLog.Finish(code, ExitCodeMeaning(code));
    return code;
}

// What start-up found, then the run.
int UnattendedRun::Decide(const StartupResult& startup)
{
    Log(LoadText(options_.check ? IDS_UNATTENDED_CHECK : IDS_UNATTENDED_RUN));
    if (!startup.error.empty())
        return Stop(startup.error,
                    startup.stoppedAt == StartupStep::Recovery ? kExitRecoveryFailed : kExitUpdateFolder);
    if (context_.ProgramPath.empty())
        return Stop(LoadText(IDS_RUN_NOT_INSTALLED), kExitNotInstalled);
    try {
        return CheckAndRun();
    } catch (const std::exception& error) {
        return Stop(ErrorText(error), kExitUpdateFolder);
    }
}

// The version gate, the rows and their keys, then the run or its checks.
int UnattendedRun::CheckAndRun()
{
    const bool quietRun = options_.quiet && !options_.check;
    if (context_.HasProgramFiles && !IsUpdatePossible(context_)) {
        // Nothing to do here, ever: the update is noted as done, so that the distribution
        // system's detection finds it and reports the success that 1638 means.
        if (quietRun)
            FRecordUpdateIdentity(names::kAppliedIdValue, UpdateIdentity(context_.UpdatePath));
        return Stop(FormatText(IDS_REFUSED_BOX, {context_.InstalledVersion, context_.UpdateVersion}),
                    kExitNewerInstalled);
    }
    // A roll-out starts the tool again and again; once applied, nothing is done twice.
    if (std::string identity; quietRun && FIsUpdateApplied(context_, identity)) {
        Log(FormatText(IDS_ALREADY_APPLIED, {context_.UpdateVersion, identity}));
        return kExitSuccess;
    }
    if (IsGridFilled(context_))
        FillFarmGrid(rows_, context_.ProgramPath);
    if (!KeysComplete())
        return Stop(LoadText(IDS_KEYS_MISSING_STOP), kExitKeys);
    const RunResult result = RunUpdate(context_, rows_, options_.check ? RunMode::Check : RunMode::Update);
    if (!result.message.empty())
        Report(result.message, result.outcome != RunOutcome::Success);
    const int code = ExitCodeOf(result.outcome);
    // A pilot's detection rule looks for this value: the update could begin here.
    if (code == kExitSuccess && options_.check)
        FRecordUpdateIdentity(names::kCheckedIdValue, context_.UpdateId);
    if (code == kExitSuccess && options_.check && !options_.quiet)
        Report(LoadText(IDS_CHECK_PASSED), false);
    return code;
}

}  // namespace

void Announce(const Options& options, const std::string& text, int code)
{
    UpdateContext where;
    where.UpdatePath = ExecutableFolder();
    where.TempPath = TempFolder();
    where.LogPath = options.logPath;
    RunLog log(where, GetFileVersion(""));
    log.Write(text);
    log.Finish(code, ExitCodeMeaning(code));
    if (options.quiet)
        WriteToConsole(text);
    else
        ShowError(text);
}

int ShowUsage(const Options& options)
{
    const std::string usage = FormatText(IDS_CAPTION_VERSION, {GetFileVersion("")}) + "\n\n" + LoadText(IDS_CMD_USAGE);
    if (options.error.empty()) {
        if (options.quiet)
            WriteToConsole(usage);
        else
            ShowInfo(usage);
        return kExitSuccess;
    }
    Announce(options, options.error + "\n\n" + usage, kExitBadCommandLine);
    return kExitBadCommandLine;
}

int StartRefusal(const Options& options, bool asLocalSystem, bool firstInstance)
{
    if (asLocalSystem) {
        Announce(options, LoadText(IDS_SYSTEM_ACCOUNT), kExitSystemAccount);
        return kExitSystemAccount;
    }
    if (!firstInstance) {
        Announce(options, LoadText(IDS_ALREADY_RUNNING), kExitAlreadyRunning);
        return kExitAlreadyRunning;
    }
    if (!options.logPath.empty() && !RunLog::Open(options.logPath)) {
        Options withoutLog = options;
        withoutLog.logPath.clear();
        Announce(withoutLog, FormatText(IDS_LOG_NOT_WRITABLE, {options.logPath}), kExitLogNotWritable);
        return kExitLogNotWritable;
    }
    return kExitSuccess;
}

int RunUnattended(const Options& options)
{
    return UnattendedRun(options).Run();
}
