#include "update/run_journal.h"

#include "resources/resource.h"
#include "update/errors.h"
#include "update/file_steps.h"
#include "update/u_log.h"
#include "util/files.h"
#include "util/registry.h"
#include "util/text.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

using Fields = std::vector<std::string>;

constexpr char kJournalName[] = "Kolvano-UpdateTool.journal";
constexpr char kHeader[] = "Kolvano-UpdateTool-Journal";
constexpr char kFormat[] = "1";
constexpr char kStorePrefix[] = "Kolvano-UpdateTool-";
constexpr char kCommit[] = "commit";
// A file or folder this run creates: an undo removes it.
constexpr char kNew[] = "new";
// A replaced or removed file or folder and where its original is kept.
constexpr char kKeep[] = "keep";
// A renamed file or folder, by its old and its new name.
constexpr char kMove[] = "move";
// A registry value with its old type and bytes, or "-" when there was none.
constexpr char kValue[] = "value";
constexpr char kNoValue[] = "-";
// A registry key that did not exist before.
constexpr char kKey[] = "key";

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Hex(const std::string& bytes)
{
    std::string text;
    char digits[3];
    for (const unsigned char byte : bytes) {
        std::snprintf(digits, sizeof(digits), "%02X", byte);
        text += digits;
    }
    return text;
}

bool FromHex(const std::string& text, std::string& bytes)
{
    if (text.size() % 2 != 0)
        return false;
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned int byte = 0;
        if (std::sscanf(text.substr(i, 2).c_str(), "%2X", &byte) != 1)
            return false;
        bytes += static_cast<char>(byte);
    }
    return true;
}

Fields Split(const std::string& line)
{
    Fields fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

std::string Join(const Fields& fields)
{
    std::string line;
    for (const std::string& field : fields)
        line += (line.empty() ? "" : "\t") + field;
    return line + "\r\n";
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

// A journal this tool wrote: the header names two stores, each line is an entry it knows.
struct Parsed {
    std::string programStore;
    std::string tempStore;
    std::vector<Fields> entries;
    bool committed = false;
};

bool IsEntry(const Fields& fields)
{
    const std::string& kind = fields[0];
    return (kind == kNew && fields.size() == 2) || (kind == kKeep && fields.size() == 3) ||
           (kind == kMove && fields.size() == 3) || (kind == kKey && fields.size() == 2) ||
           (kind == kValue && (fields.size() == 4 || fields.size() == 5));
}

bool Parse(const std::string& text, Parsed& parsed)
{
    std::vector<Fields> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(Split(text.substr(start, end - start)));
    // A line cut by the kill is the change that was never made.
    if (lines.empty() || lines[0].size() != 4 || lines[0][0] != kHeader || lines[0][1] != kFormat ||
        !IsStoreName(lines[0][2]) || !IsStoreName(lines[0][3]))
        return false;
    parsed.programStore = lines[0][2];
    parsed.tempStore = lines[0][3];
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].size() == 1 && lines[i][0] == kCommit) {
            parsed.committed = true;
            continue;
        }
        if (!IsEntry(lines[i]))
            return false;
        parsed.entries.push_back(lines[i]);
    }
    return true;
}

