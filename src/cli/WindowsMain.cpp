// plinth-cli on Windows. The arguments arrive in UTF-16 and are handed on in
// UTF-8, so that any path works; the output is the bytes it is on Linux, UTF-8
// with "\n" line ends, and a console is told to show UTF-8. A report whose
// reader went away ends with the status that SIGPIPE gives on Linux.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "book/WideText.h"
#include "cli/Command.h"

namespace {

// The console's output code page, UTF-8 while the program runs.
class Utf8Console {
  public:
    Utf8Console() : m_codePage(GetConsoleOutputCP()) { SetConsoleOutputCP(CP_UTF8); }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;
    ~Utf8Console() {
        if (m_codePage != 0) {
            SetConsoleOutputCP(m_codePage);
        }
    }

  private:
    UINT m_codePage;
};

// Whether the write to stdout that just failed found the reading end of its pipe
// closed: Windows says "the pipe is being closed" (wine: "no process is on the
// other end").
bool ReaderGone() {
    const unsigned long error = _doserrno;
    return errno == EPIPE || error == ERROR_NO_DATA || error == ERROR_PIPE_NOT_CONNECTED ||
           error == ERROR_BROKEN_PIPE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments(static_cast<size_t>(argc));
    std::vector<const char*> pointers(static_cast<size_t>(argc));
    for (size_t i = 0; i < arguments.size(); ++i) {
        arguments[i] = plinth::Utf8(argv[i]);
        pointers[i] = arguments[i].c_str();
    }
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const Utf8Console console;
    DWORD mode = 0;
    const bool stderrIsConsole = GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
    plinth::cli::CliStreams streams{std::cout, std::cerr, stderrIsConsole,
                                    plinth::SystemFileSystem(), ReaderGone};
    return plinth::cli::RunCli(argc, pointers.data(), streams);
}
