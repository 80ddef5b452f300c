// Structure files and application data of the farms rewritten in a run.
#include "tests/test_support.h"
#include "update/u_functions.h"
#include "util/files.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <stdexcept>

namespace {

class StructureTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* farm : {"BNR1_100_1_1", "BNR2_200_1_1"}) {
            ASSERT_TRUE(SHCreateDirectoryExA(nullptr, (context().ProgramPath + farm + "\\CSV-Dateien").c_str(),
                                             nullptr) == ERROR_SUCCESS);
            ASSERT_TRUE(SHCreateDirectoryExA(nullptr, AppData(farm).c_str(), nullptr) == ERROR_SUCCESS);
            WriteFileBytes(AppData(farm) + "\\cache.dat", "alt");
        }
        ASSERT_TRUE(CreateFolder(context().ProgramPath + "andere"));
    }

    UpdateContext& context() { return scratch_.context; }
    std::string AppData(const std::string& farm) { return context().AppDataPath + "Kolvano\\" + farm; }
    std::string FarmFile(const std::string& farm)
    {
        return context().ProgramPath + farm + "\\CSV-Dateien\\CSV_ALL_STR.CSV";
    }
    void Ship(const std::string& firstLine) { WriteFileBytes(context().UpdatePath + "CSV_ALL_STR.CSV", firstLine + "\r\nneu\r\n"); }

    ScratchContext scratch_;
    RecordingSink sink_;
};

}  // namespace

TEST_F(StructureTest, NothingRewrittenNothingTouched)
{
    Ship(";version=2015.03.17.01");
    WriteFileBytes(FarmFile("BNR1_100_1_1"), ";version=2014.12.01.00\r\nalt\r\n");
    context().DeleteAppData = true;
    FUpdateStructureCSV(context());
    FDeleteAppData(context());
    EXPECT_EQ(ReadFileBytes(FarmFile("BNR1_100_1_1")), ";version=2014.12.01.00\r\nalt\r\n");
    EXPECT_TRUE(FileExists(AppData("BNR1_100_1_1") + "\\cache.dat"));
    EXPECT_TRUE(sink_.Contains(Cp1252(u8"Struktur-CSV für 'BNR1_100_1_1' wird NICHT aktualisiert. Alte Version.")));
    EXPECT_TRUE(sink_.Contains(Cp1252(u8"Struktur-CSV für 'BNR2_200_1_1' wird NICHT aktualisiert. Alte Version.")));
    EXPECT_FALSE(sink_.Contains("andere"));
}

TEST_F(StructureTest, NewerStampReplacesTheFileAndEmptiesAppData)
{
    Ship(";version=2015.03.17.01");
    WriteFileBytes(FarmFile("BNR1_100_1_1"), ";version=2014.12.01.00\r\nalt\r\n");
    SetFileAttributesA(FarmFile("BNR1_100_1_1").c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string locked = AppData("BNR1_100_1_1") + "\\locked.dat";
    WriteFileBytes(locked, "x");
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CreateFolder(AppData("BNR1_100_1_1") + "\\Unterordner"));
    WriteFileBytes(AppData("BNR1_100_1_1") + "\\Unterordner\\bleibt.dat", "x");
    context().UpdatedFarmList = {"BNR1_100_1_1"};

    FUpdateStructureCSV(context());
    EXPECT_EQ(ReadFileBytes(FarmFile("BNR1_100_1_1")), ";version=2015.03.17.01\r\nneu\r\n");
    EXPECT_TRUE(sink_.Contains(Cp1252(u8"Struktur-CSV für 'BNR1_100_1_1' wird aktualisiert.")));
    EXPECT_TRUE(sink_.Contains(Cp1252(u8"Struktur-CSV für BNR1_100_1_1 wird auf Version 2015031701 aktualisiert. "
                                      u8"Anwendungsdaten werden entfernt.")));
    EXPECT_FALSE(FileExists(locked));
    EXPECT_FALSE(FileExists(AppData("BNR1_100_1_1") + "\\cache.dat"));
    EXPECT_TRUE(FileExists(AppData("BNR1_100_1_1") + "\\Unterordner\\bleibt.dat"));
    EXPECT_TRUE(FileExists(AppData("BNR2_200_1_1") + "\\cache.dat")) << "other farms keep their data";

    // Undone with the run: the old file and the application data are back.
    std::string leftOver;
    EXPECT_TRUE(scratch_.journal.RollBack(leftOver)) << leftOver;
    EXPECT_EQ(ReadFileBytes(FarmFile("BNR1_100_1_1")), ";version=2014.12.01.00\r\nalt\r\n");
    EXPECT_EQ(ReadFileBytes(locked), "x");
    EXPECT_EQ(ReadFileBytes(AppData("BNR1_100_1_1") + "\\cache.dat"), "alt");
}

