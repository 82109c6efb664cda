#include "resources/Resources.h"
#include "resources/MenuResources.h"
#include "resources/StringResources.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <variant>

namespace tolvar::test {
namespace {

using Key = std::variant<int, std::string>;

gfx::Bitmap Load(const Key& key)
{
    return std::visit([](const auto& k) { return LoadBitmapResource(k); }, key);
}

TEST(ResourcesTest, EveryPictureTheWindowsLoadExistsAtItsSize)
{
    struct Expected
    {
        Key key;
        gfx::Size size;
    };
    std::vector<Expected> expected = {
        {148, {700, 494}}, {164, {287, 279}}, {165, {287, 279}}, {144, {144, 16}},
        {143, {144, 16}},  {185, {315, 157}}, {208, {397, 251}}, {206, {197, 131}},
        {205, {197, 131}}, {196, {189, 25}},  {197, {189, 25}},  {198, {189, 25}},
        {199, {189, 25}},  {129, {11, 11}},   {140, {11, 10}},   {139, {11, 11}},
        {138, {11, 10}},   {130, {11, 260}},  {137, {11, 4}},    {134, {11, 4}},
        {136, {11, 10}},   {133, {11, 10}},   {135, {11, 4}},    {132, {11, 4}},
    };
    for (const char* b : {"WEB", "EXIT", "SLEEP", "BTNCODELIST"}) {
        for (const char* s : {"U", "H", "D"}) {
            expected.push_back({std::string(b) + s, {138, 34}});
        }
    }
    for (const char* b : {"BTNOK", "BTNCANCEL", "BTNYES", "BTNNO"}) {
        for (const char* s : {"U", "D"}) {
            expected.push_back({std::string(b) + s, {100, 27}});
        }
    }
    for (const char* b : {"UPLOAD_SUBMIT", "UPLOAD_CANCEL"}) {
        for (const char* s : {"_UP", "_OVER", "_DOWN"}) {
            expected.push_back({std::string(b) + s, {101, 27}});
        }
    }
    for (const Expected& e : expected) {
        const gfx::Bitmap b = Load(e.key);
        ASSERT_FALSE(b.IsNull()) << testing::PrintToString(e.key);
        EXPECT_EQ(b.GetSize(), e.size) << testing::PrintToString(e.key);
    }
    for (int icon : {195, 159, 128}) {
        EXPECT_FALSE(LoadIconResource(icon).IsNull()) << "icon " << icon;
    }
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

TEST(ResourcesTest, TreeImagesAreNineIconsOnTheRedKey)
{
    for (int id : {144, 143}) {
        const gfx::Bitmap strip = LoadBitmapResource(id);
        ASSERT_EQ(strip.GetSize(), (gfx::Size{144, 16}));
        for (int i = 0; i < 9; ++i) {
            SCOPED_TRACE(testing::Message() << "strip " << id << " image " << i);
            EXPECT_TRUE(gfx::SameRgb(strip.Pixel(i * 16, 0), gfx::Rgb(255, 0, 0)));
            EXPECT_TRUE(gfx::SameRgb(strip.Pixel(i * 16 + 15, 15), gfx::Rgb(255, 0, 0)));
            EXPECT_FALSE(gfx::SameRgb(strip.Pixel(i * 16 + 7, 8), gfx::Rgb(255, 0, 0)));
        }
    }
    // The tree backgrounds are one picture on the navy ground.
    const gfx::Bitmap local = LoadBitmapResource(164), online = LoadBitmapResource(165);
    EXPECT_EQ(local, online);
    EXPECT_TRUE(gfx::SameRgb(local.Pixel(10, 10), gfx::Rgb(1, 23, 64)));
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

TEST(ResourcesTest, MenusAndStringsTheWindowsUse)
{
    // The tray handler sends the first item of menu 160 on a double-click.
    const MenuResource* tray = FindMenuResource(160);
    ASSERT_NE(tray, nullptr);
    ASSERT_EQ(tray->items.size(), 2u);
    EXPECT_EQ(tray->items[0].command, 0x8009u);
    EXPECT_EQ(tray->items[0].text, "Show / Hide");
    EXPECT_EQ(tray->items[1].command, 0x8008u);
    const MenuResource* location = FindMenuResource(163);
    ASSERT_NE(location, nullptr);
    EXPECT_EQ(location->items.back().text, "&Format Drive") << "greyed by its command";
    EXPECT_EQ(location->items.back().command, 0x8010u);
    EXPECT_EQ(FindMenuResource(999), nullptr);

    EXPECT_EQ(LoadStringResource(101), "&About ZyferV3...");
    EXPECT_EQ(LoadStringResource(103), "Windows sockets initialization failed.");
    EXPECT_EQ(LoadStringResource(160), "") << "the tray icon has no tip";
}

} // namespace
} // namespace tolvar::test
