#include "saveformat/SaveFormat.h"

#include "saveformat/LittleEndian.h"

#include <algorithm>
#include <cstring>

namespace tolvar {

bool SaveNameFieldTerminated(const std::uint8_t* bytes)
{
    return std::memchr(bytes + kSaveNameOffset, 0, kSaveNameFieldLength) != nullptr;
}

bool VerifySaveBuffer(std::uint8_t* bytes, std::uint32_t length)
{
    // A buffer without a whole checksum field cannot be a save; refusing it
    // here keeps a careless caller from writing past its end.
    if (bytes == nullptr || length < kSaveChecksumOffset + 4) {
        return false;
    }
    const std::uint32_t stored = ReadLe32(bytes + kSaveChecksumOffset);
    WriteLe32(bytes + kSaveChecksumOffset, 0);
    return SaveCrc32(bytes, length) == stored;
}

void SetSaveName(std::uint8_t* bytes, std::uint32_t length, const char* newName)
{
    // Too short to hold the name field: leave the buffer as it is rather than
    // write past its end.
    if (bytes == nullptr || length < kSaveNameOffset + kSaveNameFieldLength) {
        return;
    }
    const char* name = newName != nullptr ? newName : "";
    const std::size_t n = strnlen(name, kSaveNameFieldLength - 1);
    std::memcpy(bytes + kSaveNameOffset, name, n);
    std::memset(bytes + kSaveNameOffset + n, 0, kSaveNameFieldLength - n);
    WriteLe32(bytes + kSaveChecksumOffset, 0);
    WriteLe32(bytes + kSaveChecksumOffset, SaveCrc32(bytes, length));
}

bool IsValidSaveBuffer(std::uint8_t* bytes, std::size_t length)
{
    if (bytes == nullptr || length < kSaveHeaderLength || length > kMaxSaveFileSize) {
        return false;
    }
    if (!SaveNameFieldTerminated(bytes)) {
        return false;
    }
    return VerifySaveBuffer(bytes, static_cast<std::uint32_t>(length));
}

bool ReadSaveHeaderFields(const std::uint8_t* bytes, std::size_t length, SaveHeaderFields& fields)
{
    fields = SaveHeaderFields{};
    if (bytes == nullptr) {
        return false;
    }
    if (length >= kSaveChecksumOffset + 4) {
        fields.storedChecksum = ReadLe32(bytes + kSaveChecksumOffset);
    }
    if (length > kSaveTitleIdOffset) {
        const std::size_t room = std::min(kSaveTitleIdLength, length - kSaveTitleIdOffset);
        const auto* start = reinterpret_cast<const char*>(bytes + kSaveTitleIdOffset);
        fields.titleId.assign(start, strnlen(start, room));
    }
    if (length > kSaveNameOffset) {
        const std::size_t room = std::min(kSaveNameFieldLength, length - kSaveNameOffset);
        const auto* start = reinterpret_cast<const char*>(bytes + kSaveNameOffset);
        fields.saveName.assign(start, strnlen(start, room));
    }
    if (length >= kSaveHeaderLength) {
        fields.uncompressedSize =
            static_cast<std::int32_t>(ReadLe32(bytes + kSaveUncompressedSizeOffset));
    }
    return length >= kSaveHeaderLength;
}

} // namespace tolvar
