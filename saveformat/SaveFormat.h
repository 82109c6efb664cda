#pragma once

// The ".tvd" save format on its own: the header fields, the CRC-32 seal and
// renaming. Pure functions over bytes in memory; no files, no messages.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvar {

// Offsets of the header fields of a ".tvd" save; every other byte is opaque.
constexpr std::size_t kSaveChecksumOffset = 12;
constexpr std::size_t kSaveTitleIdOffset = 23;
constexpr std::size_t kSaveTitleIdLength = 5;
constexpr std::size_t kSaveNameOffset = 48;
constexpr std::size_t kSaveNameFieldLength = 32;
constexpr std::size_t kSaveUncompressedSizeOffset = 88;
constexpr std::size_t kSaveHeaderLength = 92; // a shorter file is no save

// No real save comes near this size (a whole memory card holds 8 MiB); a
// larger file is no save, and nobody reads it into memory to find that out.
constexpr std::size_t kMaxSaveFileSize = std::size_t{64} << 20;

// CRC-32 of IEEE 802.3 (reflected 0xEDB88320, init and final XOR 0xFFFFFFFF).
std::uint32_t SaveCrc32(const std::uint8_t* bytes, std::uint32_t length);
// Carries on a CRC over more bytes: crc is the CRC of the bytes before (0 for
// none), so a buffer's CRC can be taken piece by piece as it arrives.
std::uint32_t SaveCrc32Continue(std::uint32_t crc, const std::uint8_t* bytes, std::size_t length);

// The ways the CRC can be computed, all giving the same value: the sliced
// tables, or carry-less folding 128 or 512 bits wide where the processor has
// it. SaveCrc32 takes the widest; each can be asked for so that all of them
// are checked on a machine that would otherwise only run its fastest.
enum class CrcPath
{
    Table,
    Fold128,
    Fold512
};
bool HasCrcPath(CrcPath path);
// SaveCrc32 going no wider than the given path (nor than the processor allows).
std::uint32_t SaveCrc32Through(CrcPath widest, const std::uint8_t* bytes, std::uint32_t length);

// True when the stored checksum matches; zeroes the checksum field of the
// buffer it is given. The buffer must hold at least 16 bytes.
bool VerifySaveBuffer(std::uint8_t* bytes, std::uint32_t length);

// Writes a new save name (at most 31 characters) and re-seals the checksum.
void SetSaveName(std::uint8_t* bytes, std::uint32_t length, const char* newName);

// A whole save in memory is valid when it holds every header field, is no
// larger than kMaxSaveFileSize, its save name field holds a terminator and
// its checksum matches. Like VerifySaveBuffer it zeroes the checksum field.
bool IsValidSaveBuffer(std::uint8_t* bytes, std::size_t length);

// True when the name field of a buffer of at least kSaveHeaderLength bytes
// holds its terminator.
bool SaveNameFieldTerminated(const std::uint8_t* bytes);

// The header fields as stored. Fields that lie beyond the buffer's end are
// left empty or zero; the result tells whether the whole header was there.
struct SaveHeaderFields
{
    std::string saveName; // up to its NUL, at most the 32 bytes of the field
    std::string titleId;  // up to five characters
    std::int32_t uncompressedSize = 0;
    std::uint32_t storedChecksum = 0;
};
bool ReadSaveHeaderFields(const std::uint8_t* bytes, std::size_t length, SaveHeaderFields& fields);

} // namespace tolvar
