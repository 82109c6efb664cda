#pragma once

#include "platform/fs/FileTime.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tolvar::fs {

enum class OpenMode
{
    Read,      // existing file, reading; shared with every other opener
    Write,     // created or truncated, writing
    Append,    // created when missing, writing at the end
    ReadWrite, // existing file, reading and writing
    CreateNew, // a new file, writing; fails when the name is taken
};

struct FileTimes
{
    std::optional<FileTime> creation; // absent when the file system keeps none
    FileTime lastWrite = 0;
};

// An open file. Folders do not open, as on the original platform.
class File
{
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    bool Open(const char* programPath, OpenMode mode);
    void Close();

    // Read returns the number of bytes read: fewer than asked only at the end
    // of the file or on an error. Write returns false unless all was written.
    std::size_t Read(void* buffer, std::size_t count);
    bool Write(const void* buffer, std::size_t count);
    std::uint64_t Length() const; // 0 when unknown

    // Pushes the file's data to the medium (fsync).
    bool Flush();
    // Starts pushing a written range to the medium without waiting for it, so
    // that the Flush at the end has little left to wait for. Only a hint.
    void StartWriteback(std::uint64_t offset, std::uint64_t length);
    bool GetTimes(FileTimes& times) const;
    // Length and times with one query (for a file opened to be read, the
    // answer the open itself got).
    bool Stat(std::uint64_t& length, FileTimes& times) const;

private:
    int m_fd = -1;
    // Opened to be read: the length and times the open found stay true.
    bool m_readOnly = false;
    std::uint64_t m_openedLength = 0;
    FileTimes m_openedTimes;
};

} // namespace tolvar::fs
