// The real program on a private X server, with the reference server on a
// free loopback port: what the screen shows, the system menu's About item,
// Escape ending the process, the tray icon under trayer, and (as root) the
// user's tasks on drives made of tmpfs mounts under /media, by mouse and by
// keyboard alone, and the window at twice the density.
#include "platform/gfx/Region.h"
#include "resources/Resources.h"
#include "tests/net/ServerProcess.h"
#include "tests/storage/TestSaves.h"
#include "tests/support/Command.h"
#include "tests/support/DisplayProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TrashHome.h"
#include "tests/support/XvfbServer.h"
#include "treeview/RowLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>

// Last: Xlib's macros (None, Status) would clash with the test framework's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

namespace tolvar::test {
namespace {

using namespace std::chrono_literals;

// The main window opens centred on the 1280 x 1024 screen.
constexpr int kLeft = (1280 - 700) / 2;
constexpr int kTop = (1024 - 494) / 2;

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

    std::unique_ptr<DisplayProcess> StartProgram()
    {
        return std::make_unique<DisplayProcess>(
            xvfb.Display(), std::vector<std::string>{TOLVAR_APP, "--settings",
                                                     server->Url("/tolvar_settings.asp")});
    }

    // What a command on a display prints, or nullopt when it fails.
    std::optional<std::string> Output(const std::string& command) { return Output(xvfb, command); }
    std::optional<std::string> Output(const XvfbServer& on, const std::string& command)
    {
        return CommandOutput("DISPLAY=" + on.Display() + " " + command + " 2>/dev/null");
    }
    bool Run(const std::string& command) { return Output(command).has_value(); }
    bool Visible(const std::string& name)
    {
        return Run("xdotool search --onlyvisible --name '^" + name + "$'");
    }

    std::optional<gfx::Bitmap> Screen() { return Screen(xvfb); }
    std::optional<gfx::Bitmap> Screen(const XvfbServer& on)
    {
        const auto file = dir / "screen.png";
        if (!Output(on, "/usr/bin/import -window root '" + file.string() + "'")) {
            return std::nullopt;
        }
        return gfx::Bitmap::LoadPng(file);
    }

