// The window-free half of start-up against the prefix's registry and file system.
#include "shell/startup.h"
#include "shell/unattended.h"
#include "tests/test_support.h"
#include "update/run_changes.h"
#include "util/registry.h"
#include "util/files.h"
#include "util/session.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

namespace {

const std::string kDeveloper = "Software\\Orvalis\\Development\\KOLVANO3";

// An update folder and an installation folder, with the installation registered.
class StartupTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateFolder(update_));
        ASSERT_TRUE(CreateFolder(install_));
        SetUserString(kProduct, "AppPath", install_);
    }

    StartupResult Fill() { return FillUpdateContext(context_, update_ + "Kolvano-UpdateTool.exe"); }
    void CopyFixture(const std::string& fixture, const std::string& target)
    {
        ASSERT_TRUE(CopyFileA((FixtureFolder() + fixture).c_str(), target.c_str(), FALSE)) << target;
    }

    RegistryScratch registry_;
    ScratchFolder scratch_;
    const std::string update_ = scratch_ / "Update\\";
    const std::string install_ = scratch_ / "Kolvano";
    UpdateContext context_;
};

}  // namespace

TEST_F(StartupTest, FoldersComeFromTheExecutableRegistryAndShell)
{
    const StartupResult result = Fill();
    EXPECT_EQ(result.stoppedAt, StartupStep::None) << result.error;
    EXPECT_EQ(context_.UpdatePath, update_);
    EXPECT_EQ(context_.ProgramPath, install_ + "\\");
    ASSERT_FALSE(context_.AppDataPath.empty());
    EXPECT_EQ(context_.AppDataPath.back(), '\\');
    EXPECT_TRUE(FolderExists(context_.AppDataPath));
    ASSERT_FALSE(context_.TempPath.empty());
    EXPECT_EQ(context_.TempPath.back(), '\\');
    EXPECT_EQ(context_.UpdatePath, update_) << "an earlier value is replaced";
}

// A journal left by a killed run whose undo cannot be finished (a folder stands where the kept
// file must go back) stops start-up there, and the journal stays for the next attempt; once
// the way is free, the next start finishes it.
TEST_F(StartupTest, RecoveryThatCannotFinishStopsStartUp)
{
    const std::string store = install_ + "\\Kolvano-UpdateTool-0000ABCD\\";
    const std::string temp = scratch_ / "Kolvano-UpdateTool-0000ABCD\\";
    ASSERT_TRUE(CreateFolder(store));
    WriteFileBytes(store + "1", "alt");
    ASSERT_TRUE(CreateFolder(install_ + "\\main.pbd"));
    WriteFileBytes(install_ + "\\main.pbd\\x", "x");
    const std::string journal = install_ + "\\Kolvano-UpdateTool.journal";
    WriteFileBytes(journal, "Kolvano-UpdateTool-Journal\t1\t" + store + "\t" + temp + "\r\nkeep\t" + install_ +
                                "\\main.pbd\t" + store + "1\r\n");
    RecordingSink sink;
    StartupResult result = Fill();
    EXPECT_EQ(result.stoppedAt, StartupStep::Recovery);
    EXPECT_EQ(result.error.rfind(Cp1252(u8"Ein abgebrochenes Update konnte nicht zurückgenommen werden: Der vorige "
                                        u8"Stand von ") +
                                     install_ + "\\main.pbd liegt unter " + store + "1.",
                                 0),
              0u)
        << result.error;
    EXPECT_EQ(result.recovery, result.error);
    EXPECT_TRUE(FileExists(journal));

    RemoveTree(install_ + "\\main.pbd");
    result = Fill();
    EXPECT_EQ(result.stoppedAt, StartupStep::None) << result.error;
    EXPECT_EQ(ReadFileBytes(install_ + "\\main.pbd"), "alt");
    EXPECT_FALSE(FileExists(journal));
    EXPECT_FALSE(FolderExists(store));
    EXPECT_EQ(sink.lines.front(), Cp1252(u8"Ein abgebrochenes Update wurde zurückgenommen (1 Änderungen); die "
                                         u8"Installation ist im vorigen Stand."));
}

