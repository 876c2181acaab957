#pragma once

// The desktop program's command line, read before Qt starts: the options that
// print something and end the program must neither need a display nor open a
// window, and a word that is no option of the program's is refused rather than
// taken for a book. Qt is given none of these words; its own settings come from
// the environment (QT_QPA_PLATFORM and the others).

#include <optional>
#include <string>
#include <vector>

namespace plinth {

struct CommandLine {
    enum class Action {
        OpenWindow,   // the window, with the book when one is given
        Check,        // --check: open the book, report, end without a window
        ShowHelp,     // -h, --help
        ShowVersion,  // --version
        Refuse,       // a usage error, described by `problem`
    };
    Action action = Action::OpenWindow;
    std::optional<std::string> book;
    std::string problem;
};

// Reads the words after the program's name, in order: -h, --help, --version and
// a usage error (an unknown option, a second book) end the reading and decide.
// "--" ends the options, so that a book whose name starts with "-" can be given.
CommandLine ReadCommandLine(const std::vector<std::string>& words);

// The text of --help, which also follows the problem of a refused command line.
const char* UsageText();

// The text of --version: "plinth" and the version, on one line.
const char* VersionText();

// Whether Qt can reach a display. On Linux: a platform named through
// QT_QPA_PLATFORM, or an X or Wayland display in DISPLAY or WAYLAND_DISPLAY;
// elsewhere the desktop is always there. `variable` gives the value of an
// environment variable, or nothing when it is unset or empty.
template <typename Variable>
bool DisplayNamed(Variable&& variable) {
#ifdef __linux__
    return variable("QT_QPA_PLATFORM") || variable("DISPLAY") || variable("WAYLAND_DISPLAY");
#else
    (void)variable;
    return true;
#endif
}

}  // namespace plinth
