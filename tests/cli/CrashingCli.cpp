// plinth-cli for the crash tests: the real command line over the operating
// system's files, except that with PLINTH_TEST_KILL_AT=N in the environment it
// kills itself right before its file operation number N (from 0) that changes a
// file, and with PLINTH_TEST_NO_HARD_LINKS it works as on a file system without
// hard links.

#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "FaultyFileSystem.h"
#include "cli/Command.h"

int main(int argc, char** argv) {
    plinth::test::FaultyFileSystem files;
    if (const char* killAt = std::getenv("PLINTH_TEST_KILL_AT")) {
        files.KillAtCall(std::strtoul(killAt, nullptr, 10));
    }
    if (std::getenv("PLINTH_TEST_NO_HARD_LINKS") != nullptr) {
        files.RefuseHardLinks();
    }
    plinth::cli::CliStreams streams{std::cout, std::cerr, isatty(STDERR_FILENO) != 0, files};
    return plinth::cli::RunCli(argc, argv, streams);
}
