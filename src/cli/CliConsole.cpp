#include "cli/CliConsole.h"

namespace plinth::cli {
namespace {

constexpr int kBarWidth = 40;
// The bar is redrawn at most this often, however fast the pass reports.
constexpr std::chrono::milliseconds kRedrawInterval(200);

}  // namespace

void CliConsole::AppendText(std::string_view text) {
    if (text.empty()) {
        return;
    }
    // The log and the bar may share a terminal: wipe the bar before the text, and
    // draw it again only at the start of a line.
    WipeProgress();
    m_log.write(text.data(), static_cast<std::streamsize>(text.size()));
    m_log.flush();
    m_atLineStart = text.back() == '\n';
}

void CliConsole::WipeProgress() {
    if (m_progress != nullptr && m_lastDrawn >= 0) {
        *m_progress << '\r' << std::string(kBarWidth + 8, ' ') << '\r' << std::flush;
        m_lastDrawn = -1;
    }
}

void CliConsole::ShowProgress() {
    m_progressShown = true;
    m_lastDrawn = -1;
}

void CliConsole::SetProgress(int position) {
    if (!m_progressShown || m_progress == nullptr || !m_atLineStart || position == m_lastDrawn) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (position != 100 && m_lastDrawn >= 0 && now - m_lastDrawTime < kRedrawInterval) {
        return;
    }
    m_lastDrawTime = now;
    DrawProgress(position);
}

void CliConsole::HideProgress() {
    WipeProgress();
    m_progressShown = false;
}

void CliConsole::DrawProgress(int position) {
    const int filled = position * kBarWidth / 100;
    *m_progress << "\r[" << std::string(static_cast<size_t>(filled), '#')
                << std::string(static_cast<size_t>(kBarWidth - filled), ' ') << "] " << position
                << '%' << std::flush;
    m_lastDrawn = position;
}

CommandBook::CommandBook(const std::string& path, std::ostream& log, std::ostream* progress,
                         IFileSystem& files)
    : m_console(log, progress), m_book(m_console, files) {
    try {
        m_book.OpenInputBook(path);
        m_opened = true;
    } catch (const BookFatalError&) {
        m_opened = false;
    }
}

}  // namespace plinth::cli
