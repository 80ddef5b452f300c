#include "demo/installation.h"

#include "update/farm.h"
#include "update/pbf_library.h"
#include "update/u_functions.h"
#include "update/u_constants.h"
#include "util/files.h"
#include "util/shell_link.h"

#include <windows.h>
#include <shlobj.h>

#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace {

const std::string kProductParent = "SOFTWARE\\Orvalis GmbH";
const std::string kDeveloperParent = "Software\\Orvalis";

void Require(bool ok, const std::string& what)
{
    if (!ok)
        throw std::runtime_error("demo installation: cannot " + what);
}

void CreateFolders(const std::string& path)
{
    Require(SHCreateDirectoryExA(nullptr, path.c_str(), nullptr) == ERROR_SUCCESS || FolderExists(path),
            "create " + path);
}

void SetValue(const std::string& keyPath, const std::string& name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    Require(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) == ERROR_SUCCESS,
            "create key " + keyPath);
    const LONG result = RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    Require(result == ERROR_SUCCESS, "set " + keyPath + "\\" + name);
}

// The records that no demo catalogue replaces, around the data version record.
std::string KeptHead()
{
    return DemoRecord("D40X0U2T2C17L1R1", "3");
}

std::string KeptTail(const DemoFarm& farm)
{
    const std::string id = farm.application.substr(0, farm.application.find('_'));
    return DemoRecord("D40X0U3T3C2L1R1", id) + DemoRecord("D40X0U3T3C4L1R1", farm.description) +
           DemoRecord("D40X0U2T2C20L1R1", "Gr\xFCnland 12,5 ha");
}

}  // namespace

std::string DemoRecord(const std::string& key, const std::string& value, const std::string& enabled)
{
    return "key=\"" + key + "\"; value=\"" + value + "\"; enabled=\"" + enabled + "\"\r\n";
}

std::string DemoDataCsv(const DemoFarm& farm)
{
    return KeptHead() + DemoRecord("D40X0U2T2C13L18R1", "7.00.01.00", "") + KeptTail(farm) +
           DemoRecord("D40X0U5T1C1L1R1", "Milchk\xFChe 40");
}

std::string DemoCatalog()
{
    return DemoRecord("D40X0U5T1C1L1R1", "Milchk\xFChe 45") + DemoRecord("D40X0U5T1C2L1R1", "Jungrinder 12");
}

std::string DemoUpdatedCsv(const DemoFarm& farm, const std::string& version)
{
    return KeptHead() + DemoRecord("D40X0U2T2C13L18R1", version, "") + KeptTail(farm) + DemoCatalog();
}

DemoInstallation::DemoInstallation(const std::string& root, const std::string& binFolder)
    : root_(WithBackslash(root)), binFolder_(WithBackslash(binFolder))
{
    CreateFolders(ProgramPath());
    CreateFolders(UpdatePath());
}

void DemoInstallation::Register() const
{
    const std::string path = ProgramPath();
    SetUserString(names::kProductKey, names::kAppPathValue, path.substr(0, path.size() - 1));
}

void DemoInstallation::AddFarm(const DemoFarm& farm, const std::string& dataCsv) const
{
    const Farm installed(farm.FarmId());
    const std::string entryKey = installed.ValuesKeyPath();
    SetUserString(entryKey, names::kKeyValue, farm.key);
    SetUserString(entryKey, names::kDescriptionValue, farm.description);
    SetUserDword(entryKey, names::kSaveKeyValue, 0);
    SetUserString(entryKey, names::kSavePathValue, "");

    CreateFolders(installed.CsvFolder(ProgramPath()));
    EncryptText(binFolder_, dataCsv, installed.DataFile(ProgramPath()), farm.key);
}

void DemoInstallation::AddOldLayoutFarm(const DemoFarm& farm, const std::string& dataCsv) const
{
    const Farm oldLayout(farm.farm);
    const std::string farmKey = oldLayout.FarmKeyPath();
    SetUserString(farmKey, names::kKeyValue, farm.key);
    SetUserDword(farmKey, names::kSaveKeyValue, 7);
    SetUserString(farmKey, names::kSavePathValue, "");
    CreateFolders(oldLayout.CsvFolder(ProgramPath()));
    EncryptText(binFolder_, dataCsv, oldLayout.DataFile(ProgramPath()), farm.key);
}

std::string DemoInstallation::DataFile(const DemoFarm& farm) const
{
    return Farm(farm.FarmId()).DataFile(ProgramPath());
}

void DemoInstallation::AddStructureFile(const std::string& farmFolder, const std::string& firstLine) const
{
    WriteFileBytes(Farm(farmFolder).StructureFile(ProgramPath()),
                   firstLine + "\r\nEbene;Feld;Typ\r\n1;Fl\xE4" "che;N\r\n");
}

