#include "tests/test_support.h"

#include "util/files.h"
#include "util/handles.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

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

ScratchFolder::ScratchFolder()
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    static unsigned counter = 0;
    do {
        path_ = std::string(temp) + "kvtest_" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(++counter) + "\\";
    } while (!CreateDirectoryA(path_.c_str(), nullptr));
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path_);
}

void RemoveTree(const std::string& folder)
{
    std::string base = folder;
    if (!base.empty() && base.back() != '\\')
        base += '\\';
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((base + "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = base + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    SetFileAttributesA(base.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(base.c_str());
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

void DumpUserKey(const std::string& path, std::string& out)
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    out += "[" + path + "]\n";
    char name[256];
    BYTE data[4096];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof(name);
        DWORD dataSize = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueA(key.get(), i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
            break;
        out += std::string(name, nameSize) + '=' + std::to_string(type) + ':' +
               std::string(reinterpret_cast<const char*>(data), dataSize) + '\n';
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof(name);
        if (RegEnumKeyExA(key.get(), i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        DumpUserKey(path + '\\' + std::string(name, nameSize), out);
    }
}

}  // namespace

std::string InstallationSnapshot(const std::string& folder)
{
    std::vector<std::string> files;
    ListFiles(folder, "*", true, &files);
    std::string out;
    for (const std::string& file : files)
        out += file + '\n' + ReadFileBytes(file) + '\n';
    DumpUserKey("SOFTWARE\\Orvalis GmbH\\Kolvano", out);
    return out;
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

namespace {

void RemoveShortcutsOfTheProduct()
{
    const std::string desktop = GetSpecialFolderPath(0);
    for (const char* link : {"Kolvano.lnk", "Kolvano3.lnk"})
        DeleteFileA((desktop + link).c_str());
    for (int csidl : {2, 23})
        RemoveTree(GetSpecialFolderPath(csidl) + "Orvalis GmbH");
}

}  // namespace

ShortcutScratch::ShortcutScratch()
{
    RemoveShortcutsOfTheProduct();
}

ShortcutScratch::~ShortcutScratch()
{
    RemoveShortcutsOfTheProduct();
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
}
