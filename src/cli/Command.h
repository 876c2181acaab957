#pragma once

// The subcommands of plinth-cli, one class each, over the book code. A command
// declares its options on its own CLI11 subcommand and runs against the streams
// it is given, so tests can run it in-process and read what it printed.

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>
#include <vector>

#include "book/FileSystem.h"

namespace plinth::cli {

enum ExitCode : int {
    kExitSuccess = 0,
    kExitDamageFound = 1,  // an analysis reported errors
    kExitFailure = 2,      // a fatal error or a usage error
    kExitRefused = 3,      // the new sizes do not fit the book
    // A report's reader went away (a closed pipe, as at `| head`): the status a
    // shell gives a program that SIGPIPE ended, on every system.
    kExitReaderGone = 141,
};

// What a command runs against: its output streams and the files.
struct CliStreams {
    std::ostream& out;
    std::ostream& err;
    // The progress bar is drawn on `err` only when it is a terminal.
    bool errIsTerminal = false;
    IFileSystem& files = SystemFileSystem();
    // Asked right after a write to `out` failed: whether that was because its
    // reader went away (the reading end of a pipe was closed).
    bool (*readerGone)() = [] { return false; };
};

class Command {
  public:
    // The subcommand's name and its line in the help text.
    Command(const char* name, const char* description) : m_name(name), m_description(description) {}
    virtual ~Command() = default;
    const char* Name() const { return m_name; }
    const char* Description() const { return m_description; }
    virtual void AddOptions(CLI::App& subcommand) = 0;
    virtual int Run(CliStreams& streams) = 0;
    // Whether what the command prints is what it was asked for, so that it ends at
    // the first write that fails; a conversion's text is only its log.
    virtual bool PrintsItsResult() const { return true; }

  private:
    const char* m_name;
    const char* m_description;
};

// The subcommands, one class each in a file of its own.
std::unique_ptr<Command> MakeInfoCommand();
std::unique_ptr<Command> MakeAnalyseCommand();
std::unique_ptr<Command> MakeOptimizeCommand();
std::unique_ptr<Command> MakeAdviseCommand();

// Every subcommand, in the order of the help text.
std::vector<std::unique_ptr<Command>> AllCommands();

// Parses the command line and runs the chosen command; gives the exit status.
int RunCli(int argc, const char* const* argv, CliStreams& streams);

}  // namespace plinth::cli
