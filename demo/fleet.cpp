// A rehearsal of a roll-out by software distribution: one demo PC after another, each prepared
// in its own way, the tool started on each as a distribution system starts it (quiet, with a
// log file, nobody at the screen), and one table line per PC.
//   fleet [folder]     (C:\Kolvano-Flotte when none is given)
// Exit code 0 when every PC ended as expected: the exit code, no visible window at any moment,
// nothing changed where the exit code promises that, the new version installed after success.
#include "demo/gui_driver.h"
#include "demo/installation.h"
#include "update/farm.h"
#include "update/u_constants.h"
#include "update/u_log.h"
#include "update/update_folder.h"
#include "util/digest.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/registry.h"
#include "util/session.h"
#include "util/versions.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr DWORD kRunTimeoutMs = 120000;
const DemoFarm kSpoiledFarm{"BNR310777", "5230_1_1", "Hofladen#7", ""};

// A program started from the installation, ended when the owner goes.
class StandIn {
public:
    StandIn() = default;
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;
    ~StandIn() { End(); }

    void Start(const std::string& exe)
    {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        std::string command = "\"" + exe + "\" /warten";
        if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            throw std::runtime_error("cannot start " + exe);
        CloseHandle(info.hThread);
        process_.reset(info.hProcess);
    }
    void End()
    {
        if (process_) {
            TerminateProcess(process_.get(), 0);
            WaitForSingleObject(process_.get(), 5000);
            process_.reset();
        }
    }

private:
    KernelHandle process_;
};

// What a PC needs while the tool runs on it: a program file held open, a tool already running,
// Kolvano open; and what its preparation changed outside its folder, put back when it is done.
struct Pc {
    Pc(const std::string& root, const std::string& bin) : root(root), bin(bin), demo(root, bin) {}
    Pc(const Pc&) = delete;
    Pc& operator=(const Pc&) = delete;
    ~Pc()
    {
        if (restore)
            restore();
    }

    std::string root;
    std::string bin;
    DemoInstallation demo;
    FileHandle heldFile;
    std::unique_ptr<GuiDriver> firstInstance;
    StandIn kolvano;
    std::function<void()> restore;
};

struct PcCase {
    const char* name;
    const char* expectation;
    int code;
    const char* arguments;
    // Whether the run may change the installation.
    bool changes;
    void (*prepare)(Pc& pc);
    // Where the cause can be removed: that, after which a second run brings the whole update.
    void (*cure)(Pc& pc) = nullptr;
    // What else the case promises after its run; empty when it holds.
    std::string (*verify)(const Pc& pc) = nullptr;
};

void Untouched(Pc&) {}

void Release(Pc& pc)
{
    pc.heldFile.reset();
    pc.kolvano.End();
}

void KolvanoOpen(Pc& pc)
{
    pc.kolvano.Start(pc.demo.ProgramPath() + names::kMainExe);
}

// An update of data only (no program files), with Kolvano open.
void KolvanoOpenDataOnly(Pc& pc)
{
    DeleteFileA((pc.demo.UpdatePath() + names::kMainExe).c_str());
    KolvanoOpen(pc);
}

const DemoFarm kOldFarm{"BNR402000", "8800_1_1", "Altbestand", ""};

std::string OldFarmData(const Pc& pc)
{
    return pc.demo.ProgramPath() + kOldFarm.farm + names::kFarmCsvFolder + names::kFarmDataFile;
}

void OldFarmWithoutId(Pc& pc)
{
    EncryptText(pc.bin, DemoRecord("D40X0U2T2C17L1R1", "3"), OldFarmData(pc), kOldFarm.key);
}

void OldFarmWithId(Pc& pc)
{
    EncryptText(pc.bin, DemoDataCsv(kOldFarm), OldFarmData(pc), kOldFarm.key);
}

// A name the run must create, taken by a folder.
void FolderInTheWay(const std::string& path)
{
    DeleteFileA(path.c_str());
    if (!CreateFolder(path))
        throw std::runtime_error("cannot create " + path);
}

std::string ProgramFolderName(const Pc& pc)
{
    return pc.demo.ProgramPath() + "qzmail.dll";
}

std::string JournalName(const Pc& pc)
{
    return pc.demo.ProgramPath() + "Kolvano-UpdateTool.journal";
}

std::string DocumentName(const Pc& pc)
{
    return pc.demo.ProgramPath() + kSpoiledFarm.FarmId() + "\\Antragshilfe.pdf";
}

