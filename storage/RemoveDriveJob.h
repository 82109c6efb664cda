#pragma once

#include "platform/shell/DriveRemover.h"
#include "storage/DiskServiceJob.h"

#include <functional>

namespace tolvar {

// Safely removes one drive. The drive leaves the tree when the volume watcher
// hears the unmount.
class RemoveDriveJob : public DiskServiceJob
{
public:
    void Start(MessageTarget& mainWindow, shell::DriveRemover& remover, shell::FormatTarget target,
               std::function<void(bool removed)> done);
};

} // namespace tolvar
