#pragma once

// The main window: three buttons that start the program's operations on a book
// ("Open book ...", "Analyse", "Optimize..."), a progress bar, "Help", the list of
// the open book's header attributes and the console below it. It holds the open
// book and is the console through which the book code reports. The handlers only
// frame the operations of the book code: a dialog that decides, the wait cursor,
// the button states and the message box of a refused setting.
//
// The long passes over a book run on a worker thread (RunPass), so that the
// window keeps painting while they run; the book code reports through a console
// that carries its calls over to the window's thread.

#include <QDialog>
#include <QPointer>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/BookChooser.h"
#include "app/MarshalledConsole.h"
#include "book/BookReader.h"
#include "book/Console.h"
#include "book/FileSystem.h"
#include "maintenance/BookOptimization.h"

class QAction;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace plinth {

class ConsoleView;

class CPlinthDlg final : public QDialog, public IConsole {
    Q_OBJECT

  public:
    explicit CPlinthDlg(IFileSystem& files = SystemFileSystem(), QWidget* parent = nullptr);
    CPlinthDlg(const CPlinthDlg&) = delete;
    CPlinthDlg& operator=(const CPlinthDlg&) = delete;
    ~CPlinthDlg() override;

    // Replaces the dialog in which "Open book ..." lets the user choose a book.
    void SetBookChooser(BookChooser chooser) { m_chooseBook = std::move(chooser); }
    // Replaces how the window runs its modal dialogs and message boxes, the book
    // selection dialog included (RunModal).
    void SetModalRunner(ModalRunner run) { m_runModal = std::move(run); }

    // Opens the book at `path` as "Open book ..." does once a book has been chosen:
    // the previous book is closed, the console cleared, the attributes listed.
    void OpenBook(const std::string& path);

    // The handlers of the buttons and of the About entry.
    void OnOpenBook();
    void OnAnalyse();
    void OnOptimize();
    void OnHelp();
    void OnAbout();

    // Runs `pass`, which works on the open book, on a worker thread and returns
    // when it has ended. Meanwhile the window paints, shows what the pass reports
    // (at most about 30 times a second) and shows the wait cursor; the action
    // buttons and the About entry are disabled, and Enter, Escape and the close
    // button do nothing, so no input made during the pass acts after it. An
    // exception that ended the pass is thrown again here.
    void RunPass(const std::function<void()>& pass);

    const BookReader& Book() const { return m_book; }
    // The console's exact text.
    const std::string& ConsoleText() const;
    // The rows of the attribute list, as shown: field and value.
    std::vector<std::pair<std::string, std::string>> ListedAttributes() const;

    // ---- IConsole: the widgets themselves, on the window's thread only -----------
    void AppendText(std::string_view text) override;
    void ClearConsole() override;
    void ShowProgress() override;
    void SetProgress(int position) override;
    void HideProgress() override;

    // Ends the program's window; does nothing while a pass runs.
    void done(int result) override;

  protected:
    // Enter, on the main keys or the keypad, ends the program unless a push button
    // has the focus.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateControls();
    // Lists the attribute rows of the open book, or of the book the last fatal
    // error ended, as far as it was read.
    void ShowAttributes();
    // The optimize settings: the sizes chosen, or none when the dialog was
    // cancelled; `refusal` says why they cannot be converted into, as far as
    // the settings foretold it.
    std::optional<OptimizeRequest> AskForSizes(std::string& refusal);
    // After a fatal error that closed the book: says so, empties the list, and
    // gives "Open book ..." the focus.
    void TellBookClosed();
    // Opens the help page in the desktop's program for it, and says in the
    // console where the page is when no program could.
    void OpenHelpPage(const QString& page);
    void EnterPass();
    void LeavePass();
    void AddAboutEntry();
    // "Analyse" and "Optimize..." work while a book is open.
    void UpdateBookButtons();
    void ShowMessage(const std::string& text);

    // The controls, owned by the dialog as its children.
    QPushButton* m_btnOpenBook = nullptr;
    QPushButton* m_btnAnalyse = nullptr;
    QPushButton* m_btnOptimize = nullptr;
    QTreeWidget* m_lstAttributes = nullptr;
    ConsoleView* m_edtConsole = nullptr;
    QProgressBar* m_prgProgress = nullptr;
    QPushButton* m_btnHelp = nullptr;
    QAction* m_actAbout = nullptr;

    BookChooser m_chooseBook;
    ModalRunner m_runModal = RunModal;
    bool m_bPassRunning = false;
    // The control that had the focus when the pass began.
    QPointer<QWidget> m_focusBeforePass;
    // What the book code reports reaches the widgets through this console.
    MarshalledConsole m_console;
    BookReader m_book;
};

}  // namespace plinth