// A shipped file saved as UTF-8 reaches the farms in code page 1252, without its byte-order mark.
TEST_F(StructureTest, Utf8ShippedFileArrivesInCodePage1252)
{
    WriteFileBytes(context().UpdatePath + "CSV_ALL_STR.CSV", "\xEF\xBB\xBF;version=2016.01.01.01\r\nFl\xC3\xA4" "che\r\n");
    WriteFileBytes(FarmFile("BNR1_100_1_1"), ";version=2014.12.01.00\r\nalt\r\n");
    context().UpdatedFarmList = {"BNR1_100_1_1"};
    FUpdateStructureCSV(context());
    EXPECT_EQ(ReadFileBytes(FarmFile("BNR1_100_1_1")), Cp1252(u8";version=2016.01.01.01\r\nFläche\r\n"));
    EXPECT_FALSE(FileExists(context().TempPath + "CSV_ALL_STR_ANSI.CSV"));
}

TEST_F(StructureTest, EqualStampsChangeNothing)
{
    Ship(";version=2015.03.17.01");
    WriteFileBytes(FarmFile("BNR1_100_1_1"), ";version=2015.03.17.01\r\nalt\r\n");
    context().UpdatedFarmList = {"BNR1_100_1_1"};
    FUpdateStructureCSV(context());
    EXPECT_EQ(ReadFileBytes(FarmFile("BNR1_100_1_1")), ";version=2015.03.17.01\r\nalt\r\n");
    EXPECT_TRUE(FileExists(AppData("BNR1_100_1_1") + "\\cache.dat"));
    EXPECT_TRUE(sink_.Contains(Cp1252(u8"Struktur-CSV für BNR1_100_1_1 ist aktuell (Version: 2015031701) und wird "
                                      u8"nicht aktualisiert. Anwendungsdaten bleiben bestehen.")));
}

TEST_F(StructureTest, MissingStampsCountAsOldAndAsNewest)
{
    const std::string shipped = context().UpdatePath + "CSV_ALL_STR.CSV";
    WriteFileBytes(shipped, ";version=2015.03.17.01\r\n");
    WriteFileBytes(FarmFile("BNR1_100_1_1"), "Kopfzeile ohne Stempel\r\n");
    EXPECT_TRUE(FIsNewerStructureCSV(shipped, FarmFile("BNR1_100_1_1"), "BNR1_100_1_1"));
    WriteFileBytes(shipped, "ohne Stempel\r\n");
    WriteFileBytes(FarmFile("BNR1_100_1_1"), ";version=2099.12.30.99\r\n");
    EXPECT_TRUE(FIsNewerStructureCSV(shipped, FarmFile("BNR1_100_1_1"), "BNR1_100_1_1"));
}

// A farm file that cannot be read would stop every later run: it counts as older. A shipped file
// that cannot be read is an error of the update.
TEST_F(StructureTest, UnreadableFarmFilesCountAsOlderButBadShippedStampsAreErrors)
{
    const std::string shipped = context().UpdatePath + "CSV_ALL_STR.CSV";
    WriteFileBytes(shipped, ";version=2015.03.17.01\r\n");
    EXPECT_TRUE(FIsNewerStructureCSV(shipped, FarmFile("BNR2_200_1_1"), "BNR2_200_1_1"));
    WriteFileBytes(FarmFile("BNR2_200_1_1"), "x;version=2015.03.17.01\r\n");
    EXPECT_TRUE(FIsNewerStructureCSV(shipped, FarmFile("BNR2_200_1_1"), "BNR2_200_1_1"));
    EXPECT_TRUE(sink_.Contains(Cp1252(u8"Struktur-CSV für BNR2_200_1_1 hat keinen lesbaren Versionsstempel und wird "
                                      u8"ersetzt.")));
    WriteFileBytes(shipped, "x;version=2015.03.17.01\r\n");
    EXPECT_THROW(FIsNewerStructureCSV(shipped, FarmFile("BNR2_200_1_1"), "BNR2_200_1_1"), std::range_error);
    DeleteFileA(shipped.c_str());
    EXPECT_THROW(FIsNewerStructureCSV(shipped, FarmFile("BNR2_200_1_1"), "BNR2_200_1_1"), std::runtime_error);
}

TEST_F(StructureTest, DeleteAppDataOnlyForRewrittenFarms)
{
    context().UpdatedFarmList = {"BNR2_200_1_1"};
    FDeleteAppData(context());
    EXPECT_TRUE(FileExists(AppData("BNR1_100_1_1") + "\\cache.dat"));
    EXPECT_FALSE(FileExists(AppData("BNR2_200_1_1") + "\\cache.dat"));
    EXPECT_TRUE(FolderExists(AppData("BNR2_200_1_1"))) << "the folder itself stays";
    EXPECT_NO_THROW(FRemoveFarmAppData(context(), "BNR_ohne_Ordner"));
}
