// File and folder helpers over the Win32 file system and the shell.
#include "util/files.h"

#include "util/handles.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD kNoAttributes = INVALID_FILE_ATTRIBUTES;
constexpr size_t kMaxFileName = 255;
constexpr size_t kShellPathBuffer = 256;
// The source list must end in two NULs inside the buffer.
constexpr size_t kMaxShellPath = kShellPathBuffer - 2;

// Calls visit for each entry FindFirstFileA/FindNextFileA yields for the pattern.
template <typename Visit>
void ForEachEntry(const std::string& pattern, Visit visit)
{
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA(pattern.c_str(), &data));
    if (!find)
        return;
    do {
        visit(data);
    } while (FindNextFileA(find.get(), &data));
}

bool IsFolder(const WIN32_FIND_DATAA& data)
{
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != kNoAttributes;
}

unsigned long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string OwnExecutablePath()
{
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size())
            return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::string ExecutableFolder()
{
    const std::string path = OwnExecutablePath();
    return path.substr(0, path.find_last_of('\\') + 1);
}

namespace {

// The wide path in the ANSI code page, when every character has its own byte there.
bool ToAnsi(const std::wstring& path, std::string& ansi)
{
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy)
        return false;
    std::vector<char> buffer(static_cast<size_t>(size));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, buffer.data(), size, nullptr, &lossy);
    ansi = WithBackslash(buffer.data());
    return !lossy;
}

AnsiFolder AnsiFolderOf(const std::wstring& path)
{
    AnsiFolder folder;
    if (path.empty() || ToAnsi(path, folder.path)) {
        folder.named = !path.empty();
        return folder;
    }
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    if (length > 0 && length < MAX_PATH && ToAnsi(shortPath, folder.path)) {
        folder.named = true;
        return folder;
    }
    std::vector<char> shown(path.size() * 2 + 1);
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, shown.data(), static_cast<int>(shown.size()), nullptr, nullptr);
    folder.path = WithBackslash(shown.data());
    return folder;
}

}  // namespace

AnsiFolder TempFolderName()
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetTempPathW(MAX_PATH, buffer);
    return AnsiFolderOf(length < MAX_PATH ? std::wstring(buffer, length) : std::wstring());
}

std::string TempFolder()
{
    const AnsiFolder folder = TempFolderName();
    return folder.named ? folder.path : std::string();
}

AnsiFolder SpecialFolderName(int csidl)
{
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE))
        return {};
    return AnsiFolderOf(buffer);
}

std::string GetSpecialFolderPath(int csidl)
{
    const AnsiFolder folder = SpecialFolderName(csidl);
    return folder.named ? folder.path : std::string();
}

std::string WithBackslash(const std::string& folder)
{
    if (folder.empty() || folder.back() == '\\')
        return folder;
    return folder + '\\';
}

bool ClearFileAttributes(const std::string& path)
{
    // 0 clears read-only, hidden, system and archive in one call.
    return SetFileAttributesA(path.c_str(), 0) != 0;
}

bool CreateFolder(const std::string& path)
{
    SetLastError(0);
    CreateDirectoryA(path.c_str(), nullptr);
    const DWORD error = GetLastError();
    return error == 0 || error == ERROR_ALREADY_EXISTS;
}

FILEOP_FLAGS DeleteFolderFlags(bool allowUndo, bool confirm)
{
    FILEOP_FLAGS flags = FOF_NOERRORUI | FOF_SILENT;
    if (allowUndo)
        flags |= FOF_ALLOWUNDO;
    if (!confirm)
        flags |= FOF_NOCONFIRMATION;
    return flags;
}

bool DeleteFolder(const std::string& path, bool allowUndo, bool evenIfNotEmpty, bool confirm)
{
    if (!FolderExists(path))
        return false;
    if (!evenIfNotEmpty && !IsFolderEmpty(path))
        return false;
    // A longer path would lose the list's closing NULs.
    if (path.size() > kMaxShellPath)
        return false;

    char from[kShellPathBuffer] = {};
    char to[kShellPathBuffer] = {};
    std::memcpy(from, path.data(), path.size());

    SHFILEOPSTRUCTA operation = {};
    operation.hwnd = nullptr;
    operation.wFunc = FO_DELETE;
    operation.pFrom = from;
    operation.pTo = to;
    operation.fFlags = DeleteFolderFlags(allowUndo, confirm);
    return SHFileOperationA(&operation) == 0;
}

