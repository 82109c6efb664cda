#include "tests/net/RawHttpServer.h"
#include "tests/net/ServerProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#ifndef TOLVAR_CLI_EXE
#error "TOLVAR_CLI_EXE must name tolvar-cli"
#endif

namespace tolvar {
namespace {

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