    XvfbServer xvfb;
    TempDir dir;
    TrashHome trash; // the program's deletes land here, never in the user's trash
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

// Distinct colours in a part of a picture.
std::size_t DistinctColours(const gfx::Bitmap& picture, const gfx::Rect& part)
{
    std::vector<gfx::Color> colours;
    for (int y = part.top; y < part.bottom; ++y) {
        for (int x = part.left; x < part.right; ++x) {
            colours.push_back(picture.Pixel(x, y) & 0xFFFFFF);
        }
    }
    std::sort(colours.begin(), colours.end());
    return static_cast<std::size_t>(std::unique(colours.begin(), colours.end()) - colours.begin());
}

// With Xft.dpi at 192 in the X resources, as xrdb puts it there, the program
// draws at twice the size: the window and its corner region are doubled, a
// click at twice a button's place presses it, and the window looks like the
// one of a normal screen with more detail, not like it enlarged.
TEST_F(AppX11Test, AtTwiceTheDpiEverythingIsTwiceTheSizeWithMoreDetail)
{
    XvfbServer screen(2000, 1400);
    ASSERT_TRUE(screen.Ok());
    Display* display = XOpenDisplay(screen.Display().c_str());
    ASSERT_NE(display, nullptr);
    const Window root = DefaultRootWindow(display);
    struct Shown
    {
        gfx::Bitmap window;
        unsigned long id = 0;
        gfx::Point at;
    };
    auto start = [&](int scale) {
        Shown run;
        auto app = std::make_unique<DisplayProcess>(
            screen.Display(), std::vector<std::string>{TOLVAR_APP, "--settings",
                                                       server->Url("/tolvar_settings.asp")});
        std::optional<std::string> found;
        EXPECT_TRUE(Eventually([&] {
            found = Output(screen, "xdotool search --onlyvisible --name "
                                   "'^Tolvar for PlayStation2$' getwindowgeometry %@");
            return found && found->find("Geometry") != std::string::npos;
        })) << "no main window at scale "
            << scale;
        if (!found) {
            return std::make_pair(std::move(app), run);
        }
        int w = 0, h = 0;
        EXPECT_EQ(std::sscanf(found->c_str(), "Window %lu", &run.id), 1);
        EXPECT_EQ(std::sscanf(found->c_str() + found->find("Position"), "Position: %d,%d",
                              &run.at.x, &run.at.y),
                  2);
        EXPECT_EQ(std::sscanf(found->c_str() + found->find("Geometry"), "Geometry: %dx%d", &w, &h),
                  2);
        EXPECT_EQ(w, 700 * scale);
        EXPECT_EQ(h, 494 * scale);
        // Painted and settled once the Online Tree has listed its folders.
        std::optional<gfx::Bitmap> before;
        EXPECT_TRUE(Eventually([&] {
            auto shot = Screen(screen);
            if (!shot) {
                return false;
            }
            const bool settled = before && *before == *shot;
            before = std::move(shot);
            std::this_thread::sleep_for(400ms);
            return settled;
        }));
        if (before) {
            run.window = before->Crop(gfx::Rect::FromSize(run.at, {700 * scale, 494 * scale}));
        }
        return std::make_pair(std::move(app), run);
    };

    auto [normal, one] = start(1);
    ASSERT_FALSE(one.window.IsNull());
    one.window.SavePng("app_main_window_1x.png");
    // EXIT, at (526, 17) sized 138 x 34 in the layout.
    const gfx::Point exitMiddle{526 + 69, 17 + 17};
    ASSERT_TRUE(Output(screen, "xdotool mousemove " + std::to_string(one.at.x + exitMiddle.x) +
                                   " " + std::to_string(one.at.y + exitMiddle.y) + " click 1"));
    ASSERT_EQ(normal->WaitForExit(5s), 0);

    // What xrdb -merge does: the resources go on the root window.
    const std::string resources = "Xft.dpi:\t192\n";
    XChangeProperty(display, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.data()),
                    static_cast<int>(resources.size()));
    XSync(display, False);
    auto [dense, two] = start(2);
    ASSERT_FALSE(two.window.IsNull());
    two.window.SavePng("app_main_window_2x.png");

    // The shape is the normal one's rounded region, each pixel of it doubled.
    const gfx::Region region = gfx::Region::RoundRect({0, 0, 700, 494}, 40, 40);
    int count = 0, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(display, two.id, ShapeBounding, &count, &ordering);
    std::vector<std::pair<int, int>> rows(988, {0, 0});
    for (int i = 0; i < count; ++i) {
        for (int y = rects[i].y; y < rects[i].y + rects[i].height && y < 988; ++y) {
            rows[static_cast<std::size_t>(y)] = {rects[i].x, rects[i].x + rects[i].width};
        }
    }
    XFree(rects);
    int wrongRows = 0;
    for (const gfx::Region::Span& span : region.Spans()) {
        for (int y : {2 * span.y, 2 * span.y + 1}) {
            wrongRows +=
                rows[static_cast<std::size_t>(y)] != std::make_pair(2 * span.left, 2 * span.right);
        }
    }
    EXPECT_EQ(wrongRows, 0);
    EXPECT_EQ(rows[0], std::make_pair(2 * region.Spans()[0].left, 2 * region.Spans()[0].right));

    // The same layout: averaged over 2 x 2 pixels, the dense window is the
    // normal one, inside the region.
    long difference = 0, compared = 0;
    for (const gfx::Region::Span& span : region.Spans()) {
        for (int x = span.left; x < span.right; ++x) {
            for (int shift : {16, 8, 0}) {
                int sum = 0;
                for (int d = 0; d < 4; ++d) {
                    sum += (two.window.Pixel(2 * x + d % 2, 2 * span.y + d / 2) >> shift) & 0xFF;
                }
                difference += std::abs(
                    sum / 4 - static_cast<int>((one.window.Pixel(x, span.y) >> shift) & 0xFF));
                ++compared;
            }
        }
    }
    const double meanDifference = static_cast<double>(difference) / static_cast<double>(compared);
    EXPECT_LT(meanDifference, 4.0);

