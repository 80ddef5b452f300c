// Helpers shared by the tests: where the build put things, scratch folders, small file I/O.
#pragma once

#include "demo/installation.h"

#include <string>

// Folder of the running test executable, with a trailing backslash.
std::string ExeFolder();
// build\bin\: the tool and the encryption library.
std::string BinFolder();
// build\tests\fixtures\: executables with known version resources.
std::string FixtureFolder();

// A fresh folder below the temp folder, removed with everything in it when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder, with a trailing backslash.
    const std::string& path() const { return path_; }
    // path() + name.
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// Removes a folder tree, read-only entries included; test set-up only.
void RemoveTree(const std::string& folder);

// The file's bytes; throws std::runtime_error when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// Registry below HKEY_CURRENT_USER of the prefix.
void DeleteUserKey(const std::string& path);

// Removes the product's and the developer switch's keys when made and when gone, so every test
// starts from an empty registry and leaves nothing behind.
class RegistryScratch {
public:
    RegistryScratch();
    ~RegistryScratch();
    RegistryScratch(const RegistryScratch&) = delete;
    RegistryScratch& operator=(const RegistryScratch&) = delete;
};
