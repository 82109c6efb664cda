#include "app/CommandLine.h"

namespace tolvar {

CommandLine ParseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine line;
    bool options = true;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!options || argument.empty() || argument[0] != '-' || argument == "-") {
            line.files.push_back(argument);
        } else if (argument == "--") {
            options = false;
        } else if (argument == "--settings" && i + 1 < arguments.size()) {
            line.settingsAddress = arguments[++i];
        } else if (argument == "--help" || argument == "-h") {
            line.action = CommandLine::Action::Help;
            return line;
        } else if (argument == "--version") {
            line.action = CommandLine::Action::Version;
            return line;
        } else {
            line.action = CommandLine::Action::Wrong;
            return line;
        }
    }
    return line;
}

std::string CommandLineUsage()
{
    return "usage: tolvar [--settings URL] [FILE...]\n"
           "       tolvar --help | --version\n"
           "\n"
           "Shows the saves of your Tolvar drives, the PC and the online database.\n"
           "Each FILE that is a valid save is copied into the PC folder Saves.\n"
           "\n"
           "  --settings URL  read the settings page at URL\n"
           "  --help          show this text\n"
           "  --version       show the version\n";
}

} // namespace tolvar
