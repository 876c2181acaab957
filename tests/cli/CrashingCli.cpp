// plinth-cli for the crash tests: with PLINTH_TEST_KILL_AT=N it kills itself right
// before its N-th (from 0) file operation that changes a file (PLINTH_TEST_STOP_AT=N:
// stops there), with PLINTH_TEST_NO_HARD_LINKS it works as without hard links.

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
