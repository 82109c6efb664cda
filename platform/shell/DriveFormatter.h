#pragma once

#include <cstdint>
#include <string>

namespace tolvar::shell {

enum class FormatResult
{
    Formatted,
    NotRemovable,  // the volume is not a removable drive's; nothing touched
    SystemDrive,   // a system disk, or it holds the program or the home folder; nothing touched
    DeviceChanged, // the device behind the mount point changed; nothing touched
    NoService,     // no disk service to ask; nothing touched
    Failed,        // the service refused or failed; see the detail
};

// The volume the user chose, as it was mounted when the question was asked.
// A mount with another id or device at the folder is another volume.
struct FormatTarget
{
    std::string mountPoint;
    std::string mountId;
    std::uint64_t device = 0; // st_dev of the mounted file system
    std::string medium;       // as the volume list marks it: another stick at sdb1 differs
};

// Formats the volume as FAT32, keeping its label, and mounts it again. Runs
// long (the disk service may ask for a password first), so callers run it off
// the UI thread.
class DriveFormatter
{
public:
    virtual ~DriveFormatter() = default;
    virtual FormatResult Format(const FormatTarget& target, std::string& detail) = 0;
};

// The desktop's disk service, UDisks2 on the system bus.
DriveFormatter& SystemDriveFormatter();

// The text the user is shown for a result other than Formatted.
std::string FormatResultText(FormatResult result, const std::string& detail);

} // namespace tolvar::shell
