#include "platform/gfx/Painter.h"
#include "platform/gfx/ImageList.h"

#include <gtest/gtest.h>

using namespace tolvar::gfx;

namespace {

constexpr Color kBack = Rgb(1, 23, 64);
constexpr Color kRed = Rgb(255, 0, 0);

int CountNot(const Bitmap& b, Color c, const Rect& r)
{
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            n += b.Pixel(x, y) != c;
        }
    }
    return n;
}

} // namespace

TEST(Painter, SubPainterTranslatesAndClips)
{
    Bitmap target(50, 50, kBack);
    Painter root(target);
    Painter child = root.Sub(Rect::FromSize(10, 20, 15, 5));
    child.FillRect({-100, -100, 100, 100}, Rgb(9, 9, 9));
    EXPECT_EQ(CountNot(target, kBack, target.Bounds()), 15 * 5);
    EXPECT_EQ(target.Pixel(10, 20), Rgb(9, 9, 9));
    EXPECT_EQ(target.Pixel(24, 24), Rgb(9, 9, 9));
    EXPECT_EQ(target.Pixel(25, 24), kBack);
    EXPECT_EQ(child.ClipRect(), Rect::FromSize(0, 0, 15, 5));
    // A grandchild is clipped by both.
    Painter inner = child.Sub({10, 0, 40, 40});
    inner.FillRect({0, 0, 40, 40}, Rgb(7, 7, 7));
    EXPECT_EQ(CountNot(target, Rgb(9, 9, 9), Rect::FromSize(10, 20, 15, 5)), 5 * 5);
}

TEST(Painter, BitmapCopiesCutAtEveryEdge)
{
    Bitmap src(8, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            src.SetPixel(x, y, Rgb(x * 10, y * 10, 0));
        }
    }
    Bitmap target(10, 10, kBack);
    Painter p(target, {0, 0}, {2, 2, 10, 10});
    p.DrawBitmap({-3, 0}, src); // starts left of the clip
    EXPECT_EQ(target.Pixel(1, 1), kBack);
    EXPECT_EQ(target.Pixel(2, 2), Rgb(50, 20, 0)); // source column 5
    EXPECT_EQ(target.Pixel(4, 7), Rgb(70, 70, 0));
    EXPECT_EQ(target.Pixel(5, 2), kBack);
    // A source rectangle: only its part is copied, to dst.
    Bitmap t2(10, 10, kBack);
    Painter p2(t2);
    p2.DrawBitmap({1, 1}, src, {4, 4, 6, 7});
    EXPECT_EQ(CountNot(t2, kBack, t2.Bounds()), 2 * 3);
    EXPECT_EQ(t2.Pixel(1, 1), Rgb(40, 40, 0));
    EXPECT_EQ(t2.Pixel(2, 3), Rgb(50, 60, 0));
}

TEST(Painter, KeyedCopyAndImageListsLeaveTheKeyColour)
{
    // Two 16x16 images: a red field with a 4x4 blue square at (2,2), and at
    // (10,10) in the second.
    Bitmap strip(32, 16, kRed);
    strip.FillRect(Rect::FromSize(2, 2, 4, 4), Rgb(0, 0, 255));
    strip.FillRect(Rect::FromSize(16 + 10, 10, 4, 4), Rgb(0, 255, 0));
    ImageList images(strip, 16, kRed);
    EXPECT_EQ(images.Count(), 2);
    Bitmap target(40, 40, kBack);
    Painter p(target);
    p.DrawImage(images, 1, {5, 5});
    EXPECT_EQ(CountNot(target, kBack, target.Bounds()), 16);
    EXPECT_EQ(target.Pixel(15, 15), Rgb(0, 255, 0));
    EXPECT_EQ(target.Pixel(14, 14), kBack);
    p.DrawImage(images, 0, {20, 20});
    EXPECT_EQ(target.Pixel(22, 22), Rgb(0, 0, 255));
    EXPECT_EQ(CountNot(target, kBack, target.Bounds()), 32);
    p.DrawImage(images, 2, {0, 0}); // no such image: nothing
    EXPECT_EQ(CountNot(target, kBack, target.Bounds()), 32);
}

