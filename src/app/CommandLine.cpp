#include "app/CommandLine.h"

#include <PlinthVersion.h>

#include <utility>

namespace plinth {

namespace {

CommandLine Refused(std::string problem) {
    CommandLine refused;
    refused.action = CommandLine::Action::Refuse;
    refused.problem = std::move(problem);
    return refused;
}

}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& words) {
    CommandLine line;
    bool optionsEnded = false;
    for (const std::string& word : words) {
        const bool option = !optionsEnded && word.size() > 1 && word.front() == '-';
        if (!option) {
            if (line.book) {
                return Refused("one book at most, yet '" + word + "' follows '" + *line.book + "'");
            }
            line.book = word;
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word == "-h" || word == "--help") {
            line.action = CommandLine::Action::ShowHelp;
            return line;
        } else if (word == "--version") {
            line.action = CommandLine::Action::ShowVersion;
            return line;
        } else if (word == "--check") {
            line.action = CommandLine::Action::Check;
        } else {
            return Refused("unknown option '" + word + "'");
        }
    }
    return line;
}

const char* UsageText() {
    return "Usage: plinth [BOOK]\n"
           "       plinth --check [BOOK]\n"
           "Shows, analyses and optimizes Velmora opening books (.bk files) in a window.\n"
           "\n"
           "  BOOK         the book to open at start\n"
           "  --check      open BOOK without showing the window and report what was found:\n"
           "               the book, the book-information plugin and the help page;\n"
           "               exit status 0 when all are in order, 1 otherwise\n"
           "  -h, --help   show this help and exit\n"
           "  --version    show the version and exit\n"
           "  --           end of options: what follows is the book\n"
           "\n"
           "The same operations on the command line: plinth-cli. See plinth(1).\n";
}

const char* VersionText() { return "plinth " PLINTH_VERSION "\n"; }

}  // namespace plinth
