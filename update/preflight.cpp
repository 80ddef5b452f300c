// The preflight: everything that can be known before the first change, so that a run that
// cannot finish does not begin.
#include "resources/resource.h"
#include "update/errors.h"
#include "update/farm.h"
#include "update/records.h"
#include "update/run_journal.h"
#include "update/u_log.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "util/errors.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/processes.h"
#include "util/text.h"
#include "util/text_file.h"

#include <algorithm>
#include <map>

namespace {

// Room on each drive beyond what the run writes there.
constexpr unsigned long long kMargin = 16ull << 20;
constexpr unsigned long long kMegabyte = 1ull << 20;

// A probe of the tool's own name, created new and gone when closed, so that no file of the user's
// is ever opened; a file that has the name already leads to a second name with the process id.
void CheckWritable(const std::string& folder, std::vector<std::string>& problems)
{
    DWORD error = ERROR_SUCCESS;
    for (const std::string& name : {std::string(), "." + std::to_string(GetCurrentProcessId())}) {
        const std::string probe = folder + "Kolvano-UpdateTool" + name + ".probe";
        const FileHandle file(CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (file)
            return;
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS)
            break;
    }
    problems.push_back(Failure{IDS_PREFLIGHT_NO_WRITE, {folder}, error}.Message());
}

// A document that will be archived, or a data file that will be replaced, must be free to be
// renamed: no program may hold it open. text names the file's kind.
void CheckRenamable(const std::string& path, std::vector<std::string>& problems, size_t& held,
                    unsigned int text = IDS_PREFLIGHT_HELD)
{
    const FileHandle file(CreateFileA(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = GetLastError();
    if (file)
        return;
    problems.push_back(Failure{text, {path}, error}.Message());
    held += IsHeldError(error) ? 1 : 0;
}

// Every farm folder that receives documents takes a new file, and every copy there that will be
// archived can be renamed; every listed document is there to be copied.
void CheckDocuments(const UpdateContext& context, const std::vector<FarmKey>& farms,
                    std::vector<std::string>& problems, size_t& held)
{
    if (!FileExists(context.UpdatePath + names::kDocumentList))
        return;
    const std::vector<std::string> documents = FDocumentNames(context);
    if (documents.empty())
        return;
    for (const std::string& name : documents)
        if (StaysInside(name) && !FileExists(context.UpdatePath + name))
            problems.push_back(FormatText(IDS_FILE_NOT_READABLE, {context.UpdatePath + name}));
    for (const FarmKey& row : farms) {
        const std::string folder = Farm(row.farm).Folder(context.ProgramPath) + "\\";
        if (!FolderExists(folder))
            continue;
        CheckWritable(folder, problems);
        for (const std::string& name : documents) {
            const std::string target = folder + name;
            if (!StaysInside(name))
                problems.push_back(FormatText(IDS_DOC_COPY, {context.UpdatePath + name, target}));
            else if (FolderExists(target))
                problems.push_back(FormatText(IDS_PREFLIGHT_IN_THE_WAY, {target}));
            else if (FileExists(target))
                CheckRenamable(target, problems, held);
        }
    }
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

// The room a run needs on each drive until it commits, by the drive's root.
class SpaceNeeds {
public:
    void Add(const std::string& folder, unsigned long long bytes)
    {
        auto& [place, needed] = drives_[Drive(folder)];
        if (place.empty())
            place = folder;
        needed += bytes;
    }
    // A kept original is a second name of the same data, or a copy where the drive has no hard
    // links.
    void AddKept(const std::string& file)
    {
        DWORD flags = 0;
        const std::string root = Drive(file);
        if (!GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
            !(flags & FILE_SUPPORTS_HARD_LINKS))
            Add(file.substr(0, file.find_last_of('\\') + 1), FileSize(file));
    }
    void Check(std::vector<std::string>& problems) const
    {
        for (const auto& [drive, need] : drives_) {
            const auto& [folder, bytes] = need;
            const unsigned long long needed = bytes + kMargin;
            ULARGE_INTEGER free = {};
            if (GetDiskFreeSpaceExA(folder.c_str(), &free, nullptr, nullptr) && free.QuadPart < needed)
                problems.push_back(FormatText(IDS_PREFLIGHT_NO_SPACE, {folder, std::to_string(free.QuadPart / kMegabyte),
                                                                       std::to_string(needed / kMegabyte + 1)}));
        }
    }

private:
    static std::string Drive(const std::string& path) { return path.substr(0, 3); }
    std::map<std::string, std::pair<std::string, unsigned long long>> drives_;
};

// Free space for the whole run, per drive: the plain copies in the temp folder, every staged
// file (data files, rules, program files, documents) and every kept original that is a copy.
void CheckSpace(const UpdateContext& context, const std::vector<FarmKey>& farms,
                const std::vector<std::string>& dataFiles, std::vector<std::string>& problems)
{
    SpaceNeeds needs;
    unsigned long long largest = 0;
    for (const std::string& file : dataFiles) {
        largest = std::max(largest, FileSize(file));
        needs.Add(file.substr(0, file.find_last_of('\\') + 1), FileSize(file));
        needs.AddKept(file);
    }
    needs.Add(context.TempPath, 2 * largest);
    const std::string& program = context.ProgramPath;
    if (context.ReplacePlausi)
        needs.Add(program, farms.size() * FileSize(context.UpdatePath + names::kPlausiCsv));
    if (context.HasProgramFiles)
        for (const std::string& name : FShippedProgramFiles(context)) {
            needs.Add(program, FileSize(context.UpdatePath + name));
            if (FileExists(program + name))
                needs.AddKept(program + name);
        }
    if (FileExists(context.UpdatePath + names::kDocumentList))
        for (const std::string& name : FDocumentNames(context))
            needs.Add(program, farms.size() * FileSize(context.UpdatePath + name));
    needs.Check(problems);
}

// A farm's old layout, its data folder and its data files; the files are added to dataFiles.
void CheckFarm(const UpdateContext& context, const FarmKey& row, std::vector<std::string>& problems,
               size_t& heldFiles, std::vector<std::string>& dataFiles)
{
    const Farm farm(row.farm);
    std::string message;
    if (context.RestructureFolders && farm.IsOldLayout(context.ProgramPath) &&
        !FCheckOldLayoutFarm(context, farm.Name(), row.key, message))
        problems.push_back(message);
    if (FolderExists(farm.CsvFolder(context.ProgramPath)))
        CheckWritable(farm.CsvFolder(context.ProgramPath), problems);
    try {
        for (const std::string& file : FFarmDataFiles(context, farm.Name())) {
            if (context.UpdateDataCsvs && FileExists(file))
                CheckRenamable(file, problems, heldFiles, IDS_PREFLIGHT_DATA_HELD);
            dataFiles.push_back(file);
        }
    } catch (const std::exception& error) {
        problems.push_back(ErrorText(error));
    }
}

}  // namespace

std::string FRunningProgramsProblem(const UpdateContext& context)
{
    std::string names;
    for (const RunningProgram& program : ProgramsRunningFrom(context.ProgramPath)) {
        if (program.id == GetCurrentProcessId())
            continue;
        Log(FormatText(IDS_RUN_PROGRAM_OPEN, {program.path, std::to_string(program.id)}));
        const std::string name = program.path.substr(program.path.find_last_of('\\') + 1);
        names += (names.empty() ? "" : ", ") + name;
    }
    return names.empty() ? std::string() : FormatText(IDS_RUN_PROGRAMS_OPEN, {names});
}

std::string FFolderNameProblems()
{
    std::string problems;
    std::vector<AnsiFolder> folders = {TempFolderName()};
    for (const int csidl : {names::kCsidlProfile, names::kCsidlDesktop, names::kCsidlPrograms,
                            names::kCsidlCommonPrograms, names::kCsidlAppData, names::kCsidlLocalAppData})
        folders.push_back(SpecialFolderName(csidl));
    for (const AnsiFolder& folder : folders)
        if (!folder.named && !folder.path.empty())
            problems += (problems.empty() ? "" : "\n\n") + FormatText(IDS_PREFLIGHT_FOLDER_NAME, {folder.path});
    return problems;
}

std::string FTempFolderProblem(const UpdateContext& context)
{
    std::vector<std::string> problems;
    if (context.TempPath.empty() || !FolderExists(context.TempPath))
        return FormatText(IDS_RUN_NO_TEMP, {context.TempPath});
    CheckWritable(context.TempPath, problems);
    return problems.empty() ? std::string() : FormatText(IDS_RUN_NO_TEMP, {context.TempPath});
}

std::vector<std::string> FPreflight(const UpdateContext& context, const std::vector<FarmKey>& farms, size_t* held)
{
    size_t heldFiles = 0;
    std::vector<std::string> problems;
    if (context.HasProgramFiles)
        problems = FProgramFileProblems(context, &heldFiles);
    // The journal of every run lies beside the installation.
    const std::string journal = RunJournal::PathIn(context.ProgramPath);
    if (PathExists(journal))
        problems.push_back(FormatText(IDS_PREFLIGHT_IN_THE_WAY, {journal}));
    else
        CheckWritable(context.ProgramPath, problems);
    std::vector<std::string> dataFiles;
    if (context.ReplacePlausi || context.UpdateDataCsvs || context.RestructureFolders) {
        for (const FarmKey& row : farms)
            CheckFarm(context, row, problems, heldFiles, dataFiles);
    }
    try {
        CheckSpace(context, farms, dataFiles, problems);
    } catch (const std::exception& error) {
        problems.push_back(ErrorText(error));
    }
    if (context.UpdateDataCsvs)
        CheckCatalog(context.UpdatePath + names::kCatalogCsv, problems);
    if (context.ReplacePlausi)
        CheckConvertible(context.UpdatePath + names::kPlausiCsv, problems);
    for (const char* name : {names::kDocumentList, names::kStructureCsv})
        CheckConvertible(context.UpdatePath + name, problems);
    try {
        CheckDocuments(context, farms, problems, heldFiles);
    } catch (const std::exception& error) {
        problems.push_back(ErrorText(error));
    }
    if (held)
        *held = heldFiles;
    return problems;
}
