#include <unistd.h>

#include <csignal>
#include <iostream>

#include "cli/Command.h"

int main(int argc, char** argv) {
#ifdef SIGPIPE
    // A reader that goes away (`| head`) makes the writes fail instead of ending
    // the program, which finishes what it started (a conversion stops at no odd
    // step) and says on stderr that its output was lost.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    plinth::cli::CliStreams streams{std::cout, std::cerr, isatty(STDERR_FILENO) != 0};
    return plinth::cli::RunCli(argc, argv, streams);
}
