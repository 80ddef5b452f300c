// The tool's files in the temp folder: decrypted farm data must not stay there.
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
