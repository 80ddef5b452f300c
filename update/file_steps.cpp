#include "update/file_steps.h"

#include "update/u_constants.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/text_file.h"

#include <windows.h>

TempFileGuard::~TempFileGuard()
{
    for (const std::string& path : paths_)
        RemoveFile(path);
}

void RemoveOwnTempFiles(const std::string& tempPath)
{
    for (const char* name :
         {names::kTempCnd, names::kTempPlain, names::kTempEdited, names::kTempPlausi, names::kTempPlausiAnsi})
        RemoveFile(tempPath + name);
}

bool RemoveFile(const std::string& path)
{
    if (!FileExists(path))
        return true;
    ClearFileAttributes(path);
    return DeleteFileA(path.c_str()) != 0;
}

std::string NewFileName(const std::string& target)
{
    return target + ".neu";
}

bool FlushToDisk(const std::string& path)
{
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    return file && FlushFileBuffers(file.get());
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

bool WriteJournal(const std::string& path, const std::vector<std::string>& lines)
{
    try {
        LineWriter writer(path, LineWriter::kCreate);
        for (const std::string& line : lines)
            writer.Write(line);
        writer.Close();
    } catch (const std::exception&) {
        return false;
    }
    return FlushToDisk(path);
}

std::vector<std::string> ReadJournal(const std::string& path)
{
    std::vector<std::string> lines;
    if (!FileExists(path))
        return lines;
    try {
        LineReader reader(path);
        for (std::string line; reader.Next(line);)
            lines.push_back(line);
    } catch (const std::exception&) {
        lines.clear();
    }
    return lines;
}

bool ReplaceByNewFile(const std::string& newFile, const std::string& target)
{
    // Durable before it is visible: after a power cut the target is the old or the whole new file.
    if (!FlushToDisk(newFile))
        return false;
    if (FileExists(target))
        ClearFileAttributes(target);
    return MoveFileExA(newFile.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
