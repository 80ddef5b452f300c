// The update folder's manifest: its reader, the signature check against the built-in
// certificate (with the signers that scripts/make-test-signer.sh made), and the folder check.
#include "tests/test_support.h"
#include "update/u_constants.h"
#include "update/update_folder.h"
#include "util/digest.h"
#include "util/registry.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const std::string kHead = "Kolvano-UpdateManifest 1\r\nproduct Kolvano\r\nversion 7.00.02.02\r\nsequence 5\r\n";
const std::string kDigest(64, 'a');

std::string Signer(const std::string& name)
{
    return ReadFileBytes(ExeFolder() + "signer\\" + name);
}

}  // namespace

TEST(ParseManifest, ReadsTheListAndRefusesEveryMalformedLine)
{
    UpdateManifest manifest;
    int line = 0;
    ASSERT_TRUE(ParseManifest(kHead + "file " + kDigest + " 12 Unter Ordner\\Merkbl\xC3\xA4tter 2026.pdf\n", manifest,
                              line));
    EXPECT_EQ("7.00.02.02", manifest.version);
    EXPECT_EQ(5u, manifest.sequence);
    ASSERT_EQ(1u, manifest.files.size());
    EXPECT_EQ(12u, manifest.files[0].size);
    EXPECT_EQ("Unter Ordner\\Merkbl\xC3\xA4tter 2026.pdf", manifest.files[0].name);

    const struct {
        std::string text;
        int line;
    } refused[] = {
        {"Kolvano-UpdateManifest 2\r\n", 1},
        {"", 1},
        {kHead + "file " + kDigest + " 12 ..\\kolvano3.exe\r\n", 5},
        {kHead + "file " + kDigest + " 12 C:\\x.dll\r\n", 5},
        {kHead + "file " + kDigest + " 12 \\x.dll\r\n", 5},
        {kHead + "file " + kDigest + " 12 a/x.dll\r\n", 5},
        {kHead + "file " + kDigest.substr(1) + " 12 x.dll\r\n", 5},
        {kHead + "file " + kDigest + " -1 x.dll\r\n", 5},
        {kHead + "file " + kDigest + " 12\r\n", 5},
        {kHead + "file " + kDigest + " 1 x.dll\r\nfile " + kDigest + " 1 X.DLL\r\n", 6},
        {kHead + "\r\nfile " + kDigest + " 1 x.dll\r\n", 5},
        {kHead + "sequence 6\r\n", 5},
        {"Kolvano-UpdateManifest 1\r\nproduct Andere\r\n", 2},
        {"Kolvano-UpdateManifest 1\r\nproduct Kolvano\r\nversion 7.00.02.02\r\n", 3},
    };
    for (const auto& entry : refused) {
        EXPECT_FALSE(ParseManifest(entry.text, manifest, line)) << entry.text;
        EXPECT_EQ(entry.line, line) << entry.text;
    }
}

TEST(CheckManifestSignature, AcceptsOnlyTheSignersSignatureOfThisVeryText)
{
    const std::string manifest = Signer("sample.manifest");
    const std::string certificate = Signer("signer.der");
    std::string reason;
    EXPECT_TRUE(CheckManifestSignature(manifest, Signer("sample.p7s"), certificate, reason)) << reason;

    std::string changed = manifest;
    changed[changed.find('5')] = '6';
    const struct {
        const char* what;
        std::string content;
        std::string signature;
        std::string certificate;
        const char* reason;
    } refused[] = {
        // Wine's own check of a detached signature accepts this one.
        {"one digit changed", changed, Signer("sample.p7s"), certificate, "anderen Inhalt"},
        {"look-alike signer", manifest, Signer("sample-lookalike.p7s"), certificate, "nicht vom Zertifikat"},
        {"look-alike pinned", manifest, Signer("sample.p7s"), Signer("lookalike.der"), "nicht vom Zertifikat"},
        {"SHA-1", manifest, Signer("sample-sha1.p7s"), certificate, "SHA-256"},
        // Wine's decoder refuses a message of two signers already; Windows reaches the count.
        {"a second signer", manifest, Signer("sample-two.p7s"), certificate, "sie "},
        {"no signature", manifest, "", certificate, "keine CMS"},
        {"not CMS", manifest, manifest, certificate, "keine CMS"},
        {"no certificate", manifest, Signer("sample.p7s"), "", "unlesbar"},
    };
    for (const auto& entry : refused) {
        reason.clear();
        EXPECT_FALSE(CheckManifestSignature(entry.content, entry.signature, entry.certificate, reason)) << entry.what;
        EXPECT_NE(std::string::npos, reason.find(entry.reason)) << entry.what << ": " << reason;
    }
}

