#pragma once

// The code list file ("codelist.bin"): only its header's version number is
// read; every other byte is opaque.
#include "saveformat/LittleEndian.h"

#include <cstddef>
#include <cstdint>

namespace tolvar {

constexpr std::size_t kCodeListVersionOffset = 12;
constexpr std::size_t kCodeListHeaderLength = 16;

// The version stored in the header; 0 for a file too short to hold it.
inline std::int32_t CodeListVersion(const std::uint8_t* header, std::size_t length)
{
    return length >= kCodeListHeaderLength
               ? static_cast<std::int32_t>(ReadLe32(header + kCodeListVersionOffset))
               : 0;
}

} // namespace tolvar
