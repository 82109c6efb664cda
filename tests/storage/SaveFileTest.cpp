#include "storage/SaveFile.h"

#include "storage/SaveDate.h"
#include "storage/SaveEntry.h"
#include "tests/storage/TestSaves.h"
#include "tests/support/ScriptedMessageBox.h"
#include "tests/support/TempDir.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <regex>

namespace tolvar {
namespace {

TEST(SaveCrc32, KnownValues)
{
    const auto* digits = reinterpret_cast<const std::uint8_t*>("123456789");
    EXPECT_EQ(SaveCrc32(digits, 9), 0xCBF43926u);
    EXPECT_EQ(SaveCrc32(digits, 0), 0u);
    const std::uint8_t zeros[32] = {};
    EXPECT_EQ(SaveCrc32(zeros, 32), 0x190A55ADu);
}

TEST(SaveCrc32, EveryPathAgreesWithTheBitwiseDefinitionAtEveryLengthAndAlignment)
{
    // Each path the processor has is checked on every length, so the 128-bit
    // folding also meets the long inputs that SaveCrc32 itself would hand to
    // the 512-bit folding on this machine.
    std::vector<CrcPath> paths;
    for (CrcPath path : {CrcPath::Table, CrcPath::Fold128, CrcPath::Fold512}) {
        if (HasCrcPath(path)) {
            paths.push_back(path);
        }
    }
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes((1 << 20) + 64);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    auto check = [&](std::size_t offset, std::size_t length) {
        const std::uint8_t* at = bytes.data() + offset;
        const auto n = static_cast<std::uint32_t>(length);
        const std::uint32_t expected = test::ReferenceCrc32(at, length);
        bool agree = SaveCrc32(at, n) == expected;
        for (CrcPath path : paths) {
            agree = agree && SaveCrc32Through(path, at, n) == expected;
        }
        return agree;
    };
    for (std::size_t offset = 0; offset < 16; ++offset) {
        for (std::size_t length = 0; length <= 1100; ++length) {
            ASSERT_TRUE(check(offset, length)) << "offset " << offset << " length " << length;
        }
    }
    for (std::size_t length : {4095u, 65536u, 65599u, 1u << 20}) {
        EXPECT_TRUE(check(3, length)) << "length " << length;
    }
}

TEST(VerifySaveBuffer, AnyChangedByteOrChecksumFails)
{
    const auto save = test::MakeSave("intact", 200);
    auto copy = save;
    EXPECT_TRUE(VerifySaveBuffer(copy.data(), static_cast<std::uint32_t>(copy.size())));
    EXPECT_EQ(test::StoredChecksum(copy), 0u) << "the checksum field is zeroed in the buffer given";

    for (std::size_t i = 0; i < save.size(); ++i) {
        copy = save;
        copy[i] ^= 0x01;
        EXPECT_FALSE(VerifySaveBuffer(copy.data(), static_cast<std::uint32_t>(copy.size())))
            << "byte " << i;
    }
    std::uint8_t tiny[15] = {};
    EXPECT_FALSE(VerifySaveBuffer(tiny, sizeof tiny)) << "no whole checksum field";
}

TEST(SetSaveName, CutsAtThirtyOneAndPadsWithZeros)
{
    struct Case
    {
        std::string name;
        std::string kept;
    };
    const Case cases[] = {
        {std::string(31, 'N'), std::string(31, 'N')},
        {"0123456789012345678901234567890123456789", "0123456789012345678901234567890"},
        {"abc", "abc"},
        {"", ""}};
    for (const Case& c : cases) {
        auto save = test::MakeSave("old name that was long enough", 500);
        const auto before = save;
        SetSaveName(save.data(), static_cast<std::uint32_t>(save.size()), c.name.c_str());
        const std::string field(reinterpret_cast<const char*>(save.data() + 48), 32);
        EXPECT_EQ(field, c.kept + std::string(32 - c.kept.size(), '\0')) << c.name;
        auto resealed = save;
        test::Seal(resealed);
        EXPECT_EQ(test::StoredChecksum(save), test::StoredChecksum(resealed)) << "resealed";
        for (std::size_t i = 0; i < save.size(); ++i) {
            if ((i < 12 || i >= 16) && (i < 48 || i >= 80)) {
                ASSERT_EQ(save[i], before[i]) << "opaque byte " << i << " changed";
            }
        }
        EXPECT_TRUE(IsValidSaveBuffer(save.data(), save.size()));
    }
    std::vector<std::uint8_t> shortBuffer(79, 0xAA);
    SetSaveName(shortBuffer.data(), 79, "x");
    EXPECT_EQ(shortBuffer, std::vector<std::uint8_t>(79, 0xAA))
        << "too short for the field: untouched";
}

TEST(SaveHeader, ValidityAndFieldsAreBoundedByTheLength)
{
    auto save = test::MakeSave("fields", 300, "SLUS2", -5);
    SaveHeaderFields fields;
    ASSERT_TRUE(ReadSaveHeaderFields(save.data(), save.size(), fields));
    EXPECT_EQ(fields.saveName, "fields");
    EXPECT_EQ(fields.titleId, "SLUS2");
    EXPECT_EQ(fields.uncompressedSize, -5);
    EXPECT_EQ(fields.storedChecksum, test::StoredChecksum(save));

    EXPECT_FALSE(ReadSaveHeaderFields(save.data(), 50, fields));
    EXPECT_EQ(fields.saveName, "fi") << "only the bytes present";
    EXPECT_EQ(fields.uncompressedSize, 0);

    auto unterminated = test::MakeSave("x", 300);
    std::memset(unterminated.data() + 48, 'A', 32);
    test::Seal(unterminated);
    EXPECT_FALSE(IsValidSaveBuffer(unterminated.data(), unterminated.size()));
    ASSERT_TRUE(ReadSaveHeaderFields(unterminated.data(), unterminated.size(), fields));
    EXPECT_EQ(fields.saveName, std::string(32, 'A'));

    for (std::size_t length : {91u, 92u}) {
        std::vector<std::uint8_t> header(length);
        test::Seal(header);
        EXPECT_EQ(IsValidSaveBuffer(header.data(), header.size()), length == 92) << length;
    }
}

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

TEST_F(ReadSaveInfoTest, AValidSaveGetsItsNameAndDate)
{
    const std::string path = Put("good.tvd", test::MakeSave("My Save", 1000));
    SaveEntry entry;
    ASSERT_TRUE(ReadSaveInfo(path.c_str(), entry));
    EXPECT_STREQ(entry.saveName, "My Save");
    EXPECT_TRUE(std::regex_match(entry.displayText,
                                 std::regex("My Save   \\d\\d/\\d\\d/\\d\\d  \\d\\d:\\d\\d")))
        << entry.displayText;
    EXPECT_EQ(m_boxes.Count(), 0u);
}

TEST_F(ReadSaveInfoTest, DamagedShortUnterminatedAndMissingFilesAreRefused)
{
    auto wrongChecksum = test::MakeSave("bad", 300);
    wrongChecksum[12] ^= 0x80;
    auto unterminated = test::MakeSave("x", 300);
    std::memset(unterminated.data() + 48, 'Z', 32);
    test::Seal(unterminated);
    std::vector<std::uint8_t> header91(91);
    test::Seal(header91);

    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
        {"checksum.tvd", wrongChecksum},
        {"empty.tvd", {}},
        {"tiny.tvd", {1, 2, 3}},
        {"header91.tvd", header91},
        {"noname.tvd", unterminated}};
    for (const auto& [name, bytes] : files) {
        m_boxes.Clear();
        const std::string path = Put(name, bytes);
        SaveEntry entry;
        std::strcpy(entry.saveName, "unchanged");
        EXPECT_FALSE(ReadSaveInfo(path.c_str(), entry)) << name;
        EXPECT_STREQ(entry.saveName, "unchanged") << name;
        ASSERT_EQ(m_boxes.Count(), 1u) << name;
        EXPECT_EQ(m_boxes.Texts()[0],
                  "The file \"" + path +
                      "\" has been corrrupted, It will not be added to the file list.");
        EXPECT_EQ(m_boxes.All()[0].type, MB_OK);
    }
    m_boxes.Clear();
    SaveEntry entry;
    EXPECT_FALSE(ReadSaveInfo((m_dir / "missing.tvd").string().c_str(), entry));
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{"Cannot open selected file"});
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
    const fs::FileTime farFuture = fs::FileTimeFromUnix(std::int64_t{1} << 62, 0);
    EXPECT_EQ(FormatSaveDate(farFuture, now), "") << "a time with no calendar form has no date";
    EXPECT_EQ(FormatSaveDate(std::nullopt, farFuture), "");
}

} // namespace
} // namespace tolvar
