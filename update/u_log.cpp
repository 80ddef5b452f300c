#include "update/u_log.h"

namespace {
// The registered sink; it stands for the main window, which owns the status list.
LogSink* g_sink = nullptr;
}

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
    if (level == kLogAlways || (level == kLogDebug && g_sink->ShowsDebug()))
        g_sink->AddLine(text);
}

void Log(const std::string& text)
{
    WriteLog(text, kLogAlways);
}

void LogDebug(const std::string& text)
{
    WriteLog(text, kLogDebug);
}

void ShowPlainMessage(const std::string& text)
{
    if (g_sink)
        g_sink->ShowPlainMessage(text);
}
