#include "util/text_file.h"

#include "resources/resource.h"
#include "util/text.h"

#include <stdexcept>

namespace {
constexpr std::streamsize kBufferSize = 1 << 16;
}

LineReader::LineReader(const std::string& path) : path_(path), buffer_(std::make_unique<char[]>(kBufferSize))
{
    in_.rdbuf()->pubsetbuf(buffer_.get(), kBufferSize);
    in_.open(path, std::ios::binary);
    if (!in_)
        throw std::runtime_error(FormatText(IDS_FILE_NOT_READABLE, {path}));
}

bool LineReader::Next(std::string& line)
{
    if (!std::getline(in_, line)) {
        if (in_.bad())
            throw std::runtime_error(FormatText(IDS_FILE_NOT_READABLE, {path_}));
        return false;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

LineWriter::LineWriter(const std::string& path, Mode mode)
    : path_(path), buffer_(std::make_unique<char[]>(kBufferSize))
{
    out_.rdbuf()->pubsetbuf(buffer_.get(), kBufferSize);
    out_.open(path, std::ios::binary | (mode == kAppend ? std::ios::app : std::ios::trunc));
    if (!out_)
        throw std::runtime_error(FormatText(IDS_FILE_NOT_WRITABLE, {path}));
}

void LineWriter::Write(const std::string& line)
{
    out_.write(line.data(), static_cast<std::streamsize>(line.size()));
    out_.write("\r\n", 2);
    if (!out_)
        throw std::runtime_error(FormatText(IDS_FILE_NOT_WRITABLE, {path_}));
}

void LineWriter::Close()
{
    out_.close();
    if (!out_)
        throw std::runtime_error(FormatText(IDS_FILE_NOT_WRITABLE, {path_}));
}
