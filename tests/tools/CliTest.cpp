// Runs the built tolvar-cli on real folders and checks what scripts rely on:
// its output lines and its exit codes.
#include "tests/saveformat/OversizedSave.h"
#include "tests/storage/TestSaves.h"
#include "tests/support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sys/wait.h>

namespace tolvar {
namespace {

struct Result
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test
{
protected:
    Result Run(const std::string& arguments)
    {
        const std::string command = "cd '" + m_dir.Path().string() + "' && '" TOLVAR_CLI_PATH "' " +
                                    arguments + " >'" + Path("out.txt") + "' 2>'" +
                                    Path("err.txt") + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Text("out.txt"), Text("err.txt")};
    }
    std::string Text(const std::string& name) const
    {
        const auto bytes = test::ReadBytes(m_dir / name);
        return std::string(bytes.begin(), bytes.end());
    }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    test::TempDir m_dir;
};

TEST_F(CliTest, InfoVerifyAndRenameToAResealedCopy)
{
    const auto save = test::MakeSave("Tolvar Save", 2000, "SCUS9", 123456);
    test::WriteBytes(m_dir / "good.tvd", save);
    auto bad = save;
    bad[1500] ^= 4;
    test::WriteBytes(m_dir / "bad.tvd", bad);
    test::WriteBytes(m_dir / "oversized.tvd", test::MakeOversizedSave());

    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", test::StoredChecksum(save));
    Result info = Run("info good.tvd");
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_EQ(info.out, "name=Tolvar Save\ntitle_id=SCUS9\nuncompressed_size=123456\ncrc=" +
                            std::string(crc) + "\nvalid=yes\n");
    Result verify = Run("verify good.tvd bad.tvd missing.tvd oversized.tvd");
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_EQ(verify.out, "OK good.tvd\nBAD bad.tvd\nBAD missing.tvd\nBAD oversized.tvd\n");

    Result rename = Run("rename good.tvd 'A brand new name that is far too long' out.tvd");
    EXPECT_EQ(rename.exitCode, 0) << rename.err;
    EXPECT_EQ(test::ReadBytes(m_dir / "good.tvd"), save);
    verify = Run("verify out.tvd");
    EXPECT_EQ(verify.exitCode, 0);
    EXPECT_EQ(Run("info out.tvd").out.find("name=A brand new name that is far to\n"), 0u);
    EXPECT_NE(Run("rename good.tvd X good.tvd").exitCode, 0) << "never onto the file itself";
    EXPECT_EQ(test::ReadBytes(m_dir / "good.tvd"), save);
    EXPECT_NE(Run("rename bad.tvd X fixed.tvd").exitCode, 0) << "a damaged save is not resealed";
    EXPECT_FALSE(std::filesystem::exists(m_dir / "fixed.tvd"));
}

TEST_F(CliTest, ListPrintsTheCatalogueAndSendsMessagesToStandardError)
{
    std::filesystem::create_directory(m_dir / "drive");
    test::WriteBytes(m_dir / "drive" / "2.tvd", test::MakeSave("beta"));
    test::WriteBytes(m_dir / "drive" / "1.tvd", test::MakeSave("Alpha"));
    test::WriteBytes(m_dir / "drive" / "x.tvd", {1, 2, 3});
    test::WriteBytes(m_dir / "drive" / "codelist.bin", test::MakeCodeList(5, 40));

    Result list = Run("list " + Path("drive"));
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_TRUE(std::regex_match(
        list.out, std::regex("Code List Version 5\nAlpha   [^\n]+\nbeta   [^\n]+\n")))
        << list.out;
    EXPECT_NE(
        list.err.find("x.tvd\" has been corrrupted, It will not be added to the file list.\n"),
        std::string::npos)
        << list.err;
    EXPECT_EQ(Run("list " + Path("nowhere")).exitCode, 1);
}

TEST_F(CliTest, DrivesListsThePcDatabaseWithItsFreeSpace)
{
    std::filesystem::create_directory(m_dir / "Saves");
    test::WriteBytes(m_dir / "Saves" / "s.tvd", test::MakeSave("s"));
    Result drives = Run("drives");
    EXPECT_EQ(drives.exitCode, 0);
    // The folder as the file manager names it.
    const std::size_t line =
        drives.out.find("Saves\t" + (m_dir / "Saves").string() + "\tSpace Free: ");
    ASSERT_NE(line, std::string::npos) << drives.out;
    EXPECT_NE(drives.out.find(" MB\n", line), std::string::npos);
}

} // namespace
} // namespace tolvar
