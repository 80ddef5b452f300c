// The run as one transaction. Every change an update run makes is written to the journal beside
// the installation before it is made, in a form from which it can be undone: a replaced or
// removed file or folder keeps its original under a store folder that only this run uses, a
// renamed one its old name, a registry value its old type and bytes, a created one is listed.
// A failed run undoes everything in reverse order; a successful one commits by removing the
// stores and the journal. A start after a kill undoes an unfinished run or finishes a commit.
#pragma once

#include "update/u_context.h"
#include "util/handles.h"

#include <string>
#include <vector>

class RunJournal {
public:
    // The journal's place in an installation folder (with its trailing backslash).
    static std::string PathIn(const std::string& programPath);

    explicit RunJournal(const UpdateContext& context) : context_(context) {}
    ~RunJournal() = default;
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    // Creates the journal and the store folders, each as a new name; false with the message
    // (Windows error included) when one of them cannot be made. Nothing else is changed.
    bool Begin(std::string& message);
    bool IsOpen() const { return static_cast<bool>(file_); }

    // A new name for a file that is written and then takes target's place: in the store for a
    // target in the installation, beside the target elsewhere (a save folder on another drive),
    // so that one rename can move it.
    std::string StagedName(const std::string& target);

    // staged takes target's place; target's original is kept (a hard link, or a copy where the
    // drive has none) in the store, or beside a target outside the installation. A missing target
    // is listed as created. False with GetLastError.
    bool Replace(const std::string& staged, const std::string& target);
    // Moves an existing file or folder into the store; false with GetLastError.
    bool Remove(const std::string& path);
    // Renames a file or folder; false with GetLastError.
    bool Rename(const std::string& from, const std::string& to);
    // Lists a file or folder that is about to be created; false when something is there already.
    bool Creating(const std::string& path);
    // Creates the folder unless it exists; true when it exists afterwards.
    bool CreateFolder(const std::string& path);

    // Registry below HKEY_CURRENT_USER, each old value recorded first.
    bool CreateKey(const std::string& keyPath);
    bool WriteString(const std::string& keyPath, const std::string& name, const std::string& value);
    bool WriteInteger(const std::string& keyPath, const std::string& name, int value);
    bool DeleteValue(const std::string& keyPath, const std::string& name);

    // Writes what was recorded through to the disk: once per farm or per phase is enough, since
    // a killed process loses nothing that was written.
    void Checkpoint();

    // Marks the run as committed and removes the stores and the journal. False when something
    // could not be removed; the next start finishes it.
    bool Commit();
    // Undoes every change, last first, and removes the journal; false with what is left where
    // when a step failed (the journal then stays for the next start).
    bool RollBack(std::string& leftOver);

private:
    // Appends an entry before its change is made; false (GetLastError set) when it could not be
    // written, and then the change must not be made.
    bool Record(const std::vector<std::string>& fields);
    std::string KeptName(const std::string& path);
    // A name beside the path that only this run uses.
    std::string BesideName(const std::string& path, const char* suffix) const;
    bool RecordValue(const std::string& keyPath, const std::string& name);

    const UpdateContext& context_;
    FileHandle file_;
    std::string programStore_;
    std::string tempStore_;
    std::string runId_;
    unsigned long sequence_ = 0;
    // What was recorded, for an undo within the run.
    std::vector<std::vector<std::string>> entries_;
};

// At start-up, before anything reads the installation: undoes the changes of a run that a kill
// interrupted, or finishes one that was committing. Logs what it did and hands the line over in
// report (empty when there was nothing to do); false when it could not finish, and the journal
// stays.
bool FRecoverRun(const UpdateContext& context, std::string& report);