void ProgramFileFolder(Pc& pc)
{
    FolderInTheWay(ProgramFolderName(pc));
}

void JournalFolder(Pc& pc)
{
    FolderInTheWay(JournalName(pc));
}

void DocumentFolder(Pc& pc)
{
    FolderInTheWay(DocumentName(pc));
}

void RemoveFolders(Pc& pc)
{
    for (const std::string& path : {ProgramFolderName(pc), JournalName(pc), DocumentName(pc)})
        RemoveDirectoryA(path.c_str());
}

// A viewer holds a farm's document open; it can be read, but not renamed.
void HeldDocument(Pc& pc)
{
    const std::string file = pc.demo.ProgramPath() + kSpoiledFarm.FarmId() + "\\Merkblatt_2026.pdf";
    pc.heldFile.reset(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!pc.heldFile)
        throw std::runtime_error("the document cannot be held");
}

// A held document beside a permanent cause: a retry alone would not help, so the code is 9.
void HeldDocumentAndFolder(Pc& pc)
{
    HeldDocument(pc);
    ProgramFileFolder(pc);
}

void ReleaseAndRemoveFolders(Pc& pc)
{
    Release(pc);
    RemoveFolders(pc);
}

void Utf8StructureFile(Pc& pc)
{
    pc.demo.ShipFile(names::kStructureCsv, "\xEF\xBB\xBF;version=2016.01.01.01\r\nEbene;Feld;Typ\r\n1;Fl\xC3\xA4" "che;N\r\n");
}

std::string StructureInCodePage1252(const Pc& pc)
{
    const std::string farmFile = pc.demo.ProgramPath() + kSpoiledFarm.FarmId() + names::kFarmCsvFolder + names::kStructureCsv;
    return ReadFileBytes(farmFile) == ";version=2016.01.01.01\r\nEbene;Feld;Typ\r\n1;Fl\xE4" "che;N\r\n"
               ? ""
               : "structure file not in code page 1252";
}

const char kOwnBackup[] = "eigene Sicherung";

// Files of the user's whose names look like the tool's work.
constexpr const char* kOwnFiles[] = {"utilities.pbd.alt", "main.pbd.neu", "Kolvano-UpdateTool.probe"};

void OwnFiles(Pc& pc)
{
    for (const char* name : kOwnFiles)
        pc.demo.InstallFile(name, kOwnBackup);
}

std::string OwnFilesKept(const Pc& pc)
{
    for (const char* name : kOwnFiles) {
        const std::string path = pc.demo.ProgramPath() + name;
        if (!FileExists(path) || ReadFileBytes(path) != kOwnBackup)
            return std::string("the user's own file was touched: ") + name;
    }
    return "";
}

void UpToDate(Pc& pc)
{
    GuiDriver earlier;
    if (!earlier.Start(pc.demo.ToolPath(), "/quiet") || earlier.WaitForExit(kRunTimeoutMs) != DWORD{0})
        throw std::runtime_error("the preparing update failed");
}

// The value that the guide's detection rule reads.
std::string AppliedNoted(const Pc&)
{
    std::string version;
    return ReadStringValue(OpenUserKey(names::kProductKey), names::kAppliedVersionValue, version) == ValueRead::Ok &&
                   version == "7.00.02.02"
               ? ""
               : "no applied update noted";
}

// The PC is detected as the distribution guide says: the value holds the update's identity.
std::string Detected(const Pc& pc, const char* value)
{
    std::string identity;
    ReadStringValue(OpenUserKey(names::kProductKey), value, identity);
    if (identity.empty() || identity != UpdateIdentity(pc.demo.UpdatePath()))
        return std::string(value) + " is '" + identity + "', not the update's identity";
    return "";
}

std::string DetectedAsApplied(const Pc& pc)
{
    return Detected(pc, names::kAppliedIdValue);
}

std::string DetectedAsChecked(const Pc& pc)
{
    return Detected(pc, names::kCheckedIdValue);
}

// A manifest of the update folder as the signing script writes one, unsigned, which the test
// build checks too; then one listed file changed, as by a copy that broke off.
void TamperedFolder(Pc& pc)
{
    const std::string folder = pc.demo.UpdatePath();
    std::vector<std::string> files;
    ListFiles(folder, "*.*", true, &files);
    std::string manifest = "Kolvano-UpdateManifest 1\r\nproduct Kolvano\r\nversion 7.00.02.02\r\nsequence 1\r\n";
    for (const std::string& file : files) {
        const std::string bytes = ReadFileBytes(file);
        manifest += "file " + Sha256Hex(bytes) + " " + std::to_string(bytes.size()) + " " + file.substr(folder.size()) +
                    "\r\n";
    }
    WriteFileBytes(folder + kManifestName, manifest);
    WriteFileBytes(folder + "qzmail.dll", "qzmail.dll 7.00.0");
}

