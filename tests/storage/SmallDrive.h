#pragma once

// A small tmpfs mounted on a fresh folder: a drive that fills up after a few
// hundred kilobytes, and that can be pulled out (lazily unmounted) while
// files on it are still open. Needs root; Mounted() says whether it worked.
#include "tests/support/TempDir.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace tolvar::test {

class SmallDrive
{
public:
    explicit SmallDrive(const std::string& size = "256k")
    {
        const std::string options = "size=" + size;
        if (geteuid() != 0) {
            m_why = "a small drive is a tmpfs mount, which needs root; run this test as root";
        } else if (mount("tmpfs", m_dir.Path().c_str(), "tmpfs", 0, options.c_str()) != 0) {
            m_why = "mounting a tmpfs is not permitted here (errno " + std::to_string(errno) + ")";
        } else {
            m_mounted = true;
        }
    }
    ~SmallDrive()
    {
        if (m_held >= 0) {
            close(m_held);
        }
        if (m_mounted) {
            umount2(m_dir.Path().c_str(), MNT_DETACH);
        }
    }
    SmallDrive(const SmallDrive&) = delete;
    SmallDrive& operator=(const SmallDrive&) = delete;

    bool Mounted() const { return m_mounted; }
    const std::string& WhyNot() const { return m_why; }
    const std::filesystem::path& Path() const { return m_dir.Path(); }
    std::filesystem::path operator/(const std::string& name) const { return m_dir / name; }

    // Detaches the drive the way a pulled-out stick goes: its folder turns
    // back into the empty folder beneath, files open on it stay usable. The
    // drive's own contents stay reachable through Pulled() for the checks.
    void PullOut()
    {
        if (m_mounted) {
            m_held = open(m_dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            umount2(m_dir.Path().c_str(), MNT_DETACH);
            m_mounted = false;
        }
    }
    std::filesystem::path Pulled() const { return "/proc/self/fd/" + std::to_string(m_held); }

private:
    TempDir m_dir;
    bool m_mounted = false;
    int m_held = -1;
    std::string m_why;
};

} // namespace tolvar::test
