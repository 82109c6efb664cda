// Each program's command line as its neighbours on the desktop have it:
// --help on standard output with status 0, --version, and a wrong option
// answered with the usage on standard error and status 2. No display is
// needed: none of these opens a window.
#include "tests/net/ServerProcess.h"

#include <gtest/gtest.h>

namespace tolvar::test {
namespace {

TEST(CommandLineTest, HelpVersionAndWrongOptions)
{
    struct Case
    {
        const char* program;
        std::vector<std::string> args;
        int status;
        const char* out; // the start of standard output
        const char* err; // the start of standard error
    } cases[] = {
        {TOLVAR_APP, {"--help"}, 0, "usage: tolvar [--settings URL] [FILE...]", ""},
        {TOLVAR_APP, {"--version"}, 0, "tolvar 1.0\n", ""},
        {TOLVAR_APP, {"--frobnicate"}, 2, "", "usage: tolvar "},
        {TOLVAR_APP, {"--settings"}, 2, "", "usage: tolvar "},
        {TOLVAR_CLI, {"--help"}, 0, "usage: tolvar-cli ", ""},
        {TOLVAR_CLI, {"--version"}, 0, "tolvar-cli 1.0\n", ""},
        {TOLVAR_CLI, {"--frobnicate"}, 2, "", "tolvar-cli: unknown command '--frobnicate'\nusage:"},
    };
    for (const Case& c : cases) {
        const ProgramResult result = RunProgram(c.program, c.args);
        const std::string what = std::string(c.program) + " " + c.args.front();
        EXPECT_EQ(result.status, c.status) << what;
        EXPECT_EQ(result.out.rfind(c.out, 0), 0u) << what << ": " << result.out;
        EXPECT_EQ(result.err.rfind(c.err, 0), 0u) << what << ": " << result.err;
    }
}

} // namespace
} // namespace tolvar::test
