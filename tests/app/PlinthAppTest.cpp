// The program as a whole: its start-up, the About box, the help page, and the
// console's keeping of the exact text.

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <memory>

#include "PlinthAppTest.h"

#include "AppTestSupport.h"
#include "BookBuilder.h"
#include "TempDir.h"
#include "app/AboutDlg.h"
#include "app/HelpPage.h"
#include "app/PlinthApp.h"
#include "app/PlinthDlg.h"
#include "settings/DefaultDirectories.h"

namespace plinth::test {
namespace {

namespace fs = std::filesystem;

// A start-up whose component services cannot be set up.
class BrokenServicesApp final : public CPlinthApp {
  public:
    using CPlinthApp::CPlinthApp;

  protected:
    bool InitializeComponentServices() override { return false; }
};

}  // namespace

void PlinthAppTest::startUpOpensTheBookOfTheCommandLine() {
    const TempDir dir;
    builder::BookOptions options;
    options.comment = "Started with";
    builder::BuildBook(options, builder::MakePositions(BookKind::Standard, 50, 3))
        .WriteTo(dir.File("start.bk"));

    QString caption;
    QString firstRow;
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        caption = modal->windowTitle();
        const auto* list = modal->findChild<QTreeWidget*>(QStringLiteral("attributes"));
        firstRow = list->topLevelItem(0)->text(1);
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    CPlinthApp app({QStringLiteral("plinth"), QString::fromStdString(dir.File("start.bk"))});
    QVERIFY(!app.InitInstance());

    QVERIFY(driver.Done());
    QCOMPARE(caption, QStringLiteral("Velmora Openingbook Optimizer"));
    QCOMPARE(firstRow, QString::fromStdString(dir.File("start.bk")));
    // The settings live under the maker's name, and the suite's folders exist.
    QCOMPARE(QSettings().fileName(),
             QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Quarnet/Plinth.conf");
    const std::string books = g_DefaultDirectories.GetPath(kBookDirectoryId, Separator::None);
    QVERIFY(books.starts_with(qgetenv("HOME").toStdString()));
    QVERIFY(fs::is_directory(books));
}

void PlinthAppTest::failedComponentServicesEndTheProgramWithAMessage() {
    QString message;
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        message = box->windowTitle() + ": " + box->text();
        box->accept();
    });
    BrokenServicesApp app({QStringLiteral("plinth")});
    QVERIFY(!app.InitInstance());
    QVERIFY(driver.Done());
    QCOMPARE(message, QStringLiteral("Plinth: Yo, you got a problem"));
}

void PlinthAppTest::aboutBoxComesFromTheContextMenu() {
    CPlinthDlg window;
    window.show();
    QAction* about = nullptr;
    for (QAction* action : window.actions()) {
        if (action->text() == QStringLiteral("&About Plinth...")) {
            about = action;
        }
    }
    QVERIFY(about != nullptr);
    QCOMPARE(window.contextMenuPolicy(), Qt::ActionsContextMenu);

    QString caption;
    QString version;
    bool hasIcon = false;
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        caption = modal->windowTitle();
        version = modal->findChild<QLabel*>(QStringLiteral("version"))->text();
        hasIcon = !modal->findChild<QLabel*>(QStringLiteral("icon"))->pixmap().isNull();
        ClickButton(modal, QStringLiteral("OK"));
    });
    about->trigger();
    QVERIFY(driver.Done());
    QCOMPARE(caption, QStringLiteral("About Plinth"));
    QCOMPARE(version, QStringLiteral("Plinth, Version 1.03"));
    QVERIFY(hasIcon);
    QVERIFY(!window.windowIcon().isNull());
}

void PlinthAppTest::helpOpensTheProgramsHelpPage() {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
    CPlinthDlg window;
    window.show();
    ClickButton(&window, QStringLiteral("Help"));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_F1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    QCOMPARE(catcher.Urls().size(), 2);
    QCOMPARE(catcher.Urls().back(), catcher.Urls().front());
    std::ifstream page(catcher.Urls().front().toLocalFile().toStdString());
    const std::string text{std::istreambuf_iterator<char>(page), {}};
    QVERIFY(text.find("Repairing a damaged book") != std::string::npos);
}

void PlinthAppTest::helpIsFoundWhereItIsInstalled() {
    const TempDir dir;
    fs::create_directories(dir.File("usr/bin"));
    fs::create_directories(dir.File("usr/share/doc/plinth/help"));
    std::ofstream(dir.File("usr/share/doc/plinth/help/index.html")) << "<html></html>";
    const std::optional<QString> page = FindHelpPage(QString::fromStdString(dir.File("usr/bin")));
    QVERIFY(page.has_value());
    QCOMPARE(*page,
             QFileInfo(QString::fromStdString(dir.File("usr/share/doc/plinth/help/index.html")))
                 .canonicalFilePath());
    QVERIFY(!FindHelpPage(QString::fromStdString(dir.Path())).has_value());
}

void PlinthAppTest::consoleKeepsTheExactText() {
    CPlinthDlg window;
    window.show();
    IConsole& console = window;
    console.AppendText("Converting....");
    console.AppendText("\nWriting output file\n");
    console.AppendText("found here:\r\n/books/100%.bk.old.bk\n");
    console.AppendText("lone\rreturn, then \r");
    console.AppendText("\nsplit pair");
    const std::string exact =
        "Converting....\nWriting output file\nfound here:\r\n/books/100%.bk.old.bk\n"
        "lone\rreturn, then \r\nsplit pair";
    QCOMPARE(window.ConsoleText(), exact);

    auto* edit = window.findChild<QPlainTextEdit*>(QStringLiteral("console"));
    QCOMPARE(edit->toPlainText(),
             QStringLiteral("Converting....\nWriting output file\nfound here:\n"
                            "/books/100%.bk.old.bk\nlone\nreturn, then \nsplit pair"));
    QVERIFY(edit->textCursor().atEnd());
    QVERIFY(!edit->document()->isUndoAvailable());
    edit->selectAll();
    edit->copy();
    QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(exact));

    console.ClearConsole();
    QCOMPARE(window.ConsoleText(), std::string());
    QCOMPARE(edit->toPlainText(), QString());
}

}  // namespace plinth::test
