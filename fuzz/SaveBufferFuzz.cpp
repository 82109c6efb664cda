// The save format over arbitrary bytes. The first byte gives the length of a
// new save name taken from the bytes after it; the rest is the save. Every
// function must stay inside the buffer (each copy is allocated to its exact
// size), the CRC paths must agree, and a renamed save must carry a seal that
// checks and the name it was given.
#include "fuzz/FuzzCheck.h"
#include "saveformat/SaveFormat.h"

#include <cstring>
#include <memory>
#include <string>

using namespace tolvar;
using fuzz::Check;

namespace {

std::unique_ptr<std::uint8_t[]> CopyOf(const std::uint8_t* data, std::size_t size)
{
    auto copy = std::make_unique<std::uint8_t[]>(size);
    if (size > 0) {
        std::memcpy(copy.get(), data, size);
    }
    return copy;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::size_t nameLength = std::min<std::size_t>(data[0] % 48, size - 1);
    const std::string newName(reinterpret_cast<const char*>(data + 1), nameLength);
    const std::uint8_t* save = data + 1 + nameLength;
    const std::size_t length = size - 1 - nameLength;

    auto bytes = CopyOf(save, length);
    SaveHeaderFields fields;
    const bool whole = ReadSaveHeaderFields(bytes.get(), length, fields);
    Check(whole == (length >= kSaveHeaderLength), "header read whole only when long enough");
    Check(fields.saveName.size() <= kSaveNameFieldLength, "save name within its field");
    Check(fields.titleId.size() <= kSaveTitleIdLength, "title id within its field");

    const auto size32 = static_cast<std::uint32_t>(length);
    const std::uint32_t tableCrc = SaveCrc32Through(CrcPath::Table, bytes.get(), size32);
    for (CrcPath path : {CrcPath::Fold128, CrcPath::Fold512}) {
        if (HasCrcPath(path)) {
            Check(SaveCrc32Through(path, bytes.get(), size32) == tableCrc, "CRC paths agree");
        }
    }

    auto verified = CopyOf(save, length);
    const bool sealed = VerifySaveBuffer(verified.get(), size32);
    auto valid = CopyOf(save, length);
    const bool isValid = IsValidSaveBuffer(valid.get(), length);
    Check(!isValid || sealed, "a valid save has a seal that checks");

    auto renamed = CopyOf(save, length);
    SetSaveName(renamed.get(), size32, newName.c_str());
    if (length < kSaveNameOffset + kSaveNameFieldLength) {
        Check(length == 0 || std::memcmp(renamed.get(), save, length) == 0,
              "a buffer too short for the name is left alone");
        return 0;
    }
    for (std::size_t i = 0; i < length; ++i) {
        const bool inName = i >= kSaveNameOffset && i < kSaveNameOffset + kSaveNameFieldLength;
        const bool inSeal = i >= kSaveChecksumOffset && i < kSaveChecksumOffset + 4;
        if (!inName && !inSeal) {
            Check(renamed[i] == save[i], "renaming touches only the name and the seal");
        }
    }
    const std::string expected = std::string(newName.c_str()).substr(0, kSaveNameFieldLength - 1);
    ReadSaveHeaderFields(renamed.get(), length, fields);
    Check(fields.saveName == expected, "the renamed save carries the new name");
    Check(SaveNameFieldTerminated(renamed.get()), "the new name is terminated");
    Check(VerifySaveBuffer(renamed.get(), size32), "a renamed save is sealed");
    return 0;
}