void RecopyFolder(Pc& pc)
{
    WriteFileBytes(pc.demo.UpdatePath() + "qzmail.dll", "qzmail.dll 7.00.02.02");
}

void WrongKey(Pc&)
{
    SetUserString(Farm(kSpoiledFarm.FarmId()).ValuesKeyPath(), names::kKeyValue, "Winterweide");
}

void MissingKey(Pc&)
{
    RegDeleteKeyValueA(HKEY_CURRENT_USER, Farm(kSpoiledFarm.FarmId()).ValuesKeyPath().c_str(), names::kKeyValue);
}

void HeldProgramFile(Pc& pc)
{
    pc.heldFile.reset(CreateFileA((pc.demo.ProgramPath() + "main.pbd").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!pc.heldFile)
        throw std::runtime_error("main.pbd cannot be held");
}

void NewerInstalled(Pc& pc)
{
    for (const char* exe : {names::kMainExe, names::kOldMainExe})
        pc.demo.InstallCopy(pc.bin + "..\\stubs\\version_7_1_0_0.exe", exe);
}

void NotInstalled(Pc&)
{
    RemoveDemoRegistry();
}

void UnreadableRegistry(Pc&)
{
    SetUserDword(names::kProductKey, names::kAppPathValue, 1);
}

void MissingLibrary(Pc& pc)
{
    DeleteFileA((pc.demo.UpdatePath() + names::kPbfLibrary).c_str());
}

void TextAsLibrary(Pc& pc)
{
    pc.demo.ShipFile(names::kPbfLibrary, "keine Bibliothek\r\n");
}

// Another program reads a farm's data file and lets nobody replace it: the run stops after the
// rules and other farms' data were rewritten, and undoes all of it.
void HeldDataFile(Pc& pc)
{
    const std::string file = Farm(kSpoiledFarm.FarmId()).DataFile(pc.demo.ProgramPath());
    pc.heldFile.reset(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!pc.heldFile)
        throw std::runtime_error("the data file cannot be held");
}

// A document that would land outside its farm folder is refused before anything changes.
void DocumentOutsideFarm(Pc& pc)
{
    pc.demo.ShipFile("Hinweis.pdf", "Hinweis");
    pc.demo.ShipFile("DOKUMENTE.TXT", "   7.00.02.00  Merkblatt_2026.pdf;\r\n"
                                      "   7.00.02.00  ..\\Hinweis.pdf;\r\n");
}

// Another Windows user's run was killed over the shared installation: its journal names that
// user, and one file the run had created.
const char kOtherUser[] = "S-1-5-21-1004336348-1177238915-682003330-1001";

std::string OtherUsersJournal(const Pc& pc, const std::string& sid)
{
    const std::string store = pc.demo.ProgramPath() + "Kolvano-UpdateTool-0000ABCD\\";
    return "Kolvano-UpdateTool-Journal\t2\t" + store + "\t" + pc.root + "Kolvano-UpdateTool-0000ABCD\\\t" + sid +
           "\tPC\\anna\r\nnew\t" + pc.demo.ProgramPath() + "Hinweis-anna.txt\r\nmade\t0\r\n";
}

void OtherUsersRun(Pc& pc)
{
    CreateFolder(pc.demo.ProgramPath() + "Kolvano-UpdateTool-0000ABCD");
    pc.demo.InstallFile("Hinweis-anna.txt", "von der abgebrochenen Sitzung");
    WriteFileBytes(JournalName(pc), OtherUsersJournal(pc, kOtherUser));
}

// That user's start undoes the run (as this user's, since a test has one user).
void OtherUserUndoes(Pc& pc)
{
    WriteFileBytes(JournalName(pc), OtherUsersJournal(pc, CurrentUserIdentity().sid));
}

// A user named with a letter outside code page 1252: the desktop is "...\Lukasz\Desktop" with
// a Polish L (U+0141), the old link on it.
const wchar_t kUserShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

std::wstring Wide(const std::string& ansi)
{
    return std::wstring(ansi.begin(), ansi.end());
}

std::wstring PolishDesktop(const Pc& pc)
{
    return Wide(pc.root) + L"\x0141ukasz\\Desktop\\";
}

void PolishProfile(Pc& pc)
{
    const std::wstring desktop = PolishDesktop(pc);
    CreateDirectoryW((Wide(pc.root) + L"\x0141ukasz").c_str(), nullptr);
    CreateDirectoryW(desktop.c_str(), nullptr);
    const std::string oldDesktop = GetSpecialFolderPath(names::kCsidlDesktop);
    if (!MoveFileW(Wide(oldDesktop + "Kolvano.lnk").c_str(), (desktop + L"Kolvano.lnk").c_str()))
        throw std::runtime_error("the old desktop link cannot be moved");
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kUserShellFolders, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        throw std::runtime_error("the shell folders cannot be set");
    const RegKey owner(key);
    const std::wstring value = desktop.substr(0, desktop.size() - 1);
    RegSetValueExW(key, L"Desktop", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    pc.restore = [oldDesktop] {
        HKEY restored = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kUserShellFolders, 0, KEY_SET_VALUE, &restored) != ERROR_SUCCESS)
            return;
        const RegKey owner(restored);
        const std::wstring old = Wide(oldDesktop.substr(0, oldDesktop.size() - 1));
        RegSetValueExW(restored, L"Desktop", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(old.c_str()),
                       static_cast<DWORD>((old.size() + 1) * sizeof(wchar_t)));
    };
}

