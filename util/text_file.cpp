#include "util/text_file.h"

#include "util/errors.h"
#include "util/text.h"

#include <cstring>
#include <stdexcept>

namespace {

constexpr size_t kBufferSize = 1 << 20;
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// Converts a UTF-8 line in place; false when it is not valid UTF-8 or a character has no code
// page 1252 form.
bool Utf8ToCp1252(std::string& line)
{
    if (line.empty())
        return true;
    const int size = static_cast<int>(line.size());
    const int wideSize = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line.data(), size, nullptr, 0);
    if (wideSize <= 0)
        return false;
    std::wstring wide(static_cast<size_t>(wideSize), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line.data(), size, wide.data(), wideSize);
    BOOL lost = FALSE;
    const int narrowSize =
        WideCharToMultiByte(kTextCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideSize, nullptr, 0, nullptr, &lost);
    if (narrowSize <= 0 || lost)
        return false;
    line.assign(static_cast<size_t>(narrowSize), '\0');
    WideCharToMultiByte(kTextCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideSize, line.data(), narrowSize, nullptr,
                        nullptr);
    return true;
}

}  // namespace

LineReader::LineReader(const std::string& path, Encoding encoding)
    : path_(path),
      file_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                        nullptr)),
      buffer_(std::make_unique_for_overwrite<char[]>(kBufferSize))
{
    if (!file_)
        throw FileError(FileError::kRead, path, GetLastError());
    if (encoding == kShipped && Fill() && end_ >= 3 && std::memcmp(buffer_.get(), kUtf8Mark, 3) == 0) {
        utf8_ = true;
        begin_ = 3;
    }
}

bool LineReader::Fill()
{
    DWORD read = 0;
    if (!ReadFile(file_.get(), buffer_.get(), static_cast<DWORD>(kBufferSize), &read, nullptr))
        throw FileError(FileError::kRead, path_, GetLastError());
    begin_ = 0;
    end_ = read;
    return read > 0;
}

bool LineReader::Next(std::string& line)
{
    if (!NextRaw(line))
        return false;
    ++lineNumber_;
    if (utf8_ && !Utf8ToCp1252(line))
        throw TextError(path_, lineNumber_);
    return true;
}

bool LineReader::NextRaw(std::string& line)
{
    line.clear();
    bool any = false;
    for (;;) {
        if (begin_ == end_ && !Fill())
            break;
        any = true;
        const char* start = buffer_.get() + begin_;
        const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
        if (newline) {
            line.append(start, static_cast<size_t>(newline - start));
            begin_ += static_cast<size_t>(newline - start) + 1;
            break;
        }
        line.append(start, end_ - begin_);
        begin_ = end_;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return any;
}

LineWriter::LineWriter(const std::string& path, Mode mode)
    : path_(path),
      file_(CreateFileA(path.c_str(), mode == kAppend ? FILE_APPEND_DATA : GENERIC_WRITE, 0, nullptr,
                        mode == kAppend ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))
{
    if (!file_)
        throw FileError(FileError::kWrite, path, GetLastError());
    buffer_.reserve(kBufferSize);
}

void LineWriter::Write(const std::string& line)
{
    if (buffer_.size() + line.size() + 2 > kBufferSize)
        Flush();
    buffer_.append(line);
    buffer_.append("\r\n", 2);
}

void LineWriter::Flush()
{
    // A line longer than the buffer goes out in one piece; the buffer only grows for it.
    DWORD written = 0;
    if (!buffer_.empty() && (!WriteFile(file_.get(), buffer_.data(), static_cast<DWORD>(buffer_.size()), &written,
                                        nullptr) ||
                             written != buffer_.size()))
        throw FileError(FileError::kWrite, path_, GetLastError());
    buffer_.clear();
}

void LineWriter::Close()
{
    Flush();
    if (!file_.close())
        throw FileError(FileError::kWrite, path_, GetLastError());
}

std::string ShippedText(const std::string& path, const std::string& converted)
{
    LineReader reader(path, LineReader::kShipped);
    if (!reader.IsUtf8())
        return path;
    LineWriter writer(converted, LineWriter::kCreate);
    for (std::string line; reader.Next(line);)
        writer.Write(line);
    writer.Close();
    return converted;
}