    // More detail: the Online Tree's "Online Database", text drawn at run
    // time, holds more colours than the normal one, which enlarging cannot add.
    const gfx::Rect text1x = gfx::Rect::FromSize(415, 172, 100, 20);
    const std::size_t normalColours = DistinctColours(one.window, text1x);
    const std::size_t denseColours = DistinctColours(two.window, text1x.Scaled(2));
    EXPECT_GT(normalColours, 40u) << "no text in the Online Tree";
    EXPECT_GT(denseColours, normalColours * 5 / 4);
    std::printf("2x window: mean difference %.2f from the normal one averaged; %zu colours in "
                "text against %zu\n",
                meanDifference, denseColours, normalColours);

    // EXIT pressed at twice its place.
    ASSERT_TRUE(Output(screen, "xdotool mousemove " + std::to_string(two.at.x + 2 * exitMiddle.x) +
                                   " " + std::to_string(two.at.y + 2 * exitMiddle.y) + " click 1"));
    EXPECT_EQ(dense->WaitForExit(5s), 0) << "EXIT was not pressed";
    XCloseDisplay(display);
}

// The X server going away ends the program as Exit does, with status 0, not
// through Xlib's exit(1).
TEST_F(AppX11Test, ALostDisplayEndsTheProgramAsExitDoes)
{
    auto own = std::make_unique<XvfbServer>();
    ASSERT_TRUE(own->Ok());
    DisplayProcess app(own->Display(),
                       {TOLVAR_APP, "--settings", server->Url("/tolvar_settings.asp")});
    const std::string shown = "DISPLAY=" + own->Display() +
                              " xdotool search --onlyvisible --name '^Tolvar for "
                              "PlayStation2$' >/dev/null 2>&1";
    ASSERT_TRUE(Eventually([&] { return std::system(shown.c_str()) == 0; }));
    own.reset();
    EXPECT_EQ(app.WaitForExit(10s), 0);
}

TEST_F(AppX11Test, TrayIconDoubleClickHidesAndShowsTheWindow)
{
    DisplayProcess trayer(xvfb.Display(),
                          {"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel",
                           "--width", "64", "--height", "24"});
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

// Drives for the program: the test takes a mount namespace of its own with a
// fresh tmpfs on /media, so mounts other runs make there stay out of its trees,
// and the program it starts shares that namespace. Needs root.
class AppDrivesX11Test : public AppX11Test
{
protected:
    void SetUp() override
    {
        if (geteuid() != 0) {
            GTEST_SKIP() << "drives are tmpfs mounts under /media, which needs root; run this "
                            "test as root to drive the program's drives";
        }
        std::filesystem::create_directories("/media");
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", "/media", "tmpfs", 0, "size=16m") != 0) {
            GTEST_SKIP() << "mounting is refused here (" << std::strerror(errno)
                         << "); the drive tasks need tmpfs mounts under /media";
        }
        m_mediaMounted = true;
        AppX11Test::SetUp();
    }
    // The drives and /media go with the test, so the next test of this
    // process starts with none.
    void TearDown() override
    {
        if (m_mediaMounted) {
            umount2("/media", MNT_DETACH);
        }
    }

    static std::filesystem::path Drive(const std::string& label) { return "/media/" + label; }
    static bool Plug(const std::string& label)
    {
        std::filesystem::create_directories(Drive(label));
        return mount("tmpfs", Drive(label).c_str(), "tmpfs", 0, "size=4m") == 0;
    }
    static bool Pull(const std::string& label) { return umount(Drive(label).c_str()) == 0; }

    // Where the program's controls are on screen, from its layout: the Local
    // Tree at (30, 170) and the Online Tree at (366, 170) of the window.
    static std::string At(int x, int y)
    {
        return std::to_string(kLeft + x) + " " + std::to_string(kTop + y);
    }
    static int RowY(int row) { return 170 + kRowInset + row * kRowHeight + kHitHeight / 2; }
    static std::string LocalRow(int row) { return At(30 + 90, RowY(row)); }
    static std::string OnlineRow(int row) { return At(366 + 80, RowY(row)); }
    static std::string OnlineExpandBox(int depth, int row)
    {
        return At(366 + (depth > 0 ? (depth - 1) * kIndent + kDepthOneShift : 0) + kButtonOffset +
                      kImageSize / 2,
                  RowY(row));
    }

    bool Click(const std::string& where) { return Run("xdotool mousemove " + where + " click 1"); }
    // As a person drags: press, move a few pixels, go to the target, release.
    bool Drag(const std::string& from, const std::string& to)
    {
        bool ok = Run("xdotool mousemove " + from + " mousedown 1");
        for (int step = 0; step < 3; ++step) {
            std::this_thread::sleep_for(60ms);
            ok = ok && Run("xdotool mousemove_relative 3 3");
        }
        std::this_thread::sleep_for(60ms);
        ok = ok && Run("xdotool mousemove " + to + " mousemove_relative 4 0");
        std::this_thread::sleep_for(150ms);
        ok = ok && Run("xdotool mousemove " + to);
        std::this_thread::sleep_for(150ms);
        return ok && Run("xdotool mouseup 1");
    }

    // "315x157" is a message box, "397x251" the upload form.
    std::string ShownWindow(const std::string& size)
    {
        return ShownWindowOfSize(xvfb.Display(), size);
    }
    // Waits for a message box other than the last one answered, then answers
    // it with a key ("y", "Return") or, given a point of the box, a click.
    bool Answer(const std::string& key, const std::string& clickAt = {},
                const char* screenshot = nullptr)
    {
        std::string box;
        if (!Eventually([&] {
                box = ShownWindow("315x157");
                return !box.empty() && box != m_lastBox;
            })) {
            return false;
        }
        m_lastBox = box;
        std::this_thread::sleep_for(200ms); // painted and focused
        if (screenshot != nullptr) {
            SaveWindowShot(screenshot);
        }
        return clickAt.empty()
                   ? Run("xdotool key " + key)
                   : Run("xdotool mousemove --window " + box + " " + clickAt + " click 1");
    }

    void SaveWindowShot(const char* name)
    {
        if (auto shot = Screen()) {
            shot->Crop(gfx::Rect::FromSize(kLeft, kTop, 700, 494)).SavePng(name);
        }
    }
    // The pixels of a strip of the screen, to see a tree row change.
    std::optional<gfx::Bitmap> Strip(int x, int y, int w, int h)
    {
        auto shot = Screen();
        return shot ? std::optional(shot->Crop(gfx::Rect::FromSize(kLeft + x, kTop + y, w, h)))
                    : std::nullopt;
    }

    static std::vector<std::string> Saves(const std::filesystem::path& folder)
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder)) {
            if (e.path().extension() == ".tvd") {
                names.push_back(e.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static bool SealValid(const std::filesystem::path& file)
    {
        return RunProgram(TOLVAR_CLI, {"verify", file.string()}).status == 0;
    }

    std::string m_lastBox;
    bool m_mediaMounted = false;
};

TEST_F(AppDrivesX11Test, UserTasksOnDrivesAndTheOnlineDatabase)
{
    const auto db = dir / "db";
    ASSERT_TRUE(Plug("ALPHA") && Plug("BETA"));
    for (const char* name : {"Desert Rally Stage 5.tvd", "Turbo Lane 2.0.tvd"}) {
        std::filesystem::copy_file(db / "Racing" / name, Drive("ALPHA") / name);
    }
    auto app = StartProgram();
    ASSERT_TRUE(Eventually([&] { return Visible("Tolvar for PlayStation2"); }));
    ASSERT_TRUE(Run("xdotool mousemove " + At(12, 300))); // off the trees, no tool tips

    // Local Tree: PC Databases, ALPHA, BETA, Saves; row 4 is empty until a
    // drive is plugged in, and empty again once it is pulled out.
    std::optional<gfx::Bitmap> empty;
    ASSERT_TRUE(Eventually([&] {
        auto row3 = Strip(60, RowY(3) - 8, 200, 16);
        empty = Strip(60, RowY(4) - 8, 200, 16);
        return row3 && empty && *row3 != *empty;
    })) << "the Local Tree did not list its locations";
    ASSERT_TRUE(Plug("GAMMA"));
    EXPECT_TRUE(Eventually([&] {
        auto row = Strip(60, RowY(4) - 8, 200, 16);
        return row && *row != *empty;
    })) << "a drive plugged in did not join the Local Tree";
    ASSERT_TRUE(Pull("GAMMA"));
    EXPECT_TRUE(Eventually([&] {
        auto row = Strip(60, RowY(4) - 8, 200, 16);
        return row && *row == *empty;
    })) << "a drive pulled out stayed in the Local Tree";

    // ALPHA opened with the keyboard: rows 2 and 3 are its saves, BETA row 4.
    ASSERT_TRUE(Click(LocalRow(1)));
    ASSERT_TRUE(Run("xdotool key Right"));
    // The Online Database opened from its box, then its first folder.
    ASSERT_TRUE(Click(OnlineExpandBox(0, 0)));
    auto onlineRowShown = [&](int row) {
        return Eventually([&] {
            auto strip = Strip(366 + 30, RowY(row) - 8, 200, 16);
            return strip && *strip != *empty;
        });
    };
    ASSERT_TRUE(onlineRowShown(5)) << "the online folders did not come";
    ASSERT_TRUE(Click(OnlineExpandBox(1, 1)));
    ASSERT_TRUE(onlineRowShown(7)) << "the first online folder did not open";
    ASSERT_TRUE(Run("xdotool mousemove " + At(12, 300)));
    std::this_thread::sleep_for(300ms);
    SaveWindowShot("app_main_window_trees.png");

    // A save dragged from drive to drive arrives byte for byte.
    const auto alphaSaves = Saves(Drive("ALPHA"));
    ASSERT_EQ(alphaSaves.size(), 2u);
    ASSERT_TRUE(Drag(LocalRow(2), LocalRow(4)));
    ASSERT_TRUE(Eventually([&] { return Saves(Drive("BETA")).size() == 1; }))
        << "nothing arrived on BETA";
    const std::string copied = Saves(Drive("BETA")).front();
    EXPECT_EQ(copied, alphaSaves.front());
    EXPECT_EQ(ReadBytes(Drive("BETA") / copied), ReadBytes(Drive("ALPHA") / copied));

    // An online save dragged onto a drive arrives sealed, as the server has it.
    ASSERT_TRUE(Drag(OnlineRow(2), LocalRow(4)));
    ASSERT_TRUE(Eventually([&] { return Saves(Drive("BETA")).size() == 2; }))
        << "the online save did not arrive on BETA";
    std::string downloaded;
    for (const auto& name : Saves(Drive("BETA"))) {
        downloaded = name != copied ? name : downloaded;
    }
    EXPECT_TRUE(Eventually([&] { return SealValid(Drive("BETA") / downloaded); })) << downloaded;
    EXPECT_EQ(ReadBytes(Drive("BETA") / downloaded), ReadBytes(db / "Action" / downloaded));

    // A local save dragged onto the Online Tree, renamed in the upload form.
    ASSERT_TRUE(Drag(LocalRow(3), At(366 + 130, 380)));
    std::string form;
    ASSERT_TRUE(Eventually([&] { return !(form = ShownWindow("397x251")).empty(); }))
        << "no upload form";
    std::this_thread::sleep_for(300ms);
    if (auto shot = Screen()) {
        shot->Crop(gfx::Rect::FromSize(kLeft + 151, kTop + 121, 397, 251))
            .SavePng("app_upload_form.png");
    }
    // The name edit has the focus with its text selected: typing replaces it.
    ASSERT_TRUE(Run("xdotool type --delay 20 'Renamed Lap'"));
    ASSERT_TRUE(Run("xdotool mousemove --window " + form + " 249 229 click 1")); // Submit
    const auto uploaded = db / "Online Community" / "Renamed Lap.tvd";
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(uploaded); }))
        << "the upload did not reach Online Community under its new name";
    EXPECT_TRUE(Eventually([&] { return SealValid(uploaded); }));

    // Delete asks twice: Y for the first question, a click on Yes for the second.
    ASSERT_TRUE(Click(LocalRow(2)));
    ASSERT_TRUE(Run("xdotool key Delete"));
    ASSERT_TRUE(Answer("y", {}, "app_message_box.png")) << "no first question";
    ASSERT_TRUE(Answer({}, "97 133")) << "no second question";
    EXPECT_TRUE(Eventually([&] { return Saves(Drive("ALPHA")).size() == 1; }))
        << "the save was not deleted";
    EXPECT_EQ(Saves(Drive("ALPHA")), std::vector<std::string>{alphaSaves.back()});
    EXPECT_TRUE(std::filesystem::exists(trash.Files() / alphaSaves.front()));

    // The code list to all drives: a notice, the question, the notice of its end.
    ASSERT_TRUE(Click(At(42 + 60, 51 + 17)));
    ASSERT_TRUE(Answer("Return")) << "no notice before the code list";
    ASSERT_TRUE(Answer("y")) << "no question for all drives";
    ASSERT_TRUE(Answer("Return")) << "no notice that the code list came";
    const auto codeList = ReadBytes(db / "codelist.bin");
    for (const char* drive : {"ALPHA", "BETA"}) {
        EXPECT_TRUE(Eventually([&] {
            return ReadBytes(Drive(drive) / "codelist.bin") == codeList;
        })) << "no code list on "
            << drive;
    }

    ASSERT_TRUE(Run("xdotool mousemove " + At(12, 300)));
    ASSERT_TRUE(Run("xdotool key Escape"));
    EXPECT_EQ(app->WaitForExit(5s), 0);
}

