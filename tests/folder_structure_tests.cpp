// Old-layout farms moved into the current layout, wholly or not at all.
#include "tests/test_support.h"
#include "update/u_functions.h"
#include "util/files.h"
#include "util/text.h"
#include "util/registry.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const std::string kOldKey = kProduct + "\\BNR276001";
const std::string kNewKey = kOldKey + "\\4711_1_1";

class FolderStructureTest : public testing::Test {
protected:
    void SetUp() override
    {
        context().RestructureFolders = true;
        context().UpdateVersion = "7.00.02.02";
        demo_.AddOldLayoutFarm(farm_, DemoDataCsv(farm_));
        ASSERT_TRUE(CreateFolder(context().AppDataPath + "Kolvano"));
        ASSERT_TRUE(CreateFolder(OldAppData()));
        WriteFileBytes(OldAppData() + "\\Ansicht.cache", "x");
    }

    UpdateContext& context() { return scratch_.context; }
    std::string OldFolder() { return context().ProgramPath + "BNR276001"; }
    std::string NewFolder() { return context().ProgramPath + "BNR276001_4711_1_1"; }
    std::string OldAppData() { return context().AppDataPath + "Kolvano\\BNR276001"; }
    std::string NewAppData() { return context().AppDataPath + "Kolvano\\BNR276001_4711_1_1"; }
    bool Modify(const std::string& farm, const std::string& key)
    {
        return FModifyFolderStructure(context(), farm, key, message_, movedTo_);
    }
    std::string Value(const std::string& keyPath, const char* name)
    {
        std::string value;
        return ReadStringValue(OpenUserKey(keyPath), name, value) == ValueRead::Ok ? value : "<none>";
    }
    void ExpectOldLayout()
    {
        EXPECT_TRUE(FolderExists(OldFolder()));
        EXPECT_FALSE(FolderExists(NewFolder()));
        EXPECT_TRUE(FolderExists(OldAppData()));
        EXPECT_FALSE(FolderExists(NewAppData()));
        EXPECT_FALSE(UserKeyExists(kNewKey));
        EXPECT_EQ(Value(kOldKey, "Key"), "Sommerweide");
        EXPECT_TRUE(movedTo_.empty());
    }

    RegistryScratch registry_;
    ScratchContext scratch_;
    DemoInstallation demo_{scratch_.root.path(), BinFolder()};
    DemoFarm farm_{"BNR276001", "4711_1_1", "Sommerweide", "Antrag"};
    std::string message_;
    std::string movedTo_;
    RecordingSink sink_;
};

}  // namespace

TEST_F(FolderStructureTest, MovesFolderAppDataAndRegistryTogether)
{
    EXPECT_TRUE(Modify("BNR276001", "Sommerweide")) << message_;
    EXPECT_EQ(movedTo_, "BNR276001_4711_1_1");
    EXPECT_TRUE(FileExists(NewFolder() + "\\CSV-Dateien\\CSV_ALL_DAT.CND"));
    EXPECT_FALSE(FolderExists(OldFolder()));
    EXPECT_TRUE(FileExists(NewAppData() + "\\Ansicht.cache"));
    EXPECT_EQ(Value(kNewKey, "Key"), "Sommerweide");
    EXPECT_EQ(Value(kNewKey, "SavePath"), "");
    EXPECT_EQ(Value(kNewKey, "BezAntrag"), "Erster Antrag nach Umstrukturierung");
    int saveKey = 0;
    EXPECT_EQ(ReadIntegerValue(OpenUserKey(kNewKey), "SaveKey", saveKey), ValueRead::Ok);
    EXPECT_EQ(saveKey, 7);
    EXPECT_TRUE(UserKeyExists(kOldKey)) << "the farm's key stays as the parent";
    EXPECT_EQ(Value(kOldKey, "Key"), "<none>");
    EXPECT_EQ(ReadIntegerValue(OpenUserKey(kOldKey), "SaveKey", saveKey), ValueRead::Missing);
    EXPECT_FALSE(sink_.Contains("Modifiziere Daten-CSVs")) << "no catalogue ships, no data rewrite";
    EXPECT_FALSE(FileExists(context().TempPath + "DATEN_CSV.TXT"));
    EXPECT_FALSE(FileExists(context().TempPath + "DATEN_CSV.CND"));
}

