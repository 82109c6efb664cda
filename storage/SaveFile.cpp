#include "storage/SaveFile.h"

#include "platform/base/MessageBox.h"
#include "platform/fs/File.h"
#include "platform/fs/Path.h"
#include "storage/SaveDate.h"
#include "storage/SaveEntry.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

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

void ShowCorrupted(const char* programPath)
{
    // The user reads the path as the file manager shows it.
    std::string shown;
    if (!fs::MapPathAsWritten(programPath, shown)) {
        shown = programPath;
    }
    const char* fullPath = shown.c_str();
    char text[512];
    std::snprintf(text, sizeof text,
                  "The file \"%s\" has been corrrupted, It will not be added to the file list.",
                  fullPath);
    AfxMessageBox(text, MB_OK);
}

} // namespace

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
    // Too short for the header fields read below, or larger than any save:
    // not a save, and neither a read past the file's end nor a buffer of its
    // size.
    if (length < kSaveHeaderLength || length > kMaxSaveFileSize) {
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
    if (!SaveNameFieldTerminated(bytes) ||
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

    entry.m_saveName = saveName;
    entry.m_displayText = saveName + date;
    return true;
}

} // namespace tolvar