TEST_F(StartupTest, AppPathIsTrimmedAndAlwaysGetsABackslash)
{
    SetUserString(kProduct, "AppPath", "  " + install_ + "\\  ");
    Fill();
    EXPECT_EQ(context_.ProgramPath, install_ + "\\\\") << "a value ending in a backslash gets a second one";
}

TEST_F(StartupTest, MissingOrBlankAppPathMeansNotInstalled)
{
    SetUserString(kProduct, "AppPath", "   ");
    EXPECT_EQ(Fill().stoppedAt, StartupStep::None);
    EXPECT_EQ(context_.ProgramPath, "");

    DeleteUserKey(kProduct);
    context_.ProgramPath = "stale";
    EXPECT_EQ(Fill().stoppedAt, StartupStep::None);
    EXPECT_EQ(context_.ProgramPath, "");
    EXPECT_FALSE(context_.RestructureFolders) << "no installation, no old-layout scan";
}

TEST_F(StartupTest, WrongRegistryTypesStopStartUpAtTheirStep)
{
    SetUserDword(kProduct, "AppPath", 1);
    StartupResult result = Fill();
    EXPECT_EQ(result.stoppedAt, StartupStep::ProgramFolder);
    EXPECT_EQ(result.error, Cp1252(u8"Ungültiger Datentyp für 'AppPath' im Registrierungsschlüssel "
                                   u8"HKEY_CURRENT_USER\\SOFTWARE\\Orvalis GmbH\\Kolvano."));
    EXPECT_EQ(context_.UpdatePath, update_) << "earlier steps keep their values";
    EXPECT_TRUE(context_.TempPath.empty()) << "later steps do not run";
    EXPECT_FALSE(result.Passed(StartupStep::ProgramFolder));
    EXPECT_TRUE(result.Passed(StartupStep::UpdateFolder));

    SetUserString(kDeveloper, "ShowUpdateDebugInfo", "1");
    context_ = UpdateContext{};
    result = Fill();
    EXPECT_EQ(result.stoppedAt, StartupStep::DebugSwitch);
    EXPECT_TRUE(context_.UpdatePath.empty());
}

TEST_F(StartupTest, DebugSwitchIsOnOnlyForTheValueOne)
{
    EXPECT_EQ(Fill().stoppedAt, StartupStep::None);
    EXPECT_FALSE(context_.DebugInfo) << "no developer key";
    SetUserDword(kDeveloper, "ShowUpdateDebugInfo", 1);
    Fill();
    EXPECT_TRUE(context_.DebugInfo);
    SetUserDword(kDeveloper, "ShowUpdateDebugInfo", 2);
    Fill();
    EXPECT_FALSE(context_.DebugInfo);
}

TEST_F(StartupTest, UpdateIniAndShippedFilesSetThePhaseFlags)
{
    Fill();
    EXPECT_FALSE(context_.HasProgramFiles);
    EXPECT_FALSE(context_.ReplacePlausi);
    EXPECT_FALSE(context_.DeleteAppData);
    EXPECT_FALSE(context_.UpdateDataCsvs);
    EXPECT_FALSE(IsGridShown(context_));

    WriteFileBytes(update_ + "update.ini", "[UPDATES]\r\nReplacePlausiCSV=1\r\nDeleteAppdatas=1\r\n");
    Fill();
    EXPECT_FALSE(context_.ReplacePlausi) << "the flag without CSV_PLAUSI.CSV is cleared";
    EXPECT_TRUE(context_.DeleteAppData);
    EXPECT_FALSE(IsGridShown(context_));

    WriteFileBytes(update_ + "CSV_PLAUSI.CSV", "rules");
    CopyFixture("version_7_0_2_2.exe", update_ + "kolvano3.exe");
    Fill();
    EXPECT_TRUE(context_.ReplacePlausi);
    EXPECT_TRUE(context_.HasProgramFiles);
    EXPECT_TRUE(IsGridShown(context_));

    WriteFileBytes(update_ + "update.ini", "[UPDATES]\r\nReplacePlausiCSV=2\r\nDeleteAppdatas=0\r\n");
    Fill();
    EXPECT_FALSE(context_.ReplacePlausi);
    EXPECT_FALSE(context_.DeleteAppData);
}

