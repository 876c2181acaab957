#include <PlinthVersion.h>

#include <algorithm>
#include <exception>
#include <ios>
#include <string>

#include "cli/Command.h"

namespace plinth::cli {

std::vector<std::unique_ptr<Command>> AllCommands() {
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(MakeInfoCommand());
    commands.push_back(MakeAnalyseCommand());
    commands.push_back(MakeOptimizeCommand());
    commands.push_back(MakeAdviseCommand());
    return commands;
}

namespace {

constexpr const char* kOutputLost = "plinth-cli: can not write the output\n";

// The end of a report, or of the help, whose text could not be written. When
// nobody reads it any more (`| head` has what it wanted) nothing is said, as a
// standard tool says nothing there; else the text lost is a failure.
int OutputLost(const CliStreams& streams) {
    if (streams.readerGone()) {
        return kExitReaderGone;
    }
    streams.err << kOutputLost;
    return kExitFailure;
}

// While it lives, a write to `out` that fails throws std::ios_base::failure, so
// that a report ends at the first failed write instead of reading on for nobody;
// a stream that failed before throws at once. However it ends, the stream is
// left throwing nothing, as it was.
class StopAtFailedWrite {
  public:
    explicit StopAtFailedWrite(std::ostream& out) : m_restore{out} {
        out.exceptions(std::ios::badbit);
    }

  private:
    struct Restore {
        std::ostream& out;
        ~Restore() { out.exceptions(std::ios::goodbit); }
    } m_restore;
};

int RunReport(Command& command, CliStreams& streams) {
    try {
        const StopAtFailedWrite stop(streams.out);
        const int status = command.Run(streams);
        streams.out.flush();
        return status;
    } catch (const std::ios_base::failure&) {
        return OutputLost(streams);
    }
}

// A conversion goes on when its log cannot be written, and ends as it would
// have; that its log was lost is said on stderr.
int RunConversion(Command& command, CliStreams& streams) {
    const int status = command.Run(streams);
    if (!streams.out.flush()) {
        streams.err << kOutputLost;
    }
    return status;
}

// Runs `command`. A failure that the command does not report itself (memory
// that runs out outside the passes on the book) ends it with a message, after
// its files and locks have been let go, instead of ending the program.
int RunCommand(Command& command, CliStreams& streams) {
    try {
        return command.PrintsItsResult() ? RunReport(command, streams)
                                         : RunConversion(command, streams);
    } catch (const std::exception& error) {
        streams.err << "plinth-cli: " << error.what() << "\n";
        return kExitFailure;
    }
}

// What is wrong with a command line that did not parse. A word where the
// subcommand belongs that names none (a typing error, "help") is named, with
// the subcommands there are.
std::string UsageProblem(const CLI::App& app, const CLI::ParseError& error) {
    const std::vector<std::string> words = app.remaining();
    const auto word = std::find_if(words.begin(), words.end(),
                                   [](const std::string& text) { return !text.starts_with('-'); });
    if (word == words.end()) {
        return error.what();
    }
    std::string names;
    for (const CLI::App* subcommand : app.get_subcommands(nullptr)) {
        names += (names.empty() ? "" : ", ") + subcommand->get_name();
    }
    return "unknown subcommand \"" + *word + "\"; the subcommands are " + names;
}

}  // namespace

int RunCli(int argc, const char* const* argv, CliStreams& streams) {
    CLI::App app{"Shows, analyses and optimizes opening books (.bk files).", "plinth-cli"};
    app.set_version_flag("--version", "plinth-cli " PLINTH_VERSION);
    app.require_subcommand(1);

    std::vector<std::unique_ptr<Command>> commands = AllCommands();
    std::vector<std::pair<CLI::App*, Command*>> subcommands;
    for (const auto& command : commands) {
        CLI::App* subcommand = app.add_subcommand(command->Name(), command->Description());
        command->AddOptions(*subcommand);
        subcommands.emplace_back(subcommand, command.get());
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& request) {  // --help, --help-all or --version
        app.exit(request, streams.out, streams.err);
        return streams.out.flush() ? kExitSuccess : OutputLost(streams);
    } catch (const CLI::ParseError& error) {
        streams.err << "plinth-cli: " << UsageProblem(app, error)
                    << "\nRun with --help for more information.\n";
        return kExitFailure;
    }

    for (const auto& [subcommand, command] : subcommands) {
        if (subcommand->parsed()) {
            return RunCommand(*command, streams);
        }
    }
    return kExitFailure;
}

}  // namespace plinth::cli
