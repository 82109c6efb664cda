#include "platform/fs/File.h"

#include "platform/fs/Descriptor.h"
#include "platform/fs/Path.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tolvar::fs {

File::~File()
{
    Close();
}

File::File(File&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_readOnly(other.m_readOnly),
      m_openedLength(other.m_openedLength), m_openedTimes(other.m_openedTimes)
{
}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        m_readOnly = other.m_readOnly;
        m_openedLength = other.m_openedLength;
        m_openedTimes = other.m_openedTimes;
    }
    return *this;
}

namespace {

constexpr unsigned kStatMask = STATX_BTIME | STATX_MTIME | STATX_SIZE;

void ReadStat(const struct statx& sx, std::uint64_t& length, FileTimes& times)
{
    length = sx.stx_size;
    times.creation.reset();
    // Only a file system that keeps a birth time sets this bit.
    if ((sx.stx_mask & STATX_BTIME) != 0) {
        times.creation = FileTimeFromUnix(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
    }
    times.lastWrite = FileTimeFromUnix(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
}

} // namespace

bool File::Open(const char* programPath, OpenMode mode)
{
    Close();
    // Non-blocking while opening, so a FIFO or device posing as a save cannot
    // hang the caller; anything but a regular file is then refused.
    int flags = O_CLOEXEC | O_NONBLOCK;
    switch (mode) {
    case OpenMode::Read:
        flags |= O_RDONLY;
        break;
    case OpenMode::Write:
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
        break;
    case OpenMode::Append:
        flags |= O_WRONLY | O_CREAT | O_APPEND;
        break;
    case OpenMode::ReadWrite:
        flags |= O_RDWR;
        break;
    case OpenMode::CreateNew:
        flags |= O_WRONLY | O_CREAT | O_EXCL;
        break;
    }
    // An existing file is first opened as written, which spares the lookups
    // of the case-insensitive search. Files about to be created always take
    // the search, so an existing file of another case is the one written.
    std::string path;
    int fd = -1;
    const bool creates =
        mode == OpenMode::Write || mode == OpenMode::Append || mode == OpenMode::CreateNew;
    if (!creates && MapPathAsWritten(programPath, path)) {
        fd = open(path.c_str(), flags, 0666);
    }
    if (fd < 0) {
        if (!MapPath(programPath, path)) {
            return false;
        }
        fd = open(path.c_str(), flags, 0666);
    }
    if (fd < 0) {
        return false;
    }
    // A folder opens for reading on Linux; the program expects it not to.
    // The same query answers Stat for a file opened to be read, whose
    // scans open thousands of files one after another. O_NONBLOCK means
    // nothing to a regular file's reads; a writer drops it all the same.
    struct statx sx
    {
    };
    if (statx(fd, "", AT_EMPTY_PATH, STATX_TYPE | kStatMask, &sx) != 0 || !S_ISREG(sx.stx_mode) ||
        (mode != OpenMode::Read && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)) {
        close(fd);
        return false;
    }
    m_fd = fd;
    m_readOnly = mode == OpenMode::Read;
    ReadStat(sx, m_openedLength, m_openedTimes);
    return true;
}

void File::Close()
{
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}

std::size_t File::Read(void* buffer, std::size_t count)
{
    if (m_fd < 0) {
        return 0;
    }
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = read(m_fd, out + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool File::Write(const void* buffer, std::size_t count)
{
    if (m_fd < 0) {
        return false;
    }
    return WriteAll(m_fd, buffer, count);
}

std::uint64_t File::Length() const
{
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

bool File::Flush()
{
    return m_fd >= 0 && fsync(m_fd) == 0;
}

void File::StartWriteback(std::uint64_t offset, std::uint64_t length)
{
    if (m_fd >= 0) {
        sync_file_range(m_fd, static_cast<off_t>(offset), static_cast<off_t>(length),
                        SYNC_FILE_RANGE_WRITE);
    }
}

bool File::GetTimes(FileTimes& times) const
{
    std::uint64_t ignored = 0;
    return Stat(ignored, times);
}

bool File::Stat(std::uint64_t& length, FileTimes& times) const
{
    if (m_fd < 0) {
        return false;
    }
    if (m_readOnly) {
        length = m_openedLength;
        times = m_openedTimes;
        return true;
    }
    struct statx sx
    {
    };
    if (statx(m_fd, "", AT_EMPTY_PATH, kStatMask, &sx) != 0) {
        return false;
    }
    ReadStat(sx, length, times);
    return true;
}

} // namespace tolvar::fs