// Only a registered farm's own folder is an old-layout farm: not a file, not a stray folder.
TEST_F(StartupTest, OldLayoutScanFindsOnlyRegisteredFarmFolders)
{
    ASSERT_TRUE(CreateFolder(install_ + "\\BNR1234_5_1_1"));
    ASSERT_TRUE(CreateFolder(install_ + "\\bnr1234"));
    SetUserString(kProduct + "\\BNR1234", "Key", "k");
    Fill();
    EXPECT_FALSE(context_.RestructureFolders) << "the prefix is case-sensitive";
    EXPECT_FALSE(IsGridFilled(context_));

    ASSERT_TRUE(RemoveDirectoryA((install_ + "\\bnr1234").c_str()));
    WriteFileBytes(install_ + "\\BNR1234", "a file, not a folder");
    Fill();
    EXPECT_FALSE(context_.RestructureFolders) << "a file is no farm";

    ASSERT_TRUE(DeleteFileA((install_ + "\\BNR1234").c_str()));
    ASSERT_TRUE(CreateFolder(install_ + "\\BNR1234"));
    ASSERT_TRUE(CreateFolder(install_ + "\\BNR1234\\CSV-Dateien"));
    WriteFileBytes(install_ + "\\BNR1234\\CSV-Dateien\\CSV_ALL_DAT.CND", "x");
    ASSERT_TRUE(CreateFolder(install_ + "\\BNR9999"));
    DeleteUserKey(kProduct + "\\BNR1234");
    Fill();
    EXPECT_FALSE(context_.RestructureFolders) << "a folder without a registry key is no farm";

    SetUserString(kProduct + "\\BNR1234\\1_1_1", "Key", "k");
    Fill();
    EXPECT_FALSE(context_.RestructureFolders) << "a farm key with application entries is of the current layout";

    DeleteUserKey(kProduct + "\\BNR1234");
    SetUserString(kProduct + "\\BNR1234", "Key", "k");
    Fill();
    EXPECT_TRUE(context_.RestructureFolders);
    EXPECT_TRUE(IsGridFilled(context_)) << "only the old layout: the grid is filled";
    EXPECT_FALSE(IsGridShown(context_)) << "... but stays hidden";
}

TEST_F(StartupTest, InstalledVersionPrefersTheOldMainExecutable)
{
    CopyFixture("version_7_0_2_2.exe", update_ + "kolvano3.exe");
    Fill();
    EXPECT_EQ(context_.InstalledVersion, "0.00.00.00") << "no installed executable";
    EXPECT_EQ(context_.UpdateVersion, "7.00.02.02");
    EXPECT_EQ(StartupHeadline(context_),
              Cp1252(u8"Update für Programm Kolvano (0.00.00.00) auf die Version 7.00.02.02"));

    CopyFixture("version_65535.exe", install_ + "\\kolvano3.exe");
    CopyFixture("version_2_1_10_123.exe", install_ + "\\kolvano2.exe");
    Fill();
    EXPECT_EQ(context_.InstalledVersion, "2.01.10.123");

    context_.HasProgramFiles = false;
    EXPECT_EQ(StartupHeadline(context_), Cp1252(u8"Update für Programm Kolvano"));
}

TEST_F(StartupTest, CatalogueListKeepsEachPrefixOnce)
{
    WriteFileBytes(update_ + "KATALOGE4UPDATE.CSV",
                   "key=\"D40X0U2A\"; value=\"1\"; enabled=\"1\"\r\n"
                   "key=\"D40X0U2B\"; value=\"2\"; enabled=\"1\"\r\n"  // same prefix
                   "   \r\n"                                            // blank: skipped
                   "key=\"D40X0U3T3C2L1R1\"; value=\"x\"\n"
                   "key=\"X0U3\r\n"  // contained in an earlier entry
                   "Katalog;Satz\r\n"  // a header, no record: names no catalogue
                   "key=\"A\"\r\n");
    const StartupResult result = Fill();
    EXPECT_EQ(result.stoppedAt, StartupStep::None) << result.error;
    EXPECT_TRUE(context_.UpdateDataCsvs);
    EXPECT_EQ(context_.CatalogList, (std::vector<std::string>{"D40X0U2", "D40X0U3", "A\""}));
    EXPECT_TRUE(IsGridShown(context_));

    Fill();
    EXPECT_EQ(context_.CatalogList.size(), 3u) << "a second start-up does not add to the list";
}