std::string DemoInstallation::AddSaveFile(const DemoFarm& farm, const std::string& name,
                                          const std::string& dataCsv) const
{
    const std::string folder = root_ + "Sicherung\\" + farm.FarmId() + "\\";
    CreateFolders(folder);
    SetUserString(std::string(names::kProductKey) + "\\" + farm.farm + "\\" + farm.application,
                  names::kSavePathValue, folder);
    EncryptText(binFolder_, dataCsv, folder + name, farm.key);
    return folder + name;
}

void DemoInstallation::AddAppData(const DemoFarm& farm, const std::string& appDataFolder) const
{
    const std::string folder = WithBackslash(appDataFolder) + "Kolvano\\" + farm.FarmId() + "\\";
    CreateFolders(folder + "Layouts");
    WriteFileBytes(folder + "Ansicht.cache", "zwischengespeicherte Ansicht");
    WriteFileBytes(folder + "Layouts\\Standard.lay", "Layout");
}

void DemoInstallation::ShipTool() const
{
    ShipCopy(binFolder_ + "Kolvano-UpdateTool.exe", "Kolvano-UpdateTool.exe");
    ShipCopy(binFolder_ + names::kPbfLibrary, names::kPbfLibrary);
}

void DemoInstallation::ShipFile(const std::string& name, const std::string& bytes) const
{
    WriteFileBytes(UpdatePath() + name, bytes);
}

void DemoInstallation::InstallFile(const std::string& name, const std::string& bytes) const
{
    WriteFileBytes(ProgramPath() + name, bytes);
}

void DemoInstallation::ShipCopy(const std::string& source, const std::string& name) const
{
    Require(CopyFileA(source.c_str(), (UpdatePath() + name).c_str(), FALSE) != 0, "copy " + source);
}

void DemoInstallation::InstallCopy(const std::string& source, const std::string& name) const
{
    Require(CopyFileA(source.c_str(), (ProgramPath() + name).c_str(), FALSE) != 0, "copy " + source);
}

void DemoInstallation::SetDebugInfo(unsigned long value) const
{
    SetUserDword(names::kDeveloperKey, names::kDebugInfoValue, value);
}

void EncryptText(const std::string& binFolder, const std::string& text, const std::string& target,
                 const std::string& key)
{
    // The library's key derivation is slow on purpose, and demo installations seal the same texts
    // under the same keys again and again: each is sealed once, and its bytes copied after that.
    static std::map<std::tuple<std::string, std::string, std::string>, std::string> sealed;
    const auto known = sealed.find({binFolder, text, key});
    if (known != sealed.end()) {
        WriteFileBytes(target, known->second);
        return;
    }
    const std::string plain = target + ".plain";
    WriteFileBytes(plain, text);
    PbfLibrary library;
    Require(library.Load(WithBackslash(binFolder)), "load the library from " + binFolder);
    const int result = CallPbf(library.Find(names::kEncryptExport), plain, target, key);
    DeleteFileA(plain.c_str());
    Require(result == PBF_OK, "encrypt " + target);
    sealed[{binFolder, text, key}] = ReadFileBytes(target);
}

std::string DecryptText(const std::string& binFolder, const std::string& source, const std::string& key)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    char plain[MAX_PATH] = {};
    Require(GetTempFileNameA(temp, "dec", 0, plain) != 0, "make a temp file");
    PbfLibrary library;
    Require(library.Load(WithBackslash(binFolder)), "load the library from " + binFolder);
    const int result = CallPbf(library.Find(names::kDecryptExport), source, plain, key);
    const std::string text = result == PBF_OK ? ReadFileBytes(plain) : std::string();
    DeleteFileA(plain);
    Require(result == PBF_OK, "decrypt " + source);
    return text;
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Require(static_cast<bool>(out), "write " + path);
}

