#pragma once

#include <string>
#include <vector>

namespace tolvar::cli {

// A sub-command of tolvar-cli. Each command file registers its commands with a
// static CliCommandRegistrar, so main() needs no list of its own.
struct CliCommand
{
    const char* name;
    const char* usage; // arguments after the name, for the help text
    int (*run)(const std::vector<std::string>& args);
};

struct CliCommandRegistrar
{
    explicit CliCommandRegistrar(const CliCommand& command);
};

const std::vector<CliCommand>& RegisteredCommands();

} // namespace tolvar::cli