TEST(FLoadCatalogList, UnreadableFileIsAnError)
{
    ScratchFolder scratch;
    std::vector<std::string> list = {"old"};
    EXPECT_THROW(FLoadCatalogList(scratch / "missing.csv", list), StartupError);
    WriteFileBytes(scratch / "one.csv", "key=\"K1234567\"\r\n");
    FLoadCatalogList(scratch / "one.csv", list);
    EXPECT_EQ(list, std::vector<std::string>{"K123456"});
}

TEST(GetSpecialFolderPath, ResolvesShellFolders)
{
    const std::string appData = GetSpecialFolderPath(26);
    ASSERT_FALSE(appData.empty());
    EXPECT_EQ(appData.back(), '\\');
    EXPECT_EQ(GetSpecialFolderPath(0x7fff), "") << "an unknown folder yields an empty path";
}

TEST(ReadOptions, SwitchesInAnyCaseWithSlashOrDash)
{
    struct Case {
        std::vector<std::string> args;
        bool quiet, check, help;
        std::string logPath;
        // The argument that the error names; empty when the line is read.
        std::string refused;
    };
    const Case cases[] = {
        {{}, false, false, false, "", ""},
        {{"/quiet"}, true, false, false, "", ""},
        {{"-QUIET", "/Check"}, true, true, false, "", ""},
        {{"/check", "/log:C:\\Ein Ordner\\upd.log"}, false, true, false, "C:\\Ein Ordner\\upd.log", ""},
        {{"/Log=C:\\upd.log", "/quiet"}, true, false, false, "C:\\upd.log", ""},
        {{"/quiet", "-log", "C:\\Ein Ordner\\upd.log"}, true, false, false, "C:\\Ein Ordner\\upd.log", ""},
        {{"/log", "/quiet"}, true, false, false, "", "/log"},
        {{"-?"}, false, false, true, "", ""},
        // After an unknown switch the rest still counts, so that /quiet keeps the boxes away.
        {{"/stumm", "/quiet", "/x"}, true, false, false, "", "/stumm"},
        {{"quiet"}, false, false, false, "", "quiet"},
        {{"/LOG:"}, false, false, false, "", "/LOG:"},
        {{"/quiet:1"}, false, false, false, "", "/quiet:1"},
    };
    for (const Case& test : cases) {
        const Options options = ReadOptions(test.args);
        const std::string line = test.args.empty() ? "(none)" : test.args[0];
        EXPECT_EQ(options.quiet, test.quiet) << line;
        EXPECT_EQ(options.check, test.check) << line;
        EXPECT_EQ(options.help, test.help) << line;
        EXPECT_EQ(options.logPath, test.logPath) << line;
        if (test.refused.empty())
            EXPECT_EQ(options.error, "") << line;
        else
            EXPECT_EQ(options.error,
                      Cp1252(u8"Unbekannte oder unvollständige Angabe in der Befehlszeile: ") + test.refused);
    }
}

