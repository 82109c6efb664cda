// The real program on a private X server, with the reference server on a
// free loopback port: what the screen shows, the system menu's About item,
// Escape ending the process, and the tray icon under trayer.
#include "resources/Resources.h"
#include "tests/net/ServerProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tolvar::test {
namespace {

using namespace std::chrono_literals;

// The main window opens centred on the 1280 x 1024 screen.
constexpr int kLeft = (1280 - 700) / 2;
constexpr int kTop = (1024 - 494) / 2;

class Process
{
public:
    Process(const std::string& display, std::vector<std::string> args)
    {
        m_pid = fork();
        if (m_pid == 0) {
            setenv("DISPLAY", display.c_str(), 1);
            unsetenv("DBUS_SESSION_BUS_ADDRESS"); // no StatusNotifierItem host here
            std::vector<char*> argv;
            for (std::string& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Process()
    {
        if (m_pid > 0 && !m_exited) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    // The exit status once the process has ended within the time, else -1.
    int WaitForExit(std::chrono::milliseconds timeout)
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_exited = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }

private:
    pid_t m_pid = -1;
    bool m_exited = false;
};

class AppX11Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(xvfb.Ok()) << "Xvfb did not start";
        ASSERT_EQ(RunProgram(ServerProcess::Executable(), {"--make-sample", (dir / "db").string()})
                      .status,
                  0);
        server = std::make_unique<ServerProcess>(dir / "db");
    }

    std::unique_ptr<Process> StartProgram()
    {
        return std::make_unique<Process>(
            xvfb.Display(), std::vector<std::string>{TOLVAR_APP, "--settings",
                                                     server->Url("/tolvar_settings.asp")});
    }

    // What a command prints, or nullopt when it fails.
    std::optional<std::string> Output(const std::string& command)
    {
        const std::string full = "DISPLAY=" + xvfb.Display() + " " + command + " 2>/dev/null";
        FILE* pipe = popen(full.c_str(), "r");
        if (pipe == nullptr) {
            return std::nullopt;
        }
        std::string out;
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
            out += buffer;
        }
        return pclose(pipe) == 0 ? std::optional(out) : std::nullopt;
    }
    bool Run(const std::string& command) { return Output(command).has_value(); }

    // Polls until check holds, for a few seconds.
    bool Eventually(const std::function<bool()>& check)
    {
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < end) {
            if (check()) {
                return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }
    bool Visible(const std::string& name)
    {
        return Run("xdotool search --onlyvisible --name '^" + name + "$'");
    }

    std::optional<gfx::Bitmap> Screen()
    {
        const auto file = dir / "screen.png";
        if (!Run("/usr/bin/import -window root '" + file.string() + "'")) {
            return std::nullopt;
        }
        return gfx::Bitmap::LoadPng(file);
    }

    XvfbServer xvfb;
    TempDir dir;
    std::unique_ptr<ServerProcess> server;
};

TEST_F(AppX11Test, MainWindowShowsItsSkinOpensAboutAndEndsOnEscape)
{
    auto app = StartProgram();
    ASSERT_TRUE(Eventually([&] { return Visible("Tolvar for PlayStation2"); }))
        << "the main window did not appear";
    const auto geometry =
        Output("xdotool search --onlyvisible --name '^Tolvar for PlayStation2$' getwindowgeometry");
    ASSERT_TRUE(geometry);
    EXPECT_NE(geometry->find("Geometry: 700x494"), std::string::npos) << *geometry;

    const gfx::Bitmap background = LoadBitmapResource(148);
    const gfx::Bitmap web = LoadBitmapResource("WEBU");
    std::optional<gfx::Bitmap> shot;
    // Painted: the background's body, the Web button in its place, and the
    // cut-away corner showing the root window below.
    auto painted = [&] {
        shot = Screen();
        return shot && shot->Pixel(kLeft + 120, kTop + 140) == background.Pixel(120, 140) &&
               shot->Pixel(kLeft + 42 + 60, kTop + 17 + 17) == web.Pixel(60, 17);
    };
    ASSERT_TRUE(Eventually(painted));
    shot->Crop(gfx::Rect::FromSize(kLeft, kTop, 700, 494)).SavePng("app_main_window.png");
    EXPECT_EQ(shot->Pixel(kLeft, kTop), shot->Pixel(kLeft - 5, kTop - 5)) << "corner not cut";
    EXPECT_NE(shot->Pixel(kLeft, kTop), background.Pixel(0, 0));
    EXPECT_EQ(shot->Pixel(kLeft + 350, kTop + 480), background.Pixel(350, 480));

    // Alt+Space, with the pointer (and so the focus) on the window, opens the
    // system menu; its About item opens the About box.
    ASSERT_TRUE(
        Run("xdotool mousemove " + std::to_string(kLeft + 350) + " " + std::to_string(kTop + 300)));
    ASSERT_TRUE(Run("xdotool key alt+space"));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(Run("xdotool key a"));
    ASSERT_TRUE(Eventually([&] { return Visible("About ZyferV3"); })) << "no About box";
    if (auto about = Screen()) {
        about->Crop(gfx::Rect::FromSize(kLeft + 192, kTop + 168, 315, 157))
            .SavePng("app_about.png");
    }
    ASSERT_TRUE(Run("xdotool key Escape"));
    ASSERT_TRUE(Eventually([&] { return !Visible("About ZyferV3"); }));
    EXPECT_TRUE(Visible("Tolvar for PlayStation2")) << "closing About closed the program";

    ASSERT_TRUE(Run("xdotool key Escape"));
    EXPECT_EQ(app->WaitForExit(5s), 0);
}

TEST_F(AppX11Test, TrayIconDoubleClickHidesAndShowsTheWindow)
{
    Process trayer(xvfb.Display(), {"trayer", "--edge", "top", "--align", "right", "--widthtype",
                                    "pixel", "--width", "64", "--height", "24"});
    ASSERT_TRUE(Eventually([&] { return Run("xdotool search --class trayer"); }))
        << "trayer did not start";
    std::this_thread::sleep_for(500ms); // until it owns the tray selection
    auto app = StartProgram();
    ASSERT_TRUE(Eventually([&] { return Visible("Tolvar for PlayStation2"); }));
    std::optional<std::string> icon;
    ASSERT_TRUE(Eventually([&] {
        icon = Output("xdotool search --onlyvisible --name '^Tolvar$' getwindowgeometry");
        return icon && icon->find("Position") != std::string::npos;
    })) << "no docked icon";
    int x = 0, y = 0, w = 0, h = 0;
    ASSERT_EQ(std::sscanf(icon->c_str() + icon->find("Position"), "Position: %d,%d", &x, &y), 2);
    ASSERT_EQ(std::sscanf(icon->c_str() + icon->find("Geometry"), "Geometry: %dx%d", &w, &h), 2);
    EXPECT_GE(w, 16) << *icon;
    const std::string doubleClick = "xdotool mousemove " + std::to_string(x + w / 2) + " " +
                                    std::to_string(y + h / 2) + " click --repeat 2 --delay 80 1";

    ASSERT_TRUE(Run(doubleClick));
    EXPECT_TRUE(Eventually([&] { return !Visible("Tolvar for PlayStation2"); }))
        << "a double click did not hide the window";
    std::this_thread::sleep_for(600ms); // apart from the first double click
    ASSERT_TRUE(Run(doubleClick));
    EXPECT_TRUE(Eventually([&] { return Visible("Tolvar for PlayStation2"); }))
        << "a second double click did not bring it back";
}

} // namespace
} // namespace tolvar::test