void SetUserString(const std::string& keyPath, const std::string& name, const std::string& value)
{
    SetValue(keyPath, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void SetUserDword(const std::string& keyPath, const std::string& name, unsigned long value)
{
    const DWORD data = value;
    SetValue(keyPath, name, REG_DWORD, &data, sizeof(data));
}

void RemoveDemoRegistry()
{
    for (const std::string& path : {kProductParent, kDeveloperParent}) {
        RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    }
}

void RemoveDemoShortcuts()
{
    const std::string desktop = GetSpecialFolderPath(names::kCsidlDesktop);
    for (const char* link : {"Kolvano.lnk", "Kolvano3.lnk"})
        DeleteFileA((desktop + link).c_str());
    for (int csidl : {2, 23}) {
        const std::string folder = GetSpecialFolderPath(csidl) + "Orvalis GmbH";
        if (FolderExists(folder))
            DeleteFolder(folder, false, true, false);
    }
}

std::string BuildDemo(const std::string& root, const std::string& binFolder)
{
    const DemoFarm farms[] = {
        {"BNR276001", "4711_1_1", "Sommerweide", "Agrarf\xF6rderung 2026"},
        {"BNR276001", "4712_1_Z", "Sommerweide", "Erg\xE4nzung Stallbau"},
        {"BNR310777", "5230_1_1", "Hofladen#7", "Gr\xFCnland Ost"},
    };
    const DemoFarm oldFarm{"BNR402000", "8800_1_1", "Altbestand", ""};
    const std::string stubs = WithBackslash(binFolder) + "..\\stubs\\";
    RemoveDemoRegistry();
    for (const char* folder : {"Kolvano", "Update", "Sicherung"})
        if (FolderExists(root + folder))
            DeleteFolder(root + folder, false, true, false);

    DemoInstallation demo(root, binFolder);
    demo.Register();
    const std::string appData = GetSpecialFolderPath(names::kCsidlAppData);
    for (const DemoFarm& farm : farms) {
        demo.AddFarm(farm, DemoDataCsv(farm));
        demo.AddStructureFile(farm.FarmId(), ";version=2014.12.01.00");
        demo.AddAppData(farm, appData);
        WriteFileBytes(demo.ProgramPath() + farm.FarmId() + "\\Merkblatt_2026.pdf", "Merkblatt, Stand 2025");
    }
    demo.AddSaveFile(farms[0], "Sicherung_2025.CND", DemoDataCsv(farms[0]));
    // A farm still in the old layout, which the run moves into the current one.
    demo.AddOldLayoutFarm(oldFarm, DemoDataCsv(oldFarm));
    demo.AddStructureFile(oldFarm.farm, ";version=2014.12.01.00");

    demo.InstallCopy(stubs + "version_7_0_1_0.exe", "kolvano3.exe");
    demo.InstallCopy(stubs + "version_7_0_1_0.exe", "kolvano2.exe");
    for (const char* library : {"main.pbd", "PFCmain.pbd", "qzmail.dll"})
        demo.InstallFile(library, std::string(library) + " 7.00.01.00");
    SetFileAttributesA((demo.ProgramPath() + "main.pbd").c_str(), FILE_ATTRIBUTE_READONLY);
    // The shortcut of the old product name, which the run replaces.
    const std::string desktop = GetSpecialFolderPath(names::kCsidlDesktop);
    if (!desktop.empty())
        CreateShellLink(desktop + names::kOldProduct + ".lnk", demo.ProgramPath() + names::kOldMainExe, "",
                        demo.ProgramPath(), SW_SHOWNORMAL, demo.ProgramPath() + names::kOldMainExe, 0);

    demo.ShipTool();
    demo.ShipCopy(stubs + "version_7_0_2_2.exe", "kolvano3.exe");
    for (const char* library : {"main.pbd", "PFCmain.pbd", "qzmail.dll"})
        demo.ShipFile(library, std::string(library) + " 7.00.02.02");
    demo.ShipFile("update.ini", "[UPDATES]\r\nReplacePlausiCSV=1\r\nDeleteAppdatas=0\r\n");
    demo.ShipFile("KATALOGE4UPDATE.CSV", DemoCatalog());
    demo.ShipFile("CSV_PLAUSI.CSV", "Regel;Feld;Bedingung\r\nP1;Fl\xE4" "che;>0\r\n");
    demo.ShipFile("CSV_ALL_STR.CSV", ";version=2015.03.17.01\r\nEbene;Feld;Typ\r\n1;Fl\xE4" "che;N\r\n");
    demo.ShipFile("Merkblatt_2026.pdf", "Merkblatt, Stand 2026");
    demo.ShipFile("Antragshilfe.pdf", "Antragshilfe 2026");
    demo.ShipFile("DOKUMENTE.TXT", "   7.00.02.00  Merkblatt_2026.pdf;\r\n"
                                   "   7.00.02.00  Antragshilfe.pdf;\r\n"
                                   "   7.00.01.00  Alt.pdf;\r\n");
    return demo.ToolPath();
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    // Through the stream buffer, in blocks: character by character, a build without optimisation
    // takes half a second for the tool's few megabytes.
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

namespace {

void DumpUserKey(const std::string& path, std::string& out)
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    out += "[" + path + "]\n";
    char name[256];
    BYTE data[4096];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof(name);
        DWORD dataSize = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueA(key.get(), i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
            break;
        out += std::string(name, nameSize) + '=' + std::to_string(type) + ':' +
               std::string(reinterpret_cast<const char*>(data), dataSize) + '\n';
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof(name);
        if (RegEnumKeyExA(key.get(), i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        DumpUserKey(path + '\\' + std::string(name, nameSize), out);
    }
}

}  // namespace

std::string InstallationSnapshot(const std::string& folder, bool exactBytes)
{
    std::vector<std::string> files;
    ListFiles(folder, "*", true, &files);
    std::string out;
    for (const std::string& file : files) {
        const std::string bytes = ReadFileBytes(file);
        const std::string extension = FileNameExtension(file);
        const bool varies = _stricmp(extension.c_str(), ".CND") == 0 || _stricmp(extension.c_str(), ".lnk") == 0;
        out += file + '\n' + (exactBytes || !varies ? bytes : std::to_string(bytes.size())) + '\n';
    }
    DumpUserKey(names::kProductKey, out);
    return out;
}
