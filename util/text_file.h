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
    explicit LineReader(const std::string& path);
    // The next line without its line end; false at the end of the file.
    bool Next(std::string& line);

private:
    bool Fill();

    std::string path_;
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
