#pragma once

#include "platform/shell/DriveFormatter.h"
#include "storage/DiskServiceJob.h"

#include <functional>

namespace tolvar {

// Formats one drive, once its saves and code list are in the trash. It is
// handed the volume, never a letter: whatever holds the letter meanwhile is
// not it.
class FormatJob : public DiskServiceJob
{
public:
    void Start(MessageTarget& mainWindow, shell::DriveFormatter& formatter,
               shell::FormatTarget target, std::function<void(bool formatted)> done);
};

} // namespace tolvar
