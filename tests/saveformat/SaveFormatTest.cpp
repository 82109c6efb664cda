#include "saveformat/SaveFormat.h"
#include "saveformat/SaveSealStream.h"

#include "tests/saveformat/OversizedSave.h"
#include "tests/storage/TestSaves.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace tolvar {
namespace {

TEST(SaveCrc32, EveryPathAgreesWithTheBitwiseDefinitionAtEveryLengthAndAlignment)
{
    // The reference itself against known values first.
    EXPECT_EQ(test::ReferenceCrc32(reinterpret_cast<const std::uint8_t*>("123456789"), 9),
              0xCBF43926u);
    const std::uint8_t zeros[32] = {};
    EXPECT_EQ(test::ReferenceCrc32(zeros, 32), 0x190A55ADu);

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

TEST(SaveSeal, AnyChangedByteFailsTheCheckWholeOrInPieces)
{
    const auto small = test::MakeSave("intact", 200);
    auto copy = small;
    EXPECT_TRUE(VerifySaveBuffer(copy.data(), static_cast<std::uint32_t>(copy.size())));
    EXPECT_EQ(test::StoredChecksum(copy), 0u) << "the checksum field is zeroed in the buffer given";
    for (std::size_t i = 0; i < small.size(); ++i) {
        copy = small;
        copy[i] ^= 0x01;
        EXPECT_FALSE(VerifySaveBuffer(copy.data(), static_cast<std::uint32_t>(copy.size())))
            << "byte " << i;
    }
    std::uint8_t tiny[15] = {};
    EXPECT_FALSE(VerifySaveBuffer(tiny, sizeof tiny)) << "no whole checksum field";

    // Three pieces cut at every pair of points of a save long enough for the
    // folding paths, flipped at a byte of the head, the checksum field and the
    // tail: the check over pieces gives what the check over the whole gives.
    const auto save = test::MakeSave("streamed", 1200);
    const std::size_t n = save.size();
    for (std::size_t flip : {n, std::size_t{3}, std::size_t{13}, n - 1}) {
        auto bytes = save;
        if (flip < n) {
            bytes[flip] ^= 0x40;
        }
        auto whole = bytes;
        const bool expected = VerifySaveBuffer(whole.data(), static_cast<std::uint32_t>(n));
        EXPECT_EQ(expected, flip == n);
        for (std::size_t a = 0; a <= 40; ++a) {
            for (std::size_t b = a; b <= n; b += b < 40 ? 1 : 97) {
                SaveSealStream stream;
                stream.Add(bytes.data(), a);
                stream.Add(bytes.data() + a, b - a);
                stream.Add(bytes.data() + b, n - b);
                ASSERT_EQ(stream.Sealed(), expected) << "flip " << flip << " cut " << a << "," << b;
                ASSERT_EQ(stream.Length(), n);
            }
        }
    }
    for (std::size_t length : {0u, 12u, 15u}) {
        SaveSealStream stream;
        stream.Add(save.data(), length);
        EXPECT_FALSE(stream.Sealed()) << "no whole checksum field in " << length;
    }
    // A CRC carried on piece by piece is the CRC of the whole.
    for (std::size_t cut : {0u, 1u, 255u, 256u, 700u}) {
        const std::uint32_t first = SaveCrc32Continue(0, save.data(), cut);
        EXPECT_EQ(SaveCrc32Continue(first, save.data() + cut, n - cut),
                  test::ReferenceCrc32(save.data(), n))
            << "cut " << cut;
    }
}

TEST(SaveHeader, ValidityAndFieldsAreBoundedByTheLength)
{
    auto save = test::MakeSave("fields", 300, "SLUS2", -5);
    SaveHeaderFields fields;
    ASSERT_TRUE(ReadSaveHeaderFields(save.data(), save.size(), fields));
    EXPECT_EQ(fields.uncompressedSize, -5) << "signed";

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
    auto oversized = test::MakeOversizedSave();
    EXPECT_FALSE(IsValidSaveBuffer(oversized.data(), oversized.size())) << "sealed but too large";
    oversized.pop_back();
    test::SealWithProgramCrc(oversized);
    EXPECT_TRUE(IsValidSaveBuffer(oversized.data(), oversized.size())) << "the largest save";

    std::vector<std::uint8_t> shortBuffer(79, 0xAA);
    SetSaveName(shortBuffer.data(), 79, "x");
    EXPECT_EQ(shortBuffer, std::vector<std::uint8_t>(79, 0xAA)) << "too short for the name field";
}
} // namespace
} // namespace tolvar
