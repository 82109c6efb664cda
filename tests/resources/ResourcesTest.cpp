#include "resources/Resources.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <variant>

namespace tolvar::test {
namespace {

using Key = std::variant<int, std::string>;

gfx::Bitmap Load(const Key& key)
{
    return std::visit([](const auto& k) { return LoadBitmapResource(k); }, key);
}

TEST(ResourcesTest, LookupsByIdAndByNameWithoutRegardToCase)
{
    ASSERT_NE(FindBitmapResource("BTNOKU"), nullptr);
    EXPECT_EQ(FindBitmapResource("btnoku"), FindBitmapResource("BTNOKU"));
    EXPECT_EQ(FindBitmapResource("BTNOK"), nullptr) << "a caption is not a picture";
    EXPECT_EQ(FindBitmapResource(""), nullptr);
    EXPECT_EQ(FindBitmapResource(0), nullptr);
    EXPECT_EQ(FindBitmapResource(-148), nullptr);
    EXPECT_EQ(FindBitmapResource(147), nullptr);
    EXPECT_TRUE(LoadBitmapResource("NOSUCHPICTURE").IsNull());
    EXPECT_EQ(FindIconResource(148), nullptr) << "bitmaps and icons are apart";
}

// A loaded picture reads the built-in pixels in place; drawing into it
// writes to its own copy, never to them or to another load.
TEST(ResourcesTest, PicturesShareTheBuiltInPixelsUntilDrawnInto)
{
    const EmbeddedPicture* built = FindBitmapResource(148);
    ASSERT_NE(built, nullptr);
    gfx::Bitmap picture = LoadBitmapResource(148);
    EXPECT_EQ(std::as_const(picture).Data(), built->pixels);
    const gfx::Color before = built->pixels[0];
    picture.SetPixel(0, 0, ~before);
    EXPECT_NE(std::as_const(picture).Data(), built->pixels);
    EXPECT_EQ(picture.Pixel(0, 0), ~before);
    EXPECT_EQ(built->pixels[0], before);
    EXPECT_EQ(LoadBitmapResource(148).Pixel(0, 0), before);
}

// The pictures drawn over a window's background carry that background in
// their corners, so they must sit exactly where the windows place them.
TEST(ResourcesTest, PicturesOverABackgroundMatchItWhereTheyArePlaced)
{
    struct Placed
    {
        Key key;
        int background;
        gfx::Point at;
    };
    const Placed placed[] = {
        {"WEBU", 148, {42, 17}},
        {"BTNCODELISTH", 148, {42, 51}},
        {"EXITD", 148, {526, 17}},
        {"SLEEPU", 148, {526, 51}},
        {206, 148, {252, 0}},
        {205, 148, {252, 0}},
        {198, 148, {0, 136}},
        {197, 148, {0, 136}},
        {196, 148, {510, 136}},
        {199, 148, {510, 136}},
        {"BTNOKU", 185, {107, 123}},
        {"BTNYESD", 185, {57, 123}},
        {"BTNNOU", 185, {157, 123}},
        {"UPLOAD_CANCEL_UP", 208, {98, 216}},
        {"UPLOAD_SUBMIT_OVER", 208, {199, 216}},
    };
    for (const Placed& p : placed) {
        const gfx::Bitmap picture = Load(p.key);
        const gfx::Bitmap ground = LoadBitmapResource(p.background);
        ASSERT_FALSE(picture.IsNull());
        const int w = picture.Width(), h = picture.Height();
        for (gfx::Point corner : {gfx::Point{0, 0}, gfx::Point{w - 1, 0}, gfx::Point{0, h - 1}}) {
            EXPECT_EQ(picture.Pixel(corner.x, corner.y) & 0xFFFFFF,
                      ground.Pixel(p.at.x + corner.x, p.at.y + corner.y) & 0xFFFFFF)
                << testing::PrintToString(p.key) << " at corner " << corner.x << "," << corner.y;
        }
    }
}

TEST(ResourcesTest, HoverPicturesAreBrighterAndPressedOnesDarkerThanTheUpPicture)
{
    auto luminance = [](const std::string& name) {
        const gfx::Bitmap b = LoadBitmapResource(name);
        double sum = 0;
        for (int y = 0; y < b.Height(); ++y) {
            for (int x = 0; x < b.Width(); ++x) {
                const gfx::Color c = b.Pixel(x, y);
                sum += 0.3 * gfx::Red(c) + 0.59 * gfx::Green(c) + 0.11 * gfx::Blue(c);
            }
        }
        return sum / (b.Width() * b.Height());
    };
    for (const auto& [up, brighter, darker] :
         {std::tuple<std::string, std::string, std::string>{"WEBU", "WEBH", "WEBD"},
          {"EXITU", "EXITH", "EXITD"},
          {"UPLOAD_SUBMIT_UP", "UPLOAD_SUBMIT_OVER", "UPLOAD_SUBMIT_DOWN"},
          {"BTNOKU", "", "BTNOKD"},
          {"BTNNOU", "", "BTNNOD"}}) {
        if (!brighter.empty()) {
            EXPECT_GT(luminance(brighter), luminance(up)) << brighter;
        }
        EXPECT_LT(luminance(darker), luminance(up)) << darker;
    }
}

TEST(ResourcesTest, TheGeneratorDrawsExactlyTheCommittedPictures)
{
    TempDir out;
    const std::string command =
        std::string("\"") + TOLVAR_SKIN_GENERATOR + "\" \"" + out.Path().string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    int compared = 0;
    for (const std::string folder : {"bitmaps", "icons", "bitmaps/2x", "icons/2x"}) {
        const std::filesystem::path committed =
            std::filesystem::path(TOLVAR_RESOURCES_DIR) / folder;
        const bool at2x = folder.ends_with("2x");
        const bool icons = folder.starts_with("icons");
        for (const auto& entry : std::filesystem::directory_iterator(committed)) {
            if (entry.is_directory()) {
                continue;
            }
            const auto drawn = gfx::Bitmap::LoadPng(out.Path() / folder / entry.path().filename());
            const auto stored = gfx::Bitmap::LoadPng(entry.path());
            ASSERT_TRUE(drawn.has_value()) << entry.path().filename() << " is no longer drawn";
            ASSERT_TRUE(stored.has_value()) << entry.path();
            EXPECT_TRUE(*drawn == *stored)
                << folder << "/" << entry.path().filename() << " differs: regenerate-skin";
            // The program holds the picture decoded at build time; each is
            // drawn again at twice the size for high-density screens.
            const std::string stem = entry.path().stem().string();
            const int id = std::atoi(stem.c_str());
            const EmbeddedPicture* built = icons    ? FindIconResource(id)
                                           : id > 0 ? FindBitmapResource(id)
                                                    : FindBitmapResource(stem);
            ASSERT_NE(built, nullptr) << entry.path().filename();
            if (at2x) {
                const auto table = icons ? IconResourcesAt2x() : BitmapResourcesAt2x();
                const auto one = icons ? IconResources() : BitmapResources();
                built = &table[static_cast<std::size_t>(built - one.data())];
            }
            const gfx::Bitmap pixels =
                gfx::Bitmap::FromPixels(built->width, built->height, built->pixels);
            EXPECT_TRUE(pixels == *stored)
                << folder << "/" << entry.path().filename() << " is built in otherwise";
            if (!at2x) {
                const auto twice = gfx::Bitmap::LoadPng(committed / "2x" / entry.path().filename());
                ASSERT_TRUE(twice.has_value()) << entry.path().filename() << " has no 2x drawing";
                EXPECT_EQ(twice->GetSize(), (gfx::Size{2 * stored->Width(), 2 * stored->Height()}));
            }
            ++compared;
        }
    }
    EXPECT_EQ(static_cast<std::size_t>(compared),
              BitmapResources().size() + IconResources().size() + BitmapResourcesAt2x().size() +
                  IconResourcesAt2x().size());
}

} // namespace
} // namespace tolvar::test
