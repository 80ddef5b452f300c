#include "update/run_journal.h"

#include "resources/resource.h"
#include "update/errors.h"
#include "update/u_constants.h"
#include "update/u_log.h"
#include "util/files.h"
#include "util/registry.h"
#include "util/session.h"
#include "util/text.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

constexpr char kJournalName[] = "Kolvano-UpdateTool.journal";
constexpr char kHeader[] = "Kolvano-UpdateTool-Journal";
// Format 1 kept no user and no identities; its journals are still undone.
constexpr char kFormat[] = "2";
constexpr char kOldFormat[] = "1";
constexpr char kStorePrefix[] = "Kolvano-UpdateTool-";
constexpr char kCommit[] = "commit";
// Entry n was made; its identity follows.
constexpr char kMade[] = "made";
// Entry n was undone.
constexpr char kUndone[] = "undone";

JournalFields Split(const std::string& line)
{
    JournalFields fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

std::string Join(const JournalFields& fields)
{
    std::string line;
    for (const std::string& field : fields)
        line += (line.empty() ? "" : "\t") + field;
    return line + "\r\n";
}

bool WriteLine(const FileHandle& file, const JournalFields& fields)
{
    const std::string line = Join(fields);
    DWORD written = 0;
    return file && WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}

// A store folder is one of ours only by its name: the tool's name and a run id.
bool IsStoreName(const std::string& folder)
{
    if (folder.size() < 2 || folder.back() != '\\')
        return false;
    const std::string name = folder.substr(folder.find_last_of('\\', folder.size() - 2) + 1);
    const std::string prefix = kStorePrefix;
    return name.rfind(prefix, 0) == 0 && name.size() == prefix.size() + 8 + 1;
}

// A journal this tool wrote: the header names two stores (and the user), each line is an entry
// it knows or a note on one.
struct Parsed {
    std::string programStore;
    std::string userStore;
    std::string userSid;
    std::string userName;
    std::vector<RunChangePtr> entries;
    std::vector<bool> undone;
    bool committed = false;
    // The length of the whole lines; past it lies a line cut by a kill, or nothing.
    size_t wholeLength = 0;
};

bool ParseHeader(const JournalFields& header, Parsed& parsed)
{
    const bool current = header.size() == 6 && header[1] == kFormat;
    const bool old = header.size() == 4 && header[1] == kOldFormat;
    if (!(current || old) || header[0] != kHeader || !IsStoreName(header[2]) || !IsStoreName(header[3]))
        return false;
    parsed.programStore = header[2];
    parsed.userStore = header[3];
    if (current) {
        parsed.userSid = header[4];
        parsed.userName = header[5];
    }
    return true;
}

// A note on entry n: its index, checked against the entries read so far.
bool EntryIndex(const JournalFields& line, const Parsed& parsed, size_t& index)
{
    char* end = nullptr;
    index = std::strtoul(line[1].c_str(), &end, 10);
    return !line[1].empty() && *end == '\0' && index < parsed.entries.size();
}

bool ParseLine(const JournalFields& line, Parsed& parsed)
{
    size_t index = 0;
    if (line.size() == 1 && line[0] == kCommit) {
        parsed.committed = true;
    } else if (line.size() >= 2 && line[0] == kMade && EntryIndex(line, parsed, index)) {
        parsed.entries[index]->TakeIdentity(JournalFields(line.begin() + 2, line.end()));
    } else if (line.size() == 2 && line[0] == kUndone && EntryIndex(line, parsed, index)) {
        parsed.undone[index] = true;
    } else if (RunChangePtr entry = RunChange::FromLine(line)) {
        parsed.entries.push_back(std::move(entry));
        parsed.undone.push_back(false);
    } else {
        return false;
    }
    return true;
}

bool Parse(const std::string& text, Parsed& parsed)
{
    std::vector<JournalFields> lines;
    size_t start = 0;
    // A line cut by a kill is a change that was never made.
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(Split(text.substr(start, end - start)));
    parsed.wholeLength = start;
    if (lines.empty() || !ParseHeader(lines[0], parsed))
        return false;
    for (size_t i = 1; i < lines.size(); ++i)
        if (!ParseLine(lines[i], parsed))
            return false;
    return true;
}

// Last change first, from the last one not yet undone; each undone step is on disk before the
// next begins, so a killed undo goes on where it stopped. Stops at the first step that cannot be
// undone now: the steps before it may rest on it.
bool UndoEntries(const std::vector<RunChangePtr>& entries, std::vector<bool>& undone, const FileHandle& file,
                 std::string& leftOver)
{
    for (size_t i = entries.size(); i-- > 0;) {
        if (undone[i])
            continue;
        if (!entries[i]->Undo(leftOver))
            return false;
        undone[i] = true;
        if (!WriteLine(file, {kUndone, std::to_string(i)}) || !FlushFileBuffers(file.get())) {
            leftOver = AtLastError(IDS_TX_JOURNAL, {kJournalName}).Message();
            return false;
        }
    }
    return true;
}

// The stores hold only what the run kept or staged; they go with the journal, and so do the
// originals kept beside files outside the installation once the run has committed.
bool RemoveStores(const Parsed& journal, std::string& leftOver)
{
    bool ok = true;
    for (const RunChangePtr& entry : journal.entries) {
        const std::string kept = entry->KeptBeside();
        if (kept.empty() || !journal.committed || IsInFolder(kept, journal.programStore) ||
            IsInFolder(kept, journal.userStore) || !FileExists(kept) || RemoveFile(kept))
            continue;
        leftOver += (ok ? "" : " ") + FormatText(IDS_TX_LEFT_NEW, {kept});
        ok = false;
    }
    for (const std::string& store : {journal.programStore, journal.userStore})
        if (PathExists(store) && !DeleteTree(store)) {
            leftOver += (ok ? "" : " ") + FormatText(IDS_TX_LEFT_NEW, {store});
            ok = false;
        }
    return ok;
}

// Undoes what is not undone yet, or finishes a commit; the journal goes last, once nothing of
// the run is left.
bool Finish(const std::string& path, Parsed& journal, std::string& leftOver)
{
    {
        const FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        // A line cut by a kill goes first, or the next line would be appended to it.
        LARGE_INTEGER whole = {};
        whole.QuadPart = static_cast<LONGLONG>(journal.wholeLength);
        if (!file || !SetFilePointerEx(file.get(), whole, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) {
            leftOver = AtLastError(IDS_TX_JOURNAL, {path}).Message();
            return false;
        }
        if (!journal.committed && !UndoEntries(journal.entries, journal.undone, file, leftOver))
            return false;
    }
    return RemoveStores(journal, leftOver) && RemoveFile(path);
}

std::string RunId()
{
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    char id[9];
    std::snprintf(id, sizeof(id), "%08lX",
                  static_cast<unsigned long>(counter.LowPart ^ (GetCurrentProcessId() << 16) ^ GetTickCount()));
    return id;
}

}  // namespace

std::string RunJournal::PathIn(const std::string& programPath)
{
    return programPath + kJournalName;
}

bool RunJournal::Begin(std::string& message)
{
    runId_ = RunId();
    programStore_ = context_.ProgramPath + kStorePrefix + runId_ + "\\";
    // Not the temp folder: cleaning tools and the log-off of a remote session empty it.
    const std::string localAppData = GetSpecialFolderPath(names::kCsidlLocalAppData);
    userStore_ = localAppData + kStorePrefix + runId_ + "\\";
    const CurrentUser user = CurrentUserIdentity();
    const std::string path = PathIn(context_.ProgramPath);
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (!localAppData.empty() && !user.sid.empty()) {
        file_.reset(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        error = GetLastError();
    }
    if (!file_) {
        message = Failure{IDS_TX_JOURNAL, {path}, error}.Message();
        return false;
    }
    entries_.clear();
    undone_.clear();
    if (!Record({kHeader, kFormat, programStore_, userStore_, user.sid, user.name}) || !Flush() ||
        !CreateDirectoryA(programStore_.c_str(), nullptr) || !CreateDirectoryA(userStore_.c_str(), nullptr)) {
        error = GetLastError();
        std::string ignored;
        RollBack(ignored);
        message = Failure{IDS_TX_JOURNAL, {path}, error}.Message();
        return false;
    }
    return true;
}

bool RunJournal::Record(const JournalFields& fields)
{
    unflushed_ = true;
    return WriteLine(file_, fields);
}

bool RunJournal::Flush()
{
    if (!unflushed_)
        return true;
    unflushed_ = false;
    return FlushFileBuffers(file_.get()) != 0;
}

bool RunJournal::Make(std::vector<RunChangePtr> changes, size_t* failedAt)
{
    for (size_t i = 0; i < changes.size(); ++i) {
        if (failedAt)
            *failedAt = i;
        // A name the run creates is free when its line is written: whatever stands there later
        // is the run's own.
        if (!changes[i] || !changes[i]->Ready() || !Record(changes[i]->Line()))
            return false;
    }
    if (failedAt)
        *failedAt = 0;
    // Durable before visible: after a power cut the journal names every change on the disk.
    if (!Flush())
        return false;
    const size_t first = entries_.size();
    for (RunChangePtr& change : changes) {
        entries_.push_back(std::move(change));
        undone_.push_back(false);
    }
    for (size_t i = first; i < entries_.size(); ++i) {
        RunChange& change = *entries_[i];
        if (failedAt)
            *failedAt = i - first;
        if (!change.Make()) {
            // What was not begun has nothing to undo; a change that failed half way is undone
            // with the run, by the state it left.
            const DWORD error = GetLastError();
            for (size_t j = i + 1; j < entries_.size(); ++j) {
                undone_[j] = true;
                Record({kUndone, std::to_string(j)});
            }
            SetLastError(error);
            return false;
        }
        JournalFields identity = {kMade, std::to_string(i)};
        for (const std::string& field : change.Identity())
            identity.push_back(field);
        if (!Record(identity))
            return false;
    }
    return true;
}

bool RunJournal::Make(RunChangePtr change)
{
    std::vector<RunChangePtr> changes;
    changes.push_back(std::move(change));
    return Make(std::move(changes));
}

std::string RunJournal::KeptName(const std::string& path)
{
    return (IsInFolder(path, context_.ProgramPath) ? programStore_ : userStore_) + std::to_string(++sequence_);
}

std::string RunJournal::BesideName(const std::string& path, const char* suffix) const
{
    return path + "." + kStorePrefix + runId_ + suffix;
}

std::string RunJournal::StagedName(const std::string& target)
{
    if (IsInFolder(target, context_.ProgramPath))
        return programStore_ + "n" + std::to_string(++sequence_);
    const std::string staged = BesideName(target, ".neu");
    // The caller writes it: named and on disk first, like every change.
    RunChangePtr entry = CreateNew(staged, nullptr);
    if (!Record(entry->Line()) || !Flush())
        return {};
    entries_.push_back(std::move(entry));
    undone_.push_back(false);
    return staged;
}

RunChangePtr RunJournal::Replacing(const std::string& staged, const std::string& target)
{
    // Durable before it is visible: after a power cut the target is the old or the whole new file.
    if (!FlushToDisk(staged))
        return nullptr;
    if (!FileExists(target))
        return CreateNew(target, [staged](const std::string& path) {
            return MoveFileExA(staged.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
        });
    // A file that another program holds against renaming is refused before anything else happens.
    if (!FileHandle(CreateFileA(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)))
        return nullptr;
    const std::string kept = IsInFolder(target, context_.ProgramPath) ? KeptName(target) : BesideName(target, ".alt");
    return KeepOriginal(target, kept, staged);
}

RunChangePtr RunJournal::Removing(const std::string& path)
{
    return KeepOriginal(path, KeptName(path), {});
}

bool RunJournal::CreateFolder(const std::string& path)
{
    return FolderExists(path) || Create(path, [](const std::string& folder) { return ::CreateFolder(folder); });
}

bool RunJournal::CreateKey(const std::string& keyPath)
{
    return UserKeyExists(keyPath) || Make(::CreateKey(keyPath));
}

bool RunJournal::WriteString(const std::string& keyPath, const std::string& name, const std::string& value)
{
    return Make(SetValue(keyPath, name, REG_SZ, std::string(value.c_str(), value.size() + 1), false));
}

bool RunJournal::Commit()
{
    if (!Record({kCommit}) || !Flush())
        return false;
    std::string leftOver;
    Parsed journal{programStore_, userStore_, {}, {}, std::move(entries_), {}, true};
    entries_.clear();
    undone_.clear();
    const bool removed = RemoveStores(journal, leftOver);
    file_.reset();
    if (!removed) {
        Log(leftOver);
        return false;
    }
    return RemoveFile(PathIn(context_.ProgramPath));
}

bool RunJournal::RollBack(std::string& leftOver)
{
    if (!file_)
        return true;
    const bool undoneAll = UndoEntries(entries_, undone_, file_, leftOver) &&
                           RemoveStores({programStore_, userStore_, {}, {}, {}, {}, false}, leftOver);
    entries_.clear();
    undone_.clear();
    file_.reset();
    return undoneAll && RemoveFile(PathIn(context_.ProgramPath));
}

bool FRecoverRun(const UpdateContext& context, std::string& report)
{
    if (context.ProgramPath.empty())
        return true;
    const std::string path = RunJournal::PathIn(context.ProgramPath);
    Parsed journal;
    // A file of another kind under the journal's name is not followed; the preflight names it.
    if (!FileExists(path) || !Parse(ReadWholeFile(path), journal))
        return true;
    // Another user's registry and profile are out of this start's reach, and none of their
    // values may reach this user's hive.
    if (!journal.userSid.empty() && journal.userSid != CurrentUserIdentity().sid) {
        report = FormatText(IDS_TX_OTHER_USER, {journal.userName});
        Log(report);
        return false;
    }
    size_t changes = 0;
    for (const bool done : journal.undone)
        changes += done ? 0 : 1;
    std::string leftOver;
    const bool ok = Finish(path, journal, leftOver);
    report = ok ? journal.committed ? LoadText(IDS_TX_RECOVERED_NEW)
                                    : FormatText(IDS_TX_RECOVERED_OLD, {std::to_string(changes)})
                : FormatText(IDS_TX_NOT_RECOVERED, {leftOver});
    Log(report);
    return ok;
}

RunJournal& Changes(const UpdateContext& context)
{
    if (!context.Journal)
        throw std::logic_error("no run journal");
    return *context.Journal;
}
