#pragma once

#include <string>

namespace tolvar::ui {

// Registers a clipboard format name for drag and drop. The same name (case
// aside) always gives the same id, ids are >= 0xC000, and any thread may ask.
unsigned RegisterClipboardFormat(const std::string& name);
std::string GetClipboardFormatName(unsigned id); // empty when unknown

} // namespace tolvar::ui
