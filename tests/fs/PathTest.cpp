#include "platform/fs/Path.h"

#include "tests/fs/FakeDrives.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace tolvar::fs {
namespace {

namespace stdfs = std::filesystem;

TEST(MapPath, DriveLetterRootAndRelativePaths)
{
    test::TempDir dir;
    test::FakeDrives drives;
    drives.Add('E', dir.Path().string(), "SAVEDISK");

    std::string out;
    ASSERT_TRUE(MapPath("E:\\", out));
    EXPECT_EQ(out, dir.Path().string() + "/");
    ASSERT_TRUE(MapPath("e:\\sub\\game.tvd", out));
    EXPECT_EQ(out, dir.Path().string() + "/sub/game.tvd");
    ASSERT_TRUE(MapPath("\\usr\\lib", out));
    EXPECT_EQ(out, "/usr/lib");
    ASSERT_TRUE(MapPath("Saves\\x.tvd", out));
    EXPECT_EQ(out, "Saves/x.tvd");

    EXPECT_FALSE(MapPath("Q:\\", out)) << "a letter no volume has";
    EXPECT_FALSE(MapPath("\\\\.\\E:", out)) << "device paths are not files";
    EXPECT_FALSE(MapPath("", out));
    EXPECT_FALSE(MapPath(nullptr, out));
}

TEST(MapPath, FindsComponentsWithoutRegardToCase)
{
    test::TempDir dir;
    stdfs::create_directories(dir / "Temp" / "Inner");
    std::ofstream(dir / "Temp" / "Inner" / "Game.TVD") << "x";
    const std::string root = dir.Path().string();

    std::string out;
    ASSERT_TRUE(MapPath((root + "/temp\\INNER\\game.tvd").c_str(), out));
    EXPECT_EQ(out, root + "/Temp/Inner/Game.TVD");
    // A missing component and everything after it stay as written.
    ASSERT_TRUE(MapPath((root + "/temp\\New\\File.tvd").c_str(), out));
    EXPECT_EQ(out, root + "/Temp/New/File.tvd");
}

TEST(MapPath, RefusesPathsTooLongForTheFixedArrays)
{
    std::string out;
    const std::string longest(kMaxPath - 1, 'a');
    EXPECT_TRUE(MapPath(longest.c_str(), out));
    const std::string tooLong(kMaxPath, 'a');
    EXPECT_FALSE(MapPath(tooLong.c_str(), out));
}

TEST(MatchesPattern, IgnoresCaseAndHonoursWildcards)
{
    struct Case
    {
        const char* name;
        const char* pattern;
        bool matches;
    };
    const Case cases[] = {{"game.tvd", "*.tvd", true},
                          {"GAME.TVD", "*.tvd", true},
                          {".tvd", "*.tvd", true},
                          {"game.tvdx", "*.tvd", false},
                          {"gametvd", "*.tvd", false},
                          {"a.b.tvd", "*.tvd", true},
                          {"abc", "a?c", true},
                          {"ac", "a?c", false},
                          {"codelist.bin", "*.tvd", false},
                          {"x", "*", true},
                          {"aXbXc", "a*b*c", true},
                          {"aXbX", "a*b*c", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(MatchesPattern(c.name, c.pattern), c.matches) << c.name << " vs " << c.pattern;
    }
}

} // namespace
} // namespace tolvar::fs
