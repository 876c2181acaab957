// plinth-cli on Windows. The arguments arrive in UTF-16 and are handed on in
// UTF-8, so that any path works; the output is the bytes it is on Linux, UTF-8
// with "\n" line ends, and a console is told to show UTF-8.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

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
    plinth::cli::CliStreams streams{std::cout, std::cerr, stderrIsConsole};
    return plinth::cli::RunCli(argc, pointers.data(), streams);
}
