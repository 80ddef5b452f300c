// Helpers shared by the tests: where the build put things, scratch folders, small file I/O.
#pragma once

#include "demo/installation.h"
#include "update/run_journal.h"
#include "update/u_constants.h"
#include "update/u_context.h"
#include "update/u_log.h"

#include <string>
#include <string_view>
#include <vector>

// A German text written readably in UTF-8, as the code page 1252 bytes the tool shows and stores.
std::string Cp1252(std::u8string_view text);

// The product's key below HKEY_CURRENT_USER.
inline const std::string kProduct = names::kProductKey;
// The last line of a run that brought the whole update.
inline const std::string kSuccess = "Die Dateien wurden erfolgreich aktualisiert.";

// Folder of the running test executable, with a trailing backslash.
std::string ExeFolder();
// build\bin\: the tool and the encryption library.
std::string BinFolder();
// build\stubs\: executables with known version resources.
std::string FixtureFolder();

// The file NAME in the user's temp folder.
std::string TempFile(const std::string& name);

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

// Removes the desktop links and start-menu folders that a run writes, when made and when gone.
class ShortcutScratch {
public:
    ShortcutScratch();
    ~ShortcutScratch();
    ShortcutScratch(const ShortcutScratch&) = delete;
    ShortcutScratch& operator=(const ShortcutScratch&) = delete;
};

// A status sink that records lines (newest first) and plain boxes.
class RecordingSink : public LogSink {
public:
    explicit RecordingSink(bool debug = false) : debug_(debug), registered_(*this) {}
    void AddLine(const std::string& text) override { lines.insert(lines.begin(), text); }
    bool ShowsDebug() const override { return debug_; }
    void ShowPlainMessage(const std::string& text) override { boxes.push_back(text); }
    void ShowProgress(const std::string& text) override { progress.push_back(text); }
    void ClearLines() override { ++clears; }
    // True when some line contains the text.
    bool Contains(const std::string& text) const;

    std::vector<std::string> lines;
    std::vector<std::string> boxes;
    // Every progress line in order; an empty one removed the line.
    std::vector<std::string> progress;
    // How often a run emptied the status list.
    int clears = 0;

private:
    bool debug_;
    ScopedLogSink registered_;
};

// A context whose folders are fresh scratch folders: update folder with the library, an
// installation folder, an application-data folder and a temp folder of its own; and a run
// journal begun over them, as the operations need it.
struct ScratchContext {
    ScratchContext();
    ScratchFolder root;
    UpdateContext context;
    RunJournal journal{context};
};
