#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iostream>

#include "cli/Command.h"

namespace {

// Whether the write to stdout that just failed found its reader gone. errno says
// so when nothing has touched it since; a pipe whose reading end is closed also
// says so itself, by POLLERR, however long ago the write failed.
bool ReaderGone() {
    if (errno == EPIPE) {
        return true;
    }
    pollfd out{.fd = STDOUT_FILENO, .events = POLLOUT, .revents = 0};
    return ::poll(&out, 1, 0) == 1 && (out.revents & POLLERR) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that goes away (`| head`) makes the writes fail instead of ending
    // the program, which finishes what it started (a conversion stops at no odd
    // step); a report ends at the first failed write.
    std::signal(SIGPIPE, SIG_IGN);
    plinth::cli::CliStreams streams{std::cout, std::cerr, isatty(STDERR_FILENO) != 0,
                                    plinth::SystemFileSystem(), ReaderGone};
    const int status = plinth::cli::RunCli(argc, argv, streams);
    if (status == plinth::cli::kExitReaderGone) {
        // Ended as a standard tool ends there, by SIGPIPE, once all is let go.
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
    }
    return status;
}
