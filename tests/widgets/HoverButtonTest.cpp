#include "widgets/HoverButton.h"

#include "tests/widgets/WidgetFixture.h"

namespace tolvar::test {
namespace {

class HoverButtonTest : public UiTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(parent.Create(nullptr, gfx::Rect::FromSize(100, 100, 300, 120)));
        ASSERT_TRUE(button.Create(parent, 1009, {20, 30}));
        Pump();
    }
    gfx::Bitmap Shot() { return system->CaptureWindow(button); }
    gfx::Point Inside(int x = 60, int y = 15) { return button.ClientToScreen(gfx::Point{x, y}); }

    RecordingWindow parent;
    CHoverButton button{"WEBU", "WEBH", "WEBD", nullptr};
    const gfx::Bitmap up = LoadBitmapResource("WEBU");
    const gfx::Bitmap hover = LoadBitmapResource("WEBH");
    const gfx::Bitmap down = LoadBitmapResource("WEBD");
};

TEST_F(HoverButtonTest, UpThenHoverAfterOneMillisecondThenDownThenUpAgainOnLeave)
{
    EXPECT_EQ(button.GetRectInParent(), gfx::Rect::FromSize(20, 30, 138, 34));
    EXPECT_TRUE(ShowsPicture(Shot(), {0, 0}, up));
    display->MouseMove(Inside());
    Pump();
    EXPECT_TRUE(button.IsTracking());
    EXPECT_FALSE(button.IsHovering());
    EXPECT_TRUE(ShowsPicture(Shot(), {0, 0}, up));

    Advance(1);
    EXPECT_TRUE(button.IsHovering());
    EXPECT_TRUE(ShowsPicture(Shot(), {0, 0}, hover));
    // Repeated hover notifications neither reload nor redraw (the count is
    // read as of the last frame taken).
    const auto paints = system->PaintCount();
    button.SendMessage(ui::WM_MOUSEHOVER, 0, ui::MakePointLParam(61, 15));
    Shot();
    EXPECT_EQ(system->PaintCount(), paints);

    display->MouseDown();
    Pump();
    EXPECT_TRUE(ShowsPicture(Shot(), {0, 0}, down));
    display->MouseUp();
    Pump();
    EXPECT_EQ(parent.commands, std::vector<unsigned>{1009});
    EXPECT_TRUE(ShowsPicture(Shot(), {0, 0}, hover)) << "still under the pointer after the click";

    display->MouseMove(parent.ClientToScreen(gfx::Point{250, 100}));
    Pump();
    EXPECT_FALSE(button.IsHovering() || button.IsTracking());
    EXPECT_TRUE(ShowsPicture(Shot(), {0, 0}, up));

    // Coming back asks for tracking anew and hovers again.
    display->MouseMove(Inside(10, 10));
    Advance(1);
    EXPECT_TRUE(ShowsPicture(Shot(), {0, 0}, hover));

    // Missing pictures leave a button that loads nothing.
    EXPECT_FALSE((CHoverButton{nullptr, nullptr, nullptr, nullptr}.LoadPictures()));
    EXPECT_FALSE((CHoverButton{"NOSUCHU", "NOSUCHH", "NOSUCHD", nullptr}.LoadPictures()));
}

} // namespace
} // namespace tolvar::test
