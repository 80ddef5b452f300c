// Plausibility rules: every farm gets the shipped rules encrypted with its own key.
#include "tests/test_support.h"
#include "update/u_functions.h"
#include "util/files.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const std::string kRules = Cp1252(u8"Regel;Feld;Grenze\r\nR1;Fläche;>0\r\n");

class PlausiTest : public testing::Test {
protected:
    void SetUp() override
    {
        demo_.ShipFile("CSV_PLAUSI.CSV", kRules);
        for (const DemoFarm& farm : farms_)
            demo_.AddFarm(farm, "x");
    }
    UpdateContext& context() { return scratch_.context; }
    std::string RulesFile(const DemoFarm& farm) const
    {
        return scratch_.context.ProgramPath + farm.FarmId() + "\\CSV-Dateien\\CSV_PLAUSI.CND";
    }
    std::string TempFile() const { return scratch_.context.TempPath + "CSV_PLAUSI.TXT"; }
    bool Replace(const DemoFarm& farm) { return FReplacePlausiCSV(context(), farm.FarmId(), farm.key, message_); }

    RegistryScratch registry_;
    ScratchContext scratch_;
    DemoInstallation demo_{scratch_.root.path(), BinFolder()};
    const std::vector<DemoFarm> farms_ = {{"BNR1", "100_1_1", "eins", "a"}, {"BNR2", "200_1_1", "zwei ", "b"}};
    std::string message_;
    RecordingSink sink_;
};

}  // namespace

TEST_F(PlausiTest, EveryFarmGetsTheRulesUnderItsOwnKey)
{
    EncryptText(BinFolder(), "alte Regeln", RulesFile(farms_[0]), "eins");
    SetFileAttributesA(RulesFile(farms_[0]).c_str(), FILE_ATTRIBUTE_READONLY);
    // A left-over temp file of an earlier run never reaches a farm.
    WriteFileBytes(TempFile(), "stale");
    for (const DemoFarm& farm : farms_) {
        EXPECT_TRUE(Replace(farm)) << message_;
        EXPECT_EQ(DecryptText(BinFolder(), RulesFile(farm), farm.key), kRules);
    }
    EXPECT_THROW(DecryptText(BinFolder(), RulesFile(farms_[1]), "eins"), std::runtime_error);
    EXPECT_FALSE(FileExists(TempFile()));
    EXPECT_FALSE(FileExists(RulesFile(farms_[0]) + ".neu"));
}

// Rules saved as UTF-8 with a byte-order mark reach the farm in code page 1252.
TEST_F(PlausiTest, RulesSavedAsUtf8AreConverted)
{
    demo_.ShipFile("CSV_PLAUSI.CSV", "\xEF\xBB\xBFRegel;Fl\xC3\xA4" "che\r\n");
    EXPECT_TRUE(Replace(farms_[0])) << message_;
    EXPECT_EQ(DecryptText(BinFolder(), RulesFile(farms_[0]), "eins"), Cp1252(u8"Regel;Fläche\r\n"));
    EXPECT_FALSE(FileExists(context().TempPath + "CSV_PLAUSI_ANSI.TXT"));
}

TEST_F(PlausiTest, OldRulesStayWhenTheNewOnesCannotBeMade)
{
    EncryptText(BinFolder(), "alte Regeln", RulesFile(farms_[0]), "eins");
    const std::string library = context().UpdatePath + "pbfdec.dll";
    ASSERT_TRUE(DeleteFileA(library.c_str()));
    EXPECT_FALSE(Replace(farms_[0]));
    EXPECT_EQ(message_, "Unbekannter Fehler. Die Datei " + library + " kann nicht gelesen werden (Windows-Fehler 2: " +
                            SystemErrorText(2) + ").");
    EXPECT_EQ(DecryptText(BinFolder(), RulesFile(farms_[0]), "eins"), "alte Regeln");
}

TEST_F(PlausiTest, FarmFolderWithoutCsvFolderIsReported)
{
    EXPECT_FALSE(FReplacePlausiCSV(context(), "BNR9_900_1_1", "k", message_));
    EXPECT_EQ(message_, Cp1252(u8"Fehler beim Aktualisieren der Plausibilitätsprüfungen: Datei schreibgeschützt."));
    EXPECT_FALSE(FileExists(TempFile()));
}
