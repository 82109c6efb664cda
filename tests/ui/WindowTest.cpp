#include "tests/ui/UiFixture.h"

#include "platform/ui/Window.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace tolvar;
using namespace tolvar::ui;

namespace {

// Records what it hears and paints one colour.
class Probe : public Window
{
public:
    explicit Probe(gfx::Color color = gfx::Rgb(10, 20, 30)) : m_color(color) {}
    std::vector<std::string> log;
    std::vector<Point> points; // of presses, releases and double clicks
    Point lastMove;
    int paints = 0;
    int wheel = 0;
    bool takeWheel = true;
    bool consumeKeysOfChildren = false;
    std::function<void(bool)> onEnable;

    bool PreTranslateMessage(Message& m) override
    {
        return consumeKeysOfChildren && m.message == WM_KEYDOWN && m.window != Handle();
    }

protected:
    void OnPaint(gfx::Painter& p) override
    {
        ++paints;
        p.FillRect(GetClientRect(), m_color);
    }
    void OnLButtonDown(unsigned, Point pt) override { Log("down", pt); }
    void OnLButtonUp(unsigned, Point pt) override { Log("up", pt); }
    void OnLButtonDblClk(unsigned, Point pt) override { Log("dbl", pt); }
    void OnMouseMove(unsigned, Point pt) override
    {
        lastMove = pt;
        log.push_back("move");
    }
    void OnMouseHover(unsigned, Point) override { log.push_back("hover"); }
    void OnMouseLeave() override { log.push_back("leave"); }
    void OnSetFocus(Window*) override { log.push_back("setfocus"); }
    void OnKillFocus(Window*) override { log.push_back("killfocus"); }
    void OnCaptureChanged(Window*) override { log.push_back("capturechanged"); }
    void OnEnable(bool on) override
    {
        log.push_back(on ? "enable" : "disable");
        if (onEnable) {
            onEnable(on);
        }
    }
    bool OnMouseWheel(unsigned, int delta, Point) override
    {
        wheel += takeWheel ? delta : 0;
        return takeWheel;
    }
    void OnKeyDown(unsigned vk, unsigned, unsigned) override
    {
        log.push_back("key" + std::to_string(vk));
    }
    LResult OnMessage(unsigned msg, WParam w, LParam l) override
    {
        log.push_back("msg" + std::to_string(msg));
        return static_cast<LResult>(w + static_cast<WParam>(l));
    }

private:
    void Log(const char* what, Point pt)
    {
        log.push_back(what);
        points.push_back(pt);
    }
    gfx::Color m_color;
};

int Count(const std::vector<std::string>& log, const std::string& what)
{
    return static_cast<int>(std::count(log.begin(), log.end(), what));
}

} // namespace

class WindowTest : public test::UiTest
{
};

TEST_F(WindowTest, MouseGoesToTheDeepestVisibleEnabledWindowInClientCoordinates)
{
    Probe top(gfx::Rgb(1, 1, 1));
    ASSERT_TRUE(top.Create(nullptr, Rect::FromSize(100, 50, 300, 200)));
    Probe child(gfx::Rgb(2, 2, 2));
    ASSERT_TRUE(child.Create(&top, Rect::FromSize(10, 20, 100, 50), 7));
    Probe grandchild(gfx::Rgb(3, 3, 3));
    ASSERT_TRUE(grandchild.Create(&child, Rect::FromSize(5, 5, 10, 10)));
    EXPECT_EQ(top.GetDlgItem(7), &child);
    EXPECT_EQ(child.GetWindowRect(), Rect::FromSize(110, 70, 100, 50));

    display->Click({100 + 10 + 30, 50 + 20 + 40});
    Pump();
    ASSERT_EQ(child.log, (std::vector<std::string>{"move", "down", "up"}));
    EXPECT_EQ(child.points[0], (Point{30, 40}));
    EXPECT_TRUE(top.log.empty());

    display->Click({100 + 10 + 5 + 2, 50 + 20 + 5 + 3});
    Pump();
    ASSERT_EQ(grandchild.log.size(), 3u);
    EXPECT_EQ(grandchild.points[0], (Point{2, 3}));

    // Hidden: the click falls through to the parent.
    grandchild.ShowWindow(ShowCommand::Hide);
    clock.Advance(std::chrono::seconds(1)); // no double click
    display->Click({100 + 10 + 5 + 2, 50 + 20 + 5 + 3});
    Pump();
    EXPECT_EQ(grandchild.log.size(), 3u);
    EXPECT_EQ(child.points.back(), (Point{7, 8}));

    // Disabled: nobody gets it, not even the parent; and a disabled parent
    // silences its enabled children too.
    for (Probe* disabled : {&child, &top}) {
        child.EnableWindow(disabled != &child);
        top.EnableWindow(disabled != &top);
        child.log.clear();
        top.log.clear();
        clock.Advance(std::chrono::seconds(1));
        display->Click({100 + 10 + 30, 50 + 20 + 40});
        Pump();
        EXPECT_TRUE(child.log.empty() && top.log.empty());
    }
}

