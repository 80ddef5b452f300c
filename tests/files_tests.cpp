// File and folder helpers against the real file system and shell of the Wine prefix.
#include "tests/test_support.h"
#include "update/temp_files.h"
#include "update/u_constants.h"
#include "util/files.h"
#include "util/handles.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

namespace {

using FileNames = std::vector<std::string>;

void MakeFolder(const std::string& path)
{
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
}

DWORD Attributes(const std::string& path)
{
    return GetFileAttributesA(path.c_str());
}

}  // namespace

TEST(CreateFolder, CreatesOnlyTheLastComponent)
{
    ScratchFolder scratch;
    EXPECT_TRUE(CreateFolder(scratch / "new"));
    EXPECT_TRUE(FolderExists(scratch / "new"));
    EXPECT_TRUE(CreateFolder(scratch / "new")) << "an existing folder counts as created";
    EXPECT_FALSE(CreateFolder(scratch / "missing\\child"));
    EXPECT_FALSE(FolderExists(scratch / "missing"));
}

TEST(ClearFileAttributes, ClearsReadOnlyHiddenAndSystem)
{
    ScratchFolder scratch;
    const std::string file = scratch / "locked.txt";
    WriteFileBytes(file, "x");
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_NE(Attributes(file) & FILE_ATTRIBUTE_HIDDEN, 0u) << "the prefix keeps DOS attributes";
    EXPECT_TRUE(ClearFileAttributes(file));
    // Wine reports every file on a Unix file system as archived, so that bit is not checked.
    EXPECT_EQ(Attributes(file) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u);
    EXPECT_TRUE(DeleteFileA(file.c_str())) << "a cleared file can be deleted";
    EXPECT_FALSE(ClearFileAttributes(scratch / "missing.txt"));
}

TEST(IsFolderEmpty, CountsFilesAnywhereButNotEmptyFolders)
{
    ScratchFolder scratch;
    MakeFolder(scratch / "a");
    MakeFolder(scratch / "a\\empty");
    EXPECT_TRUE(IsFolderEmpty(scratch / "a"));
    EXPECT_TRUE(IsFolderEmpty(scratch / "a\\"));

    MakeFolder(scratch / "a\\empty\\deeper");
    WriteFileBytes(scratch / "a\\empty\\deeper\\f.txt", "x");
    EXPECT_FALSE(IsFolderEmpty(scratch / "a"));

    MakeFolder(scratch / "hidden");
    const std::string hidden = scratch / "hidden\\h.dat";
    WriteFileBytes(hidden, "x");
    SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_FALSE(IsFolderEmpty(scratch / "hidden")) << "hidden and system files are content";
}

TEST(ListFiles, DepthFirstOwnFilesBeforeSubfolders)
{
    ScratchFolder scratch;
    MakeFolder(scratch / "sub");
    MakeFolder(scratch / ".dotdir");
    WriteFileBytes(scratch / "top.txt", "x");
    WriteFileBytes(scratch / "sub\\inner.txt", "x");
    WriteFileBytes(scratch / ".dotdir\\skipped.txt", "x");
    WriteFileBytes(scratch / ".dotfile.txt", "x");
    WriteFileBytes(scratch / "other.dat", "x");

    FileNames bare = {"kept"};
    ListFiles(scratch.path(), "*.txt", false, &bare);
    ASSERT_EQ(bare.size(), 4u) << "the list is appended to, never cleared";
    EXPECT_EQ(bare[0], "kept");
    // The folder's own files come in file-system order, then the subfolder's.
    const FileNames own(bare.begin() + 1, bare.begin() + 3);
    EXPECT_TRUE((own == FileNames{"top.txt", ".dotfile.txt"}) || (own == FileNames{".dotfile.txt", "top.txt"}));
    EXPECT_EQ(bare[3], "inner.txt");

    FileNames full;
    ListFiles(scratch.path().substr(0, scratch.path().size() - 1), "inner.txt", true, &full);
    EXPECT_EQ(full, FileNames{scratch / "sub\\inner.txt"}) << "the mask filters files, subfolders are still descended";

    FileNames none;
    ListFiles(scratch / "missing", "*.*", true, &none);
    EXPECT_TRUE(none.empty());
    ListFiles(scratch.path(), "*.*", true, nullptr);
}

TEST(DeleteFolder, FlagsFollowUndoAndConfirmation)
{
    EXPECT_EQ(DeleteFolderFlags(true, true), 0x444);
    EXPECT_EQ(DeleteFolderFlags(true, false), 0x454);
    EXPECT_EQ(DeleteFolderFlags(false, true), 0x404);
    EXPECT_EQ(DeleteFolderFlags(false, false), 0x414);
}

