#pragma once

// GLib's own reading of a home trash, to check ours against: `gio trash
// --list` through its trash backend, on a private session bus that carries
// the test's XDG_DATA_HOME.
#include "tests/support/Command.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace tolvar::test {

inline bool GioTrashAvailable()
{
    return std::system("command -v gio dbus-daemon >/dev/null 2>&1") == 0 &&
           std::filesystem::exists("/usr/libexec/gvfsd-trash");
}

// Lines of each entry's address and its original path, sorted; scratch holds
// the bus's socket.
inline std::string GioTrashList(const std::filesystem::path& scratch,
                                const std::filesystem::path& xdgDataHome)
{
    auto output = [](const std::string& command) { return CommandOutput(command).value_or(""); };
    static int count = 0;
    const std::string address =
        "unix:path=" + (scratch / ("bus" + std::to_string(++count))).string();
    const std::string environment = "XDG_DATA_HOME='" + xdgDataHome.string() + "' ";
    const int bus = std::atoi(
        output(environment + "dbus-daemon --session --fork --print-pid=1 --address=" + address)
            .c_str());
    std::string listing;
    if (bus > 0) {
        listing = output(environment + "DBUS_SESSION_BUS_ADDRESS=" + address +
                         " timeout 30 gio trash --list 2>&1");
        kill(bus, SIGTERM);
    }
    std::istringstream lines(listing);
    std::vector<std::string> sorted;
    for (std::string line; std::getline(lines, line);) {
        sorted.push_back(line);
    }
    std::sort(sorted.begin(), sorted.end());
    std::string text;
    for (const auto& line : sorted) {
        text += line + "\n";
    }
    return text;
}

} // namespace tolvar::test
