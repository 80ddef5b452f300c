// Text files read and written one line at a time through buffers of fixed size, so memory stays
// flat whatever the size of the file.
#pragma once

#include "util/handles.h"

#include <memory>
#include <string>

// Reads lines ending in CR LF or LF; a last line without line end counts. Throws FileError when
// the file cannot be opened or a read fails.
class LineReader {
public:
    // kCp1252: the bytes as they are. kShipped, for text files that people edit: a file that
    // opens with a UTF-8 byte-order mark is read as UTF-8 and handed out in code page 1252.
    enum Encoding { kCp1252, kShipped };
    explicit LineReader(const std::string& path, Encoding encoding = kCp1252);
    // The next line without its line end; false at the end of the file. Throws TextError for a
    // UTF-8 line that is not valid or holds a character without a code page 1252 form.
    bool Next(std::string& line);
    // The number of the line Next handed out last, counted from 1.
    int LineNumber() const { return lineNumber_; }
    // Whether the file opened with a UTF-8 byte-order mark (kShipped only).
    bool IsUtf8() const { return utf8_; }

private:
    bool Fill();
    bool NextRaw(std::string& line);

    std::string path_;
    bool utf8_ = false;
    int lineNumber_ = 0;
    FileHandle file_;
    std::unique_ptr<char[]> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
};

// Writes lines, each with CR LF. Throws FileError when the file cannot be created or a write
// fails.
class LineWriter {
public:
    enum Mode { kCreate, kAppend };
    LineWriter(const std::string& path, Mode mode);
    void Write(const std::string& line);
    // Writes what is buffered and closes; throws when the data did not reach the file.
    void Close();

private:
    void Flush();

    std::string path_;
    FileHandle file_;
    std::string buffer_;
};

// The shipped text file as code page 1252: the file itself, or, when it was saved as UTF-8 with a
// byte-order mark, its converted copy at converted. Throws TextError or FileError.
std::string ShippedText(const std::string& path, const std::string& converted);
