#include "tests/support/Command.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace tolvar::test {

int Shell(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str());
}

std::optional<std::string> CommandOutput(const std::string& command)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return std::nullopt;
    }
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        out += buffer;
    }
    return pclose(pipe) == 0 ? std::optional(out) : std::nullopt;
}

std::string ShownWindowOfSize(const std::string& display, const std::string& size)
{
    const std::string xdotool = "DISPLAY=" + display + " xdotool ";
    std::istringstream ids(
        CommandOutput(xdotool + "search --onlyvisible --name '' 2>/dev/null").value_or(""));
    for (std::string id; ids >> id;) {
        const auto geometry = CommandOutput(xdotool + "getwindowgeometry " + id + " 2>/dev/null");
        if (geometry && geometry->find("Geometry: " + size) != std::string::npos) {
            return id;
        }
    }
    return {};
}

std::string ReadText(const std::filesystem::path& path)
{
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

bool Eventually(const std::function<bool()>& check, std::chrono::milliseconds within)
{
    const auto end = std::chrono::steady_clock::now() + within;
    while (std::chrono::steady_clock::now() < end) {
        if (check()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return check();
}

} // namespace tolvar::test
