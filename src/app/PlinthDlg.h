#pragma once

// The main window: three buttons that start the program's operations on a book
// ("Open book ...", "Analyse", "Optimize..."), a progress bar, "Help", the list of
// the open book's header attributes and the console below it. It holds the open
// book and is the console through which the book code reports. The handlers only
// frame the operations of the book code: a dialog that decides, the wait cursor,
// the button states and the message box of a refused setting.

#include <QDialog>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/BookChooser.h"
#include "book/BookReader.h"
#include "book/Console.h"
#include "book/FileSystem.h"

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

    // Opens the book at `path` as "Open book ..." does once a book has been chosen:
    // the previous book is closed, the console cleared, the attributes listed.
    void OpenBook(const std::string& path);

    // The handlers of the buttons and of the About entry.
    void OnOpenBook();
    void OnAnalyse();
    void OnOptimize();
    void OnHelp();
    void OnAbout();

    const BookReader& Book() const { return m_book; }
    // The console's exact text.
    const std::string& ConsoleText() const;
    // The rows of the attribute list, as shown: field and value.
    std::vector<std::pair<std::string, std::string>> AttributeRows() const;

    // ---- IConsole ----------------------------------------------------------------
    void AppendText(std::string_view text) override;
    void ClearConsole() override;
    void ShowProgress() override;
    void SetProgress(int position) override;
    void HideProgress() override;
    void AddAttribute(std::string_view field, std::string_view value) override;
    void ClearAttributes() override;

  protected:
    // Enter ends the program unless a push button has the focus.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateControls();
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
    BookReader m_book;
};

}  // namespace plinth
