#include "platform/net/InternetSession.h"
#include "server/DatabaseText.h"
#include "tests/net/ServerProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#ifndef TOLVAR_CLI_EXE
#error "TOLVAR_CLI_EXE must name tolvar-cli"
#endif

namespace tolvar {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string Download(const std::string& url)
{
    net::InternetSession session;
    auto file = session.OpenUrl(url);
    std::string body;
    char block[4096];
    while (std::size_t n = file->Read(block, sizeof(block))) {
        body.append(block, n);
    }
    return body;
}

// The tree the database on disk should print as, built from the folder itself.
void Expect(const fs::path& dir, int depth, std::vector<std::string>& lines)
{
    struct Item
    {
        bool folder;
        std::string name;
        fs::path path;
    };
    std::vector<Item> items;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string file = entry.path().filename().string();
        if (entry.is_directory()) {
            items.push_back({true, file, entry.path()});
        } else if (entry.path().extension() == ".tvd") {
            items.push_back({false, entry.path().stem().string(), entry.path()});
        } else if (entry.path().extension() == ".txt" &&
                   !fs::exists(fs::path(entry.path()).replace_extension(".tvd"))) {
            items.push_back({false, entry.path().stem().string(), fs::path()});
        }
    }
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        return server::CompareNoCase(a.name, b.name) < 0;
    });
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    if (items.empty()) {
        lines.push_back(indent + "< empty >\t0\t");
    }
    for (const Item& item : items) {
        if (item.folder) {
            lines.push_back(indent + "[" + item.name + "]");
            Expect(item.path, depth + 1, lines);
        } else {
            // The url is checked separately; here its place is marked.
            lines.push_back(indent + item.name + "\t" +
                            (item.path.empty() ? "0\t" : std::to_string(fs::file_size(item.path)) + "\t*"));
        }
    }
}

TEST(OnlineCommand, PrintsTheSampleTreeAsTheOnlineTreeWouldShowIt)
{
    test::TempDir dir;
    const fs::path root = dir.Path() / "db";
    ASSERT_EQ(test::RunProgram(test::ServerProcess::Executable(), {"--make-sample", root.string()}).status, 0);
    test::ServerProcess server(root);
    const test::ProgramResult run =
        test::RunProgram(TOLVAR_CLI_EXE, {"online", "--settings", server.Url("/tolvar_settings.asp")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    std::vector<std::string> expected = {"Online Database"};
    Expect(root, 1, expected);
    const std::vector<std::string> printed = Lines(run.out);
    ASSERT_EQ(printed.size(), expected.size()) << run.out;
    for (std::size_t i = 0; i < printed.size(); ++i) {
        const std::string& want = expected[i];
        if (!want.empty() && want.back() == '*') {
            const std::string prefix = want.substr(0, want.size() - 1);
            ASSERT_EQ(printed[i].substr(0, prefix.size()), prefix) << i;
            const std::string url = printed[i].substr(prefix.size());
            ASSERT_EQ(url.rfind(server.Url("/saves/"), 0), 0u) << url;
            const std::string size = prefix.substr(prefix.rfind('\t', prefix.size() - 2) + 1);
            EXPECT_EQ(std::to_string(Download(url).size()) + "\t", size) << url;
        } else {
            EXPECT_EQ(printed[i], want) << i;
        }
    }
    EXPECT_NE(std::find(printed.begin(), printed.end(), "  [Online Community]"), printed.end());
}

TEST(OnlineCommand, TracesOnlyWhenAskedAndFailsWithoutSettings)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "One");
    test::ServerProcess server(dir.Path());
    const test::ProgramResult traced = test::RunProgram(
        TOLVAR_CLI_EXE, {"online", "--trace", "--settings", server.Url("/tolvar_settings.asp")});
    ASSERT_EQ(traced.status, 0) << traced.err;
    EXPECT_EQ(traced.out, "Online Database\n  [One]\n    < empty >\t0\t\n");
    EXPECT_NE(traced.err.find("----- parse document -----"), std::string::npos);
    EXPECT_NE(traced.err.find("Found Node: \nname: folder"), std::string::npos);

    const test::ProgramResult failed =
        test::RunProgram(TOLVAR_CLI_EXE, {"online", "--settings", "http://127.0.0.1:1/tolvar_settings.asp"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
}

} // namespace
} // namespace tolvar
