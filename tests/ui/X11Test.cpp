#include "platform/ui/Edit.h"
#include "platform/ui/WindowSystem.h"
#include "platform/ui/x11/X11Backend.h"
#include "tests/support/XvfbServer.h"
#include "tests/ui/UiFixture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

using namespace tolvar;
using namespace tolvar::ui;

namespace {

constexpr gfx::Color kBody = gfx::Rgb(1, 23, 64);
constexpr gfx::Color kButton = gfx::Rgb(200, 120, 30);

class Skin : public ui::Window
{
public:
    int clicks = 0;
    Point clickedAt;
    std::vector<LParam> posted;
    std::vector<unsigned> keys;

protected:
    void OnPaint(gfx::Painter& p) override
    {
        p.FillRect(GetClientRect(), kBody);
        p.FillRect(Rect::FromSize(60, 40, 50, 20), kButton);
    }
    void OnLButtonDown(unsigned, Point pt) override
    {
        ++clicks;
        clickedAt = pt;
    }
    void OnKeyDown(unsigned vk, unsigned, unsigned) override { keys.push_back(vk); }
    LResult OnMessage(unsigned msg, WParam, LParam l) override
    {
        if (msg == 0x8001) {
            posted.push_back(l);
        }
        return 0;
    }
};

gfx::Color RootPixel(Display* display, int x, int y)
{
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return 0;
    }
    unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return 0xFF000000u | static_cast<gfx::Color>(pixel & 0xFFFFFF);
}

} // namespace

TEST(X11, ShapedWindowShowsItsFrameAndTakesRealInput)
{
    test::Watchdog watchdog(std::chrono::seconds(40));
    test::XvfbServer server(640, 480);
    ASSERT_TRUE(server.Ok()) << "Xvfb did not start";
    std::unique_ptr<X11Backend> backend = X11Backend::Open(server.Display().c_str());
    ASSERT_TRUE(backend);
    X11Backend* x11 = backend.get();
    WindowSystem system(std::move(backend));

    Skin skin;
    ASSERT_TRUE(skin.Create(nullptr, Rect::FromSize(50, 40, 200, 120)));
    skin.SetWindowRgn(gfx::Region::RoundRect(skin.GetClientRect(), 40, 40));
    XWindowId id = x11->NativeId(skin.Handle());
    ASSERT_NE(id, 0u);
    EXPECT_EQ(x11->FromNativeId(id), skin.Handle());

    // Our own connection reads the screen back.
    Display* reader = XOpenDisplay(server.Display().c_str());
    ASSERT_NE(reader, nullptr);
    ASSERT_TRUE(system.RunUntil([&] { return RootPixel(reader, 150, 100) == kBody; },
                                std::chrono::seconds(10)));
    EXPECT_EQ(RootPixel(reader, 50 + 60, 40 + 40), kButton);
    EXPECT_NE(RootPixel(reader, 50, 40), kBody) << "the corner is cut";
    // Uncovered by another program's window, it shows its frame again.
    const unsigned long cover =
        XCreateSimpleWindow(reader, DefaultRootWindow(reader), 100, 60, 100, 80, 0, 0, 0x00FF00);
    XMapWindow(reader, cover);
    XSync(reader, False);
    ASSERT_TRUE(system.RunUntil([&] { return RootPixel(reader, 150, 100) == 0xFF00FF00u; },
                                std::chrono::seconds(10)));
    XDestroyWindow(reader, cover);
    XSync(reader, False);
    EXPECT_TRUE(system.RunUntil([&] { return RootPixel(reader, 150, 100) == kBody; },
                                std::chrono::seconds(10)));
    auto xdotool = [&](const std::string& arguments) {
        return std::system(("DISPLAY=" + server.Display() + " xdotool " + arguments).c_str());
    };

    // A real click through the XTEST extension, and a wake-up from a worker.
    ASSERT_EQ(xdotool("mousemove 120 90 click 1"), 0);
    EXPECT_TRUE(system.RunUntil([&] { return skin.clicks == 1; }, std::chrono::seconds(10)));
    EXPECT_EQ(skin.clickedAt, (Point{70, 50}));
    EXPECT_EQ(ui::Window::GetCursorPos(), (Point{120, 90}));
    std::thread worker([&] { PostMessage(skin.Handle(), 0x8001, 0, 5); });
    EXPECT_TRUE(system.RunUntil([&] { return skin.posted.size() == 1; }, std::chrono::seconds(5)));
    worker.join();

    // A click in the cut corner reaches no window of ours.
    ASSERT_EQ(xdotool("mousemove 51 41 click 1"), 0);
    system.RunUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(skin.clicks, 1);

    // Event filters see raw X events first.
    int seen = 0;
    int filter = x11->AddEventFilter([&](XEvent& e) {
        seen += e.type == ButtonPress;
        return false;
    });
    ASSERT_EQ(xdotool("mousemove 150 100 click 1"), 0);
    EXPECT_TRUE(system.RunUntil([&] { return skin.clicks == 2; }, std::chrono::seconds(10)));
    EXPECT_EQ(seen, 1);
    x11->RemoveEventFilter(filter);

    // Real keys reach the focused window as the keys the trees and boxes know.
    skin.SetFocus();
    ASSERT_EQ(xdotool("key Up Down Left Right Home End Prior Next Delete BackSpace Tab Return "
                      "Escape F5"),
              0);
    const std::vector<unsigned> keys = {VK_UP,  VK_DOWN,   VK_LEFT,   VK_RIGHT,  VK_HOME,
                                        VK_END, VK_PRIOR,  VK_NEXT,   VK_DELETE, VK_BACK,
                                        VK_TAB, VK_RETURN, VK_ESCAPE, VK_F5};
    EXPECT_TRUE(
        system.RunUntil([&] { return skin.keys.size() >= keys.size(); }, std::chrono::seconds(10)));
    EXPECT_EQ(skin.keys, keys);

    skin.Destroy();
    XCloseDisplay(reader);
}

