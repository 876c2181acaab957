#include <PlinthVersion.h>

#include <algorithm>
#include <exception>
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

// Runs `command`. A failure that the command does not report itself (memory
// that runs out outside the passes on the book) ends it with a message, after
// its files and locks have been let go, instead of ending the program.
int RunCommand(Command& command, CliStreams& streams) {
    try {
        return command.Run(streams);
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
    } catch (const CLI::CallForHelp& request) {
        return app.exit(request, streams.out, streams.err);
    } catch (const CLI::CallForAllHelp& request) {
        return app.exit(request, streams.out, streams.err);
    } catch (const CLI::CallForVersion& request) {
        return app.exit(request, streams.out, streams.err);
    } catch (const CLI::ParseError& error) {
        streams.err << "plinth-cli: " << UsageProblem(app, error)
                    << "\nRun with --help for more information.\n";
        return kExitFailure;
    }

    for (const auto& [subcommand, command] : subcommands) {
        if (subcommand->parsed()) {
            const int status = RunCommand(*command, streams);
            // A report that did not reach its file (a full disk, a closed pipe)
            // is no success.
            if (!streams.out.flush()) {
                streams.err << "plinth-cli: can not write the output\n";
                return command->PrintsItsResult() ? kExitFailure : status;
            }
            return status;
        }
    }
    return kExitFailure;
}

}  // namespace plinth::cli
