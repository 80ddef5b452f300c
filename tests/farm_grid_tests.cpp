// Farm rows from the registry: labels, kinds, keys and the grid's row count.
#include "shell/farm_rows.h"
#include "shell/startup.h"
#include "tests/test_support.h"
#include "util/files.h"

#include <gtest/gtest.h>

namespace {


void AddEntry(const std::string& farm, const std::string& entry, const std::string& key,
              const std::string& description)
{
    const std::string path = kProduct + "\\" + farm + "\\" + entry;
    SetUserString(path, "Key", key);
    SetUserString(path, "BezAntrag", description);
}

class FarmGridTest : public testing::Test {
protected:
    RegistryScratch registry_;
    GridRows grid_{"Betriebsnummer", Cp1252(u8"Schlüssel")};
};

}  // namespace

TEST_F(FarmGridTest, NoFarmsLeavesTheDesignTimeRows)
{
    FillFarmGrid(grid_, "");
    EXPECT_EQ(grid_.RowCount(), 2);
    SetUserString(kProduct, "AppPath", "C:\\Kolvano");
    FillFarmGrid(grid_, "");
    EXPECT_EQ(grid_.RowCount(), 2);
    EXPECT_EQ(grid_.Cell(0, 1), "");
    EXPECT_EQ(grid_.Cell(0, 0), "Betriebsnummer");
}

TEST_F(FarmGridTest, OneRowPerApplicationInRegistryOrder)
{
    AddEntry("BNR1", "100_1_1", "k1", "Antrag 2026");
    AddEntry("BNR1", "100_2_Z", "k2", Cp1252(u8"Ergänzung"));
    AddEntry("BNR2", "200_1_N", "k3 ", "Nachtrag");
    FillFarmGrid(grid_, "");
    ASSERT_EQ(grid_.RowCount(), 4);
    EXPECT_EQ(grid_.Cell(0, 1), "BNR1_100_1_1|Antrag 2026|Erstantrag");
    EXPECT_EQ(grid_.Cell(0, 2), Cp1252(u8"BNR1_100_2_Z|Ergänzung|Ergänzungsbewilligung"));
    EXPECT_EQ(grid_.Cell(0, 3), "BNR2_200_1_N|Nachtrag|Nachbewilligung");
    EXPECT_EQ(grid_.Cell(1, 1), "k1");
    EXPECT_EQ(grid_.Cell(1, 3), "k3 ") << "keys are shown as stored, untrimmed";
}

TEST_F(FarmGridTest, RefillClearsCellsButKeepsTheRowCount)
{
    AddEntry("BNR1", "100_1_1", "k1", "a");
    AddEntry("BNR1", "100_2_1", "k2", "b");
    AddEntry("BNR1", "100_3_1", "k3", "c");
    FillFarmGrid(grid_, "");
    ASSERT_EQ(grid_.RowCount(), 4);
    DeleteUserKey(kProduct + "\\BNR1\\100_3_1");
    DeleteUserKey(kProduct + "\\BNR1\\100_2_1");
    FillFarmGrid(grid_, "");
    EXPECT_EQ(grid_.RowCount(), 4);
    EXPECT_EQ(grid_.Cell(0, 2), "");
    EXPECT_EQ(grid_.Cell(1, 3), "");
}

TEST_F(FarmGridTest, KindIsTheThirdPartOfTheEntryName)
{
    AddEntry("BNR1", "100_1_1_X", "k", "d");
    EXPECT_EQ(BuildFarmLabel(Farm("BNR1_100_1_1_X")), "BNR1_100_1_1_X|d|1_X");
    AddEntry("BNR1", "100", "k", "ohne");
    EXPECT_EQ(BuildFarmLabel(Farm("BNR1_100")), "BNR1_100|ohne|100") << "no \"_\": the whole entry is the kind";
    AddEntry("A_B", "100_1_1", "k", "never read");
    EXPECT_EQ(BuildFarmLabel(Farm("A_B_100_1_1")), "A_B_100_1_1||1_1") << "a farm name with \"_\" is split there";
    EXPECT_EQ(BuildFarmLabel(Farm("NOUNDERSCORE")), "NOUNDERSCORE||NOUNDERSCORE");
    EXPECT_EQ(BuildFarmLabel(Farm("BNR9_900_1_z")), "BNR9_900_1_z||z") << "kind codes are case-sensitive";
}

