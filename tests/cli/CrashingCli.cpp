// plinth-cli for the crash tests: the real command line over the operating
// system's files, except that with PLINTH_TEST_KILL_AT=N in the environment it
// kills itself right before its file operation number N (from 0) that changes a
// file (PLINTH_TEST_STOP_AT=N: stops itself there until it is continued), and
// with PLINTH_TEST_NO_HARD_LINKS it works as on a file system without hard links.

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <iostream>

#include "FaultyFileSystem.h"
#include "cli/Command.h"

int main(int argc, char** argv) {
    plinth::test::FaultyFileSystem files;
    for (const auto& [variable, toRaise] :
         {std::pair{"PLINTH_TEST_KILL_AT", SIGKILL}, {"PLINTH_TEST_STOP_AT", SIGSTOP}}) {
        if (const char* at = std::getenv(variable)) {
            files.RaiseAtCall(std::strtoul(at, nullptr, 10), toRaise);
        }
    }
    if (std::getenv("PLINTH_TEST_NO_HARD_LINKS") != nullptr) {
        files.RefuseHardLinks();
    }
    plinth::cli::CliStreams streams{std::cout, std::cerr, isatty(STDERR_FILENO) != 0, files};
    return plinth::cli::RunCli(argc, argv, streams);
}