std::string ReadWhole(const std::string& path)
{
    const FileHandle file(
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string text;
    char buffer[65536];
    DWORD read = 0;
    while (file && ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    return text;
}

bool UndoValue(const Fields& entry)
{
    const std::string& keyPath = entry[1];
    const std::string& name = entry[2];
    if (entry[3] == kNoValue) {
        const RegKey key = OpenUserKey(keyPath);
        return !key || DeleteValue(key, name);
    }
    std::string bytes;
    return FromHex(entry.size() == 5 ? entry[4] : "", bytes) &&
           WriteRawValue(CreateUserKey(keyPath), name, std::strtoul(entry[3].c_str(), nullptr, 10), bytes);
}

// Whether both names lead to one file: a kept hard link whose target was never replaced.
bool IsSameFile(const std::string& first, const std::string& second)
{
    BY_HANDLE_FILE_INFORMATION info[2] = {};
    const std::string* paths[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        const FileHandle file(CreateFileA(paths[i]->c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !GetFileInformationByHandle(file.get(), &info[i]))
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

// Puts a kept file or folder back in its place.
bool PutBack(const std::string& kept, const std::string& original)
{
    if (!FileExists(kept))
        return MoveFileExA(kept.c_str(), original.c_str(), 0) != 0;
    // The original still stands where it was (a program may hold it): only the second name goes.
    if (IsSameFile(kept, original))
        return RemoveFile(kept);
    if (Exists(original))
        ClearFileAttributes(original);
    return MoveFileExA(kept.c_str(), original.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != 0;
}

// Undoes one entry, also when the change it announces was never made; false with what stays.
bool UndoEntry(const Fields& entry, std::string& leftOver)
{
    const std::string& kind = entry[0];
    bool ok = true;
    if (kind == kNew) {
        const std::string& path = entry[1];
        if (FolderExists(path))
            ok = RemoveDirectoryA(path.c_str()) != 0;
        else if (Exists(path))
            ok = RemoveFile(path);
        if (!ok)
            leftOver = FormatText(IDS_TX_LEFT_NEW, {path});
    } else if (kind == kKeep || kind == kMove) {
        const std::string& original = entry[1];
        const std::string& current = entry[2];
        if (kind == kKeep && Exists(current)) {
            ok = PutBack(current, original);
        } else if (kind == kMove && Exists(current) && !Exists(original)) {
            ok = MoveFileA(current.c_str(), original.c_str()) != 0;
        }
        if (!ok)
            leftOver = FormatText(IDS_TX_LEFT_KEPT, {original, current});
    } else if (kind == kKey) {
        DeleteUserTree(entry[1]);
        ok = !UserKeyExists(entry[1]);
        if (!ok)
            leftOver = FormatText(IDS_TX_LEFT_KEY, {entry[1]});
    } else if (kind == kValue) {
        ok = UndoValue(entry);
        if (!ok)
            leftOver = FormatText(IDS_TX_LEFT_VALUE, {entry[2], entry[1]});
    }
    if (!ok)
        leftOver = WithWindowsError(leftOver, GetLastError());
    return ok;
}

// Last change first; every step is tried, and what failed is named.
bool UndoEntries(const std::vector<Fields>& entries, std::string& leftOver)
{
    bool ok = true;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        std::string left;
        if (!UndoEntry(*entry, left)) {
            leftOver += (ok ? "" : " ") + left;
            ok = false;
        }
    }
    return ok;
}

// The stores hold only what the run kept or staged; they go with the journal, and so do the
// originals kept beside files outside the installation.
bool RemoveStores(const Parsed& journal, std::string& leftOver)
{
    bool ok = true;
    for (const Fields& entry : journal.entries)
        if (entry[0] == kKeep && journal.committed && entry[2].rfind(journal.programStore, 0) != 0 &&
            entry[2].rfind(journal.tempStore, 0) != 0 && FileExists(entry[2]) && !RemoveFile(entry[2])) {
            leftOver += (ok ? "" : " ") + FormatText(IDS_TX_LEFT_NEW, {entry[2]});
            ok = false;
        }
    for (const std::string& store : {journal.programStore, journal.tempStore})
        if (Exists(store) && !DeleteTree(store)) {
            leftOver += (ok ? "" : " ") + FormatText(IDS_TX_LEFT_NEW, {store});
            ok = false;
        }
    return ok;
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
    tempStore_ = context_.TempPath + kStorePrefix + runId_ + "\\";
    const std::string path = PathIn(context_.ProgramPath);
    file_.reset(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    if (!file_) {
        message = WithWindowsError(FormatText(IDS_TX_JOURNAL, {path}), GetLastError());
        return false;
    }
    if (!Record({kHeader, kFormat, programStore_, tempStore_}) || !FlushFileBuffers(file_.get()) ||
        !CreateDirectoryA(programStore_.c_str(), nullptr) || !CreateDirectoryA(tempStore_.c_str(), nullptr)) {
        const DWORD error = GetLastError();
        std::string ignored;
        RollBack(ignored);
        message = WithWindowsError(FormatText(IDS_TX_JOURNAL, {path}), error);
        return false;
    }
    entries_.clear();
    return true;
}

bool RunJournal::Record(const std::vector<std::string>& fields)
{
    const std::string line = Join(fields);
    DWORD written = 0;
    if (!file_ || !WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size())
        return false;
    if (fields[0] != kHeader && fields[0] != kCommit)
        entries_.push_back(fields);
    return true;
}

std::string RunJournal::KeptName(const std::string& path)
{
    return (IsInFolder(path, context_.ProgramPath) ? programStore_ : tempStore_) + std::to_string(++sequence_);
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
    return Record({kNew, staged}) ? staged : std::string();
}

bool RunJournal::Replace(const std::string& staged, const std::string& target)
{
    // Durable before it is visible: after a power cut the target is the old or the whole new file.
    if (!FlushToDisk(staged))
        return false;
    if (!FileExists(target))
        return Creating(target) && MoveFileExA(staged.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    // A file that another program holds against renaming is refused before anything else happens.
    if (!FileHandle(CreateFileA(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)))
        return false;
    const std::string kept = IsInFolder(target, context_.ProgramPath) ? KeptName(target) : BesideName(target, ".alt");
    if (!Record({kKeep, target, kept}))
        return false;
    // The target never goes missing: the original gets a second name, then the new file takes
    // the target's name in one rename.
    if (!CreateHardLinkA(kept.c_str(), target.c_str(), nullptr) && !CopyFileA(target.c_str(), kept.c_str(), TRUE))
        return false;
    ClearFileAttributes(target);
    return MoveFileExA(staged.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RunJournal::Remove(const std::string& path)
{
    const std::string kept = KeptName(path);
    if (!Record({kKeep, path, kept}))
        return false;
    const DWORD flags = FolderExists(path) ? 0 : MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH;
    return MoveFileExA(path.c_str(), kept.c_str(), flags) != 0;
}

bool RunJournal::Rename(const std::string& from, const std::string& to)
{
    return Record({kMove, from, to}) && MoveFileA(from.c_str(), to.c_str());
}

bool RunJournal::Creating(const std::string& path)
{
    if (Exists(path)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    return Record({kNew, path});
}

bool RunJournal::CreateFolder(const std::string& path)
{
    return FolderExists(path) || (Creating(path) && ::CreateFolder(path));
}

bool RunJournal::RecordValue(const std::string& keyPath, const std::string& name)
{
    unsigned long type = 0;
    std::string data;
    if (ReadRawValue(OpenUserKey(keyPath), name, type, data))
        return Record({kValue, keyPath, name, std::to_string(type), Hex(data)});
    return Record({kValue, keyPath, name, kNoValue});
}

bool RunJournal::CreateKey(const std::string& keyPath)
{
    if (UserKeyExists(keyPath))
        return true;
    return Record({kKey, keyPath}) && static_cast<bool>(CreateUserKey(keyPath));
}

bool RunJournal::WriteString(const std::string& keyPath, const std::string& name, const std::string& value)
{
    return RecordValue(keyPath, name) && WriteStringValue(OpenUserKey(keyPath), name, value);
}

bool RunJournal::WriteInteger(const std::string& keyPath, const std::string& name, int value)
{
    return RecordValue(keyPath, name) && WriteIntegerValue(OpenUserKey(keyPath), name, value);
}

bool RunJournal::DeleteValue(const std::string& keyPath, const std::string& name)
{
    return RecordValue(keyPath, name) && ::DeleteValue(OpenUserKey(keyPath), name);
}

void RunJournal::Checkpoint()
{
    if (file_)
        FlushFileBuffers(file_.get());
}

bool RunJournal::Commit()
{
    if (!Record({kCommit}))
        return false;
    Checkpoint();
    std::string leftOver;
    const bool removed = RemoveStores({programStore_, tempStore_, entries_, true}, leftOver);
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
    const bool undone = UndoEntries(entries_, leftOver) && RemoveStores({programStore_, tempStore_, {}, false}, leftOver);
    entries_.clear();
    file_.reset();
    return undone && RemoveFile(PathIn(context_.ProgramPath));
}

bool FRecoverRun(const UpdateContext& context, std::string& report)
{
    if (context.ProgramPath.empty())
        return true;
    const std::string path = RunJournal::PathIn(context.ProgramPath);
    Parsed journal;
    // A file of another kind under the journal's name is not followed; the preflight names it.
    if (!FileExists(path) || !Parse(ReadWhole(path), journal))
        return true;
    std::string leftOver;
    const bool ok = (journal.committed || UndoEntries(journal.entries, leftOver)) &&
                    RemoveStores(journal, leftOver) && RemoveFile(path);
    report = ok ? journal.committed ? LoadText(IDS_TX_RECOVERED_NEW)
                                    : FormatText(IDS_TX_RECOVERED_OLD, {std::to_string(journal.entries.size())})
                : FormatText(IDS_TX_NOT_RECOVERED, {leftOver});
    Log(report);
    return ok;
}