TEST(DeleteFolder, RemovesTreesThroughTheShell)
{
    ScratchFolder scratch;
    EXPECT_FALSE(DeleteFolder(scratch / "missing", false, true, false));

    MakeFolder(scratch / "only_empty");
    MakeFolder(scratch / "only_empty\\sub");
    EXPECT_TRUE(DeleteFolder(scratch / "only_empty", false, false, false))
        << "a tree of empty folders counts as empty";
    EXPECT_FALSE(FolderExists(scratch / "only_empty"));

    MakeFolder(scratch / "full");
    MakeFolder(scratch / "full\\sub");
    const std::string locked = scratch / "full\\sub\\locked.txt";
    WriteFileBytes(locked, "x");
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeleteFolder(scratch / "full", false, false, false));
    EXPECT_TRUE(FileExists(locked));
    EXPECT_TRUE(DeleteFolder(scratch / "full", false, true, false));
    EXPECT_FALSE(FolderExists(scratch / "full"));
}

TEST(DeleteFolder, RefusesPathsLongerThan254Characters)
{
    ScratchFolder scratch;
    std::string path = scratch.path();
    path.pop_back();
    // Nest folders until the path is just over the limit but still below MAX_PATH.
    while (path.size() < 255) {
        const size_t room = 255 - path.size();
        path += "\\" + std::string(room > 40 ? 40 : (room < 2 ? 1 : room - 1), 'd');
        MakeFolder(path);
    }
    ASSERT_GT(path.size(), 254u);
    ASSERT_LT(path.size(), size_t(MAX_PATH));
    EXPECT_FALSE(DeleteFolder(path, false, true, false));
    EXPECT_TRUE(FolderExists(path));

    const std::string fits = path.substr(0, path.find_last_of('\\'));
    ASSERT_LE(fits.size(), 254u);
    EXPECT_TRUE(DeleteFolder(fits, false, true, false));
    EXPECT_FALSE(FolderExists(fits));
}

TEST(ListFiles, KeepsCodePage1252Names)
{
    // Farm and folder names carry umlauts; they must survive the ANSI calls byte for byte.
    ScratchFolder scratch;
    const std::string folder = scratch / Cp1252(u8"Mühle Äcker");
    MakeFolder(folder);
    WriteFileBytes(folder + Cp1252(u8"\\Grünland.txt"), "x");
    FileNames names;
    ListFiles(scratch.path(), "*.txt", true, &names);
    EXPECT_EQ(names, FileNames{folder + Cp1252(u8"\\Grünland.txt")});
}

// A folder whose name has characters outside the ANSI code page ("Lukasz" with a Polish L) is
// reached by its short name; one without a short name (here: one that does not exist) has no
// usable name, and the name shown in a message has those characters replaced.
TEST(TempFolderName, ShortNameWhereTheLongOneIsNotAnsi)
{
    ScratchFolder scratch;
    const std::wstring base(scratch.path().begin(), scratch.path().end());
    const std::wstring polish = base + L"\x0141ukasz\\";
    ASSERT_TRUE(CreateDirectoryW(polish.c_str(), nullptr));
    wchar_t saved[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);

    SetEnvironmentVariableW(L"TMP", polish.c_str());
    const AnsiFolder reached = TempFolderName();
    EXPECT_TRUE(reached.named);
    EXPECT_TRUE(FolderExists(reached.path)) << reached.path;
    EXPECT_EQ(TempFolder(), reached.path);
    WriteFileBytes(reached.path + "probe.txt", "x");
    EXPECT_TRUE(GetFileAttributesW((polish + L"probe.txt").c_str()) != INVALID_FILE_ATTRIBUTES);

    SetEnvironmentVariableW(L"TMP", (base + L"\x0141ukasz-fehlt\\").c_str());
    const AnsiFolder missing = TempFolderName();
    EXPECT_FALSE(missing.named);
    EXPECT_EQ(missing.path.find(scratch.path()), 0u) << missing.path;
    EXPECT_EQ(TempFolder(), "");
    // The clean-up of a killed run's temp files then touches nothing in the current folder.
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    SetCurrentDirectoryA(scratch.path().c_str());
    WriteFileBytes(scratch.path() + names::kTempPlain, "eigene Datei");
    RemoveOwnTempFiles(TempFolder());
    EXPECT_TRUE(FileExists(scratch.path() + names::kTempPlain));
    SetCurrentDirectoryA(current);
    SetEnvironmentVariableW(L"TMP", saved);
}

// A close that fails in a destructor or a reset leaves the error that the caller is about to read;
// close() itself reports its own.
TEST(UniqueHandle, ResetKeepsTheCallersLastError)
{
    const auto bogus = [] { return reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(0x7FF0)); };
    {
        KernelHandle handle(bogus());
        SetLastError(ERROR_SHARING_VIOLATION);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << "the destructor's failed close";
    KernelHandle handle(bogus());
    SetLastError(ERROR_ACCESS_DENIED);
    handle.reset();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "reset's failed close";
    KernelHandle closed(bogus());
    EXPECT_FALSE(closed.close());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}
