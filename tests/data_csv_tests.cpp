// Data CSVs rewritten through the real library: records kept, replaced and appended; old files
// left alone; the farm file never lost.
#include "tests/test_support.h"
#include "update/u_functions.h"
#include "util/files.h"
#include "util/handles.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {


std::string Record(const std::string& key, const std::string& value, const std::string& enabled = "1")
{
    return "key=\"" + key + "\"; value=\"" + value + "\"; enabled=\"" + enabled + "\"";
}

const std::string kMarker = Record("D40X0U2T2C17L1R1", "3");
const std::string kOldVersion = Record("D40X0U2T2C13L18R1", "7.00.01.00", "");
const std::string kNewVersion = Record("D40X0U2T2C13L18R1", "7.00.02.02", "");
const std::string kHerd = Record("D40X0U5T1C1L1R1", Cp1252(u8"Milchkühe 40"));
const std::string kNewHerd = Record("D40X0U5T1C1L1R1", Cp1252(u8"Milchkühe 45"));

class DataCsvTest : public testing::Test {
protected:
    void SetUp() override
    {
        context().UpdateVersion = "7.00.02.02";
        context().CatalogList = {"D40X0U5"};
        demo_.ShipFile("KATALOGE4UPDATE.CSV", kNewHerd + "\r\n");
        csvFolder_ = context().ProgramPath + farm_.FarmId() + "\\CSV-Dateien\\";
        demo_.AddFarm(farm_, "x");
        SetUserString(kProduct + "\\BNR1\\100_1_1", "SavePath", "");
    }

    UpdateContext& context() { return scratch_.context; }
    std::string MainFile() const { return csvFolder_ + "CSV_ALL_DAT.CND"; }
    void Store(const std::string& path, const std::string& text, const std::string& key = "geheim")
    {
        EncryptText(BinFolder(), text, path, key);
    }
    std::string Plain(const std::string& path, const std::string& key = "geheim")
    {
        return DecryptText(BinFolder(), path, key);
    }
    bool Modify() { return FModifyDataCSV(context(), farm_.FarmId(), farm_.key, message_); }
    bool TempFilesLeft() const
    {
        return FileExists(scratch_.context.TempPath + "DATEN_CSV.TXT") ||
               FileExists(scratch_.context.TempPath + "DATEN_CSV_M.TXT");
    }

    RegistryScratch registry_;
    ScratchContext scratch_;
    DemoInstallation demo_{scratch_.root.path(), BinFolder()};
    DemoFarm farm_{"BNR1", "100_1_1", "geheim", "Antrag"};
    std::string csvFolder_;
    std::string message_;
    RecordingSink sink_;
};

}  // namespace

TEST_F(DataCsvTest, ReplacesCataloguesByRecordKeyAndStampsTheVersion)
{
    const std::string valueWithPrefix = Record("D40X0U3T3C4L1R1", Cp1252(u8"enthält D40X0U5 im Wert"));
    const std::string comment = "Kommentar D40X0U5 ohne Satzformat";
    const std::string longValue = Record("D40X0U4T1C1L1R1", std::string(1 << 20, '\xE9'));
    // The last line has no line break.
    Store(MainFile(), kMarker + "\r\n" + kOldVersion + "\r\n" + kHerd + "\n" + valueWithPrefix + "\r\n" + comment +
                          "\r\n" + longValue);
    EXPECT_TRUE(Modify());
    EXPECT_EQ(Plain(MainFile()), kMarker + "\r\n" + kNewVersion + "\r\n" + valueWithPrefix + "\r\n" + comment +
                                     "\r\n" + longValue + "\r\n" + kNewHerd + "\r\n");
    EXPECT_EQ(context().UpdatedFarmList, std::vector<std::string>{"BNR1_100_1_1"});
    EXPECT_TRUE(sink_.Contains("Daten-CSV '" + MainFile() + "' wird aktualisiert..."));
    EXPECT_FALSE(TempFilesLeft());
    EXPECT_FALSE(FileExists(MainFile() + ".neu"));
}

TEST_F(DataCsvTest, MissingVersionRecordComesBeforeTheCatalogueRecords)
{
    Store(MainFile(), kMarker + "\r\n" + kHerd + "\r\n");
    EXPECT_TRUE(Modify());
    EXPECT_EQ(Plain(MainFile()), kMarker + "\r\n" + kNewVersion + "\r\n" + kNewHerd + "\r\n");
}

