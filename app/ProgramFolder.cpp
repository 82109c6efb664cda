#include "app/ProgramFolder.h"

#include <fstream>
#include <unistd.h>

namespace tolvar {

namespace {

std::string g_programFolder;

// An XDG base directory: the variable when it holds an absolute path (desktops
// ignore anything else), else the fallback under $HOME.
std::string XdgFolder(const char* value, const char* home, const char* fallback)
{
    if (value != nullptr && value[0] == '/') {
        return value;
    }
    const std::string homeFolder = home != nullptr && home[0] != '\0' ? home : "";
    return homeFolder + fallback;
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace

const std::string& GetProgramFolder()
{
    return g_programFolder;
}

void SetProgramFolder(std::string folder)
{
    g_programFolder = std::move(folder);
}

std::string ChooseProgramFolder(const std::string& executableFolder, const char* xdgDataHome,
                                const char* home)
{
    const std::size_t slash = executableFolder.find_last_of('/');
    const bool binFolder =
        (slash == std::string::npos ? executableFolder : executableFolder.substr(slash + 1)) ==
        "bin";
    if (!executableFolder.empty() && !binFolder &&
        access(executableFolder.c_str(), W_OK | X_OK) == 0) {
        return executableFolder;
    }
    return XdgFolder(xdgDataHome, home, "/.local/share") + "/tolvar";
}

std::string ChooseCacheFolder(const char* xdgCacheHome, const char* home)
{
    return XdgFolder(xdgCacheHome, home, "/.cache") + "/tolvar";
}

std::string ChooseConfigFile(const char* xdgConfigHome, const char* home)
{
    return XdgFolder(xdgConfigHome, home, "/.config") + "/tolvar/tolvar.conf";
}

std::string ReadSettingsAddress(const std::string& configFile)
{
    std::ifstream in(configFile);
    std::string line;
    std::string address;
    while (std::getline(in, line)) {
        line = Trim(line);
        const auto equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos) {
            continue;
        }
        if (Trim(line.substr(0, equals)) == "settings") {
            address = Trim(line.substr(equals + 1));
        }
    }
    return address;
}

std::string ToProgramPath(std::string posixPath)
{
    for (char& c : posixPath) {
        if (c == '/') {
            c = '\\';
        }
    }
    return posixPath;
}

} // namespace tolvar
