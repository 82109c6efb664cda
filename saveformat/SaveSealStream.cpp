#include "saveformat/SaveSealStream.h"

#include "saveformat/SaveFormat.h"

#include <algorithm>
#include <cstring>

namespace tolvar {

void SaveSealStream::Add(const std::uint8_t* bytes, std::size_t length)
{
    constexpr std::uint64_t kFieldEnd = kSaveChecksumOffset + 4;
    if (m_length < kSaveHeaderLength) {
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(length, kSaveHeaderLength - m_length));
        std::memcpy(m_header + m_length, bytes, n);
    }
    // The checksum field counts as zeros; its bytes are kept aside as they pass.
    while (length > 0 && m_length < kFieldEnd) {
        if (m_length < kSaveChecksumOffset) {
            const std::size_t n = static_cast<std::size_t>(
                std::min<std::uint64_t>(length, kSaveChecksumOffset - m_length));
            m_crc = SaveCrc32Continue(m_crc, bytes, n);
            bytes += n;
            length -= n;
            m_length += n;
            continue;
        }
        const auto shift = static_cast<unsigned>(8 * (m_length - kSaveChecksumOffset));
        m_stored |= static_cast<std::uint32_t>(*bytes) << shift;
        const std::uint8_t zero = 0;
        m_crc = SaveCrc32Continue(m_crc, &zero, 1);
        ++bytes;
        --length;
        ++m_length;
    }
    m_crc = SaveCrc32Continue(m_crc, bytes, length);
    m_length += length;
}

bool SaveSealStream::Sealed() const
{
    return m_length >= kSaveChecksumOffset + 4 && m_crc == m_stored;
}

bool SaveSealStream::IsValidSave() const
{
    return m_length >= kSaveHeaderLength && m_length <= kMaxSaveFileSize &&
           SaveNameFieldTerminated(m_header) && Sealed();
}

} // namespace tolvar
