#include "tests/ui/UiFixture.h"

#include "platform/ui/Window.h"

#include <string>
#include <vector>

using namespace tolvar;
using namespace tolvar::ui;

namespace {

class Probe : public Window
{
public:
    std::vector<std::string> log;
    Point lastMove;
    std::function<void(bool)> onEnable;
    bool takeWheel = true;
    int wheel = 0;

protected:
    void OnMouseMove(unsigned, Point pt) override
    {
        lastMove = pt;
        log.push_back("move");
    }
    void OnLButtonDown(unsigned, Point) override { log.push_back("down"); }
    void OnLButtonUp(unsigned, Point) override { log.push_back("up"); }
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
        if (!takeWheel) {
            return false;
        }
        wheel += delta;
        return true;
    }
};

int Count(const std::vector<std::string>& log, const std::string& what)
{
    return static_cast<int>(std::count(log.begin(), log.end(), what));
}

} // namespace

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

TEST_F(InputTest, CaptureTakesEveryMouseMessageUntilReleased)
{
    display->MouseMove({20, 20});
    Pump();
    a.SetCapture();
    display->MouseMove({250, 50});   // over b
    display->MouseMove({1000, 900}); // outside every window
    Pump();
    EXPECT_TRUE(b.log.empty());
    EXPECT_EQ(Count(a.log, "move"), 3);
    EXPECT_EQ(a.lastMove, (Point{990, 890}));
    EXPECT_TRUE(Window::ReleaseCapture());
    EXPECT_EQ(Count(a.log, "capturechanged"), 1);
    display->MouseMove({251, 51});
    Pump();
    EXPECT_EQ(Count(b.log, "move"), 1);
    // Taking the capture from another window tells the loser.
    a.log.clear();
    a.SetCapture();
    b.SetCapture();
    EXPECT_EQ(Count(a.log, "capturechanged"), 1);
    EXPECT_EQ(Window::GetCapture(), &b);
    Window::ReleaseCapture();
}

TEST_F(InputTest, CaptureTakenForAPressEndsWithTheLastButton)
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
