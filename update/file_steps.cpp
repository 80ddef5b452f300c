#include "update/file_steps.h"

#include "update/run_journal.h"
#include "update/u_constants.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/text_file.h"

#include <windows.h>

#include <stdexcept>

TempFileGuard::~TempFileGuard()
{
    for (const std::string& path : paths_)
        RemoveFile(path);
}

void RemoveOwnTempFiles(const std::string& tempPath)
{
    // Without a temp folder the bare names would be taken in the current folder.
    if (tempPath.empty())
        return;
    for (const char* name : {names::kTempCnd, names::kTempPlain, names::kTempEdited, names::kTempPlausi,
                             names::kTempPlausiAnsi, names::kTempStructure})
        RemoveFile(tempPath + name);
}

bool RemoveFile(const std::string& path)
{
    if (!FileExists(path))
        return true;
    ClearFileAttributes(path);
    return DeleteFileA(path.c_str()) != 0;
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

RunJournal& Changes(const UpdateContext& context)
{
    if (!context.Journal)
        throw std::logic_error("no run journal");
    return *context.Journal;
}
