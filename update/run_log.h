// The run log file: every status line of a run, with a time stamp, appended to a file in the
// temp folder for support staff. A file that cannot be written never stops the update.
#pragma once

#include "update/u_context.h"
#include "util/handles.h"

#include <string>

class RunLog {
public:
    static constexpr char kFileName[] = "Kolvano-UpdateTool.log";

    // Opens TempPath + the log's name for appending and writes the run's header (tool version,
    // both program versions, the three folders).
    RunLog(const UpdateContext& context, const std::string& toolVersion);
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Appends the line behind a time stamp; does nothing when the file could not be opened.
    void Write(const std::string& line);

private:
    FileHandle file_;
};
