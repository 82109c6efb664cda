#pragma once

// Saves made by the tests themselves: a header with the fields set, some data
// bytes, and a checksum sealed by a plain bit-by-bit CRC-32 that shares no
// code with the program's.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tolvar::test {

inline std::uint32_t ReferenceCrc32(const std::uint8_t* bytes, std::size_t length)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

// Little-endian 32-bit fields at `offset`, as the save header stores them.
inline std::uint32_t GetU32(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return value;
}
inline void PutU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4 && offset + i < bytes.size(); ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline std::uint32_t StoredChecksum(const std::vector<std::uint8_t>& save)
{
    return GetU32(save, 12);
}

inline void Seal(std::vector<std::uint8_t>& save)
{
    PutU32(save, 12, 0);
    PutU32(save, 12, ReferenceCrc32(save.data(), save.size()));
}

// A code list file: filler bytes with the version number at offset 12.
inline std::vector<std::uint8_t> MakeCodeList(std::int32_t version, std::size_t length = 64)
{
    std::vector<std::uint8_t> bytes(length, 0x11);
    PutU32(bytes, 12, static_cast<std::uint32_t>(version));
    return bytes;
}

inline std::vector<std::uint8_t> MakeSave(const std::string& saveName,
                                          std::size_t totalLength = 300,
                                          const std::string& titleId = "SLES5",
                                          std::int32_t uncompressedSize = 4096, unsigned seed = 1)
{
    std::vector<std::uint8_t> save(totalLength < 92 ? 92 : totalLength);
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& byte : save) {
        x = x * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(x >> 16);
    }
    std::memset(save.data() + 23, 0, 5);
    std::memcpy(save.data() + 23, titleId.data(), titleId.size() < 5 ? titleId.size() : 5);
    std::memset(save.data() + 48, 0, 32);
    std::memcpy(save.data() + 48, saveName.data(), saveName.size() < 31 ? saveName.size() : 31);
    PutU32(save, 88, static_cast<std::uint32_t>(uncompressedSize));
    Seal(save);
    return save;
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>());
}

// A program-style folder path for a POSIX folder: "\tmp\x\".
inline std::string ProgramFolder(const std::filesystem::path& folder)
{
    std::string text = folder.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text.empty() || text.back() != '\\' ? text + '\\' : text;
}

// The names in a folder, sorted: shows stray temporary files.
inline std::vector<std::string> FolderContents(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace tolvar::test