TEST_F(FarmGridTest, MissingKeyGivesAnEmptyCell)
{
    SetUserString(kProduct + "\\BNR1\\100_1_1", "BezAntrag", Cp1252(u8"ohne Schlüssel"));
    FillFarmGrid(grid_, "");
    EXPECT_EQ(grid_.Cell(0, 1), Cp1252(u8"BNR1_100_1_1|ohne Schlüssel|Erstantrag"));
    EXPECT_EQ(grid_.Cell(1, 1), "");
}

TEST_F(FarmGridTest, ValueOfAnotherTypeStopsFillingAtThatRow)
{
    // More farms than the fill reads side by side: the rows still come in the registry's order,
    // and none after the faulty one.
    for (char farm = '1'; farm <= '9'; ++farm)
        AddEntry(std::string("BNR") + farm, std::string(1, farm) + "00_1_1", "k", farm == '6' ? "schlecht" : "gut");
    SetUserDword(kProduct + "\\BNR6\\600_1_1", "BezAntrag", 7);
    EXPECT_THROW(FillFarmGrid(grid_, ""), StartupError);
    for (char farm = '1'; farm <= '5'; ++farm)
        EXPECT_EQ(grid_.Cell(0, farm - '0'), std::string("BNR") + farm + "_" + farm + "00_1_1|gut|Erstantrag")
            << "rows filled so far stay";
    EXPECT_EQ(grid_.RowCount(), 6);
}

TEST_F(FarmGridTest, EditedKeysAreMarked)
{
    AddEntry("BNR1", "100_1_1", "k1", "a");
    FillFarmGrid(grid_, "");
    grid_.SetEditedKey(1, "k1");
    EXPECT_FALSE(grid_.IsEdited(1)) << "the same text is no change";
    grid_.SetEditedKey(1, "neu");
    EXPECT_TRUE(grid_.IsEdited(1));
    EXPECT_EQ(grid_.Cell(1, 1), "neu");
    grid_.SetEditedKey(0, "header");
    EXPECT_EQ(grid_.Cell(1, 0), Cp1252(u8"Schlüssel")) << "the header row is not editable";
}

TEST_F(FarmGridTest, OldLayoutFarmGetsARowWithItsStoredKey)
{
    ScratchFolder install;
    // Old layout: the farm's data file in its folder, its values in the farm key itself. A folder
    // named like a farm key that has application entries is none, even with a data file.
    for (const std::string folder : {"BNR402000", "BNR500000", "BNR600000"}) {
        ASSERT_TRUE(CreateFolder(install / folder));
        ASSERT_TRUE(CreateFolder(Farm(folder).CsvFolder(install.path())));
        if (folder != "BNR600000")
            WriteFileBytes(Farm(folder).DataFile(install.path()), "x");
    }
    SetUserString(kProduct + "\\BNR402000", "Key", "Altbestand");
    SetUserString(kProduct + "\\BNR600000", "Key", "ohne Datendatei");
    SetUserString(kProduct + "\\BNR999999", "Key", "ohne Ordner");
    AddEntry("BNR500000", "1_1_1", "neu", "Antrag");
    FillFarmGrid(grid_, install.path());
    ASSERT_EQ(grid_.RowCount(), 3);
    EXPECT_EQ(grid_.Cell(0, 1), "BNR402000|alte Ordnerstruktur, wird umgestellt|");
    EXPECT_EQ(grid_.Cell(1, 1), "Altbestand");
    EXPECT_EQ(grid_.Cell(0, 2), "BNR500000_1_1_1|Antrag|Erstantrag") << "a registry farm without its folder is no row";
}
