#include "storage/SaveFile.h"

#include "storage/SaveDate.h"
#include "storage/SaveEntry.h"
#include "tests/saveformat/OversizedSave.h"
#include "tests/storage/TestSaves.h"
#include "tests/support/ScriptedMessageBox.h"
#include "tests/support/TempDir.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <optional>
#include <regex>

namespace tolvar {
namespace {

class ReadSaveInfoTest : public ::testing::Test
{
protected:
    std::string Put(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        test::WriteBytes(m_dir / name, bytes);
        return (m_dir / name).string();
    }
    test::TempDir m_dir;
    test::ScriptedMessageBox m_boxes;
};

TEST_F(ReadSaveInfoTest, ASoundSaveGetsItsNameAndDateAndADamagedOneIsRefused)
{
    auto wrongChecksum = test::MakeSave("bad", 300);
    wrongChecksum[12] ^= 0x80;
    auto unterminated = test::MakeSave("x", 300);
    std::memset(unterminated.data() + 48, 'Z', 32);
    test::Seal(unterminated);
    std::vector<std::uint8_t> header91(91);
    test::Seal(header91);

    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
        {"good.tvd", test::MakeSave("My Save", 1000)},
        {"checksum.tvd", wrongChecksum},
        {"empty.tvd", {}},
        {"tiny.tvd", {1, 2, 3}},
        {"header91.tvd", header91},
        {"noname.tvd", unterminated},
        {"oversized.tvd", test::MakeOversizedSave()}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        m_boxes.Clear();
        const std::string path = Put(name, bytes);
        SaveEntry entry;
        entry.m_saveName = "unchanged";
        const bool sound = name == "good.tvd";
        EXPECT_EQ(ReadSaveInfo(path.c_str(), entry), sound);
        if (sound) {
            EXPECT_EQ(entry.m_saveName, "My Save");
            EXPECT_TRUE(std::regex_match(
                entry.m_displayText, std::regex("My Save   \\d\\d/\\d\\d/\\d\\d  \\d\\d:\\d\\d")))
                << entry.m_displayText;
            EXPECT_EQ(m_boxes.Count(), 0u);
            continue;
        }
        EXPECT_EQ(entry.m_saveName, "unchanged");
        ASSERT_EQ(m_boxes.Count(), 1u);
        EXPECT_EQ(m_boxes.Texts()[0],
                  "The file \"" + path +
                      "\" has been corrrupted, It will not be added to the file list.");
        EXPECT_EQ(m_boxes.All()[0].type, MB_OK);
    }
}

class SaveDateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const char* tz = std::getenv("TZ")) {
            m_oldTz = tz;
        }
        setenv("TZ", "XYZ-2", 1); // two hours east of UTC, no summer time
        tzset();
    }
    void TearDown() override
    {
        m_oldTz ? setenv("TZ", m_oldTz->c_str(), 1) : unsetenv("TZ");
        tzset();
    }
    static fs::FileTime At(int year, int month, int day, int hour, int minute)
    {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        return fs::FileTimeFromUnix(timegm(&t), 123456700);
    }
    std::optional<std::string> m_oldTz;
};

TEST_F(SaveDateTest, CreationTimeInLocalTimeElseNowInUtc)
{
    const fs::FileTime created = At(2026, 12, 5, 5, 30);
    const fs::FileTime now = At(2027, 1, 2, 23, 59);
    EXPECT_EQ(FormatSaveDate(created, now), "   05/12/26  07:30");
    EXPECT_EQ(FormatSaveDate(std::nullopt, now), "   02/01/27  23:59")
        << "no creation time: UTC, unconverted";
    const fs::FileTime lowHalfZero = created & ~static_cast<fs::FileTime>(0xFFFFFFFFu);
    EXPECT_EQ(FormatSaveDate(lowHalfZero, now), "   02/01/27  23:59")
        << "a zero low half counts as absent";
    EXPECT_EQ(FormatSaveDate(At(1850, 6, 1, 12, 0), now), "   01/01/70  02:00")
        << "before 1900: time 0, local";
}

} // namespace
} // namespace tolvar
