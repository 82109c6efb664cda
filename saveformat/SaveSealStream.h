#pragma once

#include <cstddef>
#include <cstdint>

namespace tolvar {

// The seal check of VerifySaveBuffer taken over a save that comes piece by
// piece: each piece is looked at once, when it passes, and nothing is kept.
// The checksum field may be split across pieces.
class SaveSealStream
{
public:
    void Add(const std::uint8_t* bytes, std::size_t length);

    std::uint64_t Length() const { return m_length; }
    // True when the bytes added so far hold a whole checksum field and the
    // checksum stored there matches them.
    bool Sealed() const;

private:
    std::uint64_t m_length = 0;
    std::uint32_t m_crc = 0;
    std::uint32_t m_stored = 0;
};

} // namespace tolvar
