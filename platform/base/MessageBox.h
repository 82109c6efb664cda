#pragma once

#include <functional>
#include <string>

namespace tolvar {

// Box types and answers with the values callers compare against.
enum : unsigned
{
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNO = 0x4
};
enum : int
{
    IDOK = 1,
    IDCANCEL = 2,
    IDYES = 6,
    IDNO = 7
};

// Every message box of the program goes through AfxMessageBox. Whoever owns
// the screen (the skinned message box, the save tool, a test's scripted
// responder) installs the handler; it may be called from any thread and must
// return one of the answers above.
using MessageBoxHandler = std::function<int(const std::string& text, unsigned type)>;

int AfxMessageBox(const std::string& text, unsigned type = MB_OK);

// Installs a handler and returns the previous one. An empty handler restores
// the default, which writes the text to standard error and answers OK, or No
// to a Yes/No question unless SetDefaultMessageBoxAnswersYes(true).
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
void SetDefaultMessageBoxAnswersYes(bool yes);

} // namespace tolvar
