#include "storage/SaveFile.h"

#include "platform/base/MessageBox.h"
#include "platform/fs/File.h"
#include "storage/FixedText.h"
#include "storage/SaveDate.h"
#include "storage/SaveEntry.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

namespace tolvar {
namespace {

// One buffer serves every save of a scan, so memory stays at the largest
// save instead of growing and shrinking per file. Files beyond this size get
// a buffer of their own that is released at once.
constexpr std::size_t kReusedBufferLimit = 16u << 20;

// Page-aligned: the kernel copies into an aligned buffer more than twice as
// fast as into the 16-byte offset a large malloc returns.
class ReadBuffer
{
public:
    static constexpr std::align_val_t kAlignment{4096};

    ReadBuffer() = default;
    ~ReadBuffer() { Release(); }
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;

    std::uint8_t* Reserve(std::size_t size)
    {
        if (size > m_capacity) {
            Release();
            m_data = static_cast<std::uint8_t*>(::operator new(size, kAlignment));
            m_capacity = size;
        }
        return m_data;
    }
    void Release()
    {
        if (m_data != nullptr) {
            ::operator delete(m_data, kAlignment);
            m_data = nullptr;
            m_capacity = 0;
        }
    }

private:
    std::uint8_t* m_data = nullptr;
    std::size_t m_capacity = 0;
};

std::uint32_t ReadLe32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void WriteLe32(std::uint8_t* p, std::uint32_t value)
{
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

bool NameFieldTerminated(const std::uint8_t* bytes)
{
    return std::memchr(bytes + kSaveNameOffset, 0, kSaveNameFieldLength) != nullptr;
}

void ShowCorrupted(const char* fullPath)
{
    char text[512];
    std::snprintf(text, sizeof text,
                  "The file \"%s\" has been corrrupted, It will not be added to the file list.",
                  fullPath);
    AfxMessageBox(text, MB_OK);
}

} // namespace

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
    if (bytes == nullptr || length < kSaveHeaderLength ||
        length > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    if (!NameFieldTerminated(bytes)) {
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

bool ReadSaveInfo(const char* fullPath, SaveEntry& entry)
{
    fs::File file;
    if (fullPath == nullptr || !file.Open(fullPath, fs::OpenMode::Read)) {
        AfxMessageBox("Cannot open selected file", MB_OK);
        return false;
    }
    // Length and times come from one query of the still open file.
    std::uint64_t length = 0;
    fs::FileTimes times;
    const bool haveTimes = file.Stat(length, times);
    if (!haveTimes) {
        length = file.Length();
    }
    // Too short for the header fields read below, or too long for the 32-bit
    // checksum length: not a save, and no read may go past the file's end.
    if (length < kSaveHeaderLength || length > std::numeric_limits<std::uint32_t>::max()) {
        ShowCorrupted(fullPath);
        return false;
    }

    static thread_local ReadBuffer reused;
    ReadBuffer own;
    ReadBuffer& buffer = length <= kReusedBufferLimit ? reused : own;
    std::uint8_t* bytes = buffer.Reserve(static_cast<std::size_t>(length));
    if (file.Read(bytes, static_cast<std::size_t>(length)) != length) {
        return false;
    }
    if (!NameFieldTerminated(bytes) ||
        !VerifySaveBuffer(bytes, static_cast<std::uint32_t>(length))) {
        ShowCorrupted(fullPath);
        return false;
    }

    char saveName[kSaveNameFieldLength];
    std::memcpy(saveName, bytes + kSaveNameOffset,
                kSaveNameFieldLength); // holds its NUL, checked above

    std::optional<fs::FileTime> creation;
    if (haveTimes) {
        creation = times.creation;
    }
    const std::string date = FormatSaveDate(creation, fs::GetSystemTimeAsFileTime());

    CopyFixed(entry.saveName, saveName);
    char display[256];
    std::snprintf(display, sizeof display, "%s%s", saveName, date.c_str());
    CopyFixed(entry.displayText, display);
    return true;
}

} // namespace tolvar
