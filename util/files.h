// File and folder helpers shared by the update phases. None of them throws.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// True when the path names an existing file (not a folder).
bool FileExists(const std::string& path);

// True when the path names an existing folder.
bool FolderExists(const std::string& path);

// True when the path names an existing file or folder.
bool PathExists(const std::string& path);

// The file's size in bytes; 0 when it cannot be read.
unsigned long long FileSize(const std::string& path);

// The whole file's bytes, opened with the given sharing; empty when it cannot be opened.
std::string ReadWholeFile(const std::string& path, DWORD share = FILE_SHARE_READ);

// Full path of the running executable, and its folder with a trailing backslash.
std::string OwnExecutablePath();
std::string ExecutableFolder();

// A folder as the ANSI functions can name it: its own name, or its short name where its own has
// characters outside the ANSI code page. Without either, named is false and path is the name
// with those characters replaced, for a message.
struct AnsiFolder {
    std::string path;
    bool named = false;
};

// The user's temp folder with a trailing backslash; empty when the path is too long or has no
// ANSI name.
std::string TempFolder();
AnsiFolder TempFolderName();

// The shell's folder for a CSIDL number with a trailing backslash; empty when it cannot be
// resolved or has no ANSI name.
std::string GetSpecialFolderPath(int csidl);
AnsiFolder SpecialFolderName(int csidl);

// Appends a backslash unless the text is empty or already ends in one.
std::string WithBackslash(const std::string& folder);

// Clears read-only, hidden, system and archive at once; false when the attributes could not be set.
bool ClearFileAttributes(const std::string& path);

// Clears the attributes of an existing file and deletes it; true when it is gone.
bool RemoveFile(const std::string& path);

// Writes the file's data through to the disk; false (GetLastError set) when that failed.
bool FlushToDisk(const std::string& path);

// Creates the last component of the path; true when the folder exists afterwards.
bool CreateFolder(const std::string& path);

// The shell flags DeleteFolder hands to SHFileOperationA; the shell never shows a dialog of its
// own, so a run without a window cannot be stopped by one.
FILEOP_FLAGS DeleteFolderFlags(bool allowUndo, bool confirm);

// Deletes a folder tree through the shell. False for a missing folder, a non-empty one unless
// evenIfNotEmpty, a path longer than 254 characters, and any failure the shell reports.
bool DeleteFolder(const std::string& path, bool allowUndo, bool evenIfNotEmpty, bool confirm);

// Deletes the folder with everything in it, read-only entries included; true when it is gone.
bool DeleteTree(const std::string& folder);

// True when no file lies anywhere in the tree; empty subfolders do not count.
bool IsFolderEmpty(const std::string& path);

// Names of the entries that a search for the pattern yields (files and folders of every kind),
// in the file system's order, without "." and "..".
std::vector<std::string> EntryNames(const std::string& pattern);

// True when the path lies in the folder (given with its trailing backslash) or below it; letters
// compare without case, as Windows names do.
bool IsInFolder(const std::string& path, const std::string& folder);

// True when the text can stand as one part of a path: not empty, no "\", "/", ":" or "..", no
// control characters and none of the characters Windows forbids in names (< > " | ? *).
bool IsPlainName(const std::string& text);

// True when the folder's listing holds nothing but "." and "..".
bool FolderHasNoEntries(const std::string& folder);

// The text from the last "." on (at most 255 characters); empty for a name without one.
std::string FileNameExtension(const std::string& fileName);

// True for a relative name that stays inside its folder: no drive, no root, no climbing with "..".
// An empty name counts as inside.
bool StaysInside(const std::string& name);

// The name under which an existing file is archived: stem + "_OLD_" + n + extension with the
// smallest free n.
std::string ArchiveName(const std::string& path);

// Appends every file of the tree that matches the mask, depth first, a folder's own files
// before those of its subfolders. Subfolders whose names begin with "." are not descended.
// The list is never cleared; a null list does nothing.
void ListFiles(const std::string& folder, const std::string& mask, bool fullPaths,
               std::vector<std::string>* list);

// A fingerprint of what the folder holds: every file's name, size and bytes, log files left out;
// 16 hexadecimal digits, equal on every computer for equal contents. Empty when a file cannot
// be read.
std::string FolderFingerprint(const std::string& folder);
