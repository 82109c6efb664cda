#include "platform/gfx/Font.h"
#include "platform/gfx/TextCodec.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>

using namespace tolvar::gfx;

TEST(Font, LabelFontIsLiberationSansBoldWithHintedWidthsWiderThanRegular)
{
    FontPtr font = Font::Label();
    EXPECT_EQ(font->FamilyName(), "Liberation Sans");
    EXPECT_EQ(font->StyleName(), "Bold");
    // Hinted at 11 ppem, as the layouts were measured.
    EXPECT_EQ(font->TextExtent("PC Databases").width, 73);
    EXPECT_EQ(font->TextExtent("Online Database").width, 87);
    EXPECT_EQ(font->TextExtent("").width, 0);
    EXPECT_EQ(font->TextExtent("PC").width + font->TextExtent(" Databases").width, 73);
    EXPECT_GT(font->TextExtent("x").height, 8);
    EXPECT_EQ(font->TextExtent("caf\xE9").width, font->TextExtent("caf\xC3\xA9").width)
        << "Windows-1252 text measures like its UTF-8 twin";
    // The same request gives the same font object.
    EXPECT_EQ(Font::Create("Arial", 8.5, FontWeight::Bold), font);
    FontPtr regular = Font::Create("Arial", 8.5, FontWeight::Normal);
    EXPECT_EQ(regular->StyleName(), "Regular");
    EXPECT_LT(regular->TextExtent("PC Databases").width, 73);
}

// A start takes the face fontconfig gave the last one while nothing it reads
// has changed; a changed set-up or a vanished file asks it again, and the
// check after the first frame mends an answer fontconfig no longer gives.
TEST(Font, RemembersFontconfigsAnswerBetweenStarts)
{
    const std::string file = testing::TempDir() + "tolvar-fonts-" + std::to_string(getpid());
    std::remove(file.c_str());
    const auto read = [&] {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const auto write = [&](const std::string& text) { std::ofstream(file) << text; };
    // Each start asks for another size: a font once made is kept.
    double points = 20.5;
    const auto start = [&] {
        Font::RememberMatchesIn(file);
        return Font::Create("Arial", points += 1, FontWeight::Bold)->StyleName();
    };
    const auto withFace = [](std::string text, const std::string& face) {
        const std::string bold = "LiberationSans-Bold.ttf";
        return text.replace(text.find(bold), bold.size(), face);
    };

    EXPECT_EQ(start(), "Bold");
    const std::string kept = read();
    ASSERT_NE(kept.find("LiberationSans-Bold.ttf"), std::string::npos) << kept;

    write(withFace(kept, "LiberationSans-Regular.ttf"));
    EXPECT_EQ(start(), "Regular") << "the remembered face, without asking fontconfig";
    Font::CheckRememberedMatches();
    for (int i = 0; i < 500 && read() != kept; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(read(), kept) << "the check keeps fontconfig's answer for the next start";

    write("another set-up" + withFace(kept, "LiberationSans-Regular.ttf").substr(kept.find('\n')));
    EXPECT_EQ(start(), "Bold");
    EXPECT_EQ(read(), kept);

    write(withFace(kept, "Gone.ttf"));
    EXPECT_EQ(start(), "Bold");
    EXPECT_EQ(read(), kept);
    std::remove(file.c_str());
}

TEST(TextCodec, Utf8WhenValidElseWindows1252)
{
    // "café" in UTF-8 decodes to four characters.
    EXPECT_EQ(DecodeText("caf\xC3\xA9"), U"caf\u00E9");
    // The same word in Windows-1252 (0xE9) is not valid UTF-8.
    EXPECT_EQ(DecodeText("caf\xE9"), U"caf\u00E9");
    // 0x80..0x9F take the code page's punctuation, not C1 controls.
    EXPECT_EQ(DecodeText("\x93Hi\x94 \x80"), U"\u201CHi\u201D \u20AC");
    // One invalid byte anywhere makes the whole string Windows-1252.
    EXPECT_EQ(DecodeText("\xC3\xA9\xFF"), U"\u00C3\u00A9\u00FF");
    // Overlong forms and surrogates are not UTF-8.
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(IsValidUtf8("\xE2\x82")); // cut short
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
    EXPECT_EQ(EncodeUtf8(0x20AC), "\xE2\x82\xAC");
    EXPECT_EQ(DecodeText(EncodeUtf8(0x1F600)), U"\U0001F600");
}
