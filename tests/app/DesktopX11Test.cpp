// The program as a desktop runs it, on a private X server and a private
// session bus: installed in a `bin` folder with its files in XDG folders and
// its settings address from its configuration file, one instance taking the
// saves a second start hands it, and a notification when a job ends while the
// window sleeps (from a fake notification server), none while it is shown.
#include "tests/net/ServerProcess.h"
#include "tests/storage/TestSaves.h"
#include "tests/support/Command.h"
#include "tests/support/DisplayProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

namespace tolvar::test {
namespace {

using namespace std::chrono_literals;
namespace fsys = std::filesystem;

constexpr int kLeft = (1280 - 700) / 2;
constexpr int kTop = (1024 - 494) / 2;

std::string At(int x, int y)
{
    return std::to_string(kLeft + x) + " " + std::to_string(kTop + y);
}

class DesktopX11Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(xvfb.Ok()) << "Xvfb did not start";
        if (std::system("command -v dbus-daemon >/dev/null && "
                        "/usr/bin/python3 -c 'import dbus, gi' 2>/dev/null") != 0) {
            GTEST_SKIP() << "needs dbus-daemon and python3-dbus";
        }
        ASSERT_EQ(RunProgram(ServerProcess::Executable(), {"--make-sample", (dir / "db").string()})
                      .status,
                  0);
        // Installed: a `bin` folder of its own, so its files go to the XDG folders.
        fsys::create_directories(dir / "usr/bin");
        fsys::copy_file(TOLVAR_APP, app);
        fsys::create_directories(dir / "config/tolvar");

        const fsys::path config = dir / "bus.conf";
        std::ofstream(config) << "<busconfig><type>session</type><listen>unix:path="
                              << (dir / "bus").string()
                              << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                                 "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                 "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                                 "</busconfig>";
        busPid = std::atoi(
            Output("dbus-daemon --config-file=" + config.string() + " --fork --print-pid=1")
                .value_or("0")
                .c_str());
        address = "unix:path=" + (dir / "bus").string();
        ASSERT_TRUE(Eventually([&] { return fsys::exists(dir / "bus"); }));
    }
    void TearDown() override
    {
        if (fakePid > 0) {
            kill(fakePid, SIGTERM);
        }
        if (busPid > 0) {
            kill(busPid, SIGTERM);
        }
    }

    void StartServer(int delayMs)
    {
        server = std::make_unique<ServerProcess>(
            dir / "db", std::vector<std::string>{"--delay-ms", std::to_string(delayMs)});
        std::ofstream(dir / "config/tolvar/tolvar.conf")
            << "# where the settings page is\nsettings = " << server->Url("/tolvar_settings.asp")
            << "\n";
    }

    // The program with the test's bus and folders; no --settings, so the
    // address comes from the configuration file.
    // With busInRuntimeDir, the bus is found as a systemd session offers it,
    // by its socket in XDG_RUNTIME_DIR, without an address.
    std::unique_ptr<DisplayProcess> Start(const std::vector<std::string>& files = {},
                                          bool busInRuntimeDir = false)
    {
        std::vector<std::string> args = {"env",
                                         busInRuntimeDir ? "XDG_RUNTIME_DIR=" + dir.Path().string()
                                                         : "DBUS_SESSION_BUS_ADDRESS=" + address,
                                         "XDG_DATA_HOME=" + (dir / "data").string(),
                                         "XDG_CACHE_HOME=" + (dir / "cache").string(),
                                         "XDG_CONFIG_HOME=" + (dir / "config").string(),
                                         app.string()};
        args.insert(args.end(), files.begin(), files.end());
        return std::make_unique<DisplayProcess>(xvfb.Display(), args);
    }

    std::optional<std::string> Output(const std::string& command)
    {
        return CommandOutput("DISPLAY=" + xvfb.Display() + " " + command + " 2>/dev/null");
    }
    bool Run(const std::string& command) { return Output(command).has_value(); }
    bool MainWindowShown()
    {
        return Run("xdotool search --onlyvisible --name '^Tolvar for PlayStation2$'");
    }
    // The id of a shown message box (315 x 157), or "".
    std::string ShownBox() { return ShownWindowOfSize(xvfb.Display(), "315x157"); }
    // Waits for a message box other than the last one answered and answers
    // it with a key, the pointer on it (the focus follows the pointer).
    bool Answer(const std::string& key)
    {
        std::string box;
        if (!Eventually([&] {
                box = ShownBox();
                return !box.empty() && box != m_lastBox;
            })) {
            return false;
        }
        m_lastBox = box;
        std::this_thread::sleep_for(300ms); // painted
        return Run("xdotool mousemove --window " + box + " 157 60 key " + key);
    }
    void SaveShot(const std::string& name, const std::string& crop = {})
    {
        Run("/usr/bin/import -window root " + (crop.empty() ? "" : "-crop " + crop + " +repage ") +
            name);
    }
    // How many pixels two pictures differ in.
    long PixelsApart(const std::string& a, const std::string& b)
    {
        const auto count =
            Output("/usr/bin/compare -metric AE " + a + " " + b + " null: 2>&1 || true");
        return count ? std::atol(count->c_str()) : -1;
    }

    XvfbServer xvfb;
    TempDir dir;
    fsys::path app = dir / "usr/bin/tolvar";
    std::string address;
    int busPid = 0;
    int fakePid = 0;
    std::string m_lastBox;
    std::unique_ptr<ServerProcess> server;
};

