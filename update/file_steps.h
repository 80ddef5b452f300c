// File steps the operations share: removing temp files on every way out, and the run's journal.
#pragma once

#include "update/u_context.h"

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

// The shipped text file as the library must see it, in code page 1252: the file itself, or,
// when it was saved as UTF-8 with a byte-order mark, its converted copy at converted. Throws
// TextError or FileError.
std::string ShippedText(const std::string& path, const std::string& converted);

// Writes the file's data through to the disk; false (GetLastError set) when that failed.
bool FlushToDisk(const std::string& path);

// The run's journal, through which every change of the installation goes. Throws
// std::logic_error when no run is open: an operation must never change anything unrecorded.
RunJournal& Changes(const UpdateContext& context);
