#include <unistd.h>

#include <iostream>

#include "cli/Command.h"

int main(int argc, char** argv) {
    plinth::cli::CliStreams streams{std::cout, std::cerr, isatty(STDERR_FILENO) != 0};
    return plinth::cli::RunCli(argc, argv, streams);
}
