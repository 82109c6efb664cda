#include "platform/fs/Descriptor.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tolvar::fs {

void Descriptor::Reset(int fd)
{
    if (m_fd >= 0) {
        close(m_fd);
    }
    m_fd = fd;
}

bool Descriptor::Close()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd >= 0 && close(fd) == 0;
}

bool WriteAll(int fd, const void* data, std::size_t length)
{
    const auto* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t n = write(fd, bytes, length);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

CopyFailure CopyContents(int from, int to, const struct stat& source)
{
    std::vector<char> buffer(1 << 18);
    for (;;) {
        const ssize_t n = read(from, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return CopyFailure::Read;
        }
        if (n == 0) {
            break;
        }
        if (!WriteAll(to, buffer.data(), static_cast<std::size_t>(n))) {
            return CopyFailure::Write;
        }
    }
    fchmod(to, source.st_mode & 07777);
    const timespec times[2] = {source.st_atim, source.st_mtim};
    futimens(to, times);
    return CopyFailure::None;
}

void FlushFolder(const std::string& posixFolder)
{
    Descriptor folder(open(posixFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid()) {
        fsync(folder.Get());
    }
}

int RenameNoReplace(const std::string& from, const std::string& to)
{
    const int result = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        struct stat st;
        if (lstat(to.c_str(), &st) == 0) {
            errno = EEXIST;
            return -1;
        }
        return rename(from.c_str(), to.c_str());
    }
    return result;
}

} // namespace tolvar::fs
