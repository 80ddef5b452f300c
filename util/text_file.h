// Text files read and written one line at a time, so memory stays flat whatever their size.
#pragma once

#include <fstream>
#include <memory>
#include <string>

// Reads lines ending in CR LF or LF. Throws std::runtime_error (German text) when the file
// cannot be opened or a read fails.
class LineReader {
public:
    explicit LineReader(const std::string& path);
    // The next line without its line end; false at the end of the file.
    bool Next(std::string& line);

private:
    std::string path_;
    std::unique_ptr<char[]> buffer_;
    std::ifstream in_;
};

// Writes lines, each with CR LF. Throws std::runtime_error (German text) when the file cannot
// be created or a write fails.
class LineWriter {
public:
    enum Mode { kCreate, kAppend };
    LineWriter(const std::string& path, Mode mode);
    void Write(const std::string& line);
    // Flushes and closes; throws when the data did not reach the file.
    void Close();

private:
    std::string path_;
    std::unique_ptr<char[]> buffer_;
    std::ofstream out_;
};
