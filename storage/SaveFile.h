#pragma once

// Reading a save file from a location; the format itself is saveformat/.
#include "saveformat/SaveFormat.h"

namespace tolvar {

class SaveEntry;

// Reads and checks the save at a full (Windows-style) path; on success fills
// the entry's display text and save name. Shows its own messages: a file
// larger than kMaxSaveFileSize is reported corrupted without being read.
bool ReadSaveInfo(const char* fullPath, SaveEntry& entry);

} // namespace tolvar
