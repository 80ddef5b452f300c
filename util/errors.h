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

// A line of a UTF-8 text file that is not valid UTF-8 or holds a character without a code page
// 1252 form.
class TextError : public std::runtime_error {
public:
    TextError(const std::string& path, int line);
    const std::string& path() const { return path_; }
    int line() const { return line_; }

private:
    std::string path_;
    int line_;
};

// A text that had to be a whole number and is not one (or does not fit).
class NumberError : public std::range_error {
public:
    explicit NumberError(const std::string& text);
    const std::string& text() const { return text_; }

private:
    std::string text_;
};