// The keyboard alone, from start to end: Tab to a tree, arrows to a save,
// Ctrl+C, over to a drive, Ctrl+V; once drive to drive, once from the online
// database. What arrives is what was copied, byte for byte.
TEST_F(AppDrivesX11Test, KeyboardAloneCopiesAndDownloadsASave)
{
    const auto db = dir / "db";
    ASSERT_TRUE(Plug("ALPHA") && Plug("BETA"));
    const std::string save = "Desert Rally Stage 5.tvd";
    std::filesystem::copy_file(db / "Racing" / save, Drive("ALPHA") / save);
    ASSERT_TRUE(Run("xdotool mousemove " + At(12, 300))); // the pointer stays off the trees
    auto app = StartProgram();
    ASSERT_TRUE(Eventually([&] { return Visible("Tolvar for PlayStation2"); }));
    std::optional<gfx::Bitmap> empty;
    auto rowShown = [&](int x, int row) {
        return Eventually([&] {
            auto strip = Strip(x, RowY(row) - 8, 200, 16);
            empty = empty ? empty : Strip(60, RowY(6) - 8, 200, 16);
            return strip && empty && *strip != *empty;
        });
    };
    auto keys = [&](const std::string& names) {
        std::this_thread::sleep_for(100ms);
        return Run("xdotool key --delay 60 " + names);
    };
    ASSERT_TRUE(rowShown(60, 3)) << "the Local Tree did not list its locations";

    // Local Tree: PC Databases, ALPHA (opened: its save), BETA, Saves.
    ASSERT_TRUE(keys("Tab Tab Tab Tab Down Down Right Down ctrl+c Down ctrl+v"));
    ASSERT_TRUE(Eventually([&] { return Saves(Drive("BETA")).size() == 1; }))
        << "the save was not copied to BETA";
    EXPECT_EQ(Saves(Drive("BETA")).front(), save);
    EXPECT_EQ(ReadBytes(Drive("BETA") / save), ReadBytes(Drive("ALPHA") / save));

    // Online Tree: the database opened, then its first folder, its first save.
    ASSERT_TRUE(keys("Tab Down Right"));
    ASSERT_TRUE(rowShown(366 + 30, 5)) << "the online folders did not come";
    ASSERT_TRUE(keys("Down Right"));
    ASSERT_TRUE(rowShown(366 + 30, 7)) << "the first online folder did not open";
    ASSERT_TRUE(keys("Down ctrl+c shift+Tab ctrl+v"));
    ASSERT_TRUE(Eventually([&] { return Saves(Drive("BETA")).size() == 2; }))
        << "the online save did not arrive on BETA";
    std::string downloaded;
    for (const auto& name : Saves(Drive("BETA"))) {
        downloaded = name != save ? name : downloaded;
    }
    EXPECT_TRUE(Eventually([&] {
        return ReadBytes(Drive("BETA") / downloaded) == ReadBytes(db / "Action" / downloaded);
    })) << downloaded;

    ASSERT_TRUE(keys("Escape"));
    EXPECT_EQ(app->WaitForExit(5s), 0);
}

