#pragma once

#include <cstddef>
#include <cstdint>

namespace tolvar {

class SaveEntry;

// Offsets of the header fields of a ".tvd" save; every other byte is opaque.
constexpr std::size_t kSaveChecksumOffset = 12;
constexpr std::size_t kSaveTitleIdOffset = 23;
constexpr std::size_t kSaveTitleIdLength = 5;
constexpr std::size_t kSaveNameOffset = 48;
constexpr std::size_t kSaveNameFieldLength = 32;
constexpr std::size_t kSaveUncompressedSizeOffset = 88;
constexpr std::size_t kSaveHeaderLength = 92; // a shorter file is no save

// CRC-32 of IEEE 802.3 (reflected 0xEDB88320, init and final XOR 0xFFFFFFFF).
std::uint32_t SaveCrc32(const std::uint8_t* bytes, std::uint32_t length);

// True when the stored checksum matches; zeroes the checksum field of the
// buffer it is given. The buffer must hold at least 16 bytes.
bool VerifySaveBuffer(std::uint8_t* bytes, std::uint32_t length);

// Writes a new save name (at most 31 characters) and re-seals the checksum.
void SetSaveName(std::uint8_t* bytes, std::uint32_t length, const char* newName);

// Reads and checks the save at a full (Windows-style) path; on success fills
// the entry's display text and save name. Shows its own messages.
bool ReadSaveInfo(const char* fullPath, SaveEntry& entry);

} // namespace tolvar