std::string LinksOnPolishDesktop(const Pc& pc)
{
    const std::wstring desktop = PolishDesktop(pc);
    if (GetFileAttributesW((desktop + L"Kolvano.lnk").c_str()) != INVALID_FILE_ATTRIBUTES)
        return "the old link stays on the desktop";
    if (GetFileAttributesW((desktop + L"Kolvano3.lnk").c_str()) == INVALID_FILE_ATTRIBUTES)
        return "no new link on the desktop";
    return "";
}

void SecondInstance(Pc& pc)
{
    pc.firstInstance = std::make_unique<GuiDriver>();
    if (!pc.firstInstance->Start(pc.demo.ToolPath()) || !pc.firstInstance->WaitVisible())
        throw std::runtime_error("the first instance did not open its window");
}

const PcCase kFleet[] = {
    {"PC01", "update", 0, "/quiet", true, Untouched},
    {"PC02", "already applied", 0, "/quiet", false, UpToDate, nullptr, AppliedNoted},
    {"PC03", "check passes", 0, "/quiet /check", false, Untouched, nullptr, DetectedAsChecked},
    {"PC04", "wrong key", 8, "/quiet", false, WrongKey},
    {"PC05", "check: wrong key", 8, "/check /quiet", false, WrongKey},
    {"PC06", "key missing", 8, "/quiet", false, MissingKey},
    {"PC07", "program file held", 12, "/quiet", false, HeldProgramFile, Release},
    {"PC08", "installed is newer", 1638, "/quiet", false, NewerInstalled, nullptr, DetectedAsApplied},
    {"PC09", "not installed", 5, "/quiet", false, NotInstalled},
    {"PC10", "registry unreadable", 6, "/quiet", false, UnreadableRegistry},
    {"PC11", "library missing", 7, "/quiet", false, MissingLibrary},
    {"PC12", "library unusable", 7, "/QUIET", false, TextAsLibrary},
    {"PC13", "second instance", 1618, "/quiet", false, SecondInstance},
    {"PC14", "data file held", 12, "-quiet", false, HeldDataFile, Release},
    {"PC15", "bad command line", 1639, "/quiet /stumm", false, Untouched},
    {"PC16", "log not writable", 1622, "/quiet /log:C:\\Kolvano-Flotte-fehlt\\pc.log", false, Untouched},
    {"PC17", "document outside farm", 9, "/quiet", false, DocumentOutsideFarm},
    {"PC18", "folder as program file", 9, "/quiet", false, ProgramFileFolder, RemoveFolders},
    {"PC19", "old farm without id", 9, "/quiet", false, OldFarmWithoutId, OldFarmWithId},
    {"PC20", "folder as document", 9, "/quiet", false, DocumentFolder, RemoveFolders},
    {"PC21", "document held", 12, "/quiet", false, HeldDocument, Release},
    {"PC22", "folder as journal", 9, "/quiet", false, JournalFolder, RemoveFolders},
    {"PC23", "UTF-8 structure file", 0, "/quiet", true, Utf8StructureFile, nullptr, StructureInCodePage1252},
    {"PC24", "own .alt, .neu, .probe", 0, "/quiet", true, OwnFiles, nullptr, OwnFilesKept},
    {"PC25", "Kolvano open", 1618, "/quiet", false, KolvanoOpen, Release},
    {"PC26", "Kolvano open, data only", 1618, "/quiet", false, KolvanoOpenDataOnly},
    {"PC27", "other user's killed run", 11, "/quiet", false, OtherUsersRun, OtherUserUndoes},
    {"PC28", "profile not in CP 1252", 0, "/quiet", true, PolishProfile, nullptr, LinksOnPolishDesktop},
    {"PC29", "held document, folder", 9, "/quiet", false, HeldDocumentAndFolder, ReleaseAndRemoveFolders},
    {"PC30", "update folder tampered", 13, "/quiet", false, TamperedFolder, RecopyFolder},
};

