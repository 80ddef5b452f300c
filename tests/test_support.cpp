#include "tests/test_support.h"

#include "util/files.h"
#include "util/handles.h"
#include "util/text.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

std::string Cp1252(std::u8string_view text)
{
    return FromWide(ToWide(std::string(reinterpret_cast<const char*>(text.data()), text.size()), CP_UTF8), 1252);
}

std::string ExeFolder()
{
    return ExecutableFolder();
}

std::string BinFolder()
{
    return ExeFolder() + "..\\bin\\";
}

std::string FixtureFolder()
{
    return ExeFolder() + "..\\stubs\\";
}

std::string TempFile(const std::string& name)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return temp + name;
}

ScratchFolder::ScratchFolder()
{
    const std::string temp = TempFile("");
    static unsigned counter = 0;
    do {
        path_ = temp + "kvtest_" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(++counter) + "\\";
    } while (!CreateDirectoryA(path_.c_str(), nullptr));
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path_);
}

void RemoveTree(const std::string& folder)
{
    DeleteTree(folder);
}

void DeleteUserKey(const std::string& path)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

RegistryScratch::RegistryScratch()
{
    RemoveDemoRegistry();
}

RegistryScratch::~RegistryScratch()
{
    RemoveDemoRegistry();
}

ShortcutScratch::ShortcutScratch()
{
    RemoveDemoShortcuts();
}

ShortcutScratch::~ShortcutScratch()
{
    RemoveDemoShortcuts();
}

bool RecordingSink::Contains(const std::string& text) const
{
    for (const std::string& line : lines)
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

ScratchContext::ScratchContext()
{
    for (const char* folder : {"Update", "Kolvano", "AppData", "Temp"})
        CreateDirectoryA((root / folder).c_str(), nullptr);
    context.UpdatePath = root / "Update\\";
    context.ProgramPath = root / "Kolvano\\";
    context.AppDataPath = root / "AppData\\";
    context.TempPath = root / "Temp\\";
    CopyFileA((BinFolder() + "pbfdec.dll").c_str(), (context.UpdatePath + "pbfdec.dll").c_str(), FALSE);
    std::string message;
    if (!journal.Begin(message))
        throw std::runtime_error(message);
    context.Journal = &journal;
}
