#include "platform/net/InternetSession.h"
#include "server/SampleDatabase.h"
#include "tests/net/RawHttpServer.h"
#include "tests/net/ServerProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifndef TOLVAR_CLI_EXE
#error "TOLVAR_CLI_EXE must name tolvar-cli"
#endif

namespace tolvar {
namespace {

namespace fs = std::filesystem;

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

TEST(OnlineCommand, PrintsTheDatabaseAsTheOnlineTreeShowsItAndTracesOnlyWhenAsked)
{
    test::TempDir dir;
    fs::create_directories(dir.Path() / "Empty");
    fs::create_directories(dir.Path() / "Role Playing");
    const std::string quest = server::MakeSyntheticSave("Quest", "QS001", 500, 7);
    const std::string beta = server::MakeSyntheticSave("Beta", "BT001", 300, 2);
    std::ofstream(dir.Path() / "Role Playing" / "Quest Ep.1.tvd", std::ios::binary) << quest;
    std::ofstream(dir.Path() / "Role Playing" / "Quest Ep.1.txt") << "Level 99";
    std::ofstream(dir.Path() / "Role Playing" / "beta.tvd", std::ios::binary) << beta;
    std::ofstream(dir.Path() / "Role Playing" / "Gone.txt") << "withdrawn";
    test::ServerProcess server(dir.Path());
    const std::string settings = server.Url("/tolvar_settings.asp");

    const test::ProgramResult run =
        test::RunProgram(TOLVAR_CLI_EXE, {"online", "--settings", settings});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::vector<std::string> lines;
    std::istringstream out(run.out);
    for (std::string line; std::getline(out, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 7u) << run.out;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
              (std::vector<std::string>{"Online Database", "  [Empty]", "    < empty >\t0\t",
                                        "  [Role Playing]"}));
    EXPECT_EQ(lines[5], "    Gone\t0\t");
    // A save with a file prints its size and a url that downloads exactly it.
    const auto expectSave = [&](const std::string& line, const std::string& name,
                                const std::string& bytes) {
        const std::string head = "    " + name + "\t" + std::to_string(bytes.size()) + "\t";
        ASSERT_EQ(line.substr(0, head.size()), head);
        const std::string url = line.substr(head.size());
        ASSERT_EQ(url.rfind(server.Url("/saves/"), 0), 0u) << url;
        EXPECT_EQ(Download(url), bytes) << url;
    };
    expectSave(lines[4], "beta", beta);
    expectSave(lines[6], "Quest Ep.1", quest);

    const test::ProgramResult traced =
        test::RunProgram(TOLVAR_CLI_EXE, {"online", "--trace", "--settings", settings});
    ASSERT_EQ(traced.status, 0) << traced.err;
    EXPECT_EQ(traced.out, run.out);
    EXPECT_NE(traced.err.find("----- parse document -----"), std::string::npos);
    EXPECT_NE(traced.err.find("Found Node: \nname: folder"), std::string::npos);

    const test::ProgramResult failed = test::RunProgram(
        TOLVAR_CLI_EXE, {"online", "--settings", "http://127.0.0.1:1/tolvar_settings.asp"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
}

TEST(OnlineCommand, EndsOnADatabaseWhoseFoldersLeadBackToThemselves)
{
    // "Self" names the root's own address; "Deeper" a new address at every level.
    test::RawHttpServer server(
        [](int fd, const test::RawHttpServer::Request& request, test::RawHttpServer& self) {
            const std::string path = request.path();
            std::string body;
            if (path == "/settings") {
                body = "SAVES_URL=" + self.Url("/list?top=1") + "\r\n";
            } else if (path == "/list") {
                body = "<result><folder><name>Self</name><url>" + self.Url("/list?top=1") +
                       "</url></folder><folder><name>Deeper</name><url>" + self.Url("/deep?n=1") +
                       "</url></folder></result>";
            } else {
                const std::string target = request.target();
                const int n = std::atoi(target.c_str() + target.find("n=") + 2);
                body = "<result><folder><name>Deeper</name><url>" +
                       self.Url("/deep?n=" + std::to_string(n + 1)) + "</url></folder></result>";
            }
            test::RawHttpServer::WriteAll(fd, test::RawHttpServer::Answer(body));
        });
    const test::ProgramResult run =
        test::RunProgram(TOLVAR_CLI_EXE, {"online", "--settings", server.Url("/settings")});
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream out(run.out);
    int selves = 0, deepest = 0;
    for (std::string line; std::getline(out, line);) {
        selves += line.find("[Self]") != std::string::npos ? 1 : 0;
        if (line.find("[Deeper]") != std::string::npos) {
            deepest = std::max(deepest, static_cast<int>(line.find('[')) / 2);
        }
    }
    EXPECT_EQ(selves, 1) << "listed once, not followed";
    EXPECT_GE(deepest, 8);
    EXPECT_LE(deepest, 64) << "the walk has a depth bound";
}

} // namespace
} // namespace tolvar
