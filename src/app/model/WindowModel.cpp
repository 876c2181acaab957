#include "app/model/WindowModel.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <thread>
#include <utility>

#include "app/model/SettingsModel.h"
#include "maintenance/BookAnalysis.h"
#include "maintenance/BookOpening.h"
#include "maintenance/BookOptimization.h"

namespace plinth {
namespace {

// What a pass reports is shown at most this often: about 30 times a second.
constexpr std::chrono::milliseconds kReportInterval(33);

// The wait cursor over the face for as long as it lives, also when an exception
// passes through.
class WaitCursor {
  public:
    explicit WaitCursor(IWindowFace& face) : m_face(face) { m_face.ShowWaitCursor(true); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    ~WaitCursor() { m_face.ShowWaitCursor(false); }

  private:
    IWindowFace& m_face;
};

}  // namespace

WindowModel::WindowModel(IWindowFace& face, IFileSystem& files)
    : m_face(face), m_console(face), m_book(m_console, files) {}

WindowModel::~WindowModel() = default;

void WindowModel::OnOpenBook() {
    if (m_passRunning) {
        return;
    }
    if (const std::optional<std::string> path = m_face.ChooseBook()) {
        OpenBook(*path);
    }
}

void WindowModel::OpenBook(const std::string& path) {
    if (m_passRunning) {
        return;
    }
    m_likelyRecordSize.reset();
    {
        const WaitCursor wait(m_face);
        OpenChosenBook(m_book, path);
    }
    // The rows of the book, or of what a failed open read of it.
    m_face.ShowAttributes(AttributeRows(m_book));
    ShowControls();
}

void WindowModel::OnAnalyse() {
    if (m_passRunning || !m_book.IsInputOpen()) {
        return;
    }
    AnalysisResult result;
    RunPass([&] { result = AnalyseBook(m_book); });
    m_likelyRecordSize = result.report.likelyRecordSize;
    if (result.outcome == AnalyseOutcome::FatalError) {
        TellBookClosed();
    }
    ShowControls();
}

void WindowModel::OnOptimize() {
    if (m_passRunning || !m_book.IsInputOpen()) {
        return;
    }
    OptimizeRequest request;
    std::string refusal;
    {
        // The settings measure the open book while their dialog is open, and
        // are gone, with their measuring, before the conversion reads the book.
        SettingsModel settings(
            m_book, [this](std::function<void()> task) { m_face.Post(std::move(task)); },
            m_likelyRecordSize);
        settings.Measure();
        if (!m_face.AskForSizes(settings)) {
            return;
        }
        request.recordSize = settings.GetRecordSize();
        request.hashIndexSize = settings.GetHashIndexSize();
        request.inputRecordSize = settings.InputRecordSize();
        refusal = settings.Refusal();
    }
    // Sizes that the settings foretold do not fit are refused as those that the
    // fit check refuses: nothing done, an empty console, a message box.
    if (!refusal.empty()) {
        m_console.ClearConsole();
        m_face.ShowMessage(refusal);
        return;
    }
    OptimizeResult result;
    RunPass([&] { result = OptimizeBook(m_book, request); });
    // Another book is open now, or none: what the analysis found was of the old one.
    if (result.outcome == OptimizeOutcome::Converted ||
        result.outcome == OptimizeOutcome::ExchangeFailed ||
        result.outcome == OptimizeOutcome::FatalError) {
        m_likelyRecordSize.reset();
    }
    if (result.outcome == OptimizeOutcome::FatalError) {
        TellBookClosed();
    } else {
        // The converted book, or after a failed exchange whatever book is at the
        // book's path.
        m_face.ShowAttributes(AttributeRows(m_book));
    }
    ShowControls();
    if (result.outcome == OptimizeOutcome::Refused) {
        m_face.ShowMessage(result.refusal);
    } else if (result.outcome == OptimizeOutcome::NotLocked) {
        m_console.AppendText(result.refusal);
    }
}

void WindowModel::HelpNotInstalled() {
    m_face.ShowMessage("The help page of Plinth is not installed.");
}

void WindowModel::HelpNotShown(const std::string& page) {
    m_console.AppendText("No program could show the help page. It is here:\n" + page + "\n");
}

void WindowModel::RunPass(const std::function<void()>& pass) {
    m_passRunning = true;
    ShowControls();
    std::exception_ptr failure;
    {
        const WaitCursor wait(m_face);
        std::atomic<bool> ended = false;
        const std::jthread worker([&] {
            try {
                pass();
            } catch (...) {
                failure = std::current_exception();
            }
            ended = true;
            // The face stops waiting for events at once.
            m_face.Post([] {});
        });
        while (!ended) {
            m_face.HandleEvents(kReportInterval);
            m_console.Deliver();
        }
    }
    m_console.Deliver();
    m_passRunning = false;
    ShowControls();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void WindowModel::ShowControls() {
    const bool open = m_book.IsInputOpen() && !m_passRunning;
    m_controls = {.openBook = !m_passRunning,
                  .analyse = open,
                  .optimize = open,
                  .about = !m_passRunning,
                  .passRunning = m_passRunning};
    m_face.ShowControls(m_controls);
}

void WindowModel::TellBookClosed() {
    m_console.AppendText("The book was closed; open it again to go on\n");
    m_face.ShowAttributes({});
    m_face.FocusOpenBook();
}

}  // namespace plinth
