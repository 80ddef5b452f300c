#include "update/run_log.h"

#include "resources/resource.h"
#include "util/text.h"

#include <cstdio>

namespace {

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

RunLog::RunLog(const UpdateContext& context, const std::string& toolVersion)
    : file_(CreateFileA((context.TempPath + kFileName).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))
{
    Write(FormatText(IDS_RUNLOG_HEADER, {toolVersion, TimeStamp()}));
    Write(FormatText(IDS_RUNLOG_VERSIONS, {context.InstalledVersion, context.UpdateVersion}));
    Write(FormatText(IDS_RUNLOG_UPDATE_PATH, {context.UpdatePath}));
    Write(FormatText(IDS_RUNLOG_PROGRAM_PATH, {context.ProgramPath}));
    Write(FormatText(IDS_RUNLOG_TEMP_PATH, {context.TempPath}));
}

void RunLog::Write(const std::string& line)
{
    if (!file_)
        return;
    const std::string text = TimeStamp() + "  " + line + "\r\n";
    DWORD written = 0;
    WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
