#pragma once

#include "platform/fs/FileTime.h"

#include <optional>
#include <string>

namespace tolvar {

// The date shown after a save's name, "   %d/%m/%y  %H:%M": the file's
// creation time in local time when the file system reports one (a time
// whose low 32 bits are zero counts as none), else the current UTC time.
// Empty when the time cannot be broken down or formatted.
std::string FormatSaveDate(const std::optional<fs::FileTime>& creation, fs::FileTime now);

} // namespace tolvar