// The first line of the last entry of a log file, without its time stamp.
const std::string kEnd = "==== Ende, R\xFC" "ckgabewert ";
// The first two PCs write into one log, as PCs do that share a folder for their logs.
const std::string kSharedLog = "gemeinsam.log";

std::string LastEntry(const std::string& path)
{
    std::string bytes;
    try {
        bytes = ReadFileBytes(path);
    } catch (const std::exception&) {
        return "-";
    }
    constexpr size_t kStampLength = 21;  // "dd.mm.yyyy hh:mm:ss  "
    std::string last = "-";
    size_t begin = 0;
    while (begin < bytes.size()) {
        size_t end = bytes.find("\r\n", begin);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = bytes.substr(begin, end - begin);
        // The section's closing line with the exit code is not what the run said last.
        if (line.size() > kStampLength && line[2] == '.' && line[5] == '.' && line[13] == ':' &&
            line.compare(kStampLength, kEnd.size(), kEnd) != 0)
            last = line.substr(kStampLength, line.find('\n') - kStampLength);
        begin = end + 2;
    }
    return last;
}

// Every file and product registry value, with the desktop's shortcuts. The detection values that
// a run without changes may note (a 1638 PC, a /check that passed) are left out: the PCs' own
// checks look at them.
std::string Snapshot(const Pc& pc)
{
    std::string snapshot =
        InstallationSnapshot(pc.root) + InstallationSnapshot(GetSpecialFolderPath(names::kCsidlDesktop));
    for (const char* value : {names::kAppliedIdValue, names::kCheckedIdValue}) {
        const std::string line = std::string("\n") + value + "=";
        for (size_t at = snapshot.find(line); at != std::string::npos; at = snapshot.find(line, at))
            snapshot.erase(at + 1, snapshot.find('\n', at + 1) - at);
    }
    return snapshot;
}

struct Result {
    DWORD code = 0;
    double seconds = 0;
    std::string lastLine;
    std::string problem;
};

// Starts the tool as a distribution system does and watches for windows until it ends.
Result RunTool(const Pc& pc, const PcCase& pcCase, const std::string& logPath)
{
    Result result;
    std::string arguments = pcCase.arguments;
    if (arguments.find("/log:") == std::string::npos)
        arguments += " \"/log:" + logPath + "\"";
    const ULONGLONG start = GetTickCount64();
    GuiDriver tool;
    if (!tool.Start(pc.demo.ToolPath(), arguments)) {
        result.problem = "not started";
        return result;
    }
    bool windowSeen = false;
    std::optional<DWORD> code;
    while (!(code = tool.WaitForExit(5)) && GetTickCount64() - start < kRunTimeoutMs)
        windowSeen = windowSeen || tool.ShowsWindow();
    result.seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    if (!code)
        result.problem = "did not end";
    else if (windowSeen)
        result.problem = "showed a window";
    result.code = code.value_or(0);
    return result;
}

// The new release in place: the main program's version, and every farm's documents.
std::string WholeUpdate(const Pc& pc)
{
    if (GetFileVersion(pc.demo.ProgramPath() + names::kMainExe) != GetFileVersion(pc.demo.UpdatePath() + names::kMainExe))
        return "second run: new version not installed";
    for (const std::string& name : EntryNames(pc.demo.ProgramPath() + "BNR*_*")) {
        const std::string folder = pc.demo.ProgramPath() + name + "\\";
        if (!FileExists(folder + "Antragshilfe.pdf") || ReadFileBytes(folder + "Merkblatt_2026.pdf") != "Merkblatt, Stand 2026")
            return "second run: documents of " + name + " missing";
    }
    return "";
}

