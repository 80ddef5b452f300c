// The encryption library, called the way the tool calls it: loaded by full path from a folder.
#include "tests/test_support.h"
#include "update/pbf_library.h"
#include "util/files.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <random>

namespace {

class PbfdecTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(library_.Load(BinFolder())) << BinFolder();
        encrypt_ = library_.Find("FileEncryptA");
        decrypt_ = library_.Find("FileDecryptA");
        ASSERT_NE(encrypt_, nullptr);
        ASSERT_NE(decrypt_, nullptr);
    }

    int Encrypt(const std::string& source, const std::string& target, const std::string& key)
    {
        return CallPbf(encrypt_, source, target, key);
    }
    int Decrypt(const std::string& source, const std::string& target, const std::string& key)
    {
        return CallPbf(decrypt_, source, target, key);
    }

    // Encrypts the bytes, decrypts them again and returns what came back.
    std::string RoundTrip(const std::string& bytes, const std::string& key)
    {
        WriteFileBytes(scratch_ / "plain", bytes);
        EXPECT_EQ(Encrypt(scratch_ / "plain", scratch_ / "sealed", key), PBF_OK);
        EXPECT_EQ(Decrypt(scratch_ / "sealed", scratch_ / "opened", key), PBF_OK);
        return ReadFileBytes(scratch_ / "opened");
    }

    ScratchFolder scratch_;
    PbfLibrary library_;
    PbfFileFunction encrypt_ = nullptr;
    PbfFileFunction decrypt_ = nullptr;
};

std::string RandomBytes(size_t size)
{
    std::mt19937 random(42);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

}  // namespace

TEST_F(PbfdecTest, RoundTripsBinaryTextAndEmptyFiles)
{
    std::string everyByte;
    for (int i = 0; i < 256; ++i)
        everyByte += static_cast<char>(i);
    EXPECT_EQ(RoundTrip(everyByte, "geheim"), everyByte);

    const std::string text = Cp1252(u8"key=\"D40X0U2\"; value=\"Grünland Äcker ß\"; enabled=\"1\"\r\n");
    EXPECT_EQ(RoundTrip(text, Cp1252(u8"Schlüssel ")), text);

    EXPECT_EQ(RoundTrip("", "geheim"), "");
    EXPECT_EQ(RoundTrip(text, ""), text) << "an empty key is a key too";

    // Several segments with a partial last one.
    const std::string large = RandomBytes((5u << 20) / 2 + 17);
    EXPECT_TRUE(RoundTrip(large, "geheim") == large);
}

TEST_F(PbfdecTest, EncryptedFileHidesThePlainText)
{
    const std::string text = "key=\"D40X0U3T3C2L1R1\"; value=\"Betrieb Musterhof\"; enabled=\"1\"";
    WriteFileBytes(scratch_ / "plain", text + text + text);
    ASSERT_EQ(Encrypt(scratch_ / "plain", scratch_ / "sealed", "geheim"), PBF_OK);
    const std::string sealed = ReadFileBytes(scratch_ / "sealed");
    EXPECT_EQ(sealed.find("Musterhof"), std::string::npos);
    EXPECT_EQ(sealed.find("D40X0U3"), std::string::npos);
}

TEST_F(PbfdecTest, WrongKeyFailsAndLeavesNoTarget)
{
    WriteFileBytes(scratch_ / "plain", "Daten");
    ASSERT_EQ(Encrypt(scratch_ / "plain", scratch_ / "sealed", "geheim"), PBF_OK);
    EXPECT_EQ(Decrypt(scratch_ / "sealed", scratch_ / "opened", "Geheim"), PBF_WRONG_KEY);
    EXPECT_EQ(Decrypt(scratch_ / "sealed", scratch_ / "opened", "geheim "), PBF_WRONG_KEY)
        << "keys are not trimmed";
    EXPECT_FALSE(FileExists(scratch_ / "opened"));

    // A file that is not ours, and an existing target, which a failure leaves as it was.
    WriteFileBytes(scratch_ / "opened", "vorher");
    EXPECT_EQ(Decrypt(scratch_ / "plain", scratch_ / "opened", "geheim"), PBF_WRONG_KEY);
    EXPECT_EQ(ReadFileBytes(scratch_ / "opened"), "vorher");

    // No temporary file is left beside the target.
    std::vector<std::string> files;
    ListFiles(scratch_.path(), "*.*", false, &files);
    EXPECT_EQ(files.size(), 3u);
}

TEST_F(PbfdecTest, DamagedFilesAreDetected)
{
    const std::string large = RandomBytes((3u << 20) / 2);
    WriteFileBytes(scratch_ / "plain", large);
    ASSERT_EQ(Encrypt(scratch_ / "plain", scratch_ / "sealed", "geheim"), PBF_OK);
    const std::string sealed = ReadFileBytes(scratch_ / "sealed");

    // Cut after the first whole segment: header 44 bytes, then length, 1 MiB and tag.
    WriteFileBytes(scratch_ / "cut", sealed.substr(0, 44 + 4 + (1u << 20) + 16));
    EXPECT_NE(Decrypt(scratch_ / "cut", scratch_ / "opened", "geheim"), PBF_OK);
    WriteFileBytes(scratch_ / "cut", sealed.substr(0, sealed.size() - 1));
    EXPECT_NE(Decrypt(scratch_ / "cut", scratch_ / "opened", "geheim"), PBF_OK);
    WriteFileBytes(scratch_ / "cut", sealed + "x");
    EXPECT_NE(Decrypt(scratch_ / "cut", scratch_ / "opened", "geheim"), PBF_OK);
    std::string flipped = sealed;
    flipped[sealed.size() / 2] ^= 1;
    WriteFileBytes(scratch_ / "cut", flipped);
    EXPECT_NE(Decrypt(scratch_ / "cut", scratch_ / "opened", "geheim"), PBF_OK);
    EXPECT_FALSE(FileExists(scratch_ / "opened"));
}