// The edit's cut, copy and paste against another program on the same
// display: xclip reads what we offer and offers what we paste.
TEST(X11, EditSharesTheClipboardAndThePrimarySelectionWithOtherPrograms)
{
    test::Watchdog watchdog(std::chrono::seconds(60));
    test::XvfbServer server(640, 480);
    ASSERT_TRUE(server.Ok()) << "Xvfb did not start";
    ASSERT_EQ(std::system("command -v xclip >/dev/null"), 0) << "xclip is missing";
    WindowSystem system(X11Backend::Open(server.Display().c_str()));
    const std::string env = "DISPLAY=" + server.Display() + " ";

    Skin form;
    ASSERT_TRUE(form.Create(nullptr, Rect::FromSize(50, 40, 300, 120)));
    Edit edit(kEditMultiLine | kEditWantReturn);
    ASSERT_TRUE(edit.Create(&form, Rect::FromSize(10, 10, 280, 60), 1));
    edit.SetText("caf\xC3\xA9\r\nline two");
    edit.SetFocus();
    // The pointer on the window gives it the keyboard (no window manager).
    ASSERT_EQ(std::system((env + "xdotool mousemove 200 140").c_str()), 0);
    system.RunUntil([] { return false; }, std::chrono::milliseconds(200));

    // What another program reads from us, while our loop serves it.
    auto readBack = [&](const char* selection) {
        auto out = std::async(std::launch::async, [&] {
            std::string text;
            if (FILE* pipe =
                    popen((env + "timeout 5 xclip -o -selection " + selection).c_str(), "r")) {
                char buffer[256];
                for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
                    text.append(buffer, n);
                }
                pclose(pipe);
            }
            return text;
        });
        system.RunUntil(
            [&] { return out.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            std::chrono::seconds(8));
        return out.get();
    };

    ASSERT_EQ(std::system((env + "xdotool key ctrl+a ctrl+c").c_str()), 0);
    system.RunUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(readBack("clipboard"), "caf\xC3\xA9\nline two");
    EXPECT_EQ(readBack("primary"), "caf\xC3\xA9\nline two") << "a selection made is offered";

    // Another program takes the clipboard; Ctrl+V pastes its text.
    ASSERT_EQ(
        std::system(
            ("printf 'from\\nxclip' | " + env + "xclip -selection clipboard -i -loops 1").c_str()),
        0);
    ASSERT_EQ(std::system((env + "xdotool key ctrl+v").c_str()), 0);
    EXPECT_TRUE(
        system.RunUntil([&] { return edit.GetText() == "from\r\nxclip"; }, std::chrono::seconds(5)))
        << edit.GetText();

    // The middle button pastes the primary selection at the pointer.
    ASSERT_EQ(
        std::system(("printf 'MID' | " + env + "xclip -selection primary -i -loops 1").c_str()), 0);
    edit.SetText("ab");
    const Point at = edit.ClientToScreen({edit.GetFont()->TextExtent("a").width + 2, 5});
    ASSERT_EQ(std::system((env + "xdotool mousemove " + std::to_string(at.x) + " " +
                           std::to_string(at.y) + " click 2")
                              .c_str()),
              0);
    EXPECT_TRUE(system.RunUntil([&] { return edit.GetText() == "aMIDb"; }, std::chrono::seconds(5)))
        << edit.GetText();
    edit.Destroy();
    form.Destroy();
}

// What the desktop asks for decides the device scale: $GDK_SCALE first, as
// GTK programs take it, then Xft.dpi from the X resources.
TEST(X11, DeviceScaleFromGdkScaleElseXftDpi)
{
    struct Case
    {
        const char* gdkScale;
        const char* xftDpi;
        int scale;
    };
    const Case cases[] = {
        {nullptr, nullptr, 1}, {nullptr, "", 1},    {nullptr, "96", 1},  {nullptr, "143.9", 1},
        {nullptr, "144", 2},   {nullptr, "192", 2}, {nullptr, "288", 2}, {"", "192", 2},
        {"1", "192", 1},       {"2", "96", 2},      {"3", nullptr, 2},   {"2.5", "96", 1},
        {"x", "192", 2},       {"0", nullptr, 1},   {nullptr, "dpi", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(X11Backend::PickScale(c.gdkScale, c.xftDpi), c.scale)
            << (c.gdkScale ? c.gdkScale : "(unset)") << " / " << (c.xftDpi ? c.xftDpi : "(none)");
    }
}
