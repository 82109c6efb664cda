#pragma once

#include <string>

namespace tolvar::shell {

enum class FormatResult
{
    Formatted,
    NotRemovable,  // the volume is not a removable drive's; nothing touched
    DeviceChanged, // the device behind the mount point changed; nothing touched
    NoService,     // no disk service to ask; nothing touched
    Failed,        // the service refused or failed; see the detail
};

// Formats the volume mounted at a folder as FAT32, keeping its label, and
// mounts it again. Runs long (the disk service may ask for a password first),
// so callers run it off the UI thread.
class DriveFormatter
{
public:
    virtual ~DriveFormatter() = default;
    virtual FormatResult Format(const std::string& mountPoint, std::string& detail) = 0;
};

// The desktop's disk service, UDisks2 on the system bus.
DriveFormatter& SystemDriveFormatter();

// The text the user is shown for a result other than Formatted.
std::string FormatResultText(FormatResult result, const std::string& detail);

} // namespace tolvar::shell
