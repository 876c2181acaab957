#include "app/PlinthDlg.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QUrl>

#include "app/AboutDlg.h"
#include "app/AppNames.h"
#include "app/ConsoleView.h"
#include "app/HelpPage.h"
#include "app/OptimizeDlg.h"
#include "app/PlinthIcon.h"
#include "app/WaitCursor.h"
#include "maintenance/BookAnalysis.h"
#include "maintenance/BookOptimization.h"
#include "ui/DialogLayout.h"

namespace plinth {
namespace {

using ui::DialogLayout;
using ui::DialogUnits;
using ui::Follow;
using ui::Sizing;

// The main window's template, in dialog units.
constexpr QSize kTemplateSize(369, 240);
constexpr QRect kOpenBookButton(7, 7, 55, 14);
constexpr QRect kAnalyseButton(69, 7, 50, 14);
constexpr QRect kOptimizeButton(128, 7, 50, 14);
constexpr QRect kAttributeList(7, 29, 355, 96);
constexpr QRect kConsole(7, 132, 355, 101);
constexpr QRect kProgressBar(182, 7, 128, 15);
constexpr QRect kHelpButton(313, 7, 50, 14);

// When the window grows, the list and the console take all of the extra width
// and share the extra height in the proportion of their template heights.
constexpr double kListShare =
    static_cast<double>(kAttributeList.height()) / (kAttributeList.height() + kConsole.height());
constexpr Follow kListFollows{0.0, 1.0, 0.0, kListShare};
constexpr Follow kConsoleFollows{0.0, 1.0, kListShare, 1.0 - kListShare};

constexpr int kFieldColumnWidth = 100;
constexpr int kValueColumnWidth = 400;
// Tab stops of the console, every 32 horizontal dialog units.
constexpr int kTabStopUnits = 32;

QPushButton* MakeButton(const char* text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// The attribute list: a list in report view with the columns "Field" and "Value".
QTreeWidget* MakeAttributeList(QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QStringLiteral("attributes"));
    list->setColumnCount(2);
    list->setHeaderLabels({QStringLiteral("Field"), QStringLiteral("Value")});
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    list->setColumnWidth(0, kFieldColumnWidth);
    list->setColumnWidth(1, kValueColumnWidth);
    return list;
}

// A plain bar from 0 to 100, hidden until a long pass runs.
QProgressBar* MakeProgressBar(QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QStringLiteral("progress"));
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->hide();
    return bar;
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CPlinthDlg::CPlinthDlg(IFileSystem& files, QWidget* parent)
    : QDialog(parent), m_chooseBook(ChooseBookInSelectBookDlg), m_book(*this, files) {
    setWindowTitle(QStringLiteral("Velmora Openingbook Optimizer"));
    // A window of its own with a taskbar entry, resizable, without a maximise box.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(PlinthIcon());
    CreateControls();
    AddAboutEntry();
    UpdateBookButtons();
}

CPlinthDlg::~CPlinthDlg() = default;

void CPlinthDlg::CreateControls() {
    m_btnOpenBook = MakeButton("Open book ...", "openBook", this);
    m_btnAnalyse = MakeButton("Analyse", "analyse", this);
    m_btnOptimize = MakeButton("Optimize...", "optimize", this);
    m_lstAttributes = MakeAttributeList(this);
    m_edtConsole = new ConsoleView(this);
    m_edtConsole->setObjectName(QStringLiteral("console"));
    m_edtConsole->setTabStopDistance(DialogUnits(font()).X(kTabStopUnits));
    m_prgProgress = MakeProgressBar(this);
    m_btnHelp = MakeButton("Help", "help", this);

    // Template order, which is also the tab order.
    auto* layout = new DialogLayout(this, kTemplateSize);
    layout->AddWidget(m_btnOpenBook, kOpenBookButton);
    layout->AddWidget(m_btnAnalyse, kAnalyseButton);
    layout->AddWidget(m_btnOptimize, kOptimizeButton);
    layout->AddWidget(m_lstAttributes, kAttributeList, Sizing::Template, kListFollows);
    layout->AddWidget(m_edtConsole, kConsole, Sizing::Template, kConsoleFollows);
    layout->AddWidget(m_prgProgress, kProgressBar);
    layout->AddWidget(m_btnHelp, kHelpButton);
    setTabOrder(m_btnOpenBook, m_btnAnalyse);
    setTabOrder(m_btnAnalyse, m_btnOptimize);
    setTabOrder(m_btnOptimize, m_lstAttributes);
    setTabOrder(m_lstAttributes, m_edtConsole);
    setTabOrder(m_edtConsole, m_btnHelp);

    connect(m_btnOpenBook, &QPushButton::clicked, this, &CPlinthDlg::OnOpenBook);
    connect(m_btnAnalyse, &QPushButton::clicked, this, &CPlinthDlg::OnAnalyse);
    connect(m_btnOptimize, &QPushButton::clicked, this, &CPlinthDlg::OnOptimize);
    connect(m_btnHelp, &QPushButton::clicked, this, &CPlinthDlg::OnHelp);
    // The desktop's help key (F1) opens the same page.
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
            &CPlinthDlg::OnHelp);
}

// Linux window managers give a program no menu of its own in the caption, so the
// About entry is in the window's context menu, also over the console.
void CPlinthDlg::AddAboutEntry() {
    m_actAbout = new QAction(QStringLiteral("&About Plinth..."), this);
    connect(m_actAbout, &QAction::triggered, this, &CPlinthDlg::OnAbout);
    addAction(m_actAbout);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    m_edtConsole->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_edtConsole, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const std::unique_ptr<QMenu> menu(m_edtConsole->createStandardContextMenu(at));
        menu->addSeparator();
        menu->addAction(m_actAbout);
        menu->exec(m_edtConsole->viewport()->mapToGlobal(at));
    });
}