bool DeleteTree(const std::string& folder)
{
    const std::string base = WithBackslash(folder);
    ForEachEntry(base + "*", [&](const WIN32_FIND_DATAA& data) {
        const std::string name = data.cFileName;
        if (name == "." || name == "..")
            return;
        const std::string child = base + name;
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (IsFolder(data))
            DeleteTree(child);
        else
            DeleteFileA(child.c_str());
    });
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(folder.c_str());
    return GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> EntryNames(const std::string& pattern)
{
    std::vector<std::string> names;
    ForEachEntry(pattern, [&](const WIN32_FIND_DATAA& data) {
        const std::string name = data.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    });
    return names;
}

bool IsFolderEmpty(const std::string& path)
{
    std::vector<std::string> files;
    ListFiles(WithBackslash(path), "*.*", true, &files);
    return files.empty();
}

void ListFiles(const std::string& folder, const std::string& mask, bool fullPaths,
               std::vector<std::string>* list)
{
    if (!list)
        return;
    const std::string base = WithBackslash(folder);

    ForEachEntry(base + mask, [&](const WIN32_FIND_DATAA& data) {
        if (!IsFolder(data))
            list->push_back(fullPaths ? base + data.cFileName : std::string(data.cFileName));
    });

    std::vector<std::string> subfolders;
    ForEachEntry(base + "*.*", [&](const WIN32_FIND_DATAA& data) {
        if (IsFolder(data) && data.cFileName[0] != '.')
            subfolders.push_back(base + data.cFileName);
    });
    for (const std::string& subfolder : subfolders)
        ListFiles(subfolder, mask, fullPaths, list);
}

std::string FileNameExtension(const std::string& fileName)
{
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? std::string() : fileName.substr(dot, kMaxFileName);
}

bool IsInFolder(const std::string& path, const std::string& folder)
{
    return path.size() >= folder.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(), static_cast<int>(folder.size()),
                          folder.c_str(), static_cast<int>(folder.size())) == CSTR_EQUAL;
}

bool StaysInside(const std::string& name)
{
    if (name.empty() || name.find(':') != std::string::npos || name[0] == '\\' || name[0] == '/')
        return name.empty();
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = name.find_first_of("\\/", start);
        if (name.substr(start, end - start) == "..")
            return false;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return true;
}

std::string ArchiveName(const std::string& path)
{
    const size_t split = path.find_last_of("\\:") + 1;
    const std::string folder = path.substr(0, split);
    const std::string fileName = path.substr(split);
    const std::string extension = FileNameExtension(fileName);
    const std::string stem = fileName.substr(0, fileName.size() - extension.size());
    int number = 1;
    while (FileExists(folder + stem + "_OLD_" + std::to_string(number) + extension))
        ++number;
    return folder + stem + "_OLD_" + std::to_string(number) + extension;
}

bool FolderHasNoEntries(const std::string& folder)
{
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA((WithBackslash(folder) + "*").c_str(), &data));
    if (!find)
        return false;
    bool result = false;
    for (int i = 0; i < 2; ++i) {
        const std::string name = data.cFileName;
        if (name == "." || name == "..")
            result = !FindNextFileA(find.get(), &data);
    }
    return result;
}

bool IsPlainName(const std::string& text)
{
    if (text.empty() || text.find("..") != std::string::npos)
        return false;
    for (const char c : text)
        if (static_cast<unsigned char>(c) < ' ' || std::strchr("\\/:<>\"|?*", c))
            return false;
    return true;
}

std::string FolderFingerprint(const std::string& folder)
{
    std::vector<std::string> files;
    ListFiles(folder, "*.*", true, &files);
    std::sort(files.begin(), files.end());
    // FNV-1a over each file's name below the folder, its size and its bytes.
    std::uint64_t hash = 0xCBF29CE484222325ull;
    const auto add = [&](const char* data, size_t size) {
        for (size_t i = 0; i < size; ++i)
            hash = (hash ^ static_cast<unsigned char>(data[i])) * 0x100000001B3ull;
    };
    const std::string base = WithBackslash(folder);
    for (const std::string& file : files) {
        const std::string name = file.substr(base.size());
        // Log files that runs may write into the folder (and their kept ".1") are no part of it.
        std::string lower = name;
        CharLowerBuffA(lower.data(), static_cast<DWORD>(lower.size()));
        if (lower.ends_with(".log") || lower.ends_with(".log.1"))
            continue;
        add(name.c_str(), name.size() + 1);
        const FileHandle handle(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!handle)
            return {};
        std::vector<char> buffer(1 << 16);
        DWORD read = 0;
        std::uint64_t size = 0;
        while (ReadFile(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0) {
            add(buffer.data(), read);
            size += read;
        }
        add(reinterpret_cast<const char*>(&size), sizeof(size));
    }
    char text[17];
    std::snprintf(text, sizeof(text), "%016llX", static_cast<unsigned long long>(hash));
    return text;
}

std::string ReadWholeFile(const std::string& path, DWORD share)
{
    const FileHandle file(
        CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string text;
    char buffer[65536];
    DWORD read = 0;
    while (file && ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    return text;
}

bool RemoveFile(const std::string& path)
{
    if (!FileExists(path))
        return true;
    ClearFileAttributes(path);
    return DeleteFileA(path.c_str()) != 0;
}

bool FlushToDisk(const std::string& path)
{
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    return file && FlushFileBuffers(file.get());
}
