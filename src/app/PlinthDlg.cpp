#include "app/PlinthDlg.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "app/AboutDlg.h"
#include "app/AppNames.h"
#include "app/ConsoleView.h"
#include "app/HelpPage.h"
#include "app/OptimizeDlg.h"
#include "app/PlinthIcon.h"
#include "app/ShownText.h"
#include "ui/DialogLayout.h"

namespace plinth {
namespace {

using ui::DialogLayout;
using ui::DialogUnits;
using ui::Follow;
using ui::Sizing;

// The main window's template, in dialog units. The list is made taller, and the
// console and the window with it, where the list's rows need more room.
constexpr QSize kTemplateSize(369, 240);
constexpr QRect kOpenBookButton(7, 7, 55, 14);
constexpr QRect kAnalyseButton(69, 7, 50, 14);
constexpr QRect kOptimizeButton(128, 7, 50, 14);
constexpr QRect kAttributeList(7, 29, 355, 96);
constexpr QRect kConsole(7, 132, 355, 101);
constexpr QRect kProgressBar(182, 7, 128, 15);
constexpr QRect kHelpButton(313, 7, 50, 14);

// When the window grows, the progress bar takes the extra width of the top row
// and Help keeps to the right edge.
constexpr Follow kProgressFollows{0.0, 1.0, 0.0, 0.0};
constexpr Follow kHelpFollows{1.0, 0.0, 0.0, 0.0};

// Pixels between the text of a row and the next row.
constexpr int kRowSpacing = 2;
constexpr int kFieldColumnWidth = 100;
// Tab stops of the console, every 32 horizontal dialog units.
constexpr int kTabStopUnits = 32;

// A task that another thread posted to the window's thread.
class PostedTask final : public QEvent {
  public:
    static inline const auto kType = static_cast<QEvent::Type>(QEvent::registerEventType());

    explicit PostedTask(std::function<void()> task) : QEvent(kType), m_task(std::move(task)) {}
    void Run() const { m_task(); }

  private:
    std::function<void()> m_task;
};

QPushButton* MakeButton(const char* text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// The height of one compact row of the list.
int RowHeight(const QWidget& list) { return list.fontMetrics().height() + kRowSpacing; }

// Draws the rows of a list as the style does, in compact rows.
class CompactRowDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        return {size.width(), RowHeight(*option.widget)};
    }
};

// The attribute list: a list in report view with the columns "Field" and "Value".
QTreeWidget* MakeAttributeList(QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QStringLiteral("attributes"));
    list->setColumnCount(2);
    list->setHeaderLabels({QStringLiteral("Field"), QStringLiteral("Value")});
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setItemDelegate(new CompactRowDelegate(list));
    list->setAllColumnsShowFocus(true);
    // The value takes the width that the field leaves; a long path loses its
    // middle rather than the file name.
    list->header()->setStretchLastSection(true);
    list->header()->setSectionsMovable(false);
    list->setTextElideMode(Qt::ElideMiddle);
    list->setColumnWidth(0, kFieldColumnWidth);
    return list;
}

// The template height of the list, in dialog units: the template's, or what the
// header and all attribute rows need when that is more.
int AttributeListUnits(const QTreeWidget& list, const DialogUnits& units) {
    const int pixels = list.header()->sizeHint().height() +
                       static_cast<int>(kAttributeFields.size()) * RowHeight(list) +
                       2 * list.frameWidth();
    const int needed = static_cast<int>(std::ceil(pixels * 8.0 / units.BaseY()));
    return std::max(kAttributeList.height(), needed);
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

}  // namespace

