// File steps the operations share: removing temp files on every way out, and replacing a farm
// file by a complete new one in a single rename.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

// Removes the files (attributes cleared first) when the guard goes, on every way out of a
// scope, so no decrypted farm data stays in the temp folder.
class TempFileGuard {
public:
    explicit TempFileGuard(std::initializer_list<std::string> paths) : paths_(paths) {}
    ~TempFileGuard();
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;

private:
    std::vector<std::string> paths_;
};

// Removes the tool's own fixed temp files (decrypted farm data) that a killed run left in the
// temp folder; nothing else there is touched.
void RemoveOwnTempFiles(const std::string& tempPath);

// Clears the attributes of an existing file and deletes it; true when it is gone.
bool RemoveFile(const std::string& path);

// The name beside a farm file under which its replacement is written before the rename.
std::string NewFileName(const std::string& target);

// The shipped text file as the library must see it, in code page 1252: the file itself, or,
// when it was saved as UTF-8 with a byte-order mark, its converted copy at converted. Throws
// TextError or FileError.
std::string ShippedText(const std::string& path, const std::string& converted);

// A journal: a few lines that record a change under way, written through to the disk. False
// when it could not be written.
bool WriteJournal(const std::string& path, const std::vector<std::string>& lines);

// The journal's lines; empty when there is none or it cannot be read.
std::vector<std::string> ReadJournal(const std::string& path);

// Writes the file's data through to the disk; false (GetLastError set) when that failed.
bool FlushToDisk(const std::string& path);

// Flushes newFile to disk and renames it over target (attributes of target cleared first), so
// target is at every moment either the old or the new file. False when that failed, with
// GetLastError set; newFile then stays.
bool ReplaceByNewFile(const std::string& newFile, const std::string& target);
