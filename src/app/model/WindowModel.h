#pragma once

// The main window as a model, whatever shows it: the open book and its attribute
// rows, what "Open book ...", "Analyse" and "Optimize..." do and when they take
// input, the passes on a worker thread with their console text and progress
// carried over to the window's thread, the refusals before any work, and what
// the window says when it could not do something. A face (IWindowFace) shows it
// and hands it the user's input; it holds no book logic of its own.
//
// A handler runs its whole operation before it returns, as a dialog's handler
// does: a long pass runs on a worker thread while the handler handles the face's
// events, so the window paints and shows what the pass reports about 30 times a
// second, and ignores input until the pass has ended.

#include <functional>
#include <optional>
#include <string>

#include "app/model/MarshalledConsole.h"
#include "app/model/WindowFace.h"
#include "book/BookReader.h"
#include "book/FileSystem.h"

namespace plinth {

class WindowModel {
  public:
    // `face` outlives the model; the books are read through `files`.
    explicit WindowModel(IWindowFace& face, IFileSystem& files = SystemFileSystem());
    WindowModel(const WindowModel&) = delete;
    WindowModel& operator=(const WindowModel&) = delete;
    ~WindowModel();

    // The user's input. Each does nothing while a pass runs.
    void OnOpenBook();
    void OnAnalyse();
    void OnOptimize();
    // Opens the book at `path` as "Open book ..." does once a book has been chosen:
    // the previous book is closed, the console cleared, the attributes listed.
    void OpenBook(const std::string& path);

    // What the face found of the help page: none installed, which a message box
    // says; or a page at `page` that no program could show, which the console says.
    void HelpNotInstalled();
    void HelpNotShown(const std::string& page);

    // Whether the window may end now: not while a pass runs, so that no input
    // made during a pass acts after it.
    bool MayClose() const { return !m_passRunning; }
    const ControlStates& Controls() const { return m_controls; }
    const BookReader& Book() const { return m_book; }

  private:
    // Runs `pass` on a worker thread and returns when it has ended; an exception
    // that ended it is thrown again here.
    void RunPass(const std::function<void()>& pass);
    void ShowControls();
    // After a fatal error that closed the book: says so, empties the list and
    // gives "Open book ..." the focus.
    void TellBookClosed();

    IWindowFace& m_face;
    ControlStates m_controls;
    bool m_passRunning = false;
    // What the book code reports reaches the face through this console.
    MarshalledConsole m_console;
    BookReader m_book;
    // The record size that the last analysis of the open book found its records
    // fit far better than its header's; the settings offer to read it so.
    std::optional<int> m_likelyRecordSize;
};

}  // namespace plinth
