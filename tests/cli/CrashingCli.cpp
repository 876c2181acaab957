// plinth-cli for the crash tests: with PLINTH_TEST_KILL_AT=N it kills itself right
// before its N-th (from 0) file operation that changes a file (PLINTH_TEST_STOP_AT=N:
// stops there, POSIX only), with PLINTH_TEST_NO_HARD_LINKS it works as without hard
// links.

#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <csignal>
#include <cstdlib>
#include <iostream>

#include "ChildProcess.h"
#include "FaultyFileSystem.h"
#include "cli/Command.h"

int main(int argc, char** argv) {
    plinth::test::FaultyFileSystem files;
    if (const char* at = std::getenv("PLINTH_TEST_KILL_AT")) {
        files.ActAtCall(std::strtoul(at, nullptr, 10), [] {
#ifdef _WIN32
            TerminateProcess(GetCurrentProcess(), plinth::test::kKilledStatus);
#else
            std::raise(SIGKILL);
#endif
        });
    }
#ifndef _WIN32
    if (const char* at = std::getenv("PLINTH_TEST_STOP_AT")) {
        files.ActAtCall(std::strtoul(at, nullptr, 10), [] { std::raise(SIGSTOP); });
    }
#endif
    if (std::getenv("PLINTH_TEST_NO_HARD_LINKS") != nullptr) {
        files.RefuseHardLinks();
    }
    plinth::cli::CliStreams streams{std::cout, std::cerr, isatty(STDERR_FILENO) != 0, files};
    return plinth::cli::RunCli(argc, argv, streams);
}