TEST(Painter, TextIsClippedKeepsTheBackgroundWhenTransparentAndWrapsCentred)
{
    Bitmap target(120, 30, kBack);
    Painter p(target);
    p.SetFont(Font::Label());
    p.SetTextColor(Rgb(235, 235, 235));
    p.SetBackgroundMode(BackgroundMode::Transparent);
    p.DrawText({2, 2}, "PC Databases", {0, 0, 40, 30});
    // Glyph pixels appear, nothing right of the clip, and the gaps between
    // letters keep the background colour.
    EXPECT_GT(CountNot(target, kBack, {0, 0, 40, 30}), 40);
    EXPECT_EQ(CountNot(target, kBack, {40, 0, 120, 30}), 0);
    EXPECT_EQ(target.Pixel(0, 0), kBack);
    int lightest = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            lightest = std::max<int>(lightest, static_cast<int>(Red(target.Pixel(x, y))));
        }
    }
    EXPECT_EQ(lightest, 235);

    // Opaque text fills its clip rectangle with the background colour.
    Bitmap t2(120, 30, kBack);
    Painter p2(t2);
    p2.SetBackgroundMode(BackgroundMode::Opaque);
    p2.SetBackgroundColor(Rgb(0, 0, 0));
    p2.DrawText({0, 0}, "x", {0, 0, 20, 20});
    EXPECT_EQ(t2.Pixel(19, 19), Rgb(0, 0, 0));
    EXPECT_EQ(t2.Pixel(20, 20), kBack);

    // Centred, wrapped text stays in its rectangle.
    Bitmap t3(200, 100, kBack);
    Painter p3(t3);
    p3.SetFont(Font::Label());
    p3.SetTextColor(Rgb(255, 255, 255));
    p3.SetBackgroundMode(BackgroundMode::Transparent);
    Rect box{50, 10, 150, 60};
    p3.DrawText(box, "A longer message that has to wrap over several lines of the box and beyond",
                kTextCenter | kTextWordBreak);
    EXPECT_GT(CountNot(t3, kBack, box), 100);
    EXPECT_EQ(CountNot(t3, kBack, t3.Bounds()), CountNot(t3, kBack, box)); // clipped
    EXPECT_GT(CountNot(t3, kBack, {50, 30, 150, 45}), 10) << "only one line drawn";
}

TEST(Painter, DottedFocusRectTwiceRestoresThePictureAndPensOutlineRectangles)
{
    Bitmap target(20, 20, Rgb(0, 0, 0));
    Painter p(target);
    Rect r{2, 2, 12, 8};
    p.DrawFocusRect(r);
    EXPECT_EQ(target.Pixel(2, 2), Rgb(255, 255, 255));
    EXPECT_EQ(target.Pixel(3, 2), Rgb(0, 0, 0));
    EXPECT_EQ(target.Pixel(4, 2), Rgb(255, 255, 255));
    EXPECT_EQ(target.Pixel(5, 5), Rgb(0, 0, 0)); // inside untouched
    EXPECT_EQ(CountNot(target, Rgb(0, 0, 0), target.Bounds()), 14);
    p.DrawFocusRect(r);
    EXPECT_EQ(CountNot(target, Rgb(0, 0, 0), target.Bounds()), 0);

    // A dotted pen outline with a hollow brush, then a solid one.
    target.FillRect(target.Bounds(), kBack);
    p.DrawRectangle({0, 0, 10, 10}, Pen{Rgb(150, 150, 150), PenStyle::Dot}, Brush::Hollow());
    EXPECT_EQ(target.Pixel(0, 0), Rgb(150, 150, 150));
    EXPECT_EQ(target.Pixel(1, 0), kBack);
    EXPECT_EQ(target.Pixel(5, 5), kBack); // hollow: inside untouched
    int lit = 20 * 20 - CountNot(target, Rgb(150, 150, 150), target.Bounds());
    EXPECT_GE(lit, 16);
    EXPECT_LE(lit, 20);
    p.DrawRectangle({0, 0, 10, 10}, Pen{Rgb(1, 1, 1)}, Brush::Solid(Rgb(14, 74, 165)));
    EXPECT_EQ(target.Pixel(5, 5), Rgb(14, 74, 165));
    EXPECT_EQ(target.Pixel(1, 0), Rgb(1, 1, 1));
    EXPECT_EQ(target.Pixel(10, 10), kBack);
}

// At scale 2 a picture comes from its detail where it has one (else each pixel
// is doubled), clipped in layout pixels, and a line of text is drawn whole in
// the face of twice the size, which may run wider than twice the layout's.
TEST(Painter, AtScaleTwoPicturesUseTheirDetailAndTextIsDrawnWhole)
{
    Bitmap picture(2, 1, kRed);
    Bitmap detail(4, 2, kRed);
    detail.SetPixel(1, 1, Rgb(0, 255, 0));
    picture.SetDetail(detail);
    Bitmap plain(2, 1, Rgb(0, 0, 255));

    Bitmap target(20, 10, kBack);
    Painter p(target, {1, 1}, Rect::FromSize(0, 0, 9, 4), 2);
    p.DrawBitmap({0, 0}, picture);
    p.DrawBitmap({7, 0}, plain); // its second pixel is outside the clip
    EXPECT_EQ(target.Pixel(3, 3), Rgb(0, 255, 0));
    EXPECT_EQ(CountNot(target, kBack, target.Bounds()), 8 + 4);
    EXPECT_EQ(target.Pixel(17, 3), Rgb(0, 0, 255));
    EXPECT_EQ(target.Pixel(19, 3), kBack);
    EXPECT_EQ(p.ClipRect(), (Rect{-1, -1, 8, 3}));

    const std::string text = "About ZyferV3 WWW";
    const FontPtr font = Font::Label();
    const Font& large = font->AtScale(2);
    ASSERT_NEAR(large.PixelSize(), 2 * font->PixelSize(), 0.01);
    Bitmap drawn(400, 60, kBack), whole(400, 60, kBack);
    Painter q(drawn, {0, 0}, {0, 0, 200, 30}, 2);
    q.SetFont(font);
    q.SetBackgroundMode(BackgroundMode::Transparent);
    q.SetTextColor(kRed);
    q.DrawText({5, 5}, text);
    large.DrawText(whole, {10, 10}, U"About ZyferV3 WWW", kRed, whole.Bounds());
    EXPECT_EQ(drawn, whole);
}