void CPlinthDlg::OnOpenBook() {
    const std::optional<std::string> path = m_chooseBook(this);
    if (!path) {
        return;
    }
    OpenBook(*path);
}

void CPlinthDlg::OpenBook(const std::string& path) {
    const WaitCursor wait;
    m_book.OpenBook(path);
    UpdateBookButtons();
}

void CPlinthDlg::OnAnalyse() {
    if (!m_book.IsInputOpen()) {
        return;
    }
    const WaitCursor wait;
    // A fatal error has put its message in the console and closed the book.
    plinth::OnAnalyse(m_book);
    UpdateBookButtons();
}

void CPlinthDlg::OnOptimize() {
    if (!m_book.IsInputOpen()) {
        return;
    }
    COptimizeDlg settings(this);
    settings.SetHashIndexSize(m_book.InputHeader().hashIndexSize);
    settings.SetRecordSize(m_book.InputHeader().recordSize);
    if (settings.exec() != QDialog::Accepted) {
        return;
    }

    OptimizeResult result;
    {
        const WaitCursor wait;
        const OptimizeRequest request{settings.GetRecordSize(), settings.GetHashIndexSize(), {}};
        result = plinth::OnOptimize(m_book, request);
    }
    // After a fatal error the book is closed; after a failed exchange whatever
    // book is at the book's path is open again.
    UpdateBookButtons();
    if (result.outcome == OptimizeOutcome::Refused) {
        ShowMessage(result.refusal);
    }
}

void CPlinthDlg::OnHelp() {
    const std::optional<QString> page = FindHelpPage(QCoreApplication::applicationDirPath());
    if (!page) {
        ShowMessage("The help page of Plinth is not installed.");
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(*page))) {
        ShowMessage("The help page could not be shown in a browser. It is here:\n" +
                    page->toStdString());
    }
}

void CPlinthDlg::OnAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CPlinthDlg::UpdateBookButtons() {
    const bool open = m_book.IsInputOpen();
    m_btnAnalyse->setEnabled(open);
    m_btnOptimize->setEnabled(open);
}

void CPlinthDlg::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kApplicationName), FromUtf8(text),
                    QMessageBox::Ok, this);
    box.exec();
}

void CPlinthDlg::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() == Qt::NoModifier &&
        qobject_cast<QPushButton*>(focusWidget()) == nullptr) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

const std::string& CPlinthDlg::ConsoleText() const { return m_edtConsole->Text(); }

void CPlinthDlg::AppendText(std::string_view text) { m_edtConsole->Append(text); }

void CPlinthDlg::ClearConsole() { m_edtConsole->Clear(); }

void CPlinthDlg::ShowProgress() {
    m_prgProgress->show();
    // The window takes no events while a pass runs: the emptied console and the
    // bar are painted now, before the work starts.
    repaint();
}

void CPlinthDlg::SetProgress(int position) {
    // A pass sets the same position for many records in a row.
    if (position == m_prgProgress->value()) {
        return;
    }
    m_prgProgress->setValue(position);
    m_prgProgress->repaint();
    // What the pass has reported so far is shown with each step of the bar.
    m_edtConsole->viewport()->repaint();
}

void CPlinthDlg::HideProgress() { m_prgProgress->hide(); }

void CPlinthDlg::AddAttribute(std::string_view field, std::string_view value) {
    new QTreeWidgetItem(m_lstAttributes, {FromUtf8(field), FromUtf8(value)});
}

void CPlinthDlg::ClearAttributes() { m_lstAttributes->clear(); }

std::vector<std::pair<std::string, std::string>> CPlinthDlg::AttributeRows() const {
    std::vector<std::pair<std::string, std::string>> rows;
    for (int i = 0; i < m_lstAttributes->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_lstAttributes->topLevelItem(i);
        rows.emplace_back(item->text(0).toStdString(), item->text(1).toStdString());
    }
    return rows;
}

}  // namespace plinth
