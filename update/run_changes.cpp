#include "update/run_changes.h"

#include "resources/resource.h"
#include "update/errors.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/registry.h"
#include "util/text.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr char kKeep[] = "keep";
constexpr char kNew[] = "new";
constexpr char kMove[] = "move";
constexpr char kValue[] = "value";
constexpr char kMovedValue[] = "movevalue";
constexpr char kKey[] = "key";
// A registry value that did not exist.
constexpr char kNoValue[] = "-";
// The identity of a created folder.
constexpr char kFolder[] = "folder";

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

// What an undo step left where, with the Windows error of the call that failed; false.
bool Failed(std::string& leftOver, unsigned int text, std::initializer_list<std::string> arguments)
{
    leftOver = AtLastError(text, arguments).Message();
    return false;
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

// A made file by its size and last write time: whatever stands under its name later and differs
// is no longer the run's.
struct FileStamp {
    unsigned long long size = 0;
    unsigned long long written = 0;
    bool operator==(const FileStamp& other) const { return size == other.size && written == other.written; }
};

FileStamp StampOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return {};
    return {(static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
            (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                data.ftLastWriteTime.dwLowDateTime};
}

JournalFields FieldsOf(const FileStamp& stamp)
{
    return {std::to_string(stamp.size), std::to_string(stamp.written)};
}

bool StampFrom(const JournalFields& fields, FileStamp& stamp)
{
    if (fields.size() != 2)
        return false;
    stamp = {std::strtoull(fields[0].c_str(), nullptr, 10), std::strtoull(fields[1].c_str(), nullptr, 10)};
    return true;
}

class KeptOriginal : public RunChange {
public:
    KeptOriginal(std::string original, std::string kept, std::string staged)
        : original_(std::move(original)), kept_(std::move(kept)), staged_(std::move(staged))
    {
    }
    JournalFields Line() const override { return {kKeep, original_, kept_}; }
    std::string KeptBeside() const override { return kept_; }

    bool Make() override
    {
        if (staged_.empty()) {
            const DWORD flags = FolderExists(original_) ? 0 : MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH;
            return MoveFileExA(original_.c_str(), kept_.c_str(), flags) != 0;
        }
        // The target never goes missing: the original gets a second name, then the new file
        // takes the target's name in one rename.
        if (!CreateHardLinkA(kept_.c_str(), original_.c_str(), nullptr) &&
            !CopyFileA(original_.c_str(), kept_.c_str(), TRUE))
            return false;
        ClearFileAttributes(original_);
        return MoveFileExA(staged_.c_str(), original_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }

    // A replaced file names the new file that took its place.
    JournalFields Identity() const override
    {
        return staged_.empty() || FolderExists(original_) ? JournalFields() : FieldsOf(StampOf(original_));
    }
    void TakeIdentity(const JournalFields& fields) override { replaced_ = StampFrom(fields, replacement_); }

    bool Undo(std::string& leftOver) const override
    {
        if (!PathExists(kept_)) {
            // Not made, or put back already: the original stands and is not the run's new file.
            // Otherwise the kept original was lost since the run kept it.
            if (PathExists(original_) && !(replaced_ && StampOf(original_) == replacement_))
                return true;
            SetLastError(ERROR_FILE_NOT_FOUND);
            return Failed(leftOver, IDS_TX_LEFT_LOST, {original_, kept_});
        }
        if (PutBack())
            return true;
        return Failed(leftOver, IDS_TX_LEFT_KEPT, {original_, kept_});
    }

private:
    bool PutBack() const
    {
        if (!FileExists(kept_))
            return !PathExists(original_) && MoveFileExA(kept_.c_str(), original_.c_str(), 0) != 0;
        // The original still stands where it was (a program may hold it): only the second name goes.
        if (IsSameFile(kept_, original_))
            return RemoveFile(kept_);
        if (PathExists(original_))
            ClearFileAttributes(original_);
        return MoveFileExA(kept_.c_str(), original_.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != 0;
    }

    std::string original_;
    std::string kept_;
    std::string staged_;
    FileStamp replacement_;
    bool replaced_ = false;
};

class CreatedEntry : public RunChange {
public:
    CreatedEntry(std::string path, std::function<bool(const std::string&)> make)
        : path_(std::move(path)), make_(std::move(make))
    {
    }
    JournalFields Line() const override { return {kNew, path_}; }

    bool Ready() const override
    {
        if (!PathExists(path_))
            return true;
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    bool Make() override { return make_ && make_(path_); }

    JournalFields Identity() const override
    {
        if (FolderExists(path_))
            return {kFolder};
        return FieldsOf(StampOf(path_));
    }

    void TakeIdentity(const JournalFields& fields) override { identified_ = StampFrom(fields, stamp_); }

    bool Undo(std::string& leftOver) const override
    {
        if (FolderExists(path_)) {
            // A folder that holds something the run did not put there stays with it.
            if (RemoveDirectoryA(path_.c_str()) || GetLastError() == ERROR_DIR_NOT_EMPTY)
                return true;
            return Failed(leftOver, IDS_TX_LEFT_NEW, {path_});
        }
        if (!PathExists(path_))
            return true;
        // A file that is no longer the one the run made (another change put an original back
        // under this name, or someone wrote it since) is not the run's to remove.
        if (identified_ && !(StampOf(path_) == stamp_))
            return true;
        if (RemoveFile(path_))
            return true;
        return Failed(leftOver, IDS_TX_LEFT_NEW, {path_});
    }

private:
    std::string path_;
    std::function<bool(const std::string&)> make_;
    FileStamp stamp_;
    bool identified_ = false;
};

class RenamedEntry : public RunChange {
public:
    RenamedEntry(std::string from, std::string to) : from_(std::move(from)), to_(std::move(to)) {}
    JournalFields Line() const override { return {kMove, from_, to_}; }
    bool Make() override { return MoveFileA(from_.c_str(), to_.c_str()) != 0; }

    // A rename happens whole or not at all: while the old name stands, there is nothing to undo.
    bool Undo(std::string& leftOver) const override
    {
        if (PathExists(from_))
            return true;
        if (!PathExists(to_)) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return Failed(leftOver, IDS_TX_LEFT_LOST, {from_, to_});
        }
        if (MoveFileA(to_.c_str(), from_.c_str()))
            return true;
        return Failed(leftOver, IDS_TX_LEFT_KEPT, {from_, to_});
    }

private:
    std::string from_;
    std::string to_;
};

class ValueChange : public RunChange {
public:
    // The old type and bytes are read when the change is named, before it is made.
    ValueChange(std::string keyPath, std::string name, unsigned long type, std::string data, bool remove)
        : keyPath_(std::move(keyPath)), name_(std::move(name)), type_(type), data_(std::move(data)), remove_(remove)
    {
        hadValue_ = ReadRawValue(OpenUserKey(keyPath_), name_, oldType_, oldData_);
    }
    ValueChange(std::string keyPath, std::string name, bool hadValue, unsigned long oldType, std::string oldData)
        : keyPath_(std::move(keyPath)), name_(std::move(name)), oldType_(oldType), oldData_(std::move(oldData)),
          hadValue_(hadValue)
    {
    }

    JournalFields Line() const override
    {
        if (!hadValue_)
            return {kValue, keyPath_, name_, kNoValue};
        return {kValue, keyPath_, name_, std::to_string(oldType_), Hex(oldData_)};
    }

    bool Make() override
    {
        if (remove_)
            return DeleteValue(OpenUserKey(keyPath_), name_);
        return WriteRawValue(OpenUserKey(keyPath_), name_, type_, data_);
    }

    bool Undo(std::string& leftOver) const override
    {
        bool ok = true;
        if (!hadValue_) {
            const RegKey key = OpenUserKey(keyPath_);
            ok = !key || DeleteValue(key, name_);
        } else {
            ok = WriteRawValue(CreateUserKey(keyPath_), name_, oldType_, oldData_);
        }
        return ok || Failed(leftOver, IDS_TX_LEFT_VALUE, {name_, keyPath_});
    }

private:
    std::string keyPath_;
    std::string name_;
    unsigned long type_ = 0;
    std::string data_;
    bool remove_ = false;
    unsigned long oldType_ = 0;
    std::string oldData_;
    bool hadValue_ = false;
};

class MovedValue : public RunChange {
public:
    MovedValue(std::string fromKey, std::string name, std::string toKey)
        : fromKey_(std::move(fromKey)), name_(std::move(name)), toKey_(std::move(toKey))
    {
    }
    JournalFields Line() const override { return {kMovedValue, fromKey_, name_, toKey_}; }

    bool Make() override { return Move(fromKey_, toKey_); }

    bool Undo(std::string& leftOver) const override
    {
        if (HasValue(toKey_) ? Move(toKey_, fromKey_) : HasValue(fromKey_))
            return true;
        return Failed(leftOver, IDS_TX_LEFT_VALUE, {name_, fromKey_});
    }

private:
    bool HasValue(const std::string& keyPath) const
    {
        unsigned long type = 0;
        std::string data;
        return ReadRawValue(OpenUserKey(keyPath), name_, type, data);
    }

    // Written at its new place before it goes from the old one, so it is never missing.
    bool Move(const std::string& from, const std::string& to) const
    {
        unsigned long type = 0;
        std::string data;
        const RegKey source = OpenUserKey(from);
        if (!ReadRawValue(source, name_, type, data)) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return false;
        }
        return WriteRawValue(CreateUserKey(to), name_, type, data) && DeleteValue(source, name_);
    }

    std::string fromKey_;
    std::string name_;
    std::string toKey_;
};

class CreatedKey : public RunChange {
public:
    explicit CreatedKey(std::string keyPath) : keyPath_(std::move(keyPath)) {}
    JournalFields Line() const override { return {kKey, keyPath_}; }
    bool Make() override { return static_cast<bool>(CreateUserKey(keyPath_)); }

    bool Undo(std::string& leftOver) const override
    {
        DeleteUserTree(keyPath_);
        return !UserKeyExists(keyPath_) || Failed(leftOver, IDS_TX_LEFT_KEY, {keyPath_});
    }

private:
    std::string keyPath_;
};

}  // namespace

RunChangePtr KeepOriginal(const std::string& original, const std::string& kept, const std::string& staged)
{
    return std::make_unique<KeptOriginal>(original, kept, staged);
}

RunChangePtr CreateNew(const std::string& path, std::function<bool(const std::string&)> make)
{
    return std::make_unique<CreatedEntry>(path, std::move(make));
}

RunChangePtr RenameEntry(const std::string& from, const std::string& to)
{
    return std::make_unique<RenamedEntry>(from, to);
}

RunChangePtr SetValue(const std::string& keyPath, const std::string& name, unsigned long type,
                      const std::string& data, bool remove)
{
    return std::make_unique<ValueChange>(keyPath, name, type, data, remove);
}

RunChangePtr MoveValue(const std::string& fromKey, const std::string& name, const std::string& toKey)
{
    return std::make_unique<MovedValue>(fromKey, name, toKey);
}

RunChangePtr CreateKey(const std::string& keyPath)
{
    return std::make_unique<CreatedKey>(keyPath);
}

RunChangePtr RunChange::FromLine(const JournalFields& fields)
{
    const std::string& kind = fields[0];
    if (kind == kNew && fields.size() == 2)
        return CreateNew(fields[1], nullptr);
    if (kind == kKeep && fields.size() == 3)
        return KeepOriginal(fields[1], fields[2], {});
    if (kind == kMove && fields.size() == 3)
        return RenameEntry(fields[1], fields[2]);
    if (kind == kKey && fields.size() == 2)
        return CreateKey(fields[1]);
    if (kind == kMovedValue && fields.size() == 4)
        return MoveValue(fields[1], fields[2], fields[3]);
    if (kind == kValue && fields.size() == 4 && fields[3] == kNoValue)
        return std::make_unique<ValueChange>(fields[1], fields[2], false, 0, std::string());
    std::string bytes;
    if (kind == kValue && fields.size() == 5 && FromHex(fields[4], bytes))
        return std::make_unique<ValueChange>(fields[1], fields[2], true, std::strtoul(fields[3].c_str(), nullptr, 10),
                                             bytes);
    return nullptr;
}