// The PC's installation lives in root\PC, its log beside it in root\Protokolle.
Result RunPc(const std::string& root, const std::string& bin, const PcCase& pcCase)
{
    const std::string pcRoot = root + "PC\\";
    CreateFolder(pcRoot);
    BuildDemo(pcRoot, bin);
    Pc pc(pcRoot, bin);
    pcCase.prepare(pc);
    const std::string logFolder = root + "Protokolle\\";
    CreateFolder(logFolder);
    const bool shared = pcCase.name == std::string(kFleet[0].name) || pcCase.name == std::string(kFleet[1].name);
    const std::string logPath = logFolder + (shared ? kSharedLog : pcCase.name + std::string(".log"));
    if (pcCase.name != std::string(kFleet[1].name))
        DeleteFileA(logPath.c_str());
    const std::string before = Snapshot(pc);

    Result result = RunTool(pc, pcCase, logPath);
    const std::string tempLog = TempFolder() + RunLog::kFileName;
    result.lastLine = LastEntry(tempLog);
    if (!result.problem.empty())
        return result;
    if (result.code != static_cast<DWORD>(pcCase.code))
        result.problem = "exit code";
    else if (!pcCase.changes && Snapshot(pc) != before)
        result.problem = "changed the installation";
    else if (pcCase.changes && result.code == 0 && GetFileVersion(pc.demo.ProgramPath() + names::kMainExe) !=
                                     GetFileVersion(pc.demo.UpdatePath() + names::kMainExe))
        result.problem = "new version not installed";
    else if (std::string(pcCase.arguments).find("/log:") == std::string::npos && LastEntry(logPath) != result.lastLine)
        result.problem = "log file differs";
    else if (pcCase.verify)
        result.problem = pcCase.verify(pc);
    if (!result.problem.empty() || !pcCase.cure)
        return result;
    // The cause removed, a second run brings the whole update.
    pcCase.cure(pc);
    const PcCase again = {pcCase.name, pcCase.expectation, 0, "/quiet", true, Untouched};
    const Result second = RunTool(pc, again, logPath);
    result.seconds += second.seconds;
    if (!second.problem.empty() || second.code != 0)
        result.problem = "second run: exit " + std::to_string(second.code) + " " + second.problem;
    else
        result.problem = WholeUpdate(pc);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 2) {
        std::fprintf(stderr, "usage: fleet [folder]\n");
        return 2;
    }
    ComApartment com;
    const std::string root = WithBackslash(argc == 2 ? argv[1] : "C:\\Kolvano-Flotte");
    CreateFolder(root);
    int asExpected = 0;
    std::printf("%-5s %-22s %9s %5s %6s  %s\n", "PC", "case", "expected", "exit", "s", "last log line");
    for (const PcCase& pcCase : kFleet) {
        Result result;
        try {
            result = RunPc(root, ExecutableFolder(), pcCase);
        } catch (const std::exception& error) {
            result.problem = std::string("preparation: ") + error.what();
        }
        const std::string verdict = result.problem.empty() ? "" : "  <-- DIFFERS: " + result.problem;
        std::printf("%-5s %-22s %9d %5lu %6.1f  %s%s\n", pcCase.name, pcCase.expectation, pcCase.code, result.code,
                    result.seconds, result.lastLine.c_str(), verdict.c_str());
        std::fflush(stdout);
        asExpected += result.problem.empty() ? 1 : 0;
    }
    const int count = static_cast<int>(std::size(kFleet));
    // The shared log holds one section per run, each closed by its exit code.
    const std::string sharedLog = ReadFileBytes(root + "Protokolle\\" + kSharedLog);
    const auto occurrences = [&](const std::string& text) {
        size_t found = 0;
        for (size_t at = sharedLog.find(text); at != std::string::npos; at = sharedLog.find(text, at + 1))
            ++found;
        return found;
    };
    const bool sectionsApart = occurrences("==== Kolvano-UpdateTool V") == 2 && occurrences("Computer: ") == 2 &&
                               occurrences(kEnd + "0: ") == 2;
    std::printf("shared log: %s\n", sectionsApart ? "two sections, each with its exit code" : "DIFFERS");
    asExpected -= sectionsApart ? 0 : 1;
    std::printf("fleet: %d of %d PCs as expected\n", asExpected, count);
    // Nothing of the last PC stays for other programs of this Windows user.
    RemoveDemoRegistry();
    RemoveDemoShortcuts();
    DeleteFolder(GetSpecialFolderPath(names::kCsidlAppData) + "Kolvano", false, true, false);
    return asExpected == count ? 0 : 1;
}
