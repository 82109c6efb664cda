#include "platform/fs/LinuxVolumeSource.h"

#include "platform/base/LibrarySymbol.h"

#include <blkid/blkid.h>
#include <cerrno>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace tolvar::fs {
namespace {

// mountinfo writes space, tab, newline and backslash as \ooo.
std::string Unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const char a = text[i + 1];
            const char b = text[i + 2];
            const char c = text[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string ReadFirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// True for a block device that is removable, or one on USB, either itself or
// as a partition of such a disk.
bool IsRemovableDevice(const std::string& majorMinor)
{
    if (StartsWith(majorMinor, "0:")) {
        return false; // no block device behind it
    }
    const std::string node = "/sys/dev/block/" + majorMinor;
    if (ReadFirstLine(node + "/removable") == "1" || ReadFirstLine(node + "/../removable") == "1") {
        return true;
    }
    char target[4096];
    const ssize_t n = readlink(node.c_str(), target, sizeof target - 1);
    return n > 0 &&
           std::string(target, static_cast<std::size_t>(n)).find("/usb") != std::string::npos;
}

std::string LastComponent(const std::string& path)
{
    const std::size_t last = path.find_last_of('/');
    return last == std::string::npos ? path : path.substr(last + 1);
}

} // namespace

LinuxVolumeSource::LinuxVolumeSource(std::string mountInfoPath)
    : m_mountInfoPath(std::move(mountInfoPath))
{
    m_fd = open(m_mountInfoPath.c_str(), O_RDONLY | O_CLOEXEC);
    ConsumeChange(); // reading it once arms the poll
}

LinuxVolumeSource::~LinuxVolumeSource()
{
    if (m_fd >= 0) {
        close(m_fd);
    }
}

bool LinuxVolumeSource::ParseMountLine(const std::string& line, MountLine& mount)
{
    std::istringstream in(line);
    std::vector<std::string> fields;
    std::string field;
    while (in >> field) {
        fields.push_back(field);
    }
    // id parent major:minor root mount-point options [optional...] - type source super-options
    std::size_t dash = 6;
    while (dash < fields.size() && fields[dash] != "-") {
        ++dash;
    }
    if (fields.size() < 6 || dash + 2 >= fields.size()) {
        return false;
    }
    mount.mountId = fields[0];
    mount.device = fields[2];
    mount.mountPoint = Unescape(fields[4]);
    mount.fileSystem = fields[dash + 1];
    mount.source = Unescape(fields[dash + 2]);
    return true;
}

std::string LinuxVolumeSource::MediumOf(const std::string& majorMinor,
                                        const std::string& mountPoint)
{
    std::string medium;
    if (!StartsWith(majorMinor, "0:")) {
        // A partition's sequence number is its disk's, one folder up.
        const std::string node = "/sys/dev/block/" + majorMinor;
        medium = ReadFirstLine(node + "/diskseq");
        if (medium.empty()) {
            medium = ReadFirstLine(node + "/../diskseq");
        }
    }
    struct statx sx = {};
    if (statx(AT_FDCWD, mountPoint.c_str(), AT_NO_AUTOMOUNT, STATX_BTIME, &sx) == 0 &&
        (sx.stx_mask & STATX_BTIME) != 0) {
        medium +=
            "@" + std::to_string(sx.stx_btime.tv_sec) + "." + std::to_string(sx.stx_btime.tv_nsec);
    }
    return medium;
}

std::string LinuxVolumeSource::MountPointOf(const std::string& absolutePath,
                                            const std::string& mountInfoPath)
{
    std::ifstream in(mountInfoPath);
    std::string best;
    std::string line;
    while (std::getline(in, line)) {
        MountLine mount;
        if (!ParseMountLine(line, mount) || mount.mountPoint.size() <= best.size()) {
            continue;
        }
        const std::string& point = mount.mountPoint;
        const bool holds =
            point == "/" || absolutePath == point ||
            (StartsWith(absolutePath, point.c_str()) && absolutePath[point.size()] == '/');
        if (holds) {
            best = point;
        }
    }
    return best;
}

std::vector<VolumeInfo> LinuxVolumeSource::List()
{
    std::vector<VolumeInfo> volumes;
    std::ifstream in(m_mountInfoPath);
    std::string line;
    while (std::getline(in, line)) {
        MountLine mount;
        if (!ParseMountLine(line, mount)) {
            continue;
        }
        VolumeInfo info;
        info.medium = MediumOf(mount.device, mount.mountPoint);
        info.key = mount.mountId + " " + mount.device + " " + mount.mountPoint + " " + info.medium;
        info.mountId = mount.mountId;
        unsigned major = 0;
        unsigned minor = 0;
        if (std::sscanf(mount.device.c_str(), "%u:%u", &major, &minor) == 2) {
            info.device = makedev(major, minor);
        }
        info.mountPoint = mount.mountPoint;
        info.fileSystem = mount.fileSystem;
        if (mount.mountPoint == "/") {
            info.type = DriveType::Fixed;
            info.preferredLetter = 'C';
        } else if (StartsWith(mount.mountPoint, "/media/") ||
                   StartsWith(mount.mountPoint, "/run/media/") || IsRemovableDevice(mount.device)) {
            info.type = DriveType::Removable;
        } else {
            continue;
        }
        // Only a drive is shown by its label: probing the system's own disk
        // for one loaded libblkid and read its superblock at every start.
        if (info.type == DriveType::Removable) {
            info.label = LabelOf(mount);
        }
        volumes.push_back(std::move(info));
    }
    return volumes;
}

namespace {

// libblkid is loaded when a label is first probed, not with the program: the
// start needs no label. Without it a volume is named by its mount point.
struct BlkidFunctions
{
    blkid_probe (*newProbeFromFilename)(const char*);
    int (*enableSuperblocks)(blkid_probe, int);
    int (*setSuperblocksFlags)(blkid_probe, int);
    int (*doSafeprobe)(blkid_probe);
    int (*lookupValue)(blkid_probe, const char*, const char**, size_t*);
    void (*freeProbe)(blkid_probe);
    bool loaded;
};

const BlkidFunctions& Blkid()
{
    static const BlkidFunctions functions = [] {
        BlkidFunctions f{};
        void* blkid = dlopen("libblkid.so.1", RTLD_NOW | RTLD_LOCAL);
        f.loaded = FindSymbol(blkid, "blkid_new_probe_from_filename", f.newProbeFromFilename) &&
                   FindSymbol(blkid, "blkid_probe_enable_superblocks", f.enableSuperblocks) &&
                   FindSymbol(blkid, "blkid_probe_set_superblocks_flags", f.setSuperblocksFlags) &&
                   FindSymbol(blkid, "blkid_do_safeprobe", f.doSafeprobe) &&
                   FindSymbol(blkid, "blkid_probe_lookup_value", f.lookupValue) &&
                   FindSymbol(blkid, "blkid_free_probe", f.freeProbe);
        return f;
    }();
    return functions;
}

} // namespace

std::string LinuxVolumeSource::LabelOf(const MountLine& mount)
{
    const std::string key = mount.mountId + " " + mount.device + " " + mount.mountPoint;
    std::lock_guard lock(m_mutex);
    if (auto it = m_labels.find(key); it != m_labels.end()) {
        return it->second;
    }
    std::string label;
    if (StartsWith(mount.source, "/dev/") && Blkid().loaded) {
        // Probing reads the superblock from the device itself, so no udev is needed.
        if (blkid_probe probe = Blkid().newProbeFromFilename(mount.source.c_str())) {
            Blkid().enableSuperblocks(probe, 1);
            Blkid().setSuperblocksFlags(probe, BLKID_SUBLKS_LABEL);
            const char* value = nullptr;
            if (Blkid().doSafeprobe(probe) == 0 &&
                Blkid().lookupValue(probe, "LABEL", &value, nullptr) == 0 && value != nullptr) {
                label = value;
            }
            Blkid().freeProbe(probe);
        }
    }
    if (label.empty()) {
        label = LastComponent(mount.mountPoint);
    }
    m_labels[key] = label;
    return label;
}

bool LinuxVolumeSource::FreeBytes(const VolumeInfo& volume, std::uint64_t& totalFreeBytes)
{
    struct statvfs vfs;
    if (statvfs(volume.mountPoint.c_str(), &vfs) != 0) {
        return false;
    }
    totalFreeBytes = static_cast<std::uint64_t>(vfs.f_bfree) * vfs.f_frsize;
    return true;
}

ChangeSignal LinuxVolumeSource::GetChangeSignal()
{
    return {m_fd, static_cast<short>(POLLPRI | POLLERR)};
}

void LinuxVolumeSource::ConsumeChange()
{
    if (m_fd < 0) {
        return;
    }
    lseek(m_fd, 0, SEEK_SET);
    char buffer[8192];
    while (read(m_fd, buffer, sizeof buffer) > 0) {
    }
}

} // namespace tolvar::fs
