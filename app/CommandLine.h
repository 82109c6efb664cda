#pragma once

#include <string>
#include <vector>

namespace tolvar {

// What the command line asks of the program:
//   tolvar [--settings URL] [FILE...]
//   tolvar --help | --version
struct CommandLine
{
    enum class Action
    {
        Run,
        Help,
        Version,
        Wrong, // usage on standard error, exit status 2
    };
    Action action = Action::Run;
    std::string settingsAddress;
    std::vector<std::string> files; // as given; saves to copy into "Saves"
};

// arguments[0] is the program. After `--` every argument is a file.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage text, ending in a newline.
std::string CommandLineUsage();

} // namespace tolvar