TEST(Sha256, MatchesTheKnownDigests)
{
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", Sha256Hex(""));
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", Sha256Hex("abc"));
}

// The test build checks an unsigned manifest's files; the tampered folders with a signed one are
// the roll-out test's table (scripts/tampered-folder-test.sh).
TEST(VerifyUpdateFolder, RefusesChangedMissingAndExtraFilesAndHoldsTheVerifiedOnes)
{
    RegistryScratch registry;
    ScratchFolder folder;
    RecordingSink sink;
    WriteFileBytes(folder / "pbfdec.dll", "library");
    WriteFileBytes(folder / "Thumbs.db", "explorer");
    const auto manifest = [&](const std::string& files) { WriteFileBytes(folder / "update.manifest", kHead + files); };
    const std::string listed = "file " + Sha256Hex("library") + " 7 pbfdec.dll\r\n";
    UpdateContext context;
    context.UpdatePath = folder.path();
    context.UpdateVersion = "7.00.02.02";
    std::string message;

    manifest(listed);
    ASSERT_EQ(FolderCheck::Verified, VerifyUpdateFolder(context, "", message)) << message;
    EXPECT_EQ(Sha256Hex(kHead + listed), context.UpdateId);
    EXPECT_EQ(5u, context.UpdateSequence);
    EXPECT_FALSE(CopyFileA((folder / "update.manifest").c_str(), (folder / "pbfdec.dll").c_str(), FALSE))
        << "a verified file cannot be overwritten while held";
    EXPECT_FALSE(MoveFileA((folder / "pbfdec.dll").c_str(), (folder / "pbfdec.old").c_str()));
    EXPECT_FALSE(DeleteFileA((folder / "pbfdec.dll").c_str()));
    context.HeldUpdateFiles.clear();

    const struct {
        const char* what;
        std::string files;
        const char* named;
    } refused[] = {
        {"changed", "file " + Sha256Hex("librarz") + " 7 pbfdec.dll\r\n", "pbfdec.dll im Update-Ordner ist ver"},
        {"missing", listed + "file " + kDigest + " 1 kolvano3.exe\r\n", "fehlt die Datei kolvano3.exe"},
        {"extra", "", "Die Datei pbfdec.dll im Update-Ordner geh\xF6rt nicht zum Update"},
    };
    for (const auto& entry : refused) {
        manifest(entry.files);
        EXPECT_EQ(FolderCheck::Refused, VerifyUpdateFolder(context, "", message)) << entry.what;
        EXPECT_NE(std::string::npos, message.find(entry.named)) << entry.what << ": " << message;
        EXPECT_TRUE(context.HeldUpdateFiles.empty()) << entry.what;
    }
    EXPECT_TRUE(sink.Contains("erwartet SHA-256 " + Sha256Hex("librarz") + " (7 Bytes), gefunden " +
                              Sha256Hex("library")));

    manifest(listed);
    context.UpdateVersion = "7.00.03.00";
    EXPECT_EQ(FolderCheck::Refused, VerifyUpdateFolder(context, "", message));
    EXPECT_NE(std::string::npos, message.find("Update-Version 7.00.02.02")) << message;

    context.UpdateVersion = "7.00.02.02";
    ASSERT_TRUE(WriteStringValue(CreateUserKey(names::kProductKey), names::kAppliedSequenceValue, "6"));
    EXPECT_EQ(FolderCheck::Refused, VerifyUpdateFolder(context, "", message));
    EXPECT_NE(std::string::npos, message.find("(Folgenummer 5) ist \xE4lter als das schon eingespielte (Folgenummer 6)"))
        << message;
    DeleteUserKey(names::kProductKey);

    const FileHandle writer(CreateFileA((folder / "pbfdec.dll").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(FolderCheck::FileHeld, VerifyUpdateFolder(context, "", message)) << message;

    DeleteFileA((folder / "update.manifest").c_str());
    EXPECT_EQ(FolderCheck::Verified, VerifyUpdateFolder(context, "", message)) << "a test build takes an unsigned folder";
    EXPECT_NE(std::string::npos, message.find("keine Dateiliste update.manifest")) << message;
    EXPECT_EQ(FolderCheck::Refused, VerifyUpdateFolder(context, Signer("signer.der"), message));
    EXPECT_NE(std::string::npos, message.find("keine signierte Dateiliste")) << message;
}
