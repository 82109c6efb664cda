#include "platform/fs/Path.h"

#include "tests/fs/FakeDrives.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace tolvar::fs {
namespace {

namespace stdfs = std::filesystem;

TEST(MapPath, DriveLettersRootsCaseAndLimits)
{
    test::TempDir dir;
    test::FakeDrives drives;
    drives.Add('E', dir.Path().string(), "SAVEDISK");
    stdfs::create_directories(dir / "Temp" / "Inner");
    std::ofstream(dir / "Temp" / "Inner" / "Game.TVD") << "x";
    const std::string root = dir.Path().string();

    std::string out;
    ASSERT_TRUE(MapPath("E:\\", out));
    EXPECT_EQ(out, dir.Path().string() + "/");
    ASSERT_TRUE(MapPath("Saves\\x.tvd", out));
    EXPECT_EQ(out, "Saves/x.tvd");

    // A drive path may step back, but never above the drive's root.
    ASSERT_TRUE(MapPath("E:\\a\\..\\b.tvd", out));
    EXPECT_EQ(out, dir.Path().string() + "/a/../b.tvd");
    for (const char* climbing : {"E:\\..\\x.tvd", "E:..", "E:\\a\\..\\..\\x", "E:/./../x"}) {
        EXPECT_FALSE(MapPath(climbing, out)) << climbing;
        EXPECT_FALSE(MapPathAsWritten(climbing, out)) << climbing;
    }

    EXPECT_FALSE(MapPath("Q:\\", out)) << "a letter no volume has";
    EXPECT_FALSE(MapPath("\\\\.\\E:", out)) << "device paths are not files";
    EXPECT_FALSE(MapPath("", out));
    EXPECT_FALSE(MapPath(nullptr, out));

    // Components are found without regard to case; a missing one and all
    // after it stay as written.
    ASSERT_TRUE(MapPath("e:\\temp\\INNER\\game.tvd", out));
    EXPECT_EQ(out, root + "/Temp/Inner/Game.TVD");
    ASSERT_TRUE(MapPath((root + "/temp\\New\\File.tvd").c_str(), out));
    EXPECT_EQ(out, root + "/Temp/New/File.tvd");

    EXPECT_TRUE(MapPath(std::string(kMaxPath - 1, 'a').c_str(), out));
    EXPECT_FALSE(MapPath(std::string(kMaxPath, 'a').c_str(), out)) << "too long for fixed arrays";
}

TEST(FileName, OnlyPlainNamesAreJoinedAndDownloadsAlsoRefuseColonsAndControls)
{
    struct Case
    {
        const char* name;
        bool plain;
        bool download;
    };
    const Case cases[] = {{"game.tvd", true, true},   {".hidden", true, true},
                          {"...", true, true},        {"\xc3\xa9t\xc3\xa9.tvd", true, true},
                          {"", false, false},         {".", false, false},
                          {"..", false, false},       {"..\\x\\v.tvd", false, false},
                          {"a\\b", false, false},     {"a/b", false, false},
                          {"\\", false, false},       {"C:x.tvd", true, false},
                          {"tab\there", true, false}, {"bell\a", true, false},
                          {"del\x7f", true, false},   {"\x1f", true, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(IsPlainFileName(c.name), c.plain) << c.name;
        EXPECT_EQ(IsSafeDownloadName(c.name), c.download) << c.name;
        std::string path = "unchanged";
        EXPECT_EQ(JoinFileName("E:\\", c.name, path), c.plain) << c.name;
        EXPECT_EQ(path, c.plain ? std::string("E:\\") + c.name : "unchanged");
    }
    EXPECT_FALSE(IsPlainFileName(nullptr));
    EXPECT_FALSE(IsSafeDownloadName(nullptr));
}

} // namespace
} // namespace tolvar::fs
