#pragma once

// The main window: three buttons that start the program's operations on a book
// ("Open book ...", "Analyse", "Optimize..."), a progress bar, "Help", the list of
// the open book's header attributes and the console below it. It is the Qt face
// of the window model (WindowModel), which holds the open book and decides what
// each button does: the window shows what the model tells it and hands it the
// user's input.

#include <QDialog>
#include <QPointer>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/BookChooser.h"
#include "app/model/WindowFace.h"
#include "app/model/WindowModel.h"
#include "book/BookReader.h"
#include "book/FileSystem.h"

class QAction;
class QEventLoop;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace plinth {

class ConsoleView;

class CPlinthDlg final : public QDialog, public IWindowFace {
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

    // Opens the book at `path` as "Open book ..." does once a book has been chosen.
    void OpenBook(const std::string& path) { m_model.OpenBook(path); }

    // The handlers of the buttons and of the About entry.
    void OnOpenBook() { m_model.OnOpenBook(); }
    void OnAnalyse() { m_model.OnAnalyse(); }
    void OnOptimize() { m_model.OnOptimize(); }
    void OnHelp();
    void OnAbout();

    const BookReader& Book() const { return m_model.Book(); }
    // The console's exact text.
    const std::string& ConsoleText() const;
    // The rows of the attribute list, as shown: field and value.
    std::vector<std::pair<std::string, std::string>> ListedAttributes() const;

    // ---- IWindowFace, on the window's thread (Post on any) ------------------------
    void AppendText(std::string_view text) override;
    void ClearConsole() override;
    void ShowProgress() override;
    void SetProgress(int position) override;
    void HideProgress() override;
    void ShowAttributes(const std::vector<AttributeRow>& rows) override;
    void ShowControls(const ControlStates& states) override;
    void FocusOpenBook() override;
    void ShowWaitCursor(bool shown) override;
    std::optional<std::string> ChooseBook() override { return m_chooseBook(this); }
    bool AskForSizes(SettingsModel& settings) override;
    void ShowMessage(const std::string& text) override;
    void Post(std::function<void()> task) override;
    void HandleEvents(std::chrono::milliseconds interval) override;

    // Ends the program's window; does nothing while a pass runs.
    void done(int result) override;

  protected:
    // Runs the tasks posted to the window (Post).
    bool event(QEvent* event) override;
    // Enter, on the main keys or the keypad, ends the program unless a push button
    // has the focus.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateControls();
    void AddAboutEntry();
    // Opens the help page in the desktop's program for it; the model says where
    // the page is when no program could.
    void OpenHelpPage(const QString& page);

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
    // The control that had the focus when the pass began.
    QPointer<QWidget> m_focusBeforePass;
    // The loop of HandleEvents, which a posted task ends.
    QEventLoop* m_waiting = nullptr;
    // Last, so that it goes before the controls that it shows.
    WindowModel m_model;
};

}  // namespace plinth