TEST_F(DesktopX11Test, ASecondStartHandsItsSavesToTheRunningOne)
{
    StartServer(0);
    auto first = Start();
    ASSERT_TRUE(Eventually([&] { return MainWindowShown(); })) << "the window did not appear";
    EXPECT_TRUE(fsys::is_directory(dir / "data/tolvar/Saves"));
    EXPECT_TRUE(fsys::is_directory(dir / "cache/tolvar/Temp"));

    const fsys::path save = dir / "in" / "Desert Rally Stage 5.tvd";
    fsys::create_directories(save.parent_path());
    fsys::copy_file(dir / "db/Racing/Desert Rally Stage 5.tvd", save);
    // An upload's copy of the running instance: the second start leaves it.
    const fsys::path uploading = dir / "cache/tolvar/Temp/Uploading.tvd";
    fsys::copy_file(save, uploading);
    auto second = Start({save.string()}, true);
    EXPECT_EQ(second->WaitForExit(15s), 0) << "the second start did not end";
    EXPECT_TRUE(fsys::exists(uploading)) << "the second start cleared the first one's Temp";
    const fsys::path arrived = dir / "data/tolvar/Saves" / save.filename();
    ASSERT_TRUE(Eventually([&] { return fsys::exists(arrived); }))
        << "the save did not arrive in Saves";
    EXPECT_EQ(ReadBytes(arrived), ReadBytes(save));
    std::this_thread::sleep_for(500ms);
    SaveShot("desktop_second_start.png");
    EXPECT_EQ(first->WaitForExit(0ms), -1) << "the first instance ended";

    // A file that is no save: the usual message, and nothing copied.
    std::ofstream(dir / "in/notes.tvd") << "not a save";
    auto third = Start({(dir / "in/notes.tvd").string()});
    EXPECT_EQ(third->WaitForExit(15s), 0);
    ASSERT_TRUE(Answer("Return")) << "no message for the corrupt file";
    ASSERT_TRUE(Answer("Return")) << "no message that it is no valid save";
    EXPECT_TRUE(Eventually([&] { return ShownBox().empty(); }));
    EXPECT_FALSE(fsys::exists(dir / "data/tolvar/Saves/notes.tvd"));

    ASSERT_TRUE(Run("xdotool mousemove " + At(350, 300) + " key Escape"));
    EXPECT_EQ(first->WaitForExit(5s), 0);
}

TEST_F(DesktopX11Test, AJobsEndIsNotifiedOnlyWhileTheWindowSleeps)
{
    const fsys::path log = dir / "notices.log";
    const fsys::path activate = dir / "activate";
    std::ofstream(log).close();
    fakePid = std::atoi(Output("/usr/bin/python3 " TOLVAR_FAKE_NOTIFICATIONS " " + address + " " +
                               log.string() + " " + (dir / "ready").string() + " " +
                               activate.string() + " >/dev/null 2>&1 & echo $!")
                            .value_or("0")
                            .c_str());
    ASSERT_TRUE(Eventually([&] { return fsys::exists(dir / "ready"); }));
    DisplayProcess trayer(xvfb.Display(),
                          {"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel",
                           "--width", "64", "--height", "24"});
    ASSERT_TRUE(Eventually([&] { return Run("xdotool search --class trayer"); }));
    std::this_thread::sleep_for(500ms); // until it owns the tray selection
    // Every answer waits 2 s: long enough to put the window to sleep while
    // the code list comes.
    StartServer(2000);
    auto program = Start();
    ASSERT_TRUE(Eventually([&] { return MainWindowShown(); }, 20s));
    std::this_thread::sleep_for(2500ms); // the settings page has come

    // The code list onto every location: a notice and a question while the
    // window is shown, then Sleep before the list comes.
    ASSERT_TRUE(Run("xdotool mousemove " + At(42 + 60, 51 + 17) + " click 1"));
    ASSERT_TRUE(Answer("Return")) << "no notice before the code list";
    ASSERT_TRUE(Answer("y")) << "no question for all drives";
    ASSERT_TRUE(Run("xdotool mousemove " + At(526 + 60, 51 + 17) + " click 1"));
    ASSERT_TRUE(Eventually([&] { return !MainWindowShown(); })) << "Sleep did not hide it";
    ASSERT_TRUE(Eventually([&] { return ReadText(log) != ""; }, 20s)) << "no notification";
    EXPECT_EQ(ReadText(log), "Tolvar for PlayStation2|The Code List has completed downloading.\n");
    SaveShot("desktop_notice.png");
    // The box, in the middle of the screen, within its rounded corners.
    const std::string boxArea = "275x117+502+453";
    const std::string boxShot = (dir / "box.png").string();
    SaveShot(boxShot, boxArea);

    // Activating the notification brings the window back, below the box
    // that still waits for an answer.
    std::ofstream(activate).close();
    EXPECT_TRUE(Eventually([&] { return MainWindowShown(); })) << "activation did not show it";
    std::this_thread::sleep_for(500ms);
    SaveShot((dir / "again.png").string(), boxArea);
    EXPECT_EQ(PixelsApart(boxShot, (dir / "again.png").string()), 0)
        << "the box hid behind the window";
    ASSERT_TRUE(Answer("Return")) << "no box that the code list came";
    ASSERT_TRUE(Eventually([&] { return ShownBox().empty(); }));
    ASSERT_TRUE(Run("xdotool mousemove " + At(350, 300) + " key Escape"));
    EXPECT_EQ(program->WaitForExit(5s), 0);
}

} // namespace
} // namespace tolvar::test