CPlinthDlg::CPlinthDlg(IFileSystem& files, QWidget* parent)
    : QDialog(parent),
      m_chooseBook([this](QWidget* owner) { return ChooseBookInSelectBookDlg(owner, m_runModal); }),
      m_model(*this, files) {
    setWindowTitle(QStringLiteral("Velmora Openingbook Optimizer"));
    // A window of its own with a taskbar entry, resizable, without a maximise box.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(PlinthIcon());
    CreateControls();
    AddAboutEntry();
    ShowControls(m_model.Controls());
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

    // When the window grows, the list and the console take all of the extra
    // width and share the extra height in the proportion of their heights.
    const int grow =
        AttributeListUnits(*m_lstAttributes, DialogUnits(font())) - kAttributeList.height();
    const QRect list = kAttributeList.adjusted(0, 0, 0, grow);
    const QRect console = kConsole.translated(0, grow);
    const double listShare =
        static_cast<double>(list.height()) / (list.height() + console.height());

    // Template order, which is also the tab order.
    auto* layout = new DialogLayout(this, kTemplateSize + QSize(0, grow));
    layout->AddWidget(m_btnOpenBook, kOpenBookButton);
    layout->AddWidget(m_btnAnalyse, kAnalyseButton);
    layout->AddWidget(m_btnOptimize, kOptimizeButton);
    layout->AddWidget(m_lstAttributes, list, Sizing::Template, Follow{0.0, 1.0, 0.0, listShare});
    layout->AddWidget(m_edtConsole, console, Sizing::Template,
                      Follow{0.0, 1.0, listShare, 1.0 - listShare});
    layout->AddWidget(m_prgProgress, kProgressBar, Sizing::Template, kProgressFollows);
    layout->AddWidget(m_btnHelp, kHelpButton, Sizing::Template, kHelpFollows);
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

bool CPlinthDlg::AskForSizes(SettingsModel& settings) {
    COptimizeDlg dialog(settings, this);
    return m_runModal(dialog) == QDialog::Accepted;
}

void CPlinthDlg::ShowControls(const ControlStates& states) {
    if (states.passRunning && m_focusBeforePass == nullptr) {
        m_focusBeforePass = focusWidget();
    }
    m_btnOpenBook->setEnabled(states.openBook);
    m_btnAnalyse->setEnabled(states.analyse);
    m_btnOptimize->setEnabled(states.optimize);
    m_actAbout->setEnabled(states.about);
    // Disabling a button took its focus away.
    if (!states.passRunning && m_focusBeforePass != nullptr) {
        if (m_focusBeforePass->isEnabled()) {
            m_focusBeforePass->setFocus();
        }
        m_focusBeforePass = nullptr;
    }
}

void CPlinthDlg::FocusOpenBook() { m_btnOpenBook->setFocus(); }

void CPlinthDlg::ShowWaitCursor(bool shown) {
    if (shown) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

void CPlinthDlg::Post(std::function<void()> task) {
    // The event queue owns the event until the window takes it.
    QCoreApplication::postEvent(this, new PostedTask(std::move(task)));
}

bool CPlinthDlg::event(QEvent* event) {
    if (event->type() != PostedTask::kType) {
        return QDialog::event(event);
    }
    static_cast<PostedTask*>(event)->Run();
    if (m_waiting != nullptr) {
        m_waiting->quit();
    }
    return true;
}

void CPlinthDlg::HandleEvents(std::chrono::milliseconds interval) {
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    timeout.start(interval);
    m_waiting = &loop;
    loop.exec();
    m_waiting = nullptr;
}

void CPlinthDlg::done(int result) {
    if (!m_model.MayClose()) {
        return;
    }
    QDialog::done(result);
}

void CPlinthDlg::OnHelp() {
    const std::optional<QString> page = FindHelpPage(QCoreApplication::applicationDirPath());
    if (!page) {
        return m_model.HelpNotInstalled();
    }
    OpenHelpPage(*page);
}

void CPlinthDlg::OpenHelpPage(const QString& page) {
    // The desktop's opener tells by its exit status whether a program took the
    // page; it may run as long as the browser that it started.
    auto* opener = new QProcess(this);
    const auto notShown = [this, opener, page] {
        m_model.HelpNotShown(page.toStdString());
        opener->deleteLater();
    };
    connect(opener, &QProcess::finished, this,
            [opener, notShown](int status, QProcess::ExitStatus exit) {
                if (exit != QProcess::NormalExit || status != 0) {
                    return notShown();
                }
                opener->deleteLater();
            });
    connect(opener, &QProcess::errorOccurred, this, [notShown](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            notShown();
        }
    });
    opener->start(QStringLiteral("xdg-open"), {QUrl::fromLocalFile(page).toString()});
}

void CPlinthDlg::OnAbout() {
    CAboutDlg about(this);
    m_runModal(about);
}

void CPlinthDlg::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kApplicationName), ShownText(text),
                    QMessageBox::Ok, this);
    m_runModal(box);
}

void CPlinthDlg::keyPressEvent(QKeyEvent* event) {
    if (!m_model.MayClose()) {
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
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
    // A pass starts from nothing, not from where the last one ended.
    m_prgProgress->setValue(0);
    m_prgProgress->show();
}

void CPlinthDlg::SetProgress(int position) { m_prgProgress->setValue(position); }

void CPlinthDlg::HideProgress() { m_prgProgress->hide(); }

void CPlinthDlg::ShowAttributes(const std::vector<AttributeRow>& rows) {
    m_lstAttributes->clear();
    for (const AttributeRow& row : rows) {
        // A value is shown as the console shows text: UTF-8, else Windows-1252.
        const QString shown = ShownText(row.value);
        auto* item = new QTreeWidgetItem(m_lstAttributes, {ShownText(row.field), shown});
        item->setToolTip(1, shown);
    }
    // The field column is as wide as its longest label.
    m_lstAttributes->resizeColumnToContents(0);
    m_lstAttributes->setColumnWidth(0,
                                    std::max(kFieldColumnWidth, m_lstAttributes->columnWidth(0)));
}

std::vector<std::pair<std::string, std::string>> CPlinthDlg::ListedAttributes() const {
    std::vector<std::pair<std::string, std::string>> rows;
    for (int i = 0; i < m_lstAttributes->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_lstAttributes->topLevelItem(i);
        rows.emplace_back(item->text(0).toStdString(), item->text(1).toStdString());
    }
    return rows;
}

}  // namespace plinth
