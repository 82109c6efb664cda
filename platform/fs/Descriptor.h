#pragma once

#include <cstddef>
#include <string>

struct stat;

namespace tolvar::fs {

// An open POSIX file descriptor, closed when it goes out of scope.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    // Closes what is held and takes fd.
    void Reset(int fd = -1);
    // Closes and reports whether the close kept everything written (NFS
    // reports a full disk only here).
    bool Close();

private:
    int m_fd;
};

// Writes all of data, going on after interruptions; a write that makes no
// progress fails with errno ENOSPC.
bool WriteAll(int fd, const void* data, std::size_t length);

enum class CopyFailure
{
    None,
    Read,
    Write, // errno says why (ENOSPC for a full disk)
};
// Copies all that can be read from `from` to `to`, then gives `to` the mode
// and times of `source`, where its file system can hold them (not on FAT).
CopyFailure CopyContents(int from, int to, const struct stat& source);

// Flushes a folder's entries to the medium, so a name just made or renamed
// there survives a pulled drive or a crash. Best effort: a folder that cannot
// be opened is left as it is.
void FlushFolder(const std::string& posixFolder);

// A rename that never replaces: another program may have made the name since
// it was checked. On file systems without RENAME_NOREPLACE it checks, then
// renames. Returns 0 or -1 with errno (EEXIST when the name is taken).
int RenameNoReplace(const std::string& from, const std::string& to);

} // namespace tolvar::fs
