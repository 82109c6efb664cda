#include "online/OnlineValue.h"
#include "online/DownloadJob.h"
#include "online/OnlineFolder.h"
#include "online/OnlineSave.h"

#include <gtest/gtest.h>
#include <random>

#include <climits>

namespace tolvar {
namespace {

TEST(DecodeOnlineValue, PlusIsSpaceFullStopIsKeptOtherEscapesVanish)
{
    const std::pair<const char*, const char*> cases[] = {
        {"My+Save%2Etvd", "My Save.tvd"},
        {"A%41B", "AB"},
        {"lower%2ecase", "lowercase"},
        {"tail%2", "tail"},
        {"tail%", "tail"},
        {"%2E%2E", ".."},
        {"&amp;", "&amp;"},
        {"", ""},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(DecodeOnlineValue(in), out) << in;
    }
}

// A download's file name: every escape decoded, then only a safe name kept.
TEST(DownloadFileName, DecodesEveryEscapeAndRefusesWhatIsUnsafe)
{
    const std::pair<const char*, const char*> cases[] = {
        {"http://h/saves/My+Save%2Etvd", "My Save.tvd"},
        {"http://h/saves/burst+%282%29.tvd", "burst (2).tvd"},
        {"http://h/saves/burst%20%282%29%2etvd", "burst (2).tvd"},
        {"http://h/saves/%E6%97%A5%E6%9C%AC.tvd", "\xE6\x97\xA5\xE6\x9C\xAC.tvd"},
        {"http://h/saves/100%.tvd", "100%.tvd"},
        {"http://h/saves/a%zz.tvd", "a%zz.tvd"},
        {"Plain.tvd", "Plain.tvd"},
        {"http://h/saves/a%2Fb.tvd", ""},
        {"http://h/saves/%2E%2E", ""},
        {"http://h/saves/a%00b.tvd", ""},
        {"http://h/saves/C%3AGood.tvd", ""},
        {"http://h/saves/", ""},
    };
    for (const auto& [url, name] : cases) {
        EXPECT_EQ(DownloadFileName(url), name) << url;
    }
}

TEST(ParseDecimal, ReadsAsTheRuntimeDoesWithoutOverflowing)
{
    const std::pair<const char*, int> cases[] = {
        {"12345", 12345},
        {"  -42xyz", -42},
        {"+7", 7},
        {"abc", 0},
        {"", 0},
        {"\t 9", 9},
        {"1 2", 1},
        {"99999999999999999999", INT_MAX},
        {"-99999999999999999999", INT_MIN},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(ParseDecimal(in), out) << in;
    }
}

TEST(OnlineFolder, SortsByNameIgnoringCaseAndKeepsEqualNamesInOrder)
{
    OnlineFolder folder;
    for (const char* name : {"beta", "Alpha", "BETA", "alph", "Beta"}) {
        std::unique_ptr<OnlineRecord> record;
        // Alpha and BETA are folders: the kind does not part the order.
        if (std::string(name) == "Alpha" || std::string(name) == "BETA") {
            record = std::make_unique<OnlineFolder>();
        } else {
            record = std::make_unique<OnlineSave>();
        }
        record->m_name = name;
        folder.AppendChild(std::move(record));
    }
    folder.SortChildren();
    std::vector<std::string> names;
    for (const auto& child : folder.m_children) {
        names.push_back(child->m_name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"alph", "Alpha", "beta", "BETA", "Beta"}));

    // Many records with case variants, repeats and prefixes: exactly the
    // order that exchanging neighbours, pass after pass, gives.
    std::mt19937 random(11);
    const char* stems[] = {"a", "A", "ab", "aB", "_x", "Zed", "zed", "z", "b", "B1", "b1", ""};
    OnlineFolder many;
    std::vector<const OnlineRecord*> expected;
    for (int i = 0; i < 400; ++i) {
        auto record = std::make_unique<OnlineSave>();
        record->m_name = std::string(stems[random() % std::size(stems)]) + stems[random() % 4];
        expected.push_back(record.get());
        many.AppendChild(std::move(record));
    }
    for (bool exchanged = true; exchanged;) {
        exchanged = false;
        for (std::size_t i = 0; i + 1 < expected.size(); ++i) {
            if (CompareNoCase(expected[i]->m_name, expected[i + 1]->m_name) > 0) {
                std::swap(expected[i], expected[i + 1]);
                exchanged = true;
            }
        }
    }
    many.SortChildren();
    std::vector<const OnlineRecord*> sorted;
    for (const auto& child : many.m_children) {
        sorted.push_back(child.get());
    }
    EXPECT_EQ(sorted, expected);
}

} // namespace
} // namespace tolvar
