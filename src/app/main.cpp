// plinth: the desktop program that shows, analyses and optimizes opening books.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/PlinthApp.h"
#include "app/QtStart.h"

namespace {

// Writes `text` to `stream`; `status` when it was written, 2 when it was not.
int Print(std::FILE* stream, const char* text, int status) {
    const bool written = std::fputs(text, stream) >= 0 && std::fflush(stream) == 0;
    return written ? status : 2;
}

const char* Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    using plinth::CommandLine;
    const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
    const CommandLine line = plinth::ReadCommandLine(words);
    switch (line.action) {
        case CommandLine::Action::ShowHelp:
            return Print(stdout, plinth::UsageText(), 0);
        case CommandLine::Action::ShowVersion:
            return Print(stdout, plinth::VersionText(), 0);
        case CommandLine::Action::Refuse:
            std::fprintf(stderr, "plinth: %s\n", line.problem.c_str());
            return Print(stderr, plinth::UsageText(), 2);
        case CommandLine::Action::OpenWindow:
        case CommandLine::Action::Check:
            break;
    }
    if (!plinth::DisplayNamed(Variable)) {
        if (line.action != CommandLine::Action::Check) {
            std::fputs(
                "plinth: no display to show the window on: DISPLAY and WAYLAND_DISPLAY "
                "are not set\n",
                stderr);
            return 1;
        }
        // A check shows no window, so it needs no display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    std::string programName = argc > 0 ? argv[0] : "plinth";
    std::optional<QApplication> application;
    plinth::StartQt(application, programName.data());
    plinth::CPlinthApp app(line);
    app.InitInstance();
    return app.ExitCode();
}
