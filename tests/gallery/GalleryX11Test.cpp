// The gallery on a real X server, driven with xdotool; the screen is read back
// with ImageMagick's import.
#include "resources/Resources.h"
#include "tests/gfx/PictureMatch.h"
#include "tests/support/Command.h"
#include "tests/support/DisplayProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace tolvar::test {
namespace {

class GalleryX11Test : public ::testing::Test
{
protected:
    bool Run(const std::string& command)
    {
        return Shell("DISPLAY=" + xvfb.Display() + " " + command) == 0;
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
        Eventually([&] {
            auto shot = Screen();
            last = shot ? ShowsPicture(*shot, {x, y}, picture) : last;
            return static_cast<bool>(last);
        });
        return last;
    }

    XvfbServer xvfb;
    TempDir dir;
};

// Opens on the trees page with a tree holding the keyboard (it would take Page
// Up and Escape itself), turns to the widgets, hovers the Web button, and ends.
TEST_F(GalleryX11Test, PagesTurnHoverShowsAndEscapeEndsEvenWhenATreeHasTheKeyboard)
{
    ASSERT_TRUE(xvfb.Ok()) << "Xvfb did not start";
    DisplayProcess gallery(xvfb.Display(),
                           {TOLVAR_GALLERY, "--position", "0,0", "--page", "trees"});
    const gfx::Bitmap up = LoadBitmapResource("WEBU"), hover = LoadBitmapResource("WEBH");
    ASSERT_TRUE(Run("timeout 10 xdotool search --sync --onlyvisible --name 'Tolvar Gallery'"));
    ASSERT_TRUE(Run("xdotool mousemove 100 200 click 1"));
    ASSERT_TRUE(Run("xdotool key Prior"));
    ASSERT_TRUE(ScreenShows(42, 17, up)) << "Page Up turned back to the widgets";
    ASSERT_TRUE(Run("xdotool mousemove 100 34"));
    EXPECT_TRUE(ScreenShows(42, 17, hover));
    ASSERT_TRUE(Run("xdotool mousemove 120 36"));
    ASSERT_TRUE(Run("xdotool mousemove 350 300"));
    EXPECT_TRUE(ScreenShows(42, 17, up)) << "the up picture is back after the pointer left";
    ASSERT_TRUE(Run("xdotool key Next"));
    ASSERT_TRUE(Run("xdotool mousemove 100 210 click 1"));
    ASSERT_TRUE(Run("xdotool key Escape"));
    EXPECT_EQ(gallery.WaitForExit(std::chrono::seconds(5)), 0);
}

} // namespace
} // namespace tolvar::test
