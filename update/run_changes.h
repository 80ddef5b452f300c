// The kinds of change a run makes. Each kind names itself in one journal line, makes its change,
// names what it made (so that an undo can tell it from what came later) and undoes itself. An
// undo acts only on the state the change left: repeated, it changes nothing more.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

using JournalFields = std::vector<std::string>;

class RunChange {
public:
    virtual ~RunChange() = default;

    // The journal line that names the change; it is on disk before the change is made.
    virtual JournalFields Line() const = 0;
    // Whether the change can begin (a created name is free); asked before its line is written.
    // False with GetLastError, and then nothing is changed.
    virtual bool Ready() const { return true; }
    // Makes the change; false with GetLastError.
    virtual bool Make() = 0;
    // What the journal learns once the change is made: the made thing's identity, if it has one.
    virtual JournalFields Identity() const { return {}; }
    // The identity read back from the journal's line of the made change.
    virtual void TakeIdentity(const JournalFields&) {}
    // Puts back what was there before, when the state is the one the change left; true when
    // nothing of the change stays (also when it was never made), otherwise false with the text
    // that names what stays.
    virtual bool Undo(std::string& leftOver) const = 0;
    // An original kept outside the run's store folders, which goes when the run commits.
    virtual std::string KeptBeside() const { return {}; }

    // The change a journal line names; null for a line of no known kind.
    static std::unique_ptr<RunChange> FromLine(const JournalFields& fields);
};

using RunChangePtr = std::unique_ptr<RunChange>;

// A file or folder that is replaced or removed: its original gets a second name under kept (a
// hard link, a copy or the moved original) before staged takes its place; an empty staged
// removes it.
RunChangePtr KeepOriginal(const std::string& original, const std::string& kept, const std::string& staged);
// A file or folder the run creates; make creates it and returns false with GetLastError. Undone
// only while it is still what the run made (a file of the same size and write time, a folder
// that holds nothing).
RunChangePtr CreateNew(const std::string& path, std::function<bool(const std::string&)> make);
// A file or folder renamed.
RunChangePtr RenameEntry(const std::string& from, const std::string& to);
// A registry value below HKEY_CURRENT_USER set to type and bytes (an empty type removes it); the
// journal keeps its old type and bytes.
RunChangePtr SetValue(const std::string& keyPath, const std::string& name, unsigned long type,
                      const std::string& data, bool remove);
// A registry value moved from one key to another below HKEY_CURRENT_USER. The journal keeps no
// data: the undo takes the value back from where it was moved, so a farm key never lies in a file.
RunChangePtr MoveValue(const std::string& fromKey, const std::string& name, const std::string& toKey);
// A registry key that did not exist before.
RunChangePtr CreateKey(const std::string& keyPath);