TEST(StartRefusal, SystemAccountSecondInstanceAndUnwritableLogEachHaveTheirCode)
{
    PSID system = nullptr;
    PSID administrators = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidA("S-1-5-18", &system));
    ASSERT_TRUE(ConvertStringSidToSidA("S-1-5-32-544", &administrators));
    EXPECT_TRUE(IsLocalSystemSid(system));
    EXPECT_FALSE(IsLocalSystemSid(administrators));
    EXPECT_FALSE(IsLocalSystemSid(nullptr));
    LocalFree(system);
    LocalFree(administrators);
    EXPECT_FALSE(RunsAsLocalSystem());

    {
        const InstanceLock first("Kolvano-UpdateTool-Test");
        const InstanceLock second("Kolvano-UpdateTool-Test");
        EXPECT_TRUE(first.IsFirst());
        EXPECT_FALSE(second.IsFirst());
    }
    EXPECT_TRUE(InstanceLock("Kolvano-UpdateTool-Test").IsFirst());

    ScratchFolder scratch;
    Options quiet = ReadOptions({"/quiet"});
    quiet.logPath = scratch / "verteilung.log";
    EXPECT_EQ(StartRefusal(quiet, false, true), kExitSuccess);
    EXPECT_EQ(StartRefusal(quiet, true, true), kExitSystemAccount);
    EXPECT_NE(ReadFileBytes(quiet.logPath).find("unter dem lokalen Systemkonto gestartet"), std::string::npos);
    EXPECT_EQ(StartRefusal(quiet, false, false), kExitAlreadyRunning);
    EXPECT_NE(ReadFileBytes(quiet.logPath).find(Cp1252(u8"läuft bereits")), std::string::npos);
    quiet.logPath = scratch / "fehlt\\verteilung.log";
    EXPECT_EQ(StartRefusal(quiet, false, true), kExitLogNotWritable);
    EXPECT_FALSE(FileExists(quiet.logPath));
}

namespace {

// One kind of change: the state before, the change, and what must hold after it.
struct ChangeCase {
    const char* kind;
    std::function<void(const std::string&)> before;
    std::function<RunChangePtr(const std::string&)> change;
    std::function<void(const std::string&)> expectMade;
};

const std::string kFarmKey = kProduct + "\\BNR1";

std::string Value(const std::string& key, const std::string& name)
{
    std::string value;
    return ReadStringValue(OpenUserKey(key), name, value) == ValueRead::Ok ? value : "<none>";
}

// Before each change: a file "a" holding "alt", a folder "d", and a farm key with a value.
void Original(const std::string& root)
{
    WriteFileBytes(root + "a", "alt");
    ASSERT_TRUE(CreateFolder(root + "d"));
    SetUserString(kFarmKey, "Key", "geheim");
}

std::string State(const std::string& root)
{
    return InstallationSnapshot(root, true) + Value(kFarmKey, "Key") + "|" + Value(kFarmKey + "\\E", "Key") + "|" +
           (UserKeyExists(kFarmKey + "\\E") ? "E" : "-");
}

const ChangeCase kChangeCases[] = {
    {"replaced file", Original, [](const std::string& root) {
         WriteFileBytes(root + "staged", "neu");
         return KeepOriginal(root + "a", root + "kept", root + "staged");
     }, [](const std::string& root) { EXPECT_EQ(ReadFileBytes(root + "a"), "neu"); }},
    {"removed folder", Original, [](const std::string& root) { return KeepOriginal(root + "d", root + "kept", {}); },
     [](const std::string& root) { EXPECT_FALSE(FolderExists(root + "d")); }},
    {"created file", Original, [](const std::string& root) {
         return CreateNew(root + "n", [](const std::string& path) {
        WriteFileBytes(path, "neu");
        return true;
    });
     }, [](const std::string& root) { EXPECT_EQ(ReadFileBytes(root + "n"), "neu"); }},
    {"renamed file", Original, [](const std::string& root) { return RenameEntry(root + "a", root + "b"); },
     [](const std::string& root) { EXPECT_TRUE(FileExists(root + "b")); }},
    {"registry value", Original, [](const std::string&) {
         return SetValue(kFarmKey, "Key", REG_SZ, std::string("neu", 4), false);
     }, [](const std::string&) { EXPECT_EQ(Value(kFarmKey, "Key"), "neu"); }},
    {"moved registry value", [](const std::string& root) {
         Original(root);
         CreateUserKey(kFarmKey + "\\E");
     }, [](const std::string&) { return MoveValue(kFarmKey, "Key", kFarmKey + "\\E"); },
     [](const std::string&) { EXPECT_EQ(Value(kFarmKey + "\\E", "Key"), "geheim"); }},
    {"created registry key", Original, [](const std::string&) { return CreateKey(kFarmKey + "\\E"); },
     [](const std::string&) { EXPECT_TRUE(UserKeyExists(kFarmKey + "\\E")); }},
};

}  // namespace

