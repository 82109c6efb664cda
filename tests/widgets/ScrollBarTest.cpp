#include "widgets/SkinScrollBar.h"

#include "tests/widgets/WidgetFixture.h"

namespace tolvar::test {
namespace {

using Hit = CSkinScrollBar::Hit;

class ScrollBarTest : public UiTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(owner.Create(nullptr, gfx::Rect::FromSize(50, 50, 400, 320)));
        ASSERT_TRUE(bar.Create(1008, &owner, &owner, 323 - 300, 10));
        Pump();
    }
    void SetRange(int min, int max, int page, int pos)
    {
        ScrollInfo info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = min;
        info.nMax = max;
        info.nPage = static_cast<unsigned>(page);
        info.nPos = pos;
        ASSERT_EQ(bar.SetScrollInfo(&info, true), 1);
    }
    gfx::Point At(int x, int y) { return bar.ClientToScreen(gfx::Point{x, y}); }
    void PressAt(int y)
    {
        display->MouseMove(At(5, y));
        display->MouseDown();
        Pump();
    }
    void Release()
    {
        display->MouseUp();
        Pump();
    }
    std::vector<std::pair<unsigned, int>> Sent()
    {
        std::vector<std::pair<unsigned, int>> out;
        for (const auto& s : owner.scrolls) {
            EXPECT_EQ(s.from, static_cast<LParam>(bar.Handle()));
            out.emplace_back(s.code, s.position);
        }
        owner.scrolls.clear();
        return out;
    }
    using Sends = std::vector<std::pair<unsigned, int>>;
    RecordingWindow owner;
    CSkinScrollBar bar{129, 140, 139, 138, 130, 137, 134, 136, 133, 135, 132};
};

TEST_F(ScrollBarTest, ThumbFollowsRangePageAndPositionAndScrollInformationIsChecked)
{
    SetRange(0, 99, 10, 0);
    EXPECT_TRUE(bar.IsVisible());
    EXPECT_EQ(bar.ThumbRect(), (gfx::Rect{0, 11, 11, 37})) << "260 x 10 / 100 = 26 pixels";
    bar.SetScrollPos(90, true);
    EXPECT_EQ(bar.ThumbRect().bottom, 271);
    EXPECT_EQ(bar.SetScrollPos(200, false), 90);
    EXPECT_EQ(bar.GetScrollPos(), 90) << "clamped to end - page";
    bar.SetScrollPos(-5, false);
    EXPECT_EQ(bar.GetScrollPos(), 0);

    // A huge range keeps the thumb at its minimum, the two caps.
    SetRange(0, 2000000000, 10, 1000000000);
    EXPECT_EQ(bar.ThumbRect().Height(), 8);
    EXPECT_EQ(bar.ThumbRect().top, 11 + (260 - 8) / 2);

    // Nothing to scroll: hidden, thumb over the whole track, position 0.
    SetRange(0, 9, 10, 5);
    EXPECT_FALSE(bar.IsVisible());
    EXPECT_EQ(bar.ThumbRect(), bar.TrackRect());
    EXPECT_EQ(bar.GetScrollPos(), 0);
    SetRange(0, 99, 10, 50);
    EXPECT_TRUE(bar.IsVisible());

    SetRange(0, 99, 10, 0);
    ScrollInfo track;
    track.fMask = SIF_TRACKPOS;
    track.nTrackPos = 42;
    EXPECT_EQ(bar.SetScrollInfo(&track, false), 1);
    EXPECT_EQ(bar.GetScrollPos(), 42);
    ScrollInfo partial;
    partial.nMin = -7;
    EXPECT_EQ(bar.GetScrollInfo(&partial, SIF_POS), 1);
    EXPECT_EQ(partial.nPos, 42);
    EXPECT_EQ(partial.nMin, -7) << "fields outside the mask are left alone";
}

TEST_F(ScrollBarTest, SizedByItsBitmapsAndHitTestedInOrder)
{
    EXPECT_EQ(bar.GetRectInParent(), gfx::Rect::FromSize(23, 10, 11, 282));
    SetRange(0, 99, 10, 40); // thumb from 11 + 234 * 40 / 90 = 115 to 141
    ASSERT_EQ(bar.ThumbRect(), (gfx::Rect{0, 115, 11, 141}));
    const std::pair<int, Hit> rows[] = {
        {0, Hit::UpArrow},     {10, Hit::UpArrow},    {11, Hit::PageUp},    {114, Hit::PageUp},
        {115, Hit::Thumb},     {140, Hit::Thumb},     {141, Hit::PageDown}, {270, Hit::PageDown},
        {271, Hit::DownArrow}, {281, Hit::DownArrow}, {282, Hit::Nothing}};
    for (const auto& [y, hit] : rows) {
        EXPECT_EQ(bar.HitTest({5, y}), hit) << y;
    }
    EXPECT_EQ(bar.HitTest({11, 100}), Hit::Nothing);
}

TEST_F(ScrollBarTest, ClicksMoveAndNotifyTheTarget)
{
    SetRange(0, 99, 10, 40);
    PressAt(50);
    Release();
    EXPECT_EQ(Sent(), (Sends{{SB_PAGEUP, 30}}));
    PressAt(260);
    Release();
    EXPECT_EQ(Sent(), (Sends{{SB_PAGEDOWN, 40}}));
    PressAt(275);
    Release();
    EXPECT_EQ(Sent(), (Sends{{SB_LINEDOWN, 41}}));
    bar.SetScrollPos(0, true);
    PressAt(5);
    Release();
    EXPECT_EQ(Sent(), (Sends{{SB_LINEUP, 0}})) << "sent even when nothing moved";
    // A double-click counts as a press.
    PressAt(260);
    Release();
    PressAt(260);
    Release();
    EXPECT_EQ(Sent(), (Sends{{SB_PAGEDOWN, 10}, {SB_PAGEDOWN, 20}}));
}

