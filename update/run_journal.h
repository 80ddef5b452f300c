// The run as one transaction. Every change an update run makes is one object of its kind (see
// run_changes.h), named in the journal beside the installation and on disk before the change
// is: a replaced or removed file or folder keeps its original in a store folder of the run (in
// the installation, or in the user's local application data for what lies outside it), a renamed
// one its old name, a registry value its old type and bytes or where it was moved, a created one
// its identity. A failed run undoes everything in reverse order, each undone step recorded, so an
// undo that is interrupted goes on where it stopped; a successful one commits by removing the
// stores and the journal. The journal names the Windows user whose run it is: only that user's
// start undoes or finishes it.
#pragma once

#include "update/run_changes.h"
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
    // so that one rename can move it. Empty (GetLastError set) when it could not be recorded.
    std::string StagedName(const std::string& target);

    // Makes the changes in their order. Every line is on disk (one flush for all) before the
    // first change is made. False with GetLastError at the first that fails; the rest are not
    // made. A null change (one that could not be prepared) fails with the error it left.
    bool Make(std::vector<RunChangePtr> changes, size_t* failedAt = nullptr);
    bool Make(RunChangePtr change);

    // staged takes target's place; target's original is kept (a hard link, or a copy where the
    // drive has none) in the store, or beside a target outside the installation. A missing target
    // is created. Null, with GetLastError, when another program holds the target.
    RunChangePtr Replacing(const std::string& staged, const std::string& target);
    // The existing file or folder moves into the store.
    RunChangePtr Removing(const std::string& path);

    bool Replace(const std::string& staged, const std::string& target) { return Make(Replacing(staged, target)); }
    bool Remove(const std::string& path) { return Make(Removing(path)); }
    bool Rename(const std::string& from, const std::string& to) { return Make(RenameEntry(from, to)); }
    // Creates a file or folder that is not there yet with make; false when something is there.
    bool Create(const std::string& path, std::function<bool(const std::string&)> make)
    {
        return Make(CreateNew(path, std::move(make)));
    }
    // Creates the folder unless it exists; true when it exists afterwards.
    bool CreateFolder(const std::string& path);

    // Registry below HKEY_CURRENT_USER.
    bool CreateKey(const std::string& keyPath);
    bool WriteString(const std::string& keyPath, const std::string& name, const std::string& value);

    // Marks the run as committed and removes the stores and the journal. False when something
    // could not be removed; the next start finishes it.
    bool Commit();
    // Undoes every change, last first, and removes the journal; false with what is left where
    // when a step failed (the journal then stays for the next start, which goes on from there).
    bool RollBack(std::string& leftOver);

private:
    // Appends a line; it reaches the disk with the next flush.
    bool Record(const JournalFields& fields);
    bool Flush();
    std::string KeptName(const std::string& path);
    // A name beside the path that only this run uses.
    std::string BesideName(const std::string& path, const char* suffix) const;

    const UpdateContext& context_;
    FileHandle file_;
    std::string programStore_;
    std::string userStore_;
    std::string runId_;
    unsigned long sequence_ = 0;
    bool unflushed_ = false;
    // What was made, for an undo within the run.
    std::vector<RunChangePtr> entries_;
    std::vector<bool> undone_;
};

// At start-up, before anything reads the installation: undoes the changes of a run that a kill
// interrupted, going on from the last step undone, or finishes one that was committing. Logs
// what it did and hands the line over in report (empty when there was nothing to do); false when
// it could not finish or the journal is another user's, and the journal stays.
bool FRecoverRun(const UpdateContext& context, std::string& report);

// The run's journal, through which every change of the installation goes. Throws
// std::logic_error when no run is open: an operation must never change anything unrecorded.
RunJournal& Changes(const UpdateContext& context);
