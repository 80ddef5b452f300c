// Status log levels through a recording sink.
#include "tests/test_support.h"
#include "update/u_log.h"
#include "util/files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(StatusLog, NewestLineOnTopAndDebugLinesOnlyWhenSwitchedOn)
{
    {
        RecordingSink quiet(false);
        Log("A");
        LogDebug("hidden");
        Log("");
        Log("B");
        WriteLog("level 2", 2);
        EXPECT_EQ(quiet.lines, (std::vector<std::string>{"B", "", "A"}));
    }
    RecordingSink verbose(true);
    LogDebug("shown");
    WriteLog("level 2", 2);
    EXPECT_EQ(verbose.lines, std::vector<std::string>{"shown"});
}

TEST(StatusLog, SinksNestAndWithoutOneNothingHappens)
{
    Log("nobody");
    ShowPlainMessage("nobody");
    RecordingSink outer(true);
    {
        RecordingSink inner(true);
        Log("inner");
        ShowPlainMessage("DLL NOT UNLOAD!");
        EXPECT_EQ(inner.lines, std::vector<std::string>{"inner"});
        EXPECT_EQ(inner.boxes, std::vector<std::string>{"DLL NOT UNLOAD!"});
    }
    Log("outer again");
    EXPECT_EQ(outer.lines, std::vector<std::string>{"outer again"});
    EXPECT_TRUE(outer.boxes.empty());
}

TEST(RunLog, FileThatCannotBeWrittenIsSkippedQuietly)
{
    UpdateContext context;
    context.TempPath = "C:\\gibt\\es\\nicht\\";
    RunLog log(context, "1.0.0.0");
    log.Write("Zeile");
    EXPECT_FALSE(FileExists(context.TempPath + RunLog::kFileName));
}
