#include "resources/Resources.h"
#include "tests/gfx/PictureMatch.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace tolvar::test {
namespace {

int RunGallery(const std::string& arguments)
{
    const std::string command = std::string("\"") + TOLVAR_GALLERY + "\" " + arguments;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One headless screenshot with a Yes/No box open over the gallery: the widgets
// where the main window puts them, and the box centred over both.
TEST(GalleryScreenshotTest, WidgetsWhereTheMainWindowPutsThemAndABoxCentredOverThem)
{
    TempDir dir;
    const auto file = dir / "gallery.png";
    ASSERT_EQ(RunGallery("--screenshot \"" + file.string() + "\" --box 4 --settle 400"), 0);
    const auto shot = gfx::Bitmap::LoadPng(file);
    ASSERT_TRUE(shot.has_value());
    EXPECT_EQ(shot->GetSize(), (gfx::Size{700, 494}));
    EXPECT_TRUE(ShowsPicture(*shot, {42, 17}, LoadBitmapResource("WEBU")));
    EXPECT_TRUE(ShowsPicture(*shot, {252, 0}, LoadBitmapResource(206)));
    EXPECT_TRUE(gfx::SameRgb(shot->Pixel(0, 0), gfx::Rgb(0, 0, 0))) << "corner not cut";
    // Both windows are centred on the 1280 x 1024 headless screen.
    const int boxX = (1280 - 315) / 2 - (1280 - 700) / 2,
              boxY = (1024 - 157) / 2 - (1024 - 494) / 2;
    EXPECT_TRUE(ShowsPicture(*shot, {boxX + 57, boxY + 123}, LoadBitmapResource("BTNYESU")));
    // No has the keyboard: its outline is drawn inside, its edge is the picture's.
    EXPECT_TRUE(ShowsPicture(*shot, {boxX + 157, boxY + 123}, LoadBitmapResource("BTNNOU"),
                             {0, 0, 100, 5}));

    EXPECT_EQ(RunGallery("--no-such-option 2>/dev/null"), 2);
    EXPECT_EQ(RunGallery("--screenshot \"" + file.string() + "\" --page nosuch 2>/dev/null"), 2);
}

} // namespace
} // namespace tolvar::test
