// tolvar-cli: the save tool. Global options come before the command:
//   --yes      answer Yes to every Yes/No question (the default answer is No)
//   --help     the usage, on standard output
//   --version  the version
#include "platform/base/MessageBox.h"
#include "tools/CliCommand.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tolvar::cli {

namespace {
std::vector<CliCommand>& Commands()
{
    static std::vector<CliCommand> commands;
    return commands;
}
} // namespace

CliCommandRegistrar::CliCommandRegistrar(const CliCommand& command)
{
    Commands().push_back(command);
}

const std::vector<CliCommand>& RegisteredCommands()
{
    return Commands();
}

} // namespace tolvar::cli

namespace {

// On standard output when asked for with --help, else on standard error.
void PrintUsage(std::FILE* out = stderr)
{
    std::fprintf(out, "usage: tolvar-cli [--yes] COMMAND [ARGS...]\n"
                      "       tolvar-cli --help | --version\n\ncommands:\n");
    for (const auto& command : tolvar::cli::RegisteredCommands()) {
        std::fprintf(out, "  %s %s\n", command.name, command.usage);
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::size_t first = 0;
    while (first < args.size() && args[first].rfind("--", 0) == 0) {
        if (args[first] == "--yes") {
            tolvar::SetDefaultMessageBoxAnswersYes(true);
        } else if (args[first] == "--help") {
            PrintUsage(stdout);
            return 0;
        } else if (args[first] == "--version") {
            std::printf("tolvar-cli %s\n", TOLVAR_VERSION);
            return 0;
        } else {
            break; // a command's own option
        }
        ++first;
    }
    if (first >= args.size()) {
        PrintUsage();
        return 2;
    }
    const std::string name = args[first];
    std::vector<std::string> rest(args.begin() + static_cast<long>(first) + 1, args.end());
    // --yes may also follow the command, as scripts tend to write it.
    for (auto it = rest.begin(); it != rest.end();) {
        if (*it == "--yes") {
            tolvar::SetDefaultMessageBoxAnswersYes(true);
            it = rest.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& command : tolvar::cli::RegisteredCommands()) {
        if (name == command.name) {
            return command.run(rest);
        }
    }
    std::fprintf(stderr, "tolvar-cli: unknown command '%s'\n", name.c_str());
    PrintUsage();
    return 2;
}
