#pragma once

#include <string>

namespace tolvar {

// The folder the program keeps its files in, program-style without a
// trailing backslash (`\home\ann\.local\share\tolvar`). Written once at
// start-up, before the main window exists; read afterwards.
const std::string& GetProgramFolder();
void SetProgramFolder(std::string folder);

// Where the program keeps its files, as a POSIX path: the executable's folder
// when it may write there (a build tree, a folder of its own), else
// $XDG_DATA_HOME/tolvar, else $HOME/.local/share/tolvar. xdgDataHome and home
// may be null or empty.
std::string ChooseProgramFolder(const std::string& executableFolder, const char* xdgDataHome,
                                const char* home);

// A POSIX path written program-style: every `/` becomes `\`.
std::string ToProgramPath(std::string posixPath);

} // namespace tolvar
