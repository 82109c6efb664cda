#include "tests/ui/UiFixture.h"

#include "platform/ui/BitmapButton.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/PopupMenu.h"
#include "platform/ui/ToolTip.h"

using namespace tolvar;
using namespace tolvar::ui;

namespace {

constexpr gfx::Color kUp = gfx::Rgb(10, 60, 120);
constexpr gfx::Color kDown = gfx::Rgb(5, 30, 60);
constexpr gfx::Color kBack = gfx::Rgb(1, 23, 64);

class Panel : public Window
{
public:
    std::vector<unsigned> commands;

protected:
    void OnPaint(gfx::Painter& p) override { p.FillRect(GetClientRect(), kBack); }
    bool OnCommand(unsigned id, unsigned code, WindowHandle) override
    {
        if (code == BN_CLICKED) {
            commands.push_back(id);
        }
        return true;
    }
};

} // namespace

class ControlsTest : public test::UiTest
{
protected:
    void SetUp() override { ASSERT_TRUE(panel.Create(nullptr, Rect::FromSize(0, 0, 400, 300))); }
    Panel panel;
};

TEST_F(ControlsTest, BitmapButtonSizesItselfShowsPressedAndClicksOnlyInside)
{
    gfx::Bitmap up(138, 34, kUp), down(138, 34, kDown), disabled(138, 34, gfx::Rgb(80, 80, 80));
    BitmapButton button;
    ASSERT_TRUE(button.Create(&panel, Rect::FromSize(20, 30, 10, 10), 1010));
    ASSERT_TRUE(button.LoadBitmaps(&up, &down, nullptr, &disabled));
    button.SizeToContent();
    EXPECT_EQ(button.GetRectInParent(), Rect::FromSize(20, 30, 138, 34));
    EXPECT_EQ(system->CaptureWindow(button).Pixel(5, 5), kUp);

    Point inside = button.ClientToScreen({60, 10});
    display->MouseMove(inside);
    display->MouseDown();
    Pump();
    EXPECT_EQ(button.CurrentFace(), BitmapButton::Face::Selected);
    EXPECT_EQ(system->CaptureWindow(button).Pixel(5, 5), kDown);
    // Dragged off, it shows up again, and releasing there is no click.
    display->MouseMove({300, 200});
    Pump();
    EXPECT_EQ(system->CaptureWindow(button).Pixel(5, 5), kUp);
    display->MouseUp();
    Pump();
    EXPECT_TRUE(panel.commands.empty());
    clock.Advance(std::chrono::seconds(1));
    display->Click(inside);
    Pump();
    EXPECT_EQ(panel.commands, (std::vector<unsigned>{1010}));
    EXPECT_EQ(Window::GetCapture(), nullptr);
    // Space on the focused button clicks it too.
    display->PressKey(VK_SPACE);
    Pump();
    EXPECT_EQ(panel.commands.size(), 2u);
    // Disabled: its picture, and no clicks.
    button.EnableWindow(false);
    EXPECT_EQ(system->CaptureWindow(button).Pixel(5, 5), gfx::Rgb(80, 80, 80));
    clock.Advance(std::chrono::seconds(1));
    display->Click(inside);
    Pump();
    EXPECT_EQ(panel.commands.size(), 2u);
}

TEST_F(ControlsTest, DialogOpensCentredOnItsOwnerAndEscapeCancels)
{
    class Box : public Dialog
    {
    public:
        Box() : Dialog({100, 50}) {}
    };
    Box box;
    Rect placed;
    PostTask([&] {
        placed = box.GetWindowRect();
        display->PressKey(VK_ESCAPE);
    });
    EXPECT_EQ(box.DoModal(&panel), IDC_CANCEL);
    EXPECT_EQ(placed, Rect::FromSize(150, 125, 100, 50));
}