TEST_F(WindowTest, ChildrenPaintAfterTheirParentInTheirOwnRectangle)
{
    Probe top(gfx::Rgb(1, 1, 1));
    ASSERT_TRUE(top.Create(nullptr, Rect::FromSize(0, 0, 60, 40)));
    Probe child(gfx::Rgb(200, 0, 0));
    ASSERT_TRUE(child.Create(&top, Rect::FromSize(10, 10, 20, 5)));
    const gfx::Bitmap& frame = system->Frame(top);
    EXPECT_EQ(frame.Pixel(9, 10), gfx::Rgb(1, 1, 1));
    EXPECT_EQ(frame.Pixel(10, 10), gfx::Rgb(200, 0, 0));
    EXPECT_EQ(frame.Pixel(29, 14), gfx::Rgb(200, 0, 0));
    EXPECT_EQ(frame.Pixel(30, 14), gfx::Rgb(1, 1, 1));
    EXPECT_EQ(frame.Pixel(29, 15), gfx::Rgb(1, 1, 1));

    // Moving the child repaints where it was and where it is.
    child.SetWindowPos({40, 30});
    const gfx::Bitmap& after = system->Frame(top);
    EXPECT_EQ(after.Pixel(10, 10), gfx::Rgb(1, 1, 1));
    EXPECT_EQ(after.Pixel(45, 32), gfx::Rgb(200, 0, 0));
    // Hiding it shows the parent there again.
    child.ShowWindow(ShowCommand::Hide);
    EXPECT_EQ(system->Frame(top).Pixel(45, 32), gfx::Rgb(1, 1, 1));
}

TEST_F(WindowTest, RegionCornersLetTheMouseThroughToTheWindowBelow)
{
    Probe below(gfx::Rgb(0, 90, 0));
    ASSERT_TRUE(below.Create(nullptr, Rect::FromSize(0, 0, 400, 400)));
    Probe shaped(gfx::Rgb(90, 0, 0));
    ASSERT_TRUE(shaped.Create(nullptr, Rect::FromSize(50, 50, 200, 100)));
    shaped.SetWindowRgn(gfx::Region::RoundRect(shaped.GetClientRect(), 40, 40));
    EXPECT_EQ(Window::WindowFromPoint({51, 51}), &below);
    EXPECT_EQ(Window::WindowFromPoint({60, 60}), &shaped);
    EXPECT_EQ(Window::WindowFromPoint({150, 50}), &shaped);
    EXPECT_EQ(Window::WindowFromPoint({248, 148}), &below);
    display->Click({51, 51});
    Pump();
    EXPECT_EQ(below.log.size(), 3u);
    EXPECT_TRUE(shaped.log.empty());
    // The composed screen shows the lower window in the cut corner.
    gfx::Bitmap screen = system->ComposeScreen();
    EXPECT_EQ(screen.Pixel(51, 51), gfx::Rgb(0, 90, 0));
    EXPECT_EQ(screen.Pixel(60, 60), gfx::Rgb(90, 0, 0));
    // Raising the lower window puts it on top.
    below.BringWindowToTop();
    EXPECT_EQ(Window::WindowFromPoint({60, 60}), &below);
}

