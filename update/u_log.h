// The status log as the update operations see it: lines go to whichever sink is registered
// (the main window's status list, or a test's recorder), and while a run log is open, the lines
// the sink shows go to the run log file too. The same sink shows the one plain message box that
// operations raise themselves.
#pragma once

#include "update/u_context.h"
#include "util/handles.h"

#include <string>

class LogSink {
public:
    virtual ~LogSink() = default;
    // Adds the line at the top of the status list; a window shows it within a fraction of a second.
    virtual void AddLine(const std::string& text) = 0;
    // Whether debug lines are shown.
    virtual bool ShowsDebug() const = 0;
    // A plain modal box with the text and an OK button.
    virtual void ShowPlainMessage(const std::string& text) = 0;
    // A line at the top of the status list that says where the run is; the next one replaces
    // it, an empty text removes it. It is no status line: neither kept nor written to a file.
    virtual void ShowProgress(const std::string&) {}
    // Empties the status list when a run begins its work; a sink without a list keeps its lines.
    virtual void ClearLines() {}
};

// Registers the sink for as long as the object lives.
class ScopedLogSink {
public:
    explicit ScopedLogSink(LogSink& sink);
    ~ScopedLogSink();
    ScopedLogSink(const ScopedLogSink&) = delete;
    ScopedLogSink& operator=(const ScopedLogSink&) = delete;

private:
    LogSink* previous_;
};

// Writes at the level: 0 always, 1 only when the sink shows debug lines, any other level never.
void WriteLog(const std::string& text, unsigned char level);
void Log(const std::string& text);
void LogDebug(const std::string& text);

// Shows the text in a plain modal box through the registered sink.
void ShowPlainMessage(const std::string& text);

// Shows (or, with an empty text, removes) the progress line through the registered sink.
void ShowProgress(const std::string& text);

// Empties the registered sink's status list.
void ClearLines();

// The run log file for support staff: while the object lives, every line that the sink shows
// is also appended, behind a time stamp, to TempPath + kFileName and to LogPath when one is
// set. A file that cannot be written never stops the update.
class RunLog {
public:
    static constexpr char kFileName[] = "Kolvano-UpdateTool.log";
    // The size at which a log file is kept as "<name>.1" and begun anew.
    static constexpr unsigned long kMaxSize = 1ul << 20;

    // Opens the files for appending and writes the run's header (tool version, computer, Windows
    // user, command line, both program versions, the three folders).
    RunLog(const UpdateContext& context, const std::string& toolVersion);
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Appends the line behind a time stamp to each file that could be opened.
    void Write(const std::string& line);
    // The section's last line: the exit code and what it means.
    void Finish(int exitCode, const std::string& meaning);

    // Opens a log file for appending; an invalid handle when that is not possible.
    static FileHandle Open(const std::string& path);

private:
    FileHandle file_;
    FileHandle extraFile_;
    RunLog* previous_;
};
