// What util/ helpers throw. The exceptions carry what failed and Windows' error code; the
// product words them in German for the user.
#pragma once

#include <stdexcept>
#include <string>

// A file that could not be opened, read or written.
class FileError : public std::runtime_error {
public:
    enum Kind { kRead, kWrite };
    FileError(Kind kind, const std::string& path, unsigned long error);

    Kind kind() const { return kind_; }
    const std::string& path() const { return path_; }
    // GetLastError of the call that failed.
    unsigned long error() const { return error_; }

private:
    Kind kind_;
    std::string path_;
    unsigned long error_;
};

// A text that had to be a whole number and is not one (or does not fit).
class NumberError : public std::range_error {
public:
    explicit NumberError(const std::string& text);
    const std::string& text() const { return text_; }

private:
    std::string text_;
};