class InputTest : public test::UiTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(top.Create(nullptr, Rect::FromSize(0, 0, 400, 300)));
        ASSERT_TRUE(a.Create(&top, Rect::FromSize(10, 10, 100, 100), 1));
        ASSERT_TRUE(b.Create(&top, Rect::FromSize(200, 10, 100, 100), 2));
    }
    Probe top, a, b;
};

TEST_F(InputTest, ACaptureTakenForAPressEndsWithItsButton)
{
    // A capture taken while a button is down ends with its release, even
    // when the window forgets to release it...
    display->MouseMove({20, 20});
    display->MouseDown();
    Pump();
    a.SetCapture();
    display->MouseMove({250, 50});
    display->MouseUp();
    Pump();
    EXPECT_EQ(Count(a.log, "up"), 1);
    EXPECT_EQ(Window::GetCapture(), nullptr);
    // ...while one taken to follow the pointer without a button stays.
    a.SetCapture();
    display->Click({250, 50});
    Pump();
    EXPECT_EQ(Window::GetCapture(), &a);
    EXPECT_TRUE(b.log.empty());
}

TEST_F(InputTest, FocusMovesWithKillBeforeSetAndKeysFollowIt)
{
    EXPECT_EQ(a.SetFocus(), nullptr);
    EXPECT_EQ(b.SetFocus(), &a);
    EXPECT_EQ(a.log, (std::vector<std::string>{"setfocus", "killfocus"}));
    EXPECT_EQ(b.log, (std::vector<std::string>{"setfocus"}));
    EXPECT_TRUE(b.HasFocus());
    // The wheel goes to the window under the pointer, whatever has the focus;
    // over no window of ours, to the focus.
    display->MouseMove({20, 20}); // over a
    display->Wheel(-240);
    display->MouseMove({1000, 900});
    display->Wheel(-120);
    Pump();
    EXPECT_EQ(a.wheel, -240);
    EXPECT_EQ(b.wheel, -120);
    // A window that does not take the wheel passes it to its parent.
    b.takeWheel = false;
    display->MouseMove({250, 50}); // over b
    display->Wheel(120);
    Pump();
    EXPECT_EQ(top.wheel, 120);
    // A disabled window cannot take the focus.
    a.EnableWindow(false);
    EXPECT_EQ(a.SetFocus(), nullptr);
    EXPECT_TRUE(b.HasFocus());
}

TEST_F(InputTest, DisablingHandsTheFocusOverAfterTheEnableNotification)
{
    a.SetFocus();
    a.SetCapture();
    a.log.clear();
    // The handler sees itself still focused and may move the focus itself,
    // as the trees do.
    bool focusedInHandler = false;
    a.onEnable = [&](bool on) {
        if (!on) {
            focusedInHandler = a.HasFocus();
            top.SetFocus();
        }
    };
    EXPECT_FALSE(a.EnableWindow(false));
    EXPECT_TRUE(focusedInHandler);
    EXPECT_TRUE(top.HasFocus());
    EXPECT_EQ(Window::GetCapture(), nullptr);
    EXPECT_EQ(a.log, (std::vector<std::string>{"disable", "killfocus", "capturechanged"}));
    // Without such a handler the focus is simply taken away.
    b.SetFocus();
    b.log.clear();
    b.EnableWindow(false);
    EXPECT_EQ(Window::GetFocus(), nullptr);
    EXPECT_EQ(b.log, (std::vector<std::string>{"disable", "killfocus"}));
    // Enabling notifies once; enabling an enabled window notifies nothing.
    EXPECT_TRUE(b.EnableWindow(true));
    EXPECT_FALSE(b.EnableWindow(true));
    EXPECT_EQ(Count(b.log, "enable"), 1);
}

