// Status log levels through a recording sink.
#include "update/u_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RecordingSink : public LogSink {
public:
    explicit RecordingSink(bool debug) : debug_(debug) {}
    void AddLine(const std::string& text) override { lines.insert(lines.begin(), text); }
    bool ShowsDebug() const override { return debug_; }

    std::vector<std::string> lines;

private:
    bool debug_;
};

}  // namespace

TEST(StatusLog, NewestLineOnTopAndDebugLinesOnlyWhenSwitchedOn)
{
    RecordingSink quiet(false);
    {
        ScopedLogSink registered(quiet);
        Log("A");
        LogDebug("hidden");
        Log("");
        Log("B");
        WriteLog("level 2", 2);
    }
    EXPECT_EQ(quiet.lines, (std::vector<std::string>{"B", "", "A"}));

    RecordingSink verbose(true);
    ScopedLogSink registered(verbose);
    LogDebug("shown");
    WriteLog("level 2", 2);
    EXPECT_EQ(verbose.lines, std::vector<std::string>{"shown"});
}

TEST(StatusLog, WithoutSinkNothingIsWritten)
{
    RecordingSink outer(true);
    {
        ScopedLogSink registered(outer);
        RecordingSink inner(true);
        {
            ScopedLogSink nested(inner);
            Log("inner");
        }
        Log("outer again");
        EXPECT_EQ(inner.lines, std::vector<std::string>{"inner"});
    }
    Log("nobody");
    EXPECT_EQ(outer.lines, std::vector<std::string>{"outer again"});
}
