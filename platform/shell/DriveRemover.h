#pragma once

#include "platform/shell/DriveFormatter.h"

#include <string>

namespace tolvar::shell {

enum class RemoveResult
{
    Removed,
    NotRemovable,  // the volume is not a removable drive's; nothing touched
    SystemDrive,   // a system disk, or it holds the program or the home folder; nothing touched
    DeviceChanged, // the device behind the mount point changed; nothing touched
    NoService,     // no disk service to ask; nothing touched
    Failed,        // the service refused or failed; see the detail
};

// Safely removes a drive: flushes the chosen volume, unmounts it and powers
// its drive off, on the same terms as a format (the target is the volume as
// it was when the user chose it). The disk service may ask for a password,
// so callers run it off the UI thread.
class DriveRemover
{
public:
    virtual ~DriveRemover() = default;
    virtual RemoveResult Remove(const FormatTarget& target, std::string& detail) = 0;
};

// The desktop's disk service, UDisks2 on the system bus.
DriveRemover& SystemDriveRemover();

// The text the user is shown for a result other than Removed.
std::string RemoveResultText(RemoveResult result, const std::string& detail);

} // namespace tolvar::shell
