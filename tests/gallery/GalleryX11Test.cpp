// The gallery on a real X server: the pointer is moved onto a hover button
// with xdotool and the screen, read back with ImageMagick's import, must show
// the hover picture, then the up picture again once the pointer has left.
#include "resources/Resources.h"
#include "tests/gallery/GalleryPictures.h"
#include "tests/support/DisplayProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tolvar::test {
namespace {

// The gallery at the screen's corner, on one of its pages.
DisplayProcess StartGallery(const std::string& display, const char* page = "widgets")
{
    return DisplayProcess(display, {TOLVAR_GALLERY, "--position", "0,0", "--page", page});
}

class GalleryX11Test : public ::testing::Test
{
protected:
    bool Run(const std::string& command)
    {
        const std::string full = "DISPLAY=" + xvfb.Display() + " " + command + " >/dev/null 2>&1";
        return std::system(full.c_str()) == 0;
    }
    std::optional<gfx::Bitmap> Screen()
    {
        const auto file = dir / "screen.png";
        if (!Run("/usr/bin/import -window root \"" + file.string() + "\"")) {
            return std::nullopt;
        }
        return gfx::Bitmap::LoadPng(file);
    }
    // Reads the screen until it shows picture at (x, y), for a few seconds.
    ::testing::AssertionResult ScreenShows(int x, int y, const gfx::Bitmap& picture)
    {
        ::testing::AssertionResult last = ::testing::AssertionFailure() << "no screenshot";
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            if (auto shot = Screen()) {
                last = Shows(*shot, x, y, picture);
                if (last) {
                    return last;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return last;
    }

    XvfbServer xvfb;
    TempDir dir;
};

TEST_F(GalleryX11Test, PointerOnAHoverButtonShowsItsHoverPicture)
{
    ASSERT_TRUE(xvfb.Ok()) << "Xvfb did not start";
    DisplayProcess gallery = StartGallery(xvfb.Display());
    const gfx::Bitmap up = LoadBitmapResource("WEBU"), hover = LoadBitmapResource("WEBH");
    ASSERT_TRUE(ScreenShows(42, 17, up)) << "the gallery did not appear at 0,0";
    ASSERT_TRUE(Run("xdotool mousemove 100 34"));
    EXPECT_TRUE(ScreenShows(42, 17, hover));
    ASSERT_TRUE(Run("xdotool mousemove 120 36"));
    ASSERT_TRUE(Run("xdotool mousemove 350 300"));
    EXPECT_TRUE(ScreenShows(42, 17, up)) << "the up picture is back after the pointer left";
    // Escape, with the pointer (and so the focus) on the window, ends the gallery.
    ASSERT_TRUE(Run("xdotool key Escape"));
    EXPECT_EQ(gallery.WaitForExit(std::chrono::seconds(5)), 0);
}

TEST_F(GalleryX11Test, PagesTurnAndEscapeEndsEvenWhenATreeHasTheKeyboard)
{
    ASSERT_TRUE(xvfb.Ok()) << "Xvfb did not start";
    DisplayProcess gallery = StartGallery(xvfb.Display(), "trees");
    const gfx::Bitmap web = LoadBitmapResource("WEBU");
    ASSERT_TRUE(Run("timeout 10 xdotool search --sync --onlyvisible --name 'Tolvar Gallery'"));
    // A click on the local tree gives it the keyboard; it would take Page Up itself.
    ASSERT_TRUE(Run("xdotool mousemove 100 200 click 1"));
    ASSERT_TRUE(Run("xdotool key Prior"));
    EXPECT_TRUE(ScreenShows(42, 17, web)) << "Page Up turned back to the widgets";
    ASSERT_TRUE(Run("xdotool key Next"));
    ASSERT_TRUE(Run("xdotool mousemove 100 210 click 1"));
    ASSERT_TRUE(Run("xdotool key Escape"));
    EXPECT_EQ(gallery.WaitForExit(std::chrono::seconds(5)), 0);
}

} // namespace
} // namespace tolvar::test
