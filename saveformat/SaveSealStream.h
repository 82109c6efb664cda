#pragma once

#include "saveformat/SaveFormat.h"

#include <cstddef>
#include <cstdint>

namespace tolvar {

// The checks of IsValidSaveBuffer taken over a save that comes piece by
// piece: each piece is looked at once, when it passes, and only the header is
// kept. The checksum field may be split across pieces.
class SaveSealStream
{
public:
    void Add(const std::uint8_t* bytes, std::size_t length);

    std::uint64_t Length() const { return m_length; }
    // True when the bytes added so far hold a whole checksum field and the
    // checksum stored there matches them.
    bool Sealed() const;
    // What IsValidSaveBuffer says of the bytes added so far: the whole header
    // with a terminated name, no larger than a save may be, and sealed.
    bool IsValidSave() const;

private:
    std::uint64_t m_length = 0;
    std::uint32_t m_crc = 0;
    std::uint32_t m_stored = 0;
    std::uint8_t m_header[kSaveHeaderLength] = {};
};

} // namespace tolvar
