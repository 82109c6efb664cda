#pragma once

#include <string>

namespace tolvar::shell {

// Opens a web address or a file in the desktop's preferred program
// (xdg-open), detached from this process. False when it could not be started;
// what the opened program does afterwards is not ours to know.
bool ShellOpen(const std::string& address);

// The opener's program name; tests point it at a recorder of their own.
void SetShellOpener(std::string program);

} // namespace tolvar::shell