TEST_F(InputTest, HoverAfterTheRestAndLeaveWhenThePointerGoes)
{
    display->MouseMove({20, 20});
    Pump();
    ASSERT_TRUE(a.TrackMouseEvent(TME_HOVER | TME_LEAVE, 100));
    Advance(60);
    display->MouseMove({21, 21}); // small moves stay in the hover box
    Advance(39);
    EXPECT_EQ(Count(a.log, "hover"), 0);
    Advance(1);
    EXPECT_EQ(Count(a.log, "hover"), 1);
    Advance(500);
    EXPECT_EQ(Count(a.log, "hover"), 1); // once per request
    display->MouseMove({30, 30});        // still inside: no leave
    Pump();
    EXPECT_EQ(Count(a.log, "leave"), 0);
    display->MouseMove({150, 150}); // onto the parent
    Pump();
    EXPECT_EQ(Count(a.log, "leave"), 1);
    display->MouseMove({20, 20});
    display->MouseMove({150, 150});
    Pump();
    EXPECT_EQ(Count(a.log, "leave"), 1); // no new request, no new leave

    // A larger move restarts the hover time.
    display->MouseMove({40, 40});
    Pump();
    a.TrackMouseEvent(TME_HOVER, 100);
    Advance(80);
    display->MouseMove({60, 60});
    Advance(80);
    EXPECT_EQ(Count(a.log, "hover"), 1);
    Advance(20);
    EXPECT_EQ(Count(a.log, "hover"), 2);

    // Asking while the pointer is elsewhere leaves at once.
    b.TrackMouseEvent(TME_LEAVE);
    Pump();
    EXPECT_EQ(Count(b.log, "leave"), 1);
}

TEST_F(InputTest, DoubleClickNeedsTheSameSpotWithinTheTimeAndAncestorsPreTranslateKeys)
{
    display->Click({20, 20});
    Advance(300);
    display->Click({21, 21});
    Pump();
    EXPECT_EQ(a.log, (std::vector<std::string>{"move", "down", "up", "move", "dbl", "up"}));
    a.log.clear();
    Advance(100);
    display->Click({21, 21}); // a third press starts over
    Advance(501);
    display->Click({21, 21}); // too late
    Advance(100);
    display->Click({30, 30}); // too far
    Pump();
    EXPECT_EQ(Count(a.log, "dbl"), 0);

    // Pre-translation of an ancestor can take a key first.
    a.log.clear();
    a.SetFocus();
    display->PressKey('X');
    Pump();
    top.consumeKeysOfChildren = true;
    display->PressKey('Y');
    Pump();
    EXPECT_EQ(a.log, (std::vector<std::string>{"setfocus", "key88"}));
}

TEST_F(InputTest, UpdateWindowPaintsAtOnceInvalidateWaitsForTheLoop)
{
    Pump();
    int paints = top.paints;
    int presents = display->PresentCount();
    top.Invalidate();
    EXPECT_EQ(top.paints, paints);
    top.UpdateWindow();
    EXPECT_EQ(top.paints, paints + 1);
    EXPECT_EQ(display->PresentCount(), presents + 1);
    top.UpdateWindow(); // nothing marked: nothing painted
    EXPECT_EQ(top.paints, paints + 1);
    top.Invalidate();
    Pump();
    EXPECT_EQ(top.paints, paints + 2);
    // WM_SETREDRAW off keeps the frame as it was.
    top.SendMessage(WM_SETREDRAW, 0, 0);
    top.RedrawWindow();
    EXPECT_EQ(top.paints, paints + 2);
}

TEST_F(InputTest, DestroyedWindowsStopNamingAnything)
{
    auto child = std::make_unique<Probe>();
    ASSERT_TRUE(child->Create(&top, Rect::FromSize(0, 0, 10, 10)));
    WindowHandle handle = child->Handle();
    EXPECT_EQ(Window::FromHandle(handle), child.get());
    EXPECT_EQ(SendMessage(handle, 0x8100, 2, 3), 5);
    child->SetFocus();
    child->SetCapture();
    child.reset();
    EXPECT_EQ(Window::FromHandle(handle), nullptr);
    EXPECT_EQ(Window::GetFocus(), nullptr);
    EXPECT_EQ(Window::GetCapture(), nullptr);
    EXPECT_EQ(top.Children().size(), 2u);
    EXPECT_EQ(SendMessage(handle, 0x8100, 2, 3), 0);
    EXPECT_FALSE(PostMessage(handle, 0x8100, 2, 3));
    // Destroying a parent destroys its children's windows (not their objects).
    top.Destroy();
    EXPECT_FALSE(a.IsWindow());
}
