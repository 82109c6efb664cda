#pragma once

#include <string>

namespace tolvar {

// The program's name on the desktop: its menu entry, metainfo and bus name.
constexpr const char* kApplicationId = "org.tolvar.Companion";

// The folder the program keeps its files in, program-style without a
// trailing backslash (`\home\ann\.local\share\tolvar`). Written once at
// start-up, before the main window exists; read afterwards.
const std::string& GetProgramFolder();
void SetProgramFolder(std::string folder);

// Where the program keeps its files, as a POSIX path: the executable's folder
// when it may write there and it is not a `bin` folder (so a build tree or a
// folder of its own, never /usr/bin even for root), else
// $XDG_DATA_HOME/tolvar, else $HOME/.local/share/tolvar. xdgDataHome and home
// may be null or empty.
std::string ChooseProgramFolder(const std::string& executableFolder, const char* xdgDataHome,
                                const char* home);

// $XDG_CACHE_HOME/tolvar, else $HOME/.cache/tolvar: where an installed
// program keeps its "Temp".
std::string ChooseCacheFolder(const char* xdgCacheHome, const char* home);

// $XDG_CONFIG_HOME/tolvar/tolvar.conf, else $HOME/.config/tolvar/tolvar.conf.
std::string ChooseConfigFile(const char* xdgConfigHome, const char* home);

// The settings page address a configuration file names in its line
// `settings=URL` (blanks around the value ignored, `#` starts a comment
// line); empty when the file is missing or names none.
std::string ReadSettingsAddress(const std::string& configFile);

// A POSIX path written program-style: every `/` becomes `\`.
std::string ToProgramPath(std::string posixPath);

} // namespace tolvar