TEST_F(FolderStructureTest, RewritesTheDataUnderTheNewNameWhenCataloguesShip)
{
    context().UpdateDataCsvs = true;
    context().CatalogList = {"D40X0U5"};
    demo_.ShipFile("KATALOGE4UPDATE.CSV", DemoCatalog());
    EXPECT_TRUE(Modify("BNR276001", "Sommerweide")) << message_;
    EXPECT_TRUE(sink_.Contains(Cp1252(u8"Modifiziere Daten-CSVs für BNR276001...")));
    EXPECT_EQ(DecryptText(BinFolder(), NewFolder() + "\\CSV-Dateien\\CSV_ALL_DAT.CND", "Sommerweide"),
              DemoUpdatedCsv(farm_, "7.00.02.02"));
    EXPECT_EQ(context().UpdatedFarmList, std::vector<std::string>{"BNR276001_4711_1_1"});
}

TEST_F(FolderStructureTest, WrongKeyAndCurrentLayoutRowsChangeNothing)
{
    EXPECT_TRUE(Modify("BNR276001", "Winterweide"));
    EXPECT_EQ(message_, Cp1252(u8"Fehler beim Aktualisieren der Ordnerstruktur: Falscher Schlüssel."));
    ExpectOldLayout();
    EXPECT_TRUE(Modify("BNR1_100_1_1|Antrag|Erstantrag", "k"));
    ExpectOldLayout();
}

TEST_F(FolderStructureTest, MissingApplicationIdRenamesNothing)
{
    EncryptText(BinFolder(), DemoRecord("D40X0U2T2C17L1R1", "3"), OldFolder() + "\\CSV-Dateien\\CSV_ALL_DAT.CND",
                "Sommerweide");
    EXPECT_FALSE(Modify("BNR276001", "Sommerweide"));
    EXPECT_EQ(message_, "ANTR-ID wurde nicht gefunden bei BNR: BNR276001");
    ExpectOldLayout();
    std::string foreseen;
    EXPECT_FALSE(FCheckOldLayoutFarm(context(), "BNR276001", "Sommerweide", foreseen)) << "the preflight knows it";
    EXPECT_EQ(foreseen, message_);

    EncryptText(BinFolder(), DemoRecord("D40X0U3T3C2L1R1", ""), OldFolder() + "\\CSV-Dateien\\CSV_ALL_DAT.CND",
                "Sommerweide");
    EXPECT_FALSE(Modify("BNR276001", "Sommerweide"));
    ExpectOldLayout();
}

TEST_F(FolderStructureTest, LastApplicationIdWinsAndAppDataIsOptional)
{
    RemoveTree(OldAppData());
    EncryptText(BinFolder(),
                DemoRecord("D40X0U3T3C2L1R1", "1111") + DemoRecord("D40X0U3T3C4L1R1", "D40X0U3T3C2L1R1") +
                    DemoRecord("D40X0U3T3C2L1R1", "4711"),
                OldFolder() + "\\CSV-Dateien\\CSV_ALL_DAT.CND", "Sommerweide");
    EXPECT_TRUE(Modify("BNR276001", "Sommerweide")) << message_;
    EXPECT_EQ(movedTo_, "BNR276001_4711_1_1");
    EXPECT_TRUE(FolderExists(NewFolder()));
    EXPECT_FALSE(FolderExists(NewAppData()));
}

