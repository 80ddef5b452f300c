#include "shell/startup.h"

#include "resources/resource.h"
#include "update/errors.h"
#include "update/farm.h"
#include "update/records.h"
#include "update/run_journal.h"
#include "update/temp_files.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/registry.h"
#include "util/text.h"
#include "util/errors.h"
#include "util/text_file.h"
#include "util/versions.h"

#include <shlobj.h>


namespace {

constexpr size_t kPathBuffer = 260;
constexpr size_t kCatalogPrefixStart = 5;
constexpr size_t kCatalogPrefixLength = 7;

[[noreturn]] void ThrowWrongType(const std::string& key, const std::string& value)
{
    throw StartupError(FormatText(IDS_WRONG_REGISTRY_TYPE, {value, key}));
}

void ReadDebugSwitch(UpdateContext& context)
{
    context.DebugInfo = false;
    const RegKey key = OpenUserKey(names::kDeveloperKey);
    int value = 0;
    switch (ReadIntegerValue(key, names::kDebugInfoValue, value)) {
    case ValueRead::Ok:
        context.DebugInfo = value == 1;
        break;
    case ValueRead::WrongType:
        ThrowWrongType(names::kDeveloperKey, names::kDebugInfoValue);
    case ValueRead::Missing:
        break;
    }
}

void ReadProgramPath(UpdateContext& context)
{
    context.ProgramPath.clear();
    const RegKey key = OpenUserKey(names::kProductKey);
    std::string value;
    switch (ReadStringValue(key, names::kAppPathValue, value)) {
    case ValueRead::Ok:
        // A blank value would put the installation at the root of the current drive.
        value = Trim(value);
        if (!value.empty())
            context.ProgramPath = value + '\\';
        break;
    case ValueRead::WrongType:
        ThrowWrongType(names::kProductKey, names::kAppPathValue);
    case ValueRead::Missing:
        break;
    }
}

bool IniFlag(const std::string& iniPath, const char* key)
{
    char value[kPathBuffer] = {};
    GetPrivateProfileStringA(names::kUpdatesSection, key, "0", value, static_cast<DWORD>(kPathBuffer),
                             iniPath.c_str());
    return std::string(value) == "1";
}

bool HasOldLayoutFarm(const std::string& programPath)
{
    if (programPath.empty())
        return false;
    for (const std::string& name : EntryNames(programPath + "*.*"))
        if (Farm(name).IsOldLayout(programPath))
            return true;
    return false;
}

void ReadUpdateSettings(UpdateContext& context)
{
    const std::string ini = context.UpdatePath + names::kUpdateIni;
    context.HasProgramFiles = FileExists(context.UpdatePath + names::kMainExe);
    context.ReplacePlausi = IniFlag(ini, names::kReplacePlausiKey);
    context.DeleteAppData = IniFlag(ini, names::kDeleteAppDataKey);
    const std::string catalog = context.UpdatePath + names::kCatalogCsv;
    context.UpdateDataCsvs = FileExists(catalog);
    if (context.UpdateDataCsvs)
        FLoadCatalogList(catalog, context.CatalogList);
    if (context.ReplacePlausi && !FileExists(context.UpdatePath + names::kPlausiCsv))
        context.ReplacePlausi = false;
    context.RestructureFolders = HasOldLayoutFarm(context.ProgramPath);
}

void ReadInstalledVersions(UpdateContext& context)
{
    const std::string oldExe = context.ProgramPath + names::kOldMainExe;
    const std::string installed = FileExists(oldExe) ? oldExe : context.ProgramPath + names::kMainExe;
    ReadVersions(context, installed, context.UpdatePath + names::kMainExe);
}

}  // namespace

bool RereadUpdateSettings(UpdateContext& context, std::string& error)
{
    try {
        ReadUpdateSettings(context);
    } catch (const StartupError& stop) {
        error = stop.what();
        return false;
    }
    return true;
}

StartupResult FillUpdateContext(UpdateContext& context, const std::string& exePath)
{
    StartupStep step = StartupStep::ClearLists;
    std::string recovery;
    try {
        context.CatalogList.clear();
        context.UpdatedFarmList.clear();
        step = StartupStep::DebugSwitch;
        ReadDebugSwitch(context);
        step = StartupStep::UpdateFolder;
        context.UpdatePath = exePath.substr(0, exePath.find_last_of('\\') + 1);
        step = StartupStep::ProgramFolder;
        ReadProgramPath(context);
        step = StartupStep::AppDataFolder;
        context.AppDataPath = GetSpecialFolderPath(names::kCsidlAppData);
        step = StartupStep::TempFolder;
        context.TempPath = TempFolder();
        // What a killed run left behind is cleared up before anything reads the installation:
        // plain farm data, and every change of the run, undone or finished.
        step = StartupStep::Recovery;
        RemoveOwnTempFiles(context.TempPath);
        if (!FRecoverRun(context, recovery))
            throw StartupError(recovery);
        step = StartupStep::UpdateSettings;
        ReadUpdateSettings(context);
        step = StartupStep::Versions;
        ReadInstalledVersions(context);
    } catch (const StartupError& error) {
        return StartupResult{step, error.what(), recovery};
    }
    return StartupResult{StartupStep::None, {}, recovery};
}

void FLoadCatalogList(const std::string& path, std::vector<std::string>& list)
{
    list.clear();
    // The list's text is its entries joined by line breaks; a prefix found anywhere in it is
    // not added again. An empty text is never found, so each short line adds an empty entry.
    // Lines that are no records (a header, say) name no catalogue.
    std::string joined;
    std::string line;
    try {
        LineReader reader(path, LineReader::kShipped);
        while (reader.Next(line)) {
            if (Trim(line).empty() || records::Key(line).empty())
                continue;
            const std::string prefix =
                line.size() > kCatalogPrefixStart ? line.substr(kCatalogPrefixStart, kCatalogPrefixLength) : "";
            if (!prefix.empty() && joined.find(prefix) != std::string::npos)
                continue;
            list.push_back(prefix);
            joined += (list.size() > 1 ? "\r\n" : "") + prefix;
        }
    } catch (const FileError&) {
        throw StartupError(FormatText(IDS_FILE_NOT_READABLE, {path}));
    } catch (const TextError& error) {
        throw StartupError(ErrorText(error));
    }
}

void ReadVersions(UpdateContext& context, const std::string& installedExe, const std::string& updateExe)
{
    context.InstalledVersion = NormalizeVersion(GetFileVersion(installedExe));
    context.UpdateVersion = NormalizeVersion(GetFileVersion(updateExe));
}

bool IsUpdatePossible(const UpdateContext& context)
{
    return ToVersionNumber(context.UpdateVersion) >= ToVersionNumber(context.InstalledVersion);
}

bool IsGridShown(const UpdateContext& context)
{
    return context.ReplacePlausi || context.UpdateDataCsvs;
}

bool IsGridFilled(const UpdateContext& context)
{
    return context.ReplacePlausi || context.UpdateDataCsvs || context.RestructureFolders;
}

std::string StartupHeadline(const UpdateContext& context)
{
    if (!context.HasProgramFiles)
        return LoadText(IDS_HEADLINE);
    return FormatText(IDS_HEADLINE_VERSIONS, {context.InstalledVersion, context.UpdateVersion});
}
