// Version resources of real executables, normalisation and the update gate.
#include "tests/test_support.h"
#include "update/u_context.h"
#include "util/versions.h"

#include <gtest/gtest.h>

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
    EXPECT_TRUE(ReadVersions(context, FixtureFolder() + "version_2_1_10_123.exe", FixtureFolder() + "missing.exe"));
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
    } catch (const std::range_error& error) {
        EXPECT_EQ(std::string(error.what()), "'65535655356553565535' ist kein g\xFCltiger ganzzahliger Wert.");
    }
}