TEST_F(ControlsTest, PopupMenuReturnsTheChosenCommandAndSkipsGreyItems)
{
    PopupMenu menu;
    menu.AppendMenu(MF_STRING, 0x8001, "&Refresh");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING | MF_GRAYED, 0x8002, "&Delete");
    menu.AppendMenu(MF_STRING, 0x8003, "Download CodeList to &All Drives");
    menu.SetDefaultItem(0x8001);

    // Item rows: border 1 + 1, then 20 pixels each, a separator of 7.
    auto rowY = [](int index) {
        int ys[] = {2, 22, 29, 49};
        return ys[index] + 10;
    };
    Point at{100, 100};
    PostTask([&] {
        display->Click({at.x + 30, at.y + rowY(2)}); // grey: nothing
        display->Click({at.x + 30, at.y + rowY(3)});
    });
    EXPECT_EQ(menu.TrackPopupMenu(TPM_RETURNCMD, at, &panel), 0x8003u);
    EXPECT_EQ(PopupMenu::ActiveMenuWindow(), nullptr);

    PostTask([&] { display->PressKey(VK_ESCAPE); });
    EXPECT_EQ(menu.TrackPopupMenu(TPM_RETURNCMD, at, &panel), 0u);
    clock.Advance(std::chrono::seconds(1));
    PostTask([&] { display->Click({5, 5}); }); // outside the menu
    EXPECT_EQ(menu.TrackPopupMenu(TPM_RETURNCMD, at, &panel), 0u);
    PostTask([&] {
        display->PressKey(VK_DOWN);
        display->PressKey(VK_RETURN);
    });
    EXPECT_EQ(menu.TrackPopupMenu(TPM_RETURNCMD, at, &panel), 0x8001u);
    PostTask([&] { display->PressKey('D'); }); // the grey item's letter
    PostTask([&] { display->PressKey('A'); });
    EXPECT_EQ(menu.TrackPopupMenu(TPM_RETURNCMD, at, &panel), 0x8003u);

    // The default item is drawn bold: more lit pixels than the same text
    // in a plain item.
    PopupMenu plain, bold;
    plain.AppendMenu(MF_STRING, 1, "Refresh");
    bold.AppendMenu(MF_STRING | MF_DEFAULT, 1, "Refresh");
    auto litPixels = [&](PopupMenu& m) {
        int lit = 0;
        PostTask([&] {
            const gfx::Bitmap& frame = system->Frame(*PopupMenu::ActiveMenuWindow());
            for (int y = 3; y < frame.Height() - 3; ++y) {
                for (int x = 3; x < frame.Width() - 3; ++x) {
                    lit += gfx::Red(frame.Pixel(x, y)) > 128;
                }
            }
            display->PressKey(VK_ESCAPE);
        });
        m.TrackPopupMenu(TPM_RETURNCMD, at, &panel);
        return lit;
    };
    EXPECT_GT(litPixels(bold), litPixels(plain) + 5);
}

TEST_F(ControlsTest, BalloonTipAsksForTextAfterTheDelayAndPops)
{
    Window tree;
    ASSERT_TRUE(tree.Create(&panel, Rect::FromSize(10, 10, 200, 200)));
    ToolTip tip;
    ASSERT_TRUE(tip.Create(&panel, ToolTip::Style::Balloon));
    tip.SetDelayTime(TTDT_AUTOMATIC, 1000);
    EXPECT_EQ(tip.GetDelayTime(TTDT_AUTOPOP), 10000u);
    tip.SetDelayTime(TTDT_AUTOPOP, 48032);
    tip.SetDelayTime(TTDT_INITIAL, 500);
    tip.SetTipBkColor(gfx::FromColorRef(0x401701));
    Point asked;
    int requests = 0;
    tip.AddTool(&tree, [&](Window&, Point client) {
        asked = client;
        ++requests;
        return std::string("Space Free: 12.50 MB");
    });
    display->MouseMove(tree.ClientToScreen({50, 60}));
    Advance(499);
    EXPECT_FALSE(tip.IsShown());
    Advance(1);
    ASSERT_TRUE(tip.IsShown());
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(asked, (Point{50, 60}));
    EXPECT_EQ(tip.ShownText(), "Space Free: 12.50 MB");
    gfx::Bitmap shot = system->Frame(tip).Crop({20, 20, 40, 24});
    EXPECT_EQ(shot.Pixel(0, 0), gfx::Rgb(1, 23, 64)); // the tip colour
    // It stays under the pointer until popped, then hides.
    Advance(5000);
    EXPECT_TRUE(tip.IsShown());
    tip.Pop();
    EXPECT_FALSE(tip.IsShown());
    // The auto-pop delay hides it too.
    display->MouseMove(tree.ClientToScreen({70, 60}));
    Advance(500);
    EXPECT_TRUE(tip.IsShown());
    Advance(48032);
    EXPECT_FALSE(tip.IsShown());
    // Off the tool, no tip.
    display->MouseMove({300, 280});
    Advance(2000);
    EXPECT_FALSE(tip.IsShown());
}
