#pragma once

// The start-up of the desktop program, run once the Qt application exists: the
// platform's component services, the program's settings under the maker's name,
// the suite's directories, and then the main window, modally, for the whole life
// of the program.

#include <utility>

#include "app/CommandLine.h"

namespace plinth {

class CPlinthDlg;

class CPlinthApp {
  public:
    // `line`: the program's command line. Its book is opened at start, as a file
    // manager's "Open with" passes it; the path stays the bytes it was given: a
    // file name need not be UTF-8, and text decoded from it would name another
    // file. A check starts the program, opens the book, reports on stdout what it
    // found (the attribute rows, the book-information component and the help
    // page) and ends without showing its window: a check of an installation.
    explicit CPlinthApp(CommandLine line) : m_line(std::move(line)) {}
    CPlinthApp(const CPlinthApp&) = delete;
    CPlinthApp& operator=(const CPlinthApp&) = delete;
    virtual ~CPlinthApp() = default;

    // Runs the program. Gives false: when it returns, the program ends.
    bool InitInstance();

    // The program's exit status: 0, or 1 when a check found a fault.
    int ExitCode() const { return m_exitCode; }

  protected:
    // Sets up the platform's component services for the user-interface thread;
    // false when that fails. A Linux desktop has no such services to set up.
    virtual bool InitializeComponentServices() { return true; }
    // Shows the main window, modally, until the user ends the program.
    virtual void RunMainWindow(CPlinthDlg& window);

  private:
    CommandLine m_line;
    int m_exitCode = 0;
};

}  // namespace plinth
