#pragma once

#include <string>
#include <vector>

#include "cli/Command.h"

namespace plinth::test {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs plinth-cli in-process with `args` (without the program name) against
// `streams`; gives the exit status.
int RunCli(const std::vector<std::string>& args, cli::CliStreams& streams);

// Runs plinth-cli in-process with `args`, its output captured.
CliRun RunCliCapture(const std::vector<std::string>& args);

}  // namespace plinth::test
