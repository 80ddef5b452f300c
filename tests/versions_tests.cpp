// Version resources of real executables, normalisation and the update gate.
#include "shell/startup.h"
#include "tests/test_support.h"
#include "update/errors.h"
#include "util/errors.h"
#include "update/u_context.h"
#include "util/handles.h"
#include "util/versions.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

TEST(GetFileVersion, ReadsTheFileVersionOfRealExecutables)
{
    EXPECT_EQ(GetFileVersion(FixtureFolder() + "version_7_0_2_2.exe"), "7.0.2.2");
    // The fixtures carry product version 1.2.3.4: only the file version counts.
    EXPECT_EQ(GetFileVersion(FixtureFolder() + "version_2_1_10_123.exe"), "2.1.10.123");
    EXPECT_EQ(GetFileVersion(FixtureFolder() + "version_65535.exe"), "65535.65535.65535.65535");
    EXPECT_EQ(GetFileVersion(FixtureFolder() + "version_none.exe"), "0.0.0.0");
    EXPECT_EQ(GetFileVersion(FixtureFolder() + "missing.exe"), "0.0.0.0");
}

namespace {

// The names in an image's import directory, in lower case, read from the mapped image.
std::vector<std::string> ImportedLibraries(const std::string& image)
{
    const Module module(LoadLibraryExA(image.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    if (!module)
        return {};
    const auto* base = reinterpret_cast<const BYTE*>(module.get());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> names;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name;
         ++entry) {
        std::string name = reinterpret_cast<const char*>(base + entry->Name);
        CharLowerA(name.data());
        names.push_back(name);
    }
    return names;
}

}  // namespace

// A DLL planted beside the tool must never be loaded: the tool imports only libraries that
// Windows always takes from the system folder (KnownDLLs), and Common Controls through its
// manifest. version.dll is loaded from the system folder explicitly, and versions are still read
// (above).
TEST(ToolImage, ImportsOnlyKnownDllsAndCommonControls)
{
    const std::set<std::string> known = {
        "advapi32.dll", "clbcatq.dll", "combase.dll",  "comdlg32.dll", "coml2.dll",    "gdi32.dll",
        "gdiplus.dll",  "imagehlp.dll", "imm32.dll",   "kernel32.dll", "msctf.dll",    "msvcrt.dll",
        "normaliz.dll", "nsi.dll",      "ole32.dll",   "oleaut32.dll", "psapi.dll",    "rpcrt4.dll",
        "sechost.dll",  "setupapi.dll", "shcore.dll",  "shell32.dll",  "shlwapi.dll",  "user32.dll",
        "wldap32.dll",  "ws2_32.dll",   "ntdll.dll",   "comctl32.dll"};
    const std::vector<std::string> imports = ImportedLibraries(BinFolder() + "Kolvano-UpdateTool.exe");
    ASSERT_FALSE(imports.empty());
    for (const std::string& name : imports)
        EXPECT_TRUE(known.count(name)) << name << " could be planted beside the tool";
}

TEST(GetFileVersion, BlankPathMeansTheRunningExecutable)
{
    // The test executables carry file version 3.1.4.15.
    EXPECT_EQ(GetFileVersion(""), "3.1.4.15");
    EXPECT_EQ(GetFileVersion("   "), "3.1.4.15");
}

TEST(NormalizeVersion, PadsOneCharacterPartsAfterTheFirst)
{
    EXPECT_EQ(NormalizeVersion("7.0.2.2"), "7.00.02.02");
    EXPECT_EQ(NormalizeVersion("0.0.0.0"), "0.00.00.00");
    EXPECT_EQ(NormalizeVersion("2.1.10.123"), "2.01.10.123");
    EXPECT_EQ(NormalizeVersion("10.10.10.10"), "10.10.10.10");
    EXPECT_EQ(NormalizeVersion("1.2.3.4"), "1.02.03.04");
}

TEST(ReadVersions, NormalisesBothExecutables)
{
    UpdateContext context;
    ReadVersions(context, FixtureFolder() + "version_2_1_10_123.exe", FixtureFolder() + "missing.exe");
    EXPECT_EQ(context.InstalledVersion, "2.01.10.123");
    EXPECT_EQ(context.UpdateVersion, "0.00.00.00");
}

TEST(IsUpdatePossible, ComparesNormalisedNumbers)
{
    struct Case {
        const char* installed;
        const char* update;
        bool possible;
    };
    const Case cases[] = {
        {"7.0.2.2", "7.0.2.2", true},    // the same release again
        {"7.0.10.0", "7.0.9.9", false},  // 7001000 against 7000909
        {"7.1.0.0", "7.0.10.0", false},  // the padding keeps the second part ahead of the third
        {"7.0.99.0", "7.1.0.0", true},   // 7009900 against 7010000
        {"0.0.0.0", "7.0.2.2", true},    // a missing installed executable never blocks
        {"7.0.2.2", "0.0.0.0", false},   // an update without version information is refused
    };
    for (const Case& c : cases) {
        UpdateContext context;
        context.InstalledVersion = NormalizeVersion(c.installed);
        context.UpdateVersion = NormalizeVersion(c.update);
        EXPECT_EQ(IsUpdatePossible(context), c.possible) << c.installed << " -> " << c.update;
    }
}

TEST(IsUpdatePossible, NumberBeyond32BitsIsAnError)
{
    UpdateContext context;
    ReadVersions(context, FixtureFolder() + "version_65535.exe", FixtureFolder() + "version_7_0_2_2.exe");
    try {
        IsUpdatePossible(context);
        FAIL() << "no error for " << context.InstalledVersion;
    } catch (const NumberError& error) {
        EXPECT_EQ(ErrorText(error), Cp1252(u8"'65535655356553565535' ist kein gültiger ganzzahliger Wert."));
    }
}

// A version field may carry a sign, as text-to-number conversion allows it; anything else in it
// is an error.
TEST(ToVersionNumber, ReadsSignedFieldsAndRefusesOtherText)
{
    EXPECT_EQ(ToVersionNumber("+7.00.02.02"), 7000202);
    EXPECT_EQ(ToVersionNumber("  -7.00.02.02"), -7000202);
    EXPECT_EQ(ToVersionNumber("-0.00.00.01"), -1);
    for (const char* text : {"-", "+", "+-7", "--7", "7-", "7.0 0", ""})
        EXPECT_THROW(ToVersionNumber(text), NumberError) << text;
}
