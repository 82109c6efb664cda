#include "server/DatabaseText.h"
#include "online/OnlineValue.h"

#include <gtest/gtest.h>

namespace tolvar::server {
namespace {

// Read back through the companion's own decoding.
TEST(DatabaseText, DisplayValuesDecodeBackToWhatTheDatabaseHolds)
{
    for (const char* name :
         {"Star Voyager v1.2", "Dr. Mech", "a..b", "Caf\xC3\xA9 Racer", "(x) [y] ~z"}) {
        const std::string encoded = EncodeDisplayValue(name);
        EXPECT_EQ(encoded.find_first_of(" .<>&"), std::string::npos) << encoded;
        EXPECT_EQ(DecodeOnlineValue(encoded), name);
    }
    // What cannot be carried is dropped, never half written.
    EXPECT_EQ(EncodeDisplayValue("1+1=2 <b>&100%\t"), "11=2+b100");
}

TEST(DatabaseText, DownloadPathsNameTheFileTheClientStores)
{
    const std::string path = EncodeDownloadPath("Online Community/My Save.tvd");
    EXPECT_EQ(path, "Online+Community/My+Save%2Etvd");
    EXPECT_EQ(DecodeOnlineValue(path).substr(DecodeOnlineValue(path).rfind('/') + 1),
              "My Save.tvd");
    EXPECT_EQ(EncodeDownloadPath("a&b#c?"), "a%26b%23c%3F");
    EXPECT_EQ(EncodeQueryValue("Role Playing/Ep.1&x"), "Role%20Playing/Ep.1%26x");
}

TEST(DatabaseText, CleansUserTextForStorage)
{
    EXPECT_EQ(CleanText("ok\xC3\xA9 bad\xFF\xC3 end", 100), "ok\xC3\xA9 bad end");
    EXPECT_EQ(CleanText("abcdef", 4), "abcd");
    EXPECT_EQ(CleanText("\xC3\xA9\xC3\xA9", 3), "\xC3\xA9") << "never half a character";
    EXPECT_EQ(CleanText("a<b\x01"
                        "c&d>e",
                        4),
              "abcd")
        << "what is dropped takes no room";
    EXPECT_EQ(CleanSaveName("  ..My/Save\\ 2+2%  "), "MySave 22");
    EXPECT_EQ(CleanSaveName(". . ."), "");
    EXPECT_EQ(CleanSaveName(std::string(100, 'n')).size(), 64u);
}

TEST(DatabaseText, AcceptsOnlyWellFormedUtf8)
{
    struct Case
    {
        const char* text;
        bool wellFormed;
    };
    for (const Case& c : {
             Case{"plain", true},
             {"\xC2\x80", true},          // U+0080
             {"\xE0\xA0\x80", true},      // U+0800, the first three-byte value
             {"\xED\x9F\xBF", true},      // U+D7FF, just below the surrogates
             {"\xF4\x8F\xBF\xBF", true},  // U+10FFFF
             {"\xC0\xAF", false},         // overlong "/"
             {"\xE0\x80\xAF", false},     // overlong "/"
             {"\xF0\x80\x80\xAF", false}, // overlong "/"
             {"\xED\xA0\x80", false},     // a surrogate
             {"\xF4\x90\x80\x80", false}, // above U+10FFFF
             {"\xF5\x80\x80\x80", false},
             {"\xFF", false},
             {"\xE9\xE9", false}, // Windows-1252
         }) {
        EXPECT_EQ(IsWellFormedUtf8(c.text), c.wellFormed) << c.text;
        const std::string name = std::string("a") + c.text + "b";
        EXPECT_EQ(CleanSaveName(name), c.wellFormed ? name : "ab") << c.text;
    }
}

} // namespace
} // namespace tolvar::server
