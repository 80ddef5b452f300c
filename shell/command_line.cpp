#include "shell/command_line.h"

#include "resources/resource.h"
#include "util/text.h"

#include <windows.h>

namespace {

// The switch name after '/' or '-', in lower case; empty when the argument is no switch.
std::string SwitchName(const std::string& arg)
{
    if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-'))
        return {};
    std::string name = arg.substr(1);
    CharLowerBuffA(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

}  // namespace

Options ReadOptions(const std::vector<std::string>& args)
{
    // "/log:<file>", and the forms that Windows Installer and Inno Setup admins type:
    // "/log=<file>" and "/log <file>".
    static constexpr char kLog[] = "log";
    constexpr size_t kNamed = 1 + sizeof(kLog);
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::string name = SwitchName(arg);
        const bool logWithFile = name.rfind(kLog, 0) == 0 && name.size() > sizeof(kLog) - 1 &&
                                 (name[sizeof(kLog) - 1] == ':' || name[sizeof(kLog) - 1] == '=');
        if (name == "quiet")
            options.quiet = true;
        else if (name == "check")
            options.check = true;
        else if (name == "?")
            options.help = true;
        else if (logWithFile && !Trim(arg.substr(kNamed)).empty())
            options.logPath = Trim(arg.substr(kNamed));
        else if (name == kLog && i + 1 < args.size() && SwitchName(args[i + 1]).empty() && !Trim(args[i + 1]).empty())
            options.logPath = Trim(args[++i]);
        else if (options.error.empty())
            // The first one is named; the rest is still read, so that /quiet keeps its meaning.
            options.error = FormatText(IDS_CMD_UNKNOWN, {arg});
    }
    return options;
}

std::string ExitCodeMeaning(int code)
{
    // The usage text's table of exit codes is the one place that words them.
    const std::string usage = LoadText(IDS_CMD_USAGE);
    const std::string key = "\n" + std::to_string(code) + "\t";
    const size_t start = usage.find(key);
    if (start == std::string::npos)
        return {};
    const size_t text = start + key.size();
    return usage.substr(text, usage.find('\n', text) - text);
}
