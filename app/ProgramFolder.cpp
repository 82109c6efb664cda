#include "app/ProgramFolder.h"

#include <unistd.h>

namespace tolvar {

namespace {

std::string g_programFolder;

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
    if (!executableFolder.empty() && access(executableFolder.c_str(), W_OK | X_OK) == 0) {
        return executableFolder;
    }
    // XDG wants an absolute path here and says to ignore anything else.
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/') {
        return std::string(xdgDataHome) + "/tolvar";
    }
    const std::string homeFolder = home != nullptr && home[0] != '\0' ? home : "";
    return homeFolder + "/.local/share/tolvar";
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
