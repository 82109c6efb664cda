#pragma once

#include "platform/base/MessageBox.h"

namespace tolvar {

// Routes every AfxMessageBox of the program to CMessageBox. A box raised on a
// worker thread is run on the UI thread while the worker waits for the
// answer, as the window system allows only the UI thread to touch windows.
// Returns the handler that was installed before.
MessageBoxHandler InstallSkinnedMessageBox();

// What the installed handler does, for one box.
int ShowSkinnedMessageBox(const std::string& text, unsigned type);

} // namespace tolvar
