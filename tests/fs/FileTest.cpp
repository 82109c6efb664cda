#include "platform/fs/File.h"
#include "platform/fs/FileOps.h"

#include "tests/fs/FakeDrives.h"
#include "tests/fs/FileSizeLimit.h"
#include "tests/storage/TestSaves.h"
#include "tests/support/TempDir.h"

#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>

namespace tolvar::fs {
namespace {

namespace stdfs = std::filesystem;

TEST(File, ReadsWhatWasWrittenWithTodaysTimesAndOpensOnlyRegularFiles)
{
    test::TempDir dir;
    const std::string path = (dir / "data.bin").string();
    File file;
    ASSERT_TRUE(file.Open(path.c_str(), OpenMode::Write));
    ASSERT_TRUE(file.Write("hello world", 11));
    file.Close();
    ASSERT_TRUE(file.Open(path.c_str(), OpenMode::Read));
    EXPECT_EQ(file.Length(), 11u);
    char buffer[32] = {};
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 11u) << "a short read ends at the file's end";
    EXPECT_STREQ(buffer, "hello world");

    // File times count from 1601: as Unix seconds they are today's.
    FileTimes times;
    ASSERT_TRUE(file.GetTimes(times));
    const auto now = static_cast<double>(std::time(nullptr));
    EXPECT_NEAR(static_cast<double>(FileTimeToUnixSeconds(times.lastWrite)), now, 5.0);
    if (times.creation) {
        EXPECT_NEAR(static_cast<double>(FileTimeToUnixSeconds(*times.creation)), now, 5.0);
    }
    file.Close();

    EXPECT_FALSE(file.Open(dir.Path().string().c_str(), OpenMode::Read));
    // A FIFO named like a save must neither hang the opener nor be copied.
    const std::string fifo = (dir / "pipe.tvd").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(file.Open(fifo.c_str(), OpenMode::Read));
    EXPECT_FALSE(CopyFile(fifo.c_str(), (dir / "copy.tvd").string().c_str(), CopyMode::Replace));
    EXPECT_FALSE(stdfs::exists(dir / "copy.tvd"));
}

TEST(FileTime, TimesBeyondTheFileTimeRangeHaveNoCalendar)
{
    // Seconds of the last representable file time, 30828 AD.
    constexpr std::int64_t kLast = 910'692'730'085;
    constexpr std::int64_t kFirst = -11'644'473'600; // 1601
    struct Case
    {
        std::int64_t seconds;
        bool representable;
    };
    const Case cases[] = {{0, true},
                          {kFirst, true},
                          {kLast, true},
                          {kLast + 1, false},
                          {kFirst - 1, false},
                          {1'000'000'000'000'000'000, false},
                          {std::numeric_limits<std::int64_t>::max(), false},
                          {std::numeric_limits<std::int64_t>::min(), false}};
    for (const Case& c : cases) {
        const FileTime time = FileTimeFromUnix(c.seconds, 0);
        std::tm calendar{};
        EXPECT_EQ(FileTimeToUtcCalendar(time, calendar), c.representable) << c.seconds;
        EXPECT_EQ(FileTimeToLocalCalendar(time, calendar), c.representable) << c.seconds;
        if (c.representable) {
            EXPECT_EQ(FileTimeToUnixSeconds(time), c.seconds);
        } else {
            EXPECT_EQ(time, kInvalidFileTime) << c.seconds;
        }
    }
    EXPECT_EQ(FileTimeToUnixSeconds(FileTimeFromUnix(-1, 500)), -1) << "before 1970, floored";
}

// Both replacing writes go through a temporary file: a failure, even half-way
// through a large save, keeps the old file and leaves nothing behind.
TEST(CopyFile, ReplacesOrRefusesAndAFailureKeepsTheOldFile)
{
    test::TempDir dir;
    const auto big = test::MakeSave("big", 1 << 20);
    test::WriteBytes(dir / "src.tvd", big);
    test::WriteBytes(dir / "old.tvd", {1, 2, 3});
    const std::string src = (dir / "src.tvd").string();
    const std::string old = (dir / "old.tvd").string();

    EXPECT_FALSE(CopyFile((dir / "missing").string().c_str(), old.c_str(), CopyMode::Replace));
    EXPECT_FALSE(CopyFile(src.c_str(), dir.Path().string().c_str(), CopyMode::Replace))
        << "onto a folder";
    {
        test::FileSizeLimit limit(64 * 1024);
        EXPECT_FALSE(CopyFile(src.c_str(), old.c_str(), CopyMode::Replace));
        EXPECT_FALSE(WriteFileAtomically(old.c_str(), big.data(), big.size()));
    }
    EXPECT_EQ(test::ReadBytes(dir / "old.tvd"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(test::FolderContents(dir.Path()), (std::vector<std::string>{"old.tvd", "src.tvd"}));

    ASSERT_TRUE(CopyFile(src.c_str(), old.c_str(), CopyMode::Replace));
    EXPECT_EQ(test::ReadBytes(dir / "old.tvd"), big);
    EXPECT_EQ(stdfs::last_write_time(dir / "old.tvd"), stdfs::last_write_time(dir / "src.tvd"));
}

TEST(FileOps, DeleteCreateAndExist)
{
    test::TempDir dir;
    const std::string folder = (dir / "Saves").string();
    EXPECT_TRUE(CreateDirectory(folder.c_str()));
    EXPECT_TRUE(CreateDirectory(folder.c_str())) << "an existing folder is no error";
    std::ofstream(dir / "file") << "x";
    EXPECT_FALSE(CreateDirectory((dir / "file").string().c_str())) << "a file is in the way";

    EXPECT_TRUE(FileExists((dir / "FILE").string().c_str())) << "found without regard to case";
    EXPECT_FALSE(DeleteFile(folder.c_str())) << "folders are not deleted as files";
    EXPECT_TRUE(DeleteFile((dir / "file").string().c_str()));
    EXPECT_FALSE(DeleteFile((dir / "file").string().c_str()));
    EXPECT_FALSE(FileExists((dir / "file").string().c_str()));
}

TEST(FileOps, TheVolumeRootIsTheMountPointThatHoldsThePath)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Tolvar", "C:\\"},
        {"e:", "e:\\"},
        {"\\proc", "\\proc\\"},
        {"\\proc\\self\\fd", "\\proc\\"},        // through a link, into the same volume
        {"\\proc\\missing\\deeper", "\\proc\\"}, // a folder still to be made
        {"\\procfs-lookalike\\x", "\\"},         // a prefix is not a folder
        {"\\", "\\"},
    };
    for (const auto& [path, root] : cases) {
        EXPECT_EQ(GetVolumeRoot(path), root) << path;
    }
}

TEST(FileOps, VolumeFlushFollowsTheDriveLetter)
{
    test::TempDir dir;
    test::FakeDrives drives;
    drives.Add('F', dir.Path().string(), "CARD");

    EXPECT_TRUE(FlushVolume("\\\\.\\F:"));
    EXPECT_FALSE(FlushVolume("\\\\.\\G:"));
    EXPECT_FALSE(FlushVolume("\\\\.\\Saves"));
}

} // namespace
} // namespace tolvar::fs
