// The real program as a screen reader sees it: on a private X server, with a
// private session bus and the desktop's accessibility bus, a reader
// (access_tree.py) finds the main window, its buttons, the trees and their
// items, reads a message box and presses Exit through its action.
#include "tests/net/ServerProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <sys/wait.h>

namespace tolvar::test {
namespace {

TEST(AccessX11Test, ScreenReaderReadsTheWindowsAndPressesExit)
{
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.Ok()) << "Xvfb did not start";
    TempDir dir;
    ASSERT_EQ(
        RunProgram(ServerProcess::Executable(), {"--make-sample", (dir / "db").string()}).status,
        0);
    ServerProcess server(dir / "db");

    const std::string command = "DISPLAY=" + xvfb.Display() +
                                " dbus-run-session -- /usr/bin/python3 " TOLVAR_ACCESS_SCRIPT
                                " " TOLVAR_APP " " +
                                server.Url("/tolvar_settings.asp") + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
        out += buffer;
    }
    const int status = pclose(pipe);
    std::ofstream("access_tree.txt") << out; // the tree as read, for a person to look at
    ASSERT_TRUE(WIFEXITED(status)) << out;
    EXPECT_EQ(WEXITSTATUS(status), 0) << out;
    EXPECT_NE(out.find("frame \"Tolvar for PlayStation2\""), std::string::npos) << out;
    EXPECT_NE(out.find("push button \"Exit\""), std::string::npos) << out;
    EXPECT_NE(out.find("text=\"Tolvar for PC Version 1.1US\""), std::string::npos) << out;
}

} // namespace
} // namespace tolvar::test
