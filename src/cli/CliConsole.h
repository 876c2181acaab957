#pragma once

// The console of the command-line tool: the log goes to a text stream as it is
// written, the attribute rows are kept for the command to print, and the progress
// bar is drawn on a terminal when one is given.

#include <chrono>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "book/Console.h"

namespace plinth::cli {

class CliConsole final : public IConsole {
  public:
    // `log` receives the console text; `progress`, when not null, a progress bar.
    CliConsole(std::ostream& log, std::ostream* progress) : m_log(log), m_progress(progress) {}

    void AppendText(std::string_view text) override;
    void ClearConsole() override {}
    void ShowProgress() override;
    void SetProgress(int position) override;
    void HideProgress() override;
    void AddAttribute(std::string_view field, std::string_view value) override;
    void ClearAttributes() override { m_attributes.clear(); }

    const std::vector<std::pair<std::string, std::string>>& Attributes() const {
        return m_attributes;
    }

  private:
    void DrawProgress(int position);
    void WipeProgress();

    std::ostream& m_log;
    std::ostream* m_progress;
    bool m_progressShown = false;
    bool m_atLineStart = true;
    int m_lastDrawn = -1;
    std::chrono::steady_clock::time_point m_lastDrawTime;
    std::vector<std::pair<std::string, std::string>> m_attributes;
};

}  // namespace plinth::cli
