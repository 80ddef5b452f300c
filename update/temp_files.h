// Temp files with fixed names that the operations share, and a guard that removes them.
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

// Clears the attributes of an existing file and deletes it; true when it is gone.
bool RemoveFile(const std::string& path);