TEST_F(PbfdecTest, MissingSourceAndUnwritableTarget)
{
    EXPECT_EQ(Encrypt(scratch_ / "missing", scratch_ / "sealed", "geheim"), PBF_SOURCE_MISSING);
    EXPECT_EQ(Decrypt(scratch_ / "missing", scratch_ / "opened", "geheim"), PBF_SOURCE_MISSING);

    WriteFileBytes(scratch_ / "plain", "Daten");
    EXPECT_EQ(Encrypt(scratch_ / "plain", scratch_ / "no_folder\\sealed", "geheim"), PBF_CANNOT_WRITE);
    ASSERT_TRUE(CreateFolder(scratch_ / "folder"));
    EXPECT_EQ(Encrypt(scratch_ / "plain", scratch_ / "folder", "geheim"), PBF_CANNOT_WRITE);

    ASSERT_EQ(Encrypt(scratch_ / "plain", scratch_ / "sealed", "geheim"), PBF_OK);
    EXPECT_EQ(Decrypt(scratch_ / "sealed", scratch_ / "no_folder\\opened", "geheim"), PBF_CANNOT_WRITE);
}

TEST_F(PbfdecTest, RandomSaltMakesEveryEncryptionDifferent)
{
    WriteFileBytes(scratch_ / "plain", "gleiche Daten");
    ASSERT_EQ(Encrypt(scratch_ / "plain", scratch_ / "first", "geheim"), PBF_OK);
    ASSERT_EQ(Encrypt(scratch_ / "plain", scratch_ / "second", "geheim"), PBF_OK);
    EXPECT_NE(ReadFileBytes(scratch_ / "first"), ReadFileBytes(scratch_ / "second"));
    for (const char* name : {"first", "second"}) {
        ASSERT_EQ(Decrypt(scratch_ / name, scratch_ / "opened", "geheim"), PBF_OK);
        EXPECT_EQ(ReadFileBytes(scratch_ / "opened"), "gleiche Daten");
    }
}

TEST(PbfLibrary, LoadsOnlyFromTheGivenFolderAndReportsRelease)
{
    ScratchFolder empty;
    PbfLibrary missing;
    EXPECT_FALSE(missing.Load(empty.path()));
    EXPECT_EQ(missing.Find("FileDecryptA"), nullptr);
    EXPECT_FALSE(missing.Release());

    PbfLibrary library;
    ASSERT_TRUE(library.Load(BinFolder()));
    EXPECT_EQ(library.Find("FileDecrypt"), nullptr);
    EXPECT_TRUE(library.Release());
    EXPECT_FALSE(library.Release()) << "a second release has nothing to free";
}

TEST(PbfLibrary, ResultCodesHaveGermanTexts)
{
    std::string text = "vorher";
    EXPECT_FALSE(PbfResultText(PBF_OK, text));
    EXPECT_FALSE(PbfResultText(4711, text));
    EXPECT_EQ(text, "vorher");
    EXPECT_TRUE(PbfResultText(PBF_WRONG_KEY, text));
    EXPECT_EQ(text, Cp1252(u8"Falscher Schlüssel."));
    EXPECT_TRUE(PbfResultText(PBF_CANNOT_WRITE, text));
    EXPECT_EQ(text, Cp1252(u8"Datei schreibgeschützt."));
    EXPECT_TRUE(PbfResultText(PBF_SOURCE_MISSING, text));
    EXPECT_EQ(text, "Datei nicht gefunden.");
    EXPECT_TRUE(PbfResultText(PBF_UNKNOWN, text));
    EXPECT_EQ(text, "Unbekannter Fehler.");
}

// A run loads and releases the library three times per farm: any number of times leaves the
// process alive and its memory where it was. (Built with the posix thread model the library ended
// the process after about 1085 loads; its C++ runtime left 4 KB behind at each release, 7 MB
// over the loads here.)
TEST(PbfdecLibrary, SurvivesTwoThousandLoadsAndReleasesWithoutGrowing)
{
    const std::string path = BinFolder() + "pbfdec.dll";
    // Held here, the system library the stand-in uses is not loaded anew each time: four times
    // faster under Wine, and the tool's own part is what is measured.
    const Module cng(LoadLibraryA("bcrypt.dll"));
    const auto privateBytes = [] {
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof(memory);
        GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
        return memory.PagefileUsage;
    };
    SIZE_T before = 0;
    for (int i = 0; i < 2000; ++i) {
        // The first loads settle the process's own allocations.
        if (i == 100)
            before = privateBytes();
        const HMODULE module = LoadLibraryA(path.c_str());
        ASSERT_NE(module, nullptr) << "load " << i;
        ASSERT_NE(GetProcAddress(module, "FileEncryptA"), nullptr);
        ASSERT_TRUE(FreeLibrary(module)) << "release " << i;
    }
    EXPECT_LT(privateBytes(), before + (1u << 20)) << "grew by " << (privateBytes() - before) << " bytes";
}
