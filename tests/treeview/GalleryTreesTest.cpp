// The gallery's trees page on a real X server: the two trees with their
// pictures and labels where the main window puts them, a real click and
// key on the left tree, and a screenshot kept beside the test.

#include <gtest/gtest.h>

#include "platform/gfx/Bitmap.h"
#include "resources/Resources.h"
#include "tests/support/DisplayProcess.h"
#include "tests/support/XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

namespace tolvar::test {
namespace {

using namespace std::chrono_literals;

gfx::Bitmap Grab(Display* d, int w, int h)
{
    XImage* image = XGetImage(d, DefaultRootWindow(d), 0, 0, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return {};
    }
    gfx::Bitmap out(w, h);
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            out.SetPixel(i, j,
                         0xFF000000u | static_cast<gfx::Color>(XGetPixel(image, i, j) & 0xFFFFFF));
        }
    }
    XDestroyImage(image);
    return out;
}

// Pixels of r in b that are c, or, given a picture, that match it at r's origin.
int Count(const gfx::Bitmap& b, const gfx::Rect& r, gfx::Color c, const gfx::Bitmap* picture = {})
{
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            const gfx::Color want = picture ? picture->Pixel(x - r.left, y - r.top) : c;
            n += gfx::SameRgb(b.Pixel(x, y), want) ? 1 : 0;
        }
    }
    return n;
}

TEST(GalleryTrees, BothTreesShowOnScreenAndTakeRealInput)
{
    alarm(60);
    XvfbServer server(800, 600);
    ASSERT_TRUE(server.Ok()) << "Xvfb did not start";
    DisplayProcess gallery(server.Display(),
                           {TOLVAR_GALLERY_PATH, "--page", "trees", "--position", "0,0"});
    Display* d = XOpenDisplay(server.Display().c_str());
    ASSERT_NE(d, nullptr);
    // Polls the screen until check holds for a grab of it, for up to 20 s.
    gfx::Bitmap shot;
    auto waitFor = [&](auto check) {
        for (auto end = std::chrono::steady_clock::now() + 20s;
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(50ms)) {
            shot = Grab(d, 700, 494);
            if (!shot.IsNull() && check()) {
                return true;
            }
        }
        return false;
    };
    const gfx::Color labelColor = gfx::Rgb(233, 233, 253);
    ASSERT_TRUE(waitFor([&] {
        return Count(shot, {30, 170, 317, 449}, labelColor) > 200;
    })) << "no tree labels on screen";
    EXPECT_GT(Count(shot, {366, 170, 653, 449}, labelColor), 200);
    // Below the last rows the right tree shows its background picture as it is.
    const gfx::Bitmap background = LoadBitmapResource(165).Crop({0, 200, 287, 279});
    EXPECT_GT(Count(shot, {366, 370, 653, 449}, 0, &background), 287 * 79 * 9 / 10);
    shot.SavePng("gallery-trees.png");

    // A real click on the top row of the left tree selects it: the focused
    // selection fill appears; Down moves it one row.
    const gfx::Color fill = gfx::Rgb(14, 74, 165);
    auto fillIn = [&](int top, int height) {
        return Count(shot, gfx::Rect{30, top, 317, top + height}, fill);
    };
    const std::string xdotool = "DISPLAY=" + server.Display() + " xdotool ";
    ASSERT_EQ(std::system((xdotool + "mousemove 110 183 click 1").c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return fillIn(170, 20) > 100; }));
    ASSERT_EQ(std::system((xdotool + "key Down").c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return fillIn(187, 17) > 100 && fillIn(170, 17) == 0; }));
    XCloseDisplay(d);
    alarm(0);
}

} // namespace
} // namespace tolvar::test