TEST_F(ScrollBarTest, DraggingTheThumbTracksClampsAndEndsWithTheCapture)
{
    SetRange(0, 99, 10, 0);
    PressAt(20); // 9 pixels into the thumb at 11..37
    EXPECT_TRUE(bar.IsThumbDragging());
    EXPECT_EQ(ui::Window::GetCapture(), &bar);
    EXPECT_EQ(Sent(), (Sends{{SB_THUMBTRACK, 0}}));

    display->MouseMove(At(5, 20 + 117)); // 90 x 117 / 234 = 45
    Pump();
    EXPECT_EQ(bar.GetScrollPos(), 45);
    display->MouseMove(At(5, 20 + 117)); // unchanged: nothing sent
    Pump();
    display->MouseMove(At(5, 900));
    Pump();
    EXPECT_EQ(bar.GetScrollPos(), 90);
    display->MouseMove(At(5, -400));
    Pump();
    EXPECT_EQ(bar.GetScrollPos(), 0);
    EXPECT_EQ(Sent(), (Sends{{SB_THUMBTRACK, 45}, {SB_THUMBTRACK, 90}, {SB_THUMBTRACK, 0}}));

    display->MouseMove(At(5, 20 + 52)); // 90 x 52 / 234 = 20
    Pump();
    Release();
    EXPECT_FALSE(bar.IsThumbDragging());
    EXPECT_EQ(ui::Window::GetCapture(), nullptr);
    EXPECT_EQ(Sent(), (Sends{{SB_THUMBTRACK, 20}, {SB_THUMBPOSITION, 20}}));

    // Losing the capture ends a drag without the final notification.
    bar.SetScrollPos(0, true);
    PressAt(20);
    Sent();
    owner.SetCapture();
    Pump();
    EXPECT_FALSE(bar.IsThumbDragging());
    display->MouseMove(At(5, 200));
    Release();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(bar.GetScrollPos(), 0);
}

TEST_F(ScrollBarTest, AHeldArrowWaitsThenRepeatsEveryHundredMilliseconds)
{
    SetRange(0, 99, 10, 85);
    PressAt(275);
    EXPECT_EQ(Sent(), (Sends{{SB_LINEDOWN, 86}}));
    // Timer ticks one by one, as the loop would see them in real time: the
    // first repeat at 250 ms, then every 100 ms until the end of the range.
    std::vector<std::pair<int, int>> repeats; // tick, position sent
    for (int tick = 1; tick <= 30; ++tick) {
        Advance(50);
        for (const auto& [code, position] : Sent()) {
            EXPECT_EQ(code, SB_LINEDOWN);
            repeats.emplace_back(tick, position);
        }
    }
    EXPECT_EQ(repeats, (std::vector<std::pair<int, int>>{{5, 87}, {7, 88}, {9, 89}, {11, 90}}));
    Release();
    EXPECT_EQ(ui::Window::GetCapture(), nullptr);

    // After the release the timer is gone.
    bar.SetScrollPos(50, true);
    PressAt(5);
    Release();
    for (int tick = 0; tick < 20; ++tick) {
        Advance(50);
    }
    EXPECT_EQ(Sent(), (Sends{{SB_LINEUP, 49}}));
}

TEST_F(ScrollBarTest, PaintsArrowsTrackAndThumbFromItsBitmaps)
{
    const gfx::Bitmap up = LoadBitmapResource(129), upPressed = LoadBitmapResource(140);
    const gfx::Bitmap track = LoadBitmapResource(130), down = LoadBitmapResource(139);
    const gfx::Bitmap top = LoadBitmapResource(137), middle = LoadBitmapResource(136);
    const gfx::Bitmap bottom = LoadBitmapResource(135), middleDrag = LoadBitmapResource(133);
    SetRange(0, 99, 10, 40); // thumb 115..141
    gfx::Bitmap shot = system->CaptureWindow(bar);
    EXPECT_TRUE(ShowsPicture(shot, {0, 0}, up));
    EXPECT_TRUE(ShowsPicture(shot, {0, 271}, down));
    EXPECT_TRUE(ShowsPicture(shot, {0, 11}, track, {0, 0, 11, 104}));
    EXPECT_TRUE(ShowsPicture(shot, {0, 141}, track, {0, 130, 11, 260}));
    EXPECT_TRUE(ShowsPicture(shot, {0, 115}, top));
    EXPECT_TRUE(ShowsPicture(shot, {0, 119}, middle, {0, 4, 11, 10}));
    EXPECT_TRUE(ShowsPicture(shot, {0, 125}, middle));
    EXPECT_TRUE(ShowsPicture(shot, {0, 137}, bottom));

    // Pressed arrow: the shorter picture over the same place, the last row kept.
    PressAt(5);
    shot = system->CaptureWindow(bar);
    EXPECT_TRUE(ShowsPicture(shot, {0, 0}, upPressed));
    EXPECT_TRUE(ShowsPicture(shot, {0, 10}, up, {0, 10, 11, 11}));
    Release();
    EXPECT_TRUE(ShowsPicture(system->CaptureWindow(bar), {0, 0}, up));

    // Dragging draws the thumb from the dragging set.
    const gfx::Rect thumb = bar.ThumbRect();
    PressAt(thumb.top + 10);
    shot = system->CaptureWindow(bar);
    EXPECT_TRUE(ShowsPicture(shot, {0, thumb.top + 10}, middleDrag, {0, 0, 11, 10}));
    Release();
}

} // namespace
} // namespace tolvar::test
