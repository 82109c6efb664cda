#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvar::fs {

// Values of the original drive-type query.
enum class DriveType : unsigned
{
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

// One mounted volume as a source reports it.
struct VolumeInfo
{
    std::string key;          // tells this mount apart from every other while it lasts
    std::string mountId;      // the kernel's id of this mount (a fake's own number)
    std::uint64_t device = 0; // st_dev of the mounted file system
    // Tells one medium from another that took the same device number and
    // mount id (both are reused at once): the disk's sequence number and the
    // root folder's birth time, where the system has them.
    std::string medium;
    std::string mountPoint; // POSIX folder
    std::string label;      // the volume name shown to the user
    std::string fileSystem;
    DriveType type = DriveType::Removable;
    bool hasMedium = true;    // false: a reader slot without a card
    char preferredLetter = 0; // 0: the next free letter from D
};

// Where a wait for a change of the mounted volumes polls: a descriptor and
// the poll() events that mean "changed".
struct ChangeSignal
{
    int fd = -1;
    short events = 0;
};

// Lists mounted volumes and tells when the list may have changed. The Linux
// source reads /proc/self/mountinfo and sysfs; tests use FakeVolumeSource.
class VolumeSource
{
public:
    virtual ~VolumeSource() = default;
    virtual std::vector<VolumeInfo> List() = 0;
    virtual bool FreeBytes(const VolumeInfo& volume, std::uint64_t& totalFreeBytes) = 0;
    virtual ChangeSignal GetChangeSignal() = 0;
    // Called after the signal fired, before List(), to re-arm it.
    virtual void ConsumeChange() = 0;
};

} // namespace tolvar::fs
