// Documents copied into a farm folder, with archived old copies.
#include "tests/test_support.h"
#include "update/u_functions.h"
#include "util/files.h"
#include "util/versions.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>

namespace {

// A line of "DOKUMENTE.TXT": version in 13 places, two separator characters, name, end mark.
std::string Line(const std::string& version, const std::string& name)
{
    return std::string(13 - version.size(), ' ') + version + "  " + name + ";";
}

class DocumentsTest : public testing::Test {
protected:
    void SetUp() override
    {
        context().InstalledVersion = "2.00.01.00";
        ASSERT_TRUE(CreateFolder(Farm()));
    }
    UpdateContext& context() { return scratch_.context; }
    std::string Farm() { return context().ProgramPath + "BNR1_100_1_1\\"; }
    void List(const std::string& text) { WriteFileBytes(context().UpdatePath + "DOKUMENTE.TXT", text); }
    void Ship(const std::string& name, const std::string& text) { WriteFileBytes(context().UpdatePath + name, text); }
    bool Modify() { return FModifyDocuments(context(), "BNR1_100_1_1", message_); }

    ScratchContext scratch_;
    std::string message_ = "vorher";
};

}  // namespace

TEST_F(DocumentsTest, OnlyStrictlyNewerDocumentsAreCopied)
{
    Ship("Merkblatt.pdf", "neu");
    Ship("Alt.pdf", "alt");
    List(Line("2.00.01.01", "Merkblatt.pdf") + "\r\n\r\n   \t\r\n" + Line("2.00.01.00", "Alt.pdf") + "\n");
    EXPECT_TRUE(Modify());
    EXPECT_EQ(ReadFileBytes(Farm() + "Merkblatt.pdf"), "neu");
    EXPECT_FALSE(FileExists(Farm() + "Alt.pdf"));
    EXPECT_EQ(message_, "vorher");
}

TEST_F(DocumentsTest, VersionsCompareByTheirDigits)
{
    EXPECT_TRUE(IsVersionNewer("2.0.10.0", "2.1.0.0")) << "20100 against 2100";
    EXPECT_FALSE(IsVersionNewer("  2.00.01.00", "2.00.01.00"));
    EXPECT_THROW(IsVersionNewer("2.0a", "2.0"), std::range_error);
    List(Line("zwei", "Merkblatt.pdf") + "\r\n");
    EXPECT_THROW(Modify(), std::range_error);
}

TEST_F(DocumentsTest, ExistingCopiesAreArchivedUnderTheFirstFreeNumber)
{
    WriteFileBytes(Farm() + "Merkblatt.pdf", "alt");
    SetFileAttributesA((Farm() + "Merkblatt.pdf").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteFileBytes(Farm() + "Merkblatt_OLD_1.pdf", "1");
    WriteFileBytes(Farm() + "Merkblatt_OLD_3.pdf", "3");
    Ship("Merkblatt.pdf", "neu");
    // Listed twice: placed once, so the new copy is not archived right away.
    List(Line("2.00.02.00", "Merkblatt.pdf") + "\r\n" + Line("2.00.03.00", "Merkblatt.pdf") + "\r\n");
    EXPECT_TRUE(Modify());
    EXPECT_EQ(ReadFileBytes(Farm() + "Merkblatt.pdf"), "neu");
    EXPECT_EQ(ReadFileBytes(Farm() + "Merkblatt_OLD_2.pdf"), "alt");
    EXPECT_EQ(GetFileAttributesA((Farm() + "Merkblatt_OLD_2.pdf").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_FALSE(FileExists(Farm() + "Merkblatt_OLD_4.pdf"));
}

TEST_F(DocumentsTest, ArchiveNamesKeepTheLastExtension)
{
    EXPECT_EQ(FileNameExtension("Formular.tar.gz"), ".gz");
    EXPECT_EQ(FileNameExtension("LIESMICH"), "");
    WriteFileBytes(Farm() + "Formular.tar.gz", "x");
    WriteFileBytes(Farm() + "LIESMICH", "x");
    EXPECT_EQ(ArchiveName(Farm() + "Formular.tar.gz"), Farm() + "Formular.tar_OLD_1.gz");
    WriteFileBytes(Farm() + "LIESMICH_OLD_1", "x");
    EXPECT_EQ(ArchiveName(Farm() + "LIESMICH"), Farm() + "LIESMICH_OLD_2");
}

TEST_F(DocumentsTest, MissingSourceArchivesAndThenFails)
{
    WriteFileBytes(Farm() + "Merkblatt.pdf", "alt");
    List(Line("2.00.02.00", "Merkblatt.pdf") + "\r\n");
    EXPECT_FALSE(Modify());
    EXPECT_EQ(message_, "Fehler beim Aktualisieren der Dokumente! Die Datei '" + context().UpdatePath +
                            Cp1252(u8"Merkblatt.pdf' konnte nicht ordnungsgemäß nach '") + Farm() +
                            "Merkblatt.pdf' kopiert werden! Bitte setzen Sie sich ggf. mit der Orvalis GmbH in "
                            "Verbindung.");
    EXPECT_EQ(ReadFileBytes(Farm() + "Merkblatt_OLD_1.pdf"), "alt");
}

TEST_F(DocumentsTest, NamesOutsideTheFarmFolderAreRefused)
{
    Ship("boese.txt", "x");
    for (const std::string& name : {std::string("..\\..\\boese.txt"), std::string("Formulare\\..\\..\\boese.txt"),
                                    context().UpdatePath + "boese.txt", std::string("\\boese.txt")}) {
        List(Line("9.00.00.00", name) + "\r\n");
        message_.clear();
        EXPECT_FALSE(Modify()) << name;
        EXPECT_NE(message_.find(Cp1252(u8"konnte nicht ordnungsgemäß nach")), std::string::npos) << name;
    }
    EXPECT_FALSE(FileExists(context().ProgramPath + "boese.txt"));
    EXPECT_FALSE(FileExists(context().ProgramPath + "..\\boese.txt"));
}

TEST_F(DocumentsTest, ShortLinesAndMissingListsAndSubfolders)
{
    EXPECT_TRUE(Modify()) << "no list, nothing to do";
    List(Line("9.00.00.00", "") + "\r\n");
    EXPECT_FALSE(Modify()) << "a line of 16 characters names no document";

    ASSERT_TRUE(CreateFolder(context().UpdatePath + "Formulare"));
    Ship("Formulare\\Antrag.pdf", "neu");
    List(Line("9.00.00.00", "Formulare\\Antrag.pdf") + "\r\n");
    EXPECT_FALSE(Modify()) << "no folder is created in the farm";
    ASSERT_TRUE(CreateFolder(Farm() + "Formulare"));
    EXPECT_TRUE(Modify());
    EXPECT_EQ(ReadFileBytes(Farm() + "Formulare\\Antrag.pdf"), "neu");
}