// SIGTERM while a download waits for a slow server ends the program as Exit
// does: the job is cancelled and waited for, the save it would replace stays
// as it was, no temporary file is left, and the exit status is 0.
TEST_F(AppDrivesX11Test, TermSignalMidDownloadEndsAsExitLeavingTheOldSave)
{
    const auto db = dir / "db";
    server = std::make_unique<ServerProcess>(db, std::vector<std::string>{"--delay-ms", "1500"});
    ASSERT_TRUE(Plug("DELTA"));
    // Every save of the first online folder is on the drive already, older.
    const std::vector<std::uint8_t> old = ReadBytes(db / "Racing" / "Turbo Lane 2.0.tvd");
    for (const auto& e : std::filesystem::directory_iterator(db / "Action")) {
        if (e.path().extension() == ".tvd") {
            std::ofstream(Drive("DELTA") / e.path().filename(), std::ios::binary)
                .write(reinterpret_cast<const char*>(old.data()),
                       static_cast<std::streamsize>(old.size()));
        }
    }
    const auto before = Saves(Drive("DELTA"));
    auto app = StartProgram();
    ASSERT_TRUE(Eventually([&] { return Visible("Tolvar for PlayStation2"); }));
    ASSERT_TRUE(Run("xdotool mousemove " + At(12, 300)));
    std::optional<gfx::Bitmap> empty;
    ASSERT_TRUE(Eventually([&] {
        auto row1 = Strip(60, RowY(1) - 8, 200, 16);
        empty = Strip(60, RowY(4) - 8, 200, 16);
        return row1 && empty && *row1 != *empty;
    }));
    ASSERT_TRUE(Click(OnlineExpandBox(0, 0)));
    auto onlineRowShown = [&](int row) {
        return Eventually([&] {
            auto strip = Strip(366 + 30, RowY(row) - 8, 200, 16);
            return strip && *strip != *empty;
        });
    };
    ASSERT_TRUE(onlineRowShown(5)) << "the online folders did not come";
    ASSERT_TRUE(Click(OnlineExpandBox(1, 1)));
    // Its two saves push the last folder down to row 7.
    ASSERT_TRUE(onlineRowShown(7)) << "the first online folder did not open";
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(Drag(OnlineRow(2), LocalRow(1)));
    ASSERT_TRUE(Answer("y")) << "no question before replacing the save";
    std::this_thread::sleep_for(500ms); // the download waits for the server's answer
    ASSERT_EQ(kill(app->Pid(), SIGTERM), 0);
    EXPECT_EQ(app->WaitForExit(10s), 0);
    EXPECT_EQ(Saves(Drive("DELTA")), before);
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(Drive("DELTA"))) {
        ++files;
        EXPECT_EQ(ReadBytes(e.path()), old) << e.path();
    }
    EXPECT_EQ(files, before.size()) << "a temporary file was left";
}

} // namespace
} // namespace tolvar::test