TEST_F(FolderStructureTest, IncompleteRegistryValuesStopBeforeAnythingMoves)
{
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kOldKey.c_str(), "SaveKey");
    EXPECT_FALSE(Modify("BNR276001", "Sommerweide"));
    EXPECT_EQ(message_, Cp1252(u8"Der Registrierungswert 'SaveKey' des Betriebs BNR276001 fehlt oder hat einen "
                               u8"ungültigen Datentyp. Die Ordnerstruktur wurde nicht geändert."));
    ExpectOldLayout();

    SetUserDword(kOldKey, "SaveKey", 7);
    SetUserDword(kOldKey, "SavePath", 1);
    EXPECT_FALSE(Modify("BNR276001", "Sommerweide"));
    EXPECT_EQ(message_, Cp1252(u8"Der Registrierungswert 'SavePath' des Betriebs BNR276001 fehlt oder hat einen "
                               u8"ungültigen Datentyp. Die Ordnerstruktur wurde nicht geändert."));
    ExpectOldLayout();
}

TEST_F(FolderStructureTest, FailedAppDataRenameIsUndoneWithTheRun)
{
    // A file where the new application-data folder would go blocks its rename.
    WriteFileBytes(NewAppData(), "im Weg");
    EXPECT_FALSE(Modify("BNR276001", "Sommerweide"));
    EXPECT_EQ(message_, "Der Ordner " + OldAppData() + " konnte nicht in " + NewAppData() +
                            Cp1252(u8" umbenannt werden. Die Ordnerstruktur des Betriebs wurde nicht geändert. "
                                   u8"(Windows-Fehler 183: ") + SystemErrorText(183) + ")");
    std::string leftOver;
    EXPECT_TRUE(scratch_.journal.RollBack(leftOver)) << leftOver;
    EXPECT_FALSE(FileExists(context().ProgramPath + "Kolvano-UpdateTool.journal"));
    ExpectOldLayout();

    ASSERT_TRUE(DeleteFileA(NewAppData().c_str()));
    ASSERT_TRUE(scratch_.journal.Begin(message_));
    EXPECT_TRUE(Modify("BNR276001", "Sommerweide")) << "a second attempt goes through";
}

// A kill after the move, before the run committed: the next start puts the farm back into the old
// layout, folders and registry alike. A committed run stays.
TEST_F(FolderStructureTest, KilledRunIsUndoneAndACommittedOneKeptAtTheNextStart)
{
    std::string text;
    ASSERT_TRUE(scratch_.journal.RollBack(text));
    {
        RunJournal killed(context());
        ASSERT_TRUE(killed.Begin(message_));
        context().Journal = &killed;
        EXPECT_TRUE(Modify("BNR276001", "Sommerweide")) << message_;
        context().Journal = nullptr;
    }
    EXPECT_TRUE(FRecoverRun(context(), text));
    EXPECT_EQ(text, Cp1252(u8"Ein abgebrochenes Update wurde zurückgenommen (7 Änderungen); die Installation ist im "
                           u8"vorigen Stand."));
    EXPECT_EQ(sink_.lines.front(), text);
    movedTo_.clear();
    ExpectOldLayout();
    EXPECT_EQ(Value(kOldKey, "SavePath"), "");
    EXPECT_TRUE(FileExists(OldAppData() + "\\Ansicht.cache"));
    EXPECT_EQ(EntryNames(context().ProgramPath + "Kolvano-UpdateTool*").size(), 0u);
    EXPECT_EQ(EntryNames(context().TempPath + "Kolvano-UpdateTool*").size(), 0u);

    RunJournal committed(context());
    ASSERT_TRUE(committed.Begin(message_));
    context().Journal = &committed;
    EXPECT_TRUE(Modify("BNR276001", "Sommerweide")) << message_;
    context().Journal = nullptr;
    EXPECT_TRUE(committed.Commit());
    text.clear();
    EXPECT_TRUE(FRecoverRun(context(), text));
    EXPECT_EQ(text, "") << "nothing to recover";
    EXPECT_TRUE(FolderExists(NewFolder()));
    EXPECT_EQ(Value(kNewKey, "Key"), "Sommerweide");
    EXPECT_EQ(EntryNames(context().ProgramPath + "Kolvano-UpdateTool*").size(), 0u);
}