// Each kind of change, made and read back from its journal lines as a start after a kill reads
// them: undone, the state is the one before; undone again, nothing changes. No line holds the
// value of a farm key.
TEST(RunChange, EachKindIsUndoneFromItsJournalLineAndAgainChangesNothing)
{
    for (const ChangeCase& row : kChangeCases) {
        SCOPED_TRACE(row.kind);
        RegistryScratch registry;
        ScratchFolder scratch;
        const std::string root = scratch.path();
        row.before(root);
        // A staged file is the run's own: an undo leaves none.
        const std::string before = State(root);
        RunChangePtr change = row.change(root);
        const JournalFields line = change->Line();
        ASSERT_TRUE(change->Make());
        row.expectMade(root);
        for (const std::string& field : line)
            EXPECT_EQ(field.find("geheim"), std::string::npos) << field;

        const RunChangePtr read = RunChange::FromLine(line);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->Line(), line);
        read->TakeIdentity(change->Identity());
        std::string leftOver;
        ASSERT_TRUE(read->Undo(leftOver)) << leftOver;
        EXPECT_EQ(State(root), before);
        EXPECT_TRUE(read->Undo(leftOver)) << leftOver;
        EXPECT_EQ(State(root), before);
        DeleteFileA((root + "kept").c_str());
    }
}

// A created file that is no longer the one the run made (an original put back under its name)
// stays; a kept original that went missing is a failure that names it, never "already undone".
TEST(RunChange, UndoActsOnlyOnWhatTheRunMade)
{
    ScratchFolder scratch;
    const std::string root = scratch.path();
    RunChangePtr created = CreateNew(root + "n", [](const std::string& path) {
        WriteFileBytes(path, "neu");
        return true;
    });
    ASSERT_TRUE(created->Make());
    const RunChangePtr read = RunChange::FromLine(created->Line());
    read->TakeIdentity(created->Identity());
    DeleteFileA((root + "n").c_str());
    WriteFileBytes(root + "n", Cp1252(u8"das Original, zurückgelegt"));
    std::string leftOver;
    EXPECT_TRUE(read->Undo(leftOver));
    EXPECT_EQ(ReadFileBytes(root + "n"), Cp1252(u8"das Original, zurückgelegt"));

    RunChangePtr removed = KeepOriginal(root + "n", root + "kept", {});
    ASSERT_TRUE(removed->Make());
    DeleteFileA((root + "kept").c_str());
    EXPECT_FALSE(removed->Undo(leftOver));
    EXPECT_NE(leftOver.find(root + "kept"), std::string::npos) << leftOver;
}

// The journal of another Windows user's run is neither undone nor finished here: start-up stops
// with a text naming that user, and the journal and its changes stay for them.
TEST_F(StartupTest, AnotherUsersJournalIsLeftToThatUser)
{
    const std::string store = install_ + "\\Kolvano-UpdateTool-0000ABCD\\";
    ASSERT_TRUE(CreateFolder(store));
    WriteFileBytes(store + "1", "alt");
    WriteFileBytes(install_ + "\\main.pbd", "neu");
    const std::string journal = install_ + "\\Kolvano-UpdateTool.journal";
    const std::string text = "Kolvano-UpdateTool-Journal\t2\t" + store + "\t" + scratch_ / "Kolvano-UpdateTool-0000ABCD\\" +
                             "\tS-1-5-21-1-2-3-1001\tPC\\anna\r\nkeep\t" + install_ + "\\main.pbd\t" + store +
                             "1\r\nmade\t0\r\n";
    WriteFileBytes(journal, text);
    const StartupResult result = Fill();
    EXPECT_EQ(result.stoppedAt, StartupStep::Recovery);
    EXPECT_EQ(result.error, Cp1252(u8"Ein abgebrochenes Update muss von Benutzer PC\\anna zurückgenommen werden: Bitte "
                                   u8"lassen Sie diesen Benutzer das UpdateTool starten. Es wurde nichts geändert."));
    EXPECT_EQ(ReadFileBytes(journal), text);
    EXPECT_EQ(ReadFileBytes(install_ + "\\main.pbd"), "neu");
}
