#include "tests/ui/UiFixture.h"

#include "platform/ui/Window.h"

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
    std::vector<Point> points;
    int paints = 0;
    bool consumeKeysOfChildren = false;

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
    void OnMouseMove(unsigned, Point pt) override { Log("move", pt); }
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
    EXPECT_EQ(child.points[1], (Point{30, 40}));
    EXPECT_TRUE(top.log.empty());

    display->Click({100 + 10 + 5 + 2, 50 + 20 + 5 + 3});
    Pump();
    ASSERT_EQ(grandchild.log.size(), 3u);
    EXPECT_EQ(grandchild.points[1], (Point{2, 3}));

    // Hidden: the click falls through to the parent.
    grandchild.ShowWindow(ShowCommand::Hide);
    clock.Advance(std::chrono::seconds(1)); // no double click
    display->Click({100 + 10 + 5 + 2, 50 + 20 + 5 + 3});
    Pump();
    EXPECT_EQ(grandchild.log.size(), 3u);
    EXPECT_EQ(child.points.back(), (Point{7, 8}));

    // Disabled: nobody gets it, not even the parent.
    child.log.clear();
    top.log.clear();
    child.EnableWindow(false);
    clock.Advance(std::chrono::seconds(1));
    display->Click({100 + 10 + 30, 50 + 20 + 40});
    Pump();
    EXPECT_TRUE(child.log.empty());
    EXPECT_TRUE(top.log.empty());
    // ...and a disabled parent silences its enabled children too.
    child.EnableWindow(true);
    top.EnableWindow(false);
    clock.Advance(std::chrono::seconds(1));
    display->Click({100 + 10 + 30, 50 + 20 + 40});
    Pump();
    EXPECT_TRUE(child.log.empty());
}

TEST_F(WindowTest, DoubleClickNeedsTheSameSpotWithinTheTime)
{
    Probe top;
    ASSERT_TRUE(top.Create(nullptr, Rect::FromSize(0, 0, 100, 100)));
    display->Click({10, 10});
    Advance(300);
    display->Click({11, 11});
    Pump();
    EXPECT_EQ(top.log, (std::vector<std::string>{"move", "down", "up", "move", "dbl", "up"}));
    top.log.clear();
    Advance(100);
    display->Click({11, 11}); // a third press starts over
    Advance(501);
    display->Click({11, 11}); // too late
    Advance(100);
    display->Click({20, 20}); // too far
    Pump();
    int doubles = static_cast<int>(std::count(top.log.begin(), top.log.end(), "dbl"));
    EXPECT_EQ(doubles, 0);
}

TEST_F(WindowTest, PreTranslateOfAnAncestorCanTakeAKeyFirst)
{
    Probe top;
    ASSERT_TRUE(top.Create(nullptr, Rect::FromSize(0, 0, 100, 100)));
    Probe child;
    ASSERT_TRUE(child.Create(&top, Rect::FromSize(0, 0, 50, 50)));
    child.SetFocus();
    display->PressKey('X');
    Pump();
    EXPECT_EQ(child.log, (std::vector<std::string>{"key88"}));
    top.consumeKeysOfChildren = true;
    display->PressKey('Y');
    Pump();
    EXPECT_EQ(child.log.size(), 1u);
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
    gfx::Bitmap shot = system->CaptureWindow(child);
    EXPECT_EQ(shot.GetSize(), (Size{20, 5}));

    // Moving the child repaints where it was and where it is.
    child.SetWindowPos({40, 30});
    const gfx::Bitmap& after = system->Frame(top);
    EXPECT_EQ(after.Pixel(10, 10), gfx::Rgb(1, 1, 1));
    EXPECT_EQ(after.Pixel(45, 32), gfx::Rgb(200, 0, 0));
    // Hiding it shows the parent there again.
    child.ShowWindow(ShowCommand::Hide);
    EXPECT_EQ(system->Frame(top).Pixel(45, 32), gfx::Rgb(1, 1, 1));
}

TEST_F(WindowTest, UpdateWindowPaintsAtOnceInvalidateWaitsForTheLoop)
{
    Probe top;
    ASSERT_TRUE(top.Create(nullptr, Rect::FromSize(0, 0, 60, 40)));
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

TEST_F(WindowTest, DestroyedWindowsStopNamingAnything)
{
    auto child = std::make_unique<Probe>();
    Probe top;
    ASSERT_TRUE(top.Create(nullptr, Rect::FromSize(0, 0, 100, 100)));
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
    EXPECT_TRUE(top.Children().empty());
    EXPECT_EQ(SendMessage(handle, 0x8100, 2, 3), 0);
    EXPECT_FALSE(PostMessage(handle, 0x8100, 2, 3));
    // Destroying a parent destroys its children's windows (not their objects).
    Probe other;
    ASSERT_TRUE(other.Create(&top, Rect::FromSize(0, 0, 10, 10)));
    top.Destroy();
    EXPECT_FALSE(other.IsWindow());
}
