#include "util/errors.h"

FileError::FileError(Kind kind, const std::string& path, unsigned long error)
    : std::runtime_error((kind == kRead ? "cannot read " : "cannot write ") + path + " (error " +
                         std::to_string(error) + ")"),
      kind_(kind),
      path_(path),
      error_(error)
{
}

TextError::TextError(const std::string& path, int line)
    : std::runtime_error("no code page 1252 text: " + path + " line " + std::to_string(line)), path_(path), line_(line)
{
}

NumberError::NumberError(const std::string& text) : std::range_error("not a whole number: " + text), text_(text) {}
