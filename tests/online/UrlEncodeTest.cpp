#include "online/ServerSettings.h"

#include <gtest/gtest.h>

namespace tolvar {
namespace {

TEST(UrlEncode, KeepsLettersAndDigitsAndEscapesEverythingElse)
{
    const std::pair<const char*, const char*> cases[] = {
        {"a b/c", "a+b%2Fc"}, {"-_.~", "%2D%5F%2E%7E"},      {"x&y", "x%26y"},
        {"AZaz09", "AZaz09"}, {"\xE9\x7F\x01", "%E9%7F%01"}, {"100%", "100%25"},
        {"", "%00"}, // an empty text is not sent empty
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(UrlEncode(in), out) << in;
    }
    EXPECT_EQ(UrlEncode(nullptr), "%00");
}

} // namespace
} // namespace tolvar
