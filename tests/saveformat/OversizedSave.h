#pragma once

// A sealed save one byte larger than any save may be. It is sealed with the
// program's own CRC (checked against the bitwise reference elsewhere): the
// reference would take seconds over 64 MiB.
#include "saveformat/SaveFormat.h"
#include "tests/storage/TestSaves.h"

namespace tolvar::test {

inline void SealWithProgramCrc(std::vector<std::uint8_t>& save)
{
    PutU32(save, kSaveChecksumOffset, 0);
    PutU32(save, kSaveChecksumOffset,
           SaveCrc32(save.data(), static_cast<std::uint32_t>(save.size())));
}

inline std::vector<std::uint8_t> MakeOversizedSave()
{
    auto save = MakeSave("oversized", 300);
    save.resize(kMaxSaveFileSize + 1);
    SealWithProgramCrc(save);
    return save;
}

} // namespace tolvar::test
