#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tolvar::ui {

// The two text selections a desktop shares between programs: the clipboard
// (cut, copy, paste) and the primary selection (what was last selected,
// pasted with the middle button).
enum class Selection
{
    Clipboard,
    Primary
};

// Offers UTF-8 text on a selection to every program until another one takes
// the selection. UI thread.
void SetSelectionText(Selection which, const std::string& utf8);
// Asks for the selection's text as UTF-8. done runs later on the UI thread,
// with nullopt when there is no text; it may never run when the program
// holding the selection does not answer. UI thread.
using SelectionCallback = std::function<void(std::optional<std::string>)>;
void RequestSelectionText(Selection which, SelectionCallback done);

// Registers a clipboard format name for drag and drop. The same name (case
// aside) always gives the same id, ids are >= 0xC000, and any thread may ask.
unsigned RegisterClipboardFormat(const std::string& name);
std::string GetClipboardFormatName(unsigned id); // empty when unknown

} // namespace tolvar::ui
