// Key verification against the real library and the prefix's file system.
#include "tests/test_support.h"
#include "update/u_functions.h"
#include "util/files.h"

#include <gtest/gtest.h>

namespace {

class KeyCheckTest : public testing::Test {
protected:
    void SetUp() override
    {
        DemoInstallation demo(scratch_.root.path(), BinFolder());
        demo.AddFarm(farm_, DemoDataCsv(farm_));
        dataFile_ = context().ProgramPath + farm_.FarmId() + "\\CSV-Dateien\\CSV_ALL_DAT.CND";
        original_ = ReadFileBytes(dataFile_);
    }

    UpdateContext& context() { return scratch_.context; }
    bool Check(const std::string& key) { return FIsRightKeyForFile(context(), farm_.FarmId(), dataFile_, key, message_); }
    std::string TempCopy() const { return scratch_.context.TempPath + "DATEN_CSV.CND"; }
    std::string TempPlain() const { return scratch_.context.TempPath + "DATEN_CSV.TXT"; }

    RegistryScratch registry_;
    ScratchContext scratch_;
    DemoFarm farm_{"BNR276001", "4711_1_1", "geheim 1", "Antrag"};
    std::string dataFile_;
    std::string original_;
    std::string message_ = "vorher";
};

}  // namespace

TEST_F(KeyCheckTest, RightKeyPassesQuietlyAndLeavesNoTempFiles)
{
    RecordingSink sink(false);
    EXPECT_TRUE(Check("geheim 1"));
    EXPECT_EQ(message_, "vorher") << "a success leaves the message alone";
    EXPECT_TRUE(sink.lines.empty()) << "without debug output a success writes nothing";
    EXPECT_FALSE(FileExists(TempCopy()));
    EXPECT_FALSE(FileExists(TempPlain()));
    EXPECT_EQ(ReadFileBytes(dataFile_), original_);
}

TEST_F(KeyCheckTest, WrongKeyNamesTheFarm)
{
    RecordingSink sink(false);
    EXPECT_FALSE(Check("geheim1"));
    EXPECT_EQ(message_, Cp1252(u8"Fehler bei Schlüsselprüfung (BNR276001_4711_1_1): Falscher Schlüssel."));
    EXPECT_FALSE(FileExists(TempCopy()));
    EXPECT_FALSE(FileExists(TempPlain()));
    EXPECT_EQ(ReadFileBytes(dataFile_), original_);
}

TEST_F(KeyCheckTest, DebugLinesTraceEveryStepButMaskTheKey)
{
    RecordingSink sink(true);
    EXPECT_TRUE(Check("geheim 1"));
    ASSERT_FALSE(sink.lines.empty());
    EXPECT_EQ(sink.lines.back(), "FIsRightKeyForFile:  Beginn.");
    EXPECT_EQ(sink.lines.front(), "FIsRightKeyForFile:  Ende.");
    EXPECT_TRUE(sink.Contains("FIsRightKeyForFile:  (cndFile) [" + dataFile_ + "] nach (tmpcndFile) [" +
                              TempCopy() + "] kopieren..."));
    EXPECT_TRUE(sink.Contains("      tmpname = " + TempPlain()));
    EXPECT_TRUE(sink.Contains("      key = ********"));
    EXPECT_FALSE(sink.Contains("geheim")) << "the key never reaches the status list";
}

TEST_F(KeyCheckTest, MissingDataFileFailsBeforeTheLibraryIsLoaded)
{
    RecordingSink sink(false);
    ASSERT_TRUE(DeleteFileA((context().UpdatePath + "pbfdec.dll").c_str()));
    const std::string missing = context().ProgramPath + "BNR1\\CSV-Dateien\\CSV_ALL_DAT.CND";
    EXPECT_FALSE(FIsRightKeyForFile(context(), "BNR1", missing, "k", message_));
    EXPECT_EQ(message_, "FIsRightKeyForFile:  (cndFile) [" + missing + "] konnte NICHT nach (tmpcndFile) [" +
                            TempCopy() + "] kopiert werden!");
    EXPECT_EQ(sink.lines, std::vector<std::string>{message_}) << "the failure is logged, nothing else";
}

TEST_F(KeyCheckTest, LeftOverReadOnlyCopyStopsTheCheckAndIsCleanedUp)
{
    RecordingSink sink(false);
    WriteFileBytes(TempCopy(), "alt");
    SetFileAttributesA(TempCopy().c_str(), FILE_ATTRIBUTE_READONLY);
    WriteFileBytes(TempPlain(), Cp1252(u8"entschlüsselte Daten von gestern"));
    EXPECT_FALSE(Check("geheim 1"));
    EXPECT_EQ(message_, "FIsRightKeyForFile:  evtl. vorhandene Datei (tmpcndFile) [" + TempCopy() +
                            Cp1252(u8"] konnte NICHT gelöscht werden!"));
    EXPECT_FALSE(FileExists(TempPlain())) << "no decrypted data stays behind";
    EXPECT_FALSE(FileExists(TempCopy()));
    EXPECT_TRUE(Check("geheim 1")) << "the next check starts clean";
}

TEST_F(KeyCheckTest, MissingLibraryOrExportFails)
{
    RecordingSink sink(false);
    ASSERT_TRUE(DeleteFileA((context().UpdatePath + "pbfdec.dll").c_str()));
    EXPECT_FALSE(Check("geheim 1"));
    EXPECT_EQ(message_, "FIsRightKeyForFile:  pbfdec.dll nicht gefunden!");

    // A library without the export.
    ASSERT_TRUE(CopyFileA((ExeFolder() + "encrypt_only_pbfdec.dll").c_str(),
                          (context().UpdatePath + "pbfdec.dll").c_str(), FALSE));
    EXPECT_FALSE(Check("geheim 1"));
    EXPECT_EQ(message_, "FIsRightKeyForFile:  @FileDecrypt konnte nicht gesetzt werden!");
    EXPECT_FALSE(FileExists(TempCopy()));
}

// An exception that the library leaves unhandled fails that one call, again and again; one that
// it handles itself does not disturb the call.
TEST_F(KeyCheckTest, StructuredExceptionsInsideTheLibraryFailOnlyTheCall)
{
    RecordingSink sink(false);
    const std::string library = context().UpdatePath + "pbfdec.dll";
    const std::string aborted = Cp1252(u8"Fehler bei Schlüsselprüfung (BNR276001_4711_1_1): Die Entschlüsselung wurde "
                                       u8"mit einem Fehler abgebrochen (Ausnahme 0x");
    const struct {
        const char* library;
        bool result;
        std::string message;
    } cases[] = {
        {"raising_pbfdec.dll", false, aborted + "E0F0CAFE in pbfdec.dll)."},
        {"null_pointer_pbfdec.dll", false, aborted + "C0000005 in pbfdec.dll)."},
        {"self_handling_pbfdec.dll", true, "vorher"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.library);
        ASSERT_TRUE(CopyFileA((ExeFolder() + test.library).c_str(), library.c_str(), FALSE));
        for (int call = 0; call < 3; ++call) {
            message_ = "vorher";
            EXPECT_EQ(Check("geheim 1"), test.result);
            EXPECT_EQ(message_, test.message);
        }
        EXPECT_EQ(GetModuleHandleA(library.c_str()), nullptr) << "the library is released";
        EXPECT_FALSE(FileExists(TempPlain()));
        EXPECT_FALSE(FileExists(TempCopy()));
        EXPECT_EQ(ReadFileBytes(dataFile_), original_);
    }
    EXPECT_TRUE(DeleteFileA(library.c_str())) << "nothing holds the library any more";
}
