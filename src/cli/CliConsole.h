#pragma once

// The console of the command-line tool: the log goes to a text stream as it is
// written, and the progress bar is drawn on a terminal when one is given. And the
// book that a command reads, opened with such a console.

#include <chrono>
#include <ostream>
#include <string>

#include "book/BookReader.h"
#include "book/Console.h"

namespace plinth::cli {

class CliConsole final : public IConsole {
  public:
    // `log` receives the console text; `progress`, when not null, a progress bar.
    CliConsole(std::ostream& log, std::ostream* progress) : m_log(log), m_progress(progress) {}
    CliConsole(const CliConsole&) = delete;
    CliConsole& operator=(const CliConsole&) = delete;
    // A pass that ends early (its report could not be written) leaves no bar.
    ~CliConsole() override { WipeProgress(); }

    void AppendText(std::string_view text) override;
    void ClearConsole() override {}
    void ShowProgress() override;
    void SetProgress(int position) override;
    void HideProgress() override;

  private:
    void DrawProgress(int position);
    void WipeProgress();

    std::ostream& m_log;
    std::ostream* m_progress;
    bool m_progressShown = false;
    bool m_atLineStart = true;
    int m_lastDrawn = -1;
    std::chrono::steady_clock::time_point m_lastDrawTime;
};

// The book at a path of the command line, opened for a command that reads it.
// Such a command changes no file, so a book cut off in the exchange of a
// conversion stays as it is: `optimize` puts it back.
class CommandBook {
  public:
    // Opens the book at `path`; its messages go to `log`, the progress bar of a
    // pass to `progress` when one is given.
    CommandBook(const std::string& path, std::ostream& log, std::ostream* progress,
                IFileSystem& files);

    // Whether the book opened; when not, the fatal error's message is in the log.
    bool Opened() const { return m_opened; }
    BookReader& Book() { return m_book; }
    IConsole& Console() { return m_console; }

  private:
    CliConsole m_console;
    BookReader m_book;
    bool m_opened = false;
};

}  // namespace plinth::cli
