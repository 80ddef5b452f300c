// The preflight: everything that can be known before the first change, so that a run that
// cannot finish does not begin.
#include "resources/resource.h"
#include "update/errors.h"
#include "update/farm.h"
#include "update/records.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "util/errors.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/text.h"
#include "util/text_file.h"

#include <algorithm>
#include <map>

namespace {

// Room beyond twice the largest data file: the plain copies in the temp folder and the new file
// beside the farm's.
constexpr unsigned long long kMargin = 16ull << 20;
constexpr unsigned long long kMegabyte = 1ull << 20;
constexpr char kProbe[] = "Kolvano-UpdateTool.probe";

void CheckWritable(const std::string& folder, std::vector<std::string>& problems)
{
    const FileHandle probe(CreateFileA((folder + kProbe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!probe)
        problems.push_back(WithWindowsError(FormatText(IDS_PREFLIGHT_NO_WRITE, {folder}), GetLastError()));
}

unsigned long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The catalogue must hold records and nothing but text.
void CheckCatalog(const std::string& path, std::vector<std::string>& problems)
{
    try {
        LineReader reader(path, LineReader::kShipped);
        int records = 0;
        for (std::string line; reader.Next(line);) {
            const auto control = [](char c) { return static_cast<unsigned char>(c) < ' ' && c != '\t'; };
            if (std::any_of(line.begin(), line.end(), control)) {
                problems.push_back(FormatText(IDS_PREFLIGHT_NOT_TEXT, {path, std::to_string(reader.LineNumber())}));
                return;
            }
            records += records::Key(line).empty() ? 0 : 1;
        }
        if (records == 0)
            problems.push_back(FormatText(IDS_PREFLIGHT_NO_RECORD, {path}));
    } catch (const std::exception& error) {
        problems.push_back(ErrorText(error));
    }
}

// A shipped text file saved as UTF-8 must have a code page 1252 form.
void CheckConvertible(const std::string& path, std::vector<std::string>& problems)
{
    if (!FileExists(path))
        return;
    try {
        LineReader reader(path, LineReader::kShipped);
        for (std::string line; reader.Next(line);) {
        }
    } catch (const std::exception& error) {
        problems.push_back(ErrorText(error));
    }
}

// Free space on the drives of the temp folder and of every data file, each drive once.
void CheckSpace(const UpdateContext& context, const std::vector<std::string>& dataFiles,
                std::vector<std::string>& problems)
{
    unsigned long long largest = 0;
    for (const std::string& file : dataFiles)
        largest = std::max(largest, FileSize(file));
    const unsigned long long needed = 2 * largest + kMargin;
    std::map<std::string, std::string> drives;
    drives.emplace(context.TempPath.substr(0, 3), context.TempPath);
    for (const std::string& file : dataFiles)
        drives.emplace(file.substr(0, 3), file.substr(0, file.find_last_of('\\') + 1));
    for (const auto& [drive, folder] : drives) {
        ULARGE_INTEGER free = {};
        if (GetDiskFreeSpaceExA(folder.c_str(), &free, nullptr, nullptr) && free.QuadPart < needed)
            problems.push_back(FormatText(IDS_PREFLIGHT_NO_SPACE, {folder, std::to_string(free.QuadPart / kMegabyte),
                                                                   std::to_string(needed / kMegabyte + 1)}));
    }
}

}  // namespace

std::vector<std::string> FPreflight(const UpdateContext& context, const std::vector<std::string>& farms)
{
    std::vector<std::string> problems;
    if (context.HasProgramFiles) {
        problems = FProgramFileProblems(context);
        CheckWritable(context.ProgramPath, problems);
    }
    if (context.ReplacePlausi || context.UpdateDataCsvs || context.RestructureFolders) {
        std::vector<std::string> dataFiles;
        for (const std::string& name : farms) {
            const Farm farm(name);
            if (FolderExists(farm.CsvFolder(context.ProgramPath)))
                CheckWritable(farm.CsvFolder(context.ProgramPath), problems);
            try {
                for (const std::string& file : FFarmDataFiles(context, name))
                    dataFiles.push_back(file);
            } catch (const std::exception& error) {
                problems.push_back(ErrorText(error));
            }
        }
        CheckSpace(context, dataFiles, problems);
    }
    if (context.UpdateDataCsvs)
        CheckCatalog(context.UpdatePath + names::kCatalogCsv, problems);
    if (context.ReplacePlausi)
        CheckConvertible(context.UpdatePath + names::kPlausiCsv, problems);
    for (const char* name : {names::kDocumentList, names::kStructureCsv})
        CheckConvertible(context.UpdatePath + name, problems);
    return problems;
}
