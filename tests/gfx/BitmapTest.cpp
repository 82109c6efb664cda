#include "platform/gfx/Bitmap.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tolvar::gfx;

namespace {

Bitmap Gradient(int w, int h)
{
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            b.SetPixel(x, y, Rgb(x * 255 / w, y * 255 / h, (x ^ y) & 0xFF));
        }
    }
    return b;
}

} // namespace

TEST(Bitmap, PngRoundTripKeepsEveryPixelAndAlphaAndDamagedPngIsRefused)
{
    Bitmap original = Gradient(37, 19);
    original.SetPixel(3, 4, 0x80123456u); // half-transparent survives too
    std::vector<std::uint8_t> png = original.EncodePng();
    std::optional<Bitmap> decoded = Bitmap::DecodePng(png.data(), png.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, original);

    tolvar::test::TempDir dir;
    ASSERT_TRUE(original.SavePng(dir / "a.png"));
    std::optional<Bitmap> loaded = Bitmap::LoadPng(dir / "a.png");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(*loaded, original);

    EXPECT_FALSE(Bitmap::DecodePng(png.data(), png.size() / 2)); // truncated
    std::vector<std::uint8_t> garbage(png.size(), 0x42);
    EXPECT_FALSE(Bitmap::DecodePng(garbage.data(), garbage.size()));
    EXPECT_FALSE(Bitmap::DecodePng(nullptr, 0));
    EXPECT_FALSE(Bitmap::LoadPng("/nonexistent/file.png"));
    EXPECT_TRUE(Bitmap().EncodePng().empty());
}

TEST(Bitmap, FillAndCropStayInsideTheBitmap)
{
    Bitmap b(10, 10, Rgb(0, 0, 0));
    b.FillRect({-5, -5, 3, 2}, Rgb(255, 0, 0));
    EXPECT_EQ(b.Pixel(0, 0), Rgb(255, 0, 0));
    EXPECT_EQ(b.Pixel(2, 1), Rgb(255, 0, 0));
    EXPECT_EQ(b.Pixel(3, 1), Rgb(0, 0, 0));
    EXPECT_EQ(b.Pixel(2, 2), Rgb(0, 0, 0));
    Bitmap part = b.Crop({1, 1, 20, 20});
    EXPECT_EQ(part.Width(), 9);
    EXPECT_EQ(part.Height(), 9);
    EXPECT_EQ(part.Pixel(0, 0), Rgb(255, 0, 0));
    EXPECT_EQ(part.Pixel(2, 0), Rgb(0, 0, 0));
}

// A window's frame is painted in memory the window is shown from: writes
// land there, and a copy (a capture) is a picture of its own.
TEST(Bitmap, BorrowedPixelsAreWrittenInPlaceAndCopiesOwnTheirs)
{
    std::vector<Color> memory(6, 0);
    Bitmap frame = Bitmap::Borrow(3, 2, memory.data());
    frame.Fill(Rgb(1, 2, 3));
    frame.SetPixel(2, 1, Rgb(9, 9, 9));
    EXPECT_EQ(memory[0], Rgb(1, 2, 3));
    EXPECT_EQ(memory[5], Rgb(9, 9, 9));

    Bitmap copy = frame; // a capture
    Bitmap assigned;
    assigned = frame;
    frame.SetPixel(2, 1, Rgb(4, 4, 4)); // the next frame painted
    EXPECT_EQ(copy.Pixel(2, 1), Rgb(9, 9, 9));
    EXPECT_EQ(assigned.Pixel(2, 1), Rgb(9, 9, 9));
    copy.SetPixel(0, 0, Rgb(7, 7, 7));
    EXPECT_EQ(memory[0], Rgb(1, 2, 3));
    EXPECT_EQ(frame, Bitmap::FromPixels(3, 2, memory.data()));
}