TEST_F(DataCsvTest, VersionRecordsOwnCatalogueIsReplacedToo)
{
    context().CatalogList = {"", "D40X0U2"};
    Store(MainFile(), kMarker + "\r\n" + kOldVersion + "\r\n" + kHerd + "\r\n");
    EXPECT_TRUE(Modify());
    // The marker belongs to that catalogue as well; only the shipped records remain, and the
    // empty catalogue entry removes nothing.
    EXPECT_EQ(Plain(MainFile()), kHerd + "\r\n" + kNewHerd + "\r\n");
}

TEST_F(DataCsvTest, VersionTwoFileStaysAsItWas)
{
    Store(MainFile(), kOldVersion + "\r\n" + kHerd + "\r\n");
    SetFileAttributesA(MainFile().c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string before = ReadFileBytes(MainFile());
    EXPECT_TRUE(Modify());
    EXPECT_EQ(ReadFileBytes(MainFile()), before);
    EXPECT_EQ(GetFileAttributesA(MainFile().c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << "attributes cleared all the same";
    EXPECT_TRUE(sink_.Contains("Daten-CSV '" + MainFile() + "' wird NICHT aktualisiert. Alte Version."));
    EXPECT_TRUE(context().UpdatedFarmList.empty());
}

TEST_F(DataCsvTest, SaveFolderFilesFollowTheMainFile)
{
    RecordingSink debug(true);
    const std::string saveFolder = scratch_.root / "Sicherung\\";
    ASSERT_TRUE(CreateFolder(saveFolder));
    SetUserString(kProduct + "\\BNR1\\100_1_1", "SavePath", " " + saveFolder + " ");
    Store(MainFile(), kMarker + "\r\n" + kHerd + "\r\n");
    Store(saveFolder + "2025.CND", kMarker + "\r\n");
    Store(saveFolder + "fremd.CND", kMarker + "\r\n", Cp1252(u8"anderer Schlüssel"));
    WriteFileBytes(saveFolder + "notiz.txt", "not a data file");
    const std::string foreign = ReadFileBytes(saveFolder + "fremd.CND");

    EXPECT_TRUE(Modify()) << "a file with another key is skipped, not fatal";
    EXPECT_EQ(message_, Cp1252(u8"Fehler beim Aktualisieren der Daten-CSV: Falscher Schlüssel."));
    EXPECT_TRUE(debug.Contains("3 Daten-CSVs zum Aktualisieren gefunden..."));
    EXPECT_EQ(Plain(saveFolder + "2025.CND"), kMarker + "\r\n" + kNewVersion + "\r\n" + kNewHerd + "\r\n");
    EXPECT_EQ(ReadFileBytes(saveFolder + "fremd.CND"), foreign);
    EXPECT_EQ(context().UpdatedFarmList, (std::vector<std::string>{"BNR1_100_1_1", "BNR1_100_1_1"}));
    // Outside the installation (another drive, perhaps) the original is kept beside the file until
    // the run commits, which leaves nothing of the tool's there.
    EXPECT_EQ(EntryNames(saveFolder + "2025.CND.Kolvano-UpdateTool-*.alt").size(), 1u);
    EXPECT_TRUE(scratch_.journal.Commit());
    EXPECT_EQ(EntryNames(saveFolder + "*.Kolvano-UpdateTool-*").size(), 0u);
}

TEST_F(DataCsvTest, FarmWithoutRegistryEntryHandlesOnlyItsMainFile)
{
    RecordingSink debug(true);
    DeleteUserKey(kProduct + "\\BNR1");
    Store(MainFile(), kMarker + "\r\n");
    EXPECT_TRUE(Modify());
    EXPECT_TRUE(debug.Contains("1 Daten-CSVs zum Aktualisieren gefunden..."));
}

TEST_F(DataCsvTest, FileThatCannotBeStoredStaysAndStopsTheRun)
{
    Store(MainFile(), kMarker + "\r\n" + kHerd + "\r\n");
    const std::string before = ReadFileBytes(MainFile());
    {
        // Another program reads the file and lets nobody replace it meanwhile.
        const FileHandle held(CreateFileA(MainFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(Modify());
    }
    EXPECT_EQ(message_,
              Cp1252(u8"Fehler beim Aktualisieren der Daten-CSV: Datei schreibgeschützt. (Windows-Fehler 32: ") +
                  SystemErrorText(32) + ")");
    EXPECT_EQ(ReadFileBytes(MainFile()), before);
    EXPECT_FALSE(TempFilesLeft()) << "no decrypted data stays in the temp folder";
}

// A failure on the tool's own side (here a folder where the edited temp file goes) stops with
// the file and the cause; the farm is not counted as updated and its file stays.
TEST_F(DataCsvTest, FailedEditStopsAndTheFarmIsNotCounted)
{
    Store(MainFile(), kMarker + "\r\n" + kHerd + "\r\n");
    const std::string before = ReadFileBytes(MainFile());
    const std::string edited = context().TempPath + "DATEN_CSV_M.TXT";
    ASSERT_TRUE(CreateFolder(edited));
    EXPECT_FALSE(Modify());
    EXPECT_EQ(message_, "Fehler beim Aktualisieren der Daten-CSV '" + MainFile() + "': Die Datei " + edited +
                            " konnte nicht geschrieben werden. (Windows-Fehler 5: " + SystemErrorText(5) +
                            Cp1252(u8") Die Datei ist unverändert."));
    EXPECT_EQ(ReadFileBytes(MainFile()), before);
    EXPECT_TRUE(context().UpdatedFarmList.empty());
    EXPECT_FALSE(FileExists(context().TempPath + "DATEN_CSV.TXT"));
}

TEST_F(DataCsvTest, SecondRunGivesTheSameData)
{
    // A header and a blank line in the shipped catalogue never reach the data.
    demo_.ShipFile("KATALOGE4UPDATE.CSV", "Katalog;Satz\r\n\r\n" + kNewHerd + "\r\n");
    Store(MainFile(), kMarker + "\r\n" + kOldVersion + "\r\n" + kHerd + "\r\n" + Record("D40X0U3T1C1L1R1", "a") +
                          "\r\n");
    ASSERT_TRUE(Modify());
    const std::string once = Plain(MainFile());
    ASSERT_TRUE(Modify());
    EXPECT_EQ(Plain(MainFile()), once);
}

TEST_F(DataCsvTest, MissingFileOnlySetsTheMessageButAMissingLibraryStops)
{
    EXPECT_TRUE(FModifyDataCSV(context(), "BNR9_900_1_1", "k", message_));
    EXPECT_EQ(message_, "Fehler beim Aktualisieren der Daten-CSV: Datei nicht gefunden.");
    const std::string library = context().UpdatePath + "pbfdec.dll";
    ASSERT_TRUE(DeleteFileA(library.c_str()));
    Store(MainFile(), kMarker + "\r\n");
    EXPECT_FALSE(Modify()) << "a file that was not rewritten is no success";
    EXPECT_EQ(message_, "Fehler beim Aktualisieren der Daten-CSV: Die Datei " + library +
                            " kann nicht gelesen werden (Windows-Fehler 2: " + SystemErrorText(2) + ").");
}

// Libraries that crash inside a call: the file stays as it was and the run stops; a library
// that handles its own exception is left alone.
TEST_F(DataCsvTest, CrashInsideTheLibraryLeavesTheFileAndStops)
{
    Store(MainFile(), kMarker + "\r\n" + kHerd + "\r\n");
    const std::string before = ReadFileBytes(MainFile());
    const struct {
        const char* library;
        bool result;
        std::string message;
    } cases[] = {
        {"raising_pbfdec.dll", false,
         Cp1252(u8"Fehler beim Aktualisieren der Daten-CSV: Die Entschlüsselung wurde mit einem Fehler abgebrochen "
                u8"(Ausnahme 0xE0F0CAFE in pbfdec.dll).")},
        {"null_pointer_pbfdec.dll", false,
         Cp1252(u8"Fehler beim Aktualisieren der Daten-CSV: Die Entschlüsselung wurde mit einem Fehler abgebrochen "
                u8"(Ausnahme 0xC0000005 in pbfdec.dll).")},
        {"self_handling_pbfdec.dll", true, ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.library);
        ASSERT_TRUE(CopyFileA((ExeFolder() + test.library).c_str(), (context().UpdatePath + "pbfdec.dll").c_str(),
                              FALSE));
        message_.clear();
        EXPECT_EQ(Modify(), test.result);
        EXPECT_EQ(message_, test.message);
        EXPECT_EQ(ReadFileBytes(MainFile()), before);
        EXPECT_FALSE(TempFilesLeft());
    }
}

TEST(DataCsvVersion, OnlyTheRecordKeyCounts)
{
    ScratchFolder scratch;
    WriteFileBytes(scratch / "v3.txt", "x\r\n" + kMarker + "\r\n");
    WriteFileBytes(scratch / "v2.txt", Record("D40X0U3T1C1L1R1", "D40X0U2T2C17L1R1") + "\r\n");
    EXPECT_EQ(FGetDataCSVVersion(scratch / "v3.txt"), "3");
    EXPECT_EQ(FGetDataCSVVersion(scratch / "v2.txt"), "2") << "the marker in a value does not count";
    EXPECT_THROW(FGetDataCSVVersion(scratch / "missing.txt"), std::runtime_error);
}
