#pragma once

#include "platform/fs/Volume.h"

#include <map>
#include <mutex>
#include <string>

namespace tolvar::fs {

// Mounted volumes from /proc/self/mountinfo. A volume is removable when its
// block device (or the disk of its partition) is removable or sits on USB in
// sysfs, or when it is mounted under /media or /run/media, where desktops
// mount plugged-in drives. The root file system is reported as C:. The label
// is the file system's own (libblkid), else the mount point's last component.
class LinuxVolumeSource : public VolumeSource
{
public:
    explicit LinuxVolumeSource(std::string mountInfoPath = "/proc/self/mountinfo");
    ~LinuxVolumeSource() override;

    std::vector<VolumeInfo> List() override;
    bool FreeBytes(const VolumeInfo& volume, std::uint64_t& totalFreeBytes) override;
    ChangeSignal GetChangeSignal() override;
    void ConsumeChange() override;

    // Splits one mountinfo line; false for a line it cannot read. Exposed so
    // the parsing can be checked on its own.
    struct MountLine
    {
        std::string mountId;
        std::string device;     // major:minor
        std::string mountPoint; // octal escapes undone
        std::string fileSystem;
        std::string source;
    };
    static bool ParseMountLine(const std::string& line, MountLine& mount);

    // The mount point of the volume that holds an absolute POSIX path, which
    // need not exist yet: the longest mount point that the path lies in.
    // Empty when the table cannot be read.
    // The medium mark of a mount (see VolumeInfo::medium).
    static std::string MediumOf(const std::string& majorMinor, const std::string& mountPoint);

    static std::string MountPointOf(const std::string& absolutePath,
                                    const std::string& mountInfoPath = "/proc/self/mountinfo");

private:
    std::string LabelOf(const MountLine& mount);

    std::string m_mountInfoPath;
    int m_fd = -1;
    std::mutex m_mutex;
    std::map<std::string, std::string> m_labels; // by volume key
};

} // namespace tolvar::fs
