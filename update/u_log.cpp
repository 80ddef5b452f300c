#include "update/u_log.h"

#include "resources/resource.h"
#include "util/text.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr unsigned char kLogAlways = 0;
constexpr unsigned char kLogDebug = 1;

// The registered sink; it stands for the main window, which owns the status list.
LogSink* g_sink = nullptr;
// The open run log file, if a run is under way.
RunLog* g_runLog = nullptr;

std::string TimeStamp()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof(text), "%02u.%02u.%04u %02u:%02u:%02u", now.wDay, now.wMonth, now.wYear, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}

}  // namespace

ScopedLogSink::ScopedLogSink(LogSink& sink) : previous_(g_sink)
{
    g_sink = &sink;
}

ScopedLogSink::~ScopedLogSink()
{
    g_sink = previous_;
}

void WriteLog(const std::string& text, unsigned char level)
{
    if (!g_sink)
        return;
    if (level != kLogAlways && (level != kLogDebug || !g_sink->ShowsDebug()))
        return;
    g_sink->AddLine(text);
    if (g_runLog)
        g_runLog->Write(text);
}

void Log(const std::string& text)
{
    WriteLog(text, kLogAlways);
}

void LogDebug(const std::string& text)
{
    WriteLog(text, kLogDebug);
}

void ShowProgress(const std::string& text)
{
    if (g_sink)
        g_sink->ShowProgress(text);
}

void ClearLines()
{
    if (g_sink)
        g_sink->ClearLines();
}

void ShowPlainMessage(const std::string& text)
{
    if (g_sink)
        g_sink->ShowPlainMessage(text);
}

RunLog::RunLog(const UpdateContext& context, const std::string& toolVersion)
    // Without a temp folder the name alone would land in the current folder.
    : file_(context.TempPath.empty() ? FileHandle() : Open(context.TempPath + kFileName)),
      extraFile_(context.LogPath.empty() ? FileHandle() : Open(context.LogPath)),
      previous_(g_runLog)
{
    g_runLog = this;
    Write(FormatText(IDS_RUNLOG_HEADER, {toolVersion, TimeStamp()}));
    // A log shared by many PCs must tell them apart.
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD computerLength = sizeof(computer);
    char user[257] = {};
    DWORD userLength = sizeof(user);
    GetComputerNameA(computer, &computerLength);
    GetUserNameA(user, &userLength);
    Write(FormatText(IDS_RUNLOG_WHO, {computer, user, GetCommandLineA()}));
    // Before start-up (a refused start) no version has been read.
    if (!context.InstalledVersion.empty() || !context.UpdateVersion.empty())
        Write(FormatText(IDS_RUNLOG_VERSIONS, {context.InstalledVersion, context.UpdateVersion}));
    Write(FormatText(IDS_RUNLOG_UPDATE_PATH, {context.UpdatePath}));
    Write(FormatText(IDS_RUNLOG_PROGRAM_PATH, {context.ProgramPath}));
    Write(FormatText(IDS_RUNLOG_TEMP_PATH, {context.TempPath}));
}

RunLog::~RunLog()
{
    g_runLog = previous_;
}

void RunLog::Finish(int exitCode, const std::string& meaning)
{
    Write(FormatText(IDS_RUNLOG_END, {std::to_string(exitCode), meaning}));
}

FileHandle RunLog::Open(const std::string& path)
{
    // A full log is kept once under ".1" and begun anew; a log that another run holds open just
    // grows a little further.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
        (data.nFileSizeHigh > 0 || data.nFileSizeLow >= kMaxSize))
        MoveFileExA(path.c_str(), (path + ".1").c_str(), MOVEFILE_REPLACE_EXISTING);
    // Shared for writing: a distribution system may hand several runs the same file.
    return FileHandle(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void RunLog::Write(const std::string& line)
{
    const std::string text = TimeStamp() + "  " + line + "\r\n";
    for (const FileHandle* file : {&file_, &extraFile_}) {
        DWORD written = 0;
        if (*file)
            WriteFile(file->get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}
