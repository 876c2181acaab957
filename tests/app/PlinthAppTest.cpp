// The desktop program driven as a person uses it, without a display: start-up,
// books opened, analysed and optimized through the main window's buttons and the
// dialogs they open, and what the list, the console, the progress bar, the
// buttons and the files show afterwards; About and help; the book selection
// dialog with its preview and the book folder that it remembers.

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPluginLoader>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <new>

#include "PlinthAppTest.h"

#include "AppTestSupport.h"
#include "BookBuilder.h"
#include "FaultyFileSystem.h"
#include "app/HelpPage.h"
#include "app/OptimizeDlg.h"
#include "app/PlinthApp.h"
#include "app/PlinthDlg.h"
#include "app/SelectBookDlg.h"
#include "settings/DefaultDirectories.h"
#include "settings/LinuxDirectoryPlatform.h"

namespace plinth::test {
namespace {

namespace fs = std::filesystem;
using builder::BookImage;

const QString kNotABook = QStringLiteral("Not a recognised book format !");

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::string BookFolder() { return g_DefaultDirectories.GetPath(kBookDirectoryId, Separator::None); }

BookImage SoundBook(uint16_t recordSize = 1024) {
    builder::BookOptions options;
    options.recordSize = recordSize;
    options.comment = "Test book";
    return builder::BuildBook(options, builder::MakePositions(BookKind::Standard, 400, 7));
}

// The list's rows as "Field=Value".
QStringList Rows(const CPlinthDlg& window) {
    QStringList rows;
    for (const auto& [field, value] : window.AttributeRows()) {
        rows << Q(field) + "=" + Q(value);
    }
    return rows;
}

// The book buttons, and whatever an operation left behind that it should not.
QString Idle(const CPlinthDlg& window) {
    const bool analyse = Child<QPushButton>(window, "analyse")->isEnabled();
    const bool optimize = Child<QPushButton>(window, "optimize")->isEnabled();
    QString state = analyse != optimize ? "book buttons differ"
                    : analyse           ? "book buttons on"
                                        : "book buttons off";
    if (!Child<QProgressBar>(window, "progress")->isHidden()) {
        state += ", progress shown";
    }
    if (QApplication::overrideCursor() != nullptr) {
        state += ", cursor overridden";
    }
    return state;
}

// "Open book ..." with the chooser answering `path`.
void OpenThroughButton(CPlinthDlg& window, const std::string& path) {
    window.SetBookChooser([path](QWidget*) { return path; });
    ClickButton(&window, "Open book ...");
}

// Steps down the record size list from its top and goes to the end of the
// HashIndex size list, then presses OK or `button`; notes the lines preselected.
ModalDriver::Action ChooseSizes(int recordSteps, QStringList* preselected = nullptr,
                                const QString& button = QStringLiteral("OK")) {
    return [=](QWidget* modal) {
        QVERIFY(qobject_cast<COptimizeDlg*>(modal) != nullptr);
        QList<QComboBox*> lists = modal->findChildren<QComboBox*>();
        if (lists.at(0)->count() > lists.at(1)->count()) {
            lists.swapItemsAt(0, 1);  // the record sizes first
        }
        if (preselected != nullptr) {
            *preselected = QStringList{lists.at(0)->currentText(), lists.at(1)->currentText()};
        }
        QTest::keyClick(lists.at(0), Qt::Key_Home);
        for (int i = 0; i < recordSteps; ++i) {
            QTest::keyClick(lists.at(0), Qt::Key_Down);
        }
        QTest::keyClick(lists.at(1), Qt::Key_End);
        ClickButton(modal, button);
    };
}

// A start-up whose component services cannot be set up.
class BrokenServicesApp final : public CPlinthApp {
  public:
    using CPlinthApp::CPlinthApp;

  protected:
    bool InitializeComponentServices() override { return false; }
};

// A book, a file that is no book and a folder, in a folder made the book folder.
struct BookFolderContents {
    BookFolderContents() {
        SoundBook().WriteTo(dir.File("main.bk"));
        WriteFileBytes(dir.File("notes.bk"), {'h', 'i', '\n'});
        std::filesystem::create_directory(dir.File("archive"));
        g_DefaultDirectories.SetPath(kBookDirectoryId, dir.Path());
    }
    TempDir dir;
};

// The preview after making the entry at `path` (nothing, for an empty path) the
// current one of the dialog's file list, as a click does, once the list shows it.
QString PreviewOf(const QWidget& dialog, const std::string& path) {
    auto* list = Child<QListView>(dialog, "listView");
    const auto* model = qobject_cast<QFileSystemModel*>(list->model());
    if (!path.empty() && !QTest::qWaitFor([&] { return model->index(Q(path)).isValid(); })) {
        return QStringLiteral("(not listed)");
    }
    list->setCurrentIndex(path.empty() ? QModelIndex() : model->index(Q(path)));
    return Child<QLabel>(dialog, "description")->text();
}

// Answers by the name of the file, which it must be given with its folder.
class FakeBookInfo final : public IBookInfo {
  public:
    int32_t GetDescription(const QString& path, std::optional<QString>& description) override {
        const QString name = QFileInfo(path).fileName();
        if (name == "throws.bk") {
            throw std::bad_alloc();
        }
        if (name == "two.bk" || name == "fails.bk") {
            description = name == "two.bk" ? "two\nwords" : "not shown";
        }
        return name == "fails.bk" || QFileInfo(path).isRelative() ? -7 : 0;
    }
};

}  // namespace

void PlinthAppTest::init() {
    LinuxDirectoryPlatform platform("Quarnet", "Plinth");
    g_DefaultDirectories.Initialize(platform, "Quarnet", "Velmora 6.0");
}

void PlinthAppTest::startUpShowsTheBookOfTheCommandLine() {
    const TempDir dir;
    SoundBook().WriteTo(dir.File("start.bk"));
    QStringList seen;
    QStringList tabOrder;
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        auto* window = qobject_cast<CPlinthDlg*>(modal);
        QVERIFY(window != nullptr);
        seen << window->windowTitle() << Rows(*window).value(0) << Idle(*window);
        for (auto* widget = Child<QWidget>(*window, "openBook"); tabOrder.size() < 6;
             widget = widget->nextInFocusChain()) {
            if (!widget->objectName().isEmpty() && widget->focusPolicy() != Qt::NoFocus) {
                tabOrder << widget->objectName();
            }
        }
        // The list and the console share all the room that the window gains.
        auto* list = Child<QWidget>(*window, "attributes");
        auto* console = Child<QWidget>(*window, "console");
        const QSize listBefore = list->size();
        const QSize consoleBefore = console->size();
        window->resize(window->size() + QSize(200, 100));
        QApplication::processEvents();
        QCOMPARE(list->size() - listBefore + console->size() - consoleBefore, QSize(400, 100));
        QVERIFY(list->height() > listBefore.height() && console->height() > consoleBefore.height());
        // Enter outside the buttons ends the program.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
    });
    CPlinthApp app({QStringLiteral("plinth"), Q(dir.File("start.bk"))});
    QVERIFY(!app.InitInstance());
    QVERIFY(driver.Done());
    QCOMPARE(seen, QStringList({"Velmora Openingbook Optimizer",
                                Q("Input book=" + dir.File("start.bk")), "book buttons on"}));
    QCOMPARE(tabOrder,
             QStringList({"openBook", "analyse", "optimize", "attributes", "console", "help"}));
    // The settings live under the maker's name, and the suite's folders exist.
    QCOMPARE(QSettings().fileName(),
             qEnvironmentVariable("XDG_CONFIG_HOME") + "/Quarnet/Plinth.conf");
    const std::string books = g_DefaultDirectories.GetPath(kBookDirectoryId, Separator::None);
    QVERIFY(books.starts_with(qgetenv("HOME").toStdString()) && fs::is_directory(books));

    // Without component services the program ends with a message.
    QString message;
    driver.Then([&](QWidget* modal) {
        const auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        message = box->windowTitle() + ": " + box->text();
        ClickButton(modal, QStringLiteral("OK"));
    });
    BrokenServicesApp broken({QStringLiteral("plinth")});
    QVERIFY(!broken.InitInstance());
    QVERIFY(driver.Done());
    QCOMPARE(message, QStringLiteral("Plinth: Yo, you got a problem"));
}

void PlinthAppTest::opensAnalysesAndOptimizesABook() {
    const BookFolderContents folder;
    const TempDir& dir = folder.dir;
    const std::string path = dir.File("main.bk");
    CPlinthDlg window;
    window.show();
    QCOMPARE(Idle(window), QStringLiteral("book buttons off"));
    OpenThroughButton(window, path);
    // The rows themselves are the book code's; the list shows them all, in order.
    QCOMPARE(Rows(window).size(), 11);
    QCOMPARE(Rows(window).first(), "Input book=" + Q(path));
    QVERIFY(Rows(window).contains("Comment=Test book"));
    QCOMPARE(Idle(window), QStringLiteral("book buttons on"));
    ClickButton(&window, "Analyse");
    const std::string analysis = window.ConsoleText();
    QVERIFY(analysis.ends_with("Analisys completed\n") &&
            analysis.find("rror") == std::string::npos);

    // Chosen sizes convert the book; cancelled ones, preselected from the
    // converted book, leave everything as it was.
    QStringList preselected;
    ModalDriver driver;
    driver.Then(ChooseSizes(2, &preselected))
        .Then(ChooseSizes(0, &preselected, QStringLiteral("Cancel")));
    ClickButton(&window, "Optimize...");
    QCOMPARE(preselected, QStringList({"1024", "1024"}));
    const std::string text = window.ConsoleText();
    QVERIFY(text.starts_with("Converting....") &&
            text.ends_with("found here:\r\n" + path + ".old.bk\n"));
    QVERIFY(fs::exists(path + ".old.bk") && !fs::exists(path + ".new.bk"));
    const QStringList rows = Rows(window);
    QVERIFY(rows.contains("Record size=4096") && rows.contains("Hash index size=32768"));
    QCOMPARE(Idle(window), QStringLiteral("book buttons on"));
    ClickButton(&window, "Optimize...");
    QVERIFY(driver.Done());
    QCOMPARE(preselected, QStringList({"4096", "32768"}));
    QCOMPARE(window.ConsoleText(), text);
    QCOMPARE(Rows(window), rows);
    QCOMPARE(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 4);

    // A file that is no book closes the open book.
    OpenThroughButton(window, dir.File("notes.bk"));
    QCOMPARE(Rows(window), QStringList());
    QCOMPARE(window.ConsoleText(),
             "**Error** [" + dir.File("notes.bk") + "] is not a valid book file\n");
    QCOMPARE(Idle(window), QStringLiteral("book buttons off"));
}

void PlinthAppTest::analysesDamagedBooks() {
    const TempDir dir;
    BookImage image = SoundBook();
    image.SetSlot(image.SlotWithChainOf(1), image.RecordCount() + 5);
    image.WriteTo(dir.File("linked.bk"));
    // A book that ends before its first chain record.
    BookImage cut = SoundBook();
    const BookHeader header = cut.Header();
    const uint32_t firstChainRecord =
        header.hashIndexRecord + HashIndexRecords(header.recordSize, header.hashIndexSize);
    cut.Truncate(size_t{firstChainRecord} * header.recordSize);
    cut.WriteTo(dir.File("cut.bk"));

    CPlinthDlg window;
    window.show();
    // Every step of the bar is shown under the wait cursor.
    auto* progress = Child<QProgressBar>(window, "progress");
    QStringList steps;
    QObject::connect(progress, &QProgressBar::valueChanged, &window, [&] {
        const QCursor* cursor = QApplication::overrideCursor();
        const bool waiting = cursor != nullptr && cursor->shape() == Qt::WaitCursor;
        steps << (waiting && progress->isVisible() ? "waiting" : "NOT waiting");
    });
    OpenThroughButton(window, dir.File("linked.bk"));
    ClickButton(&window, "Analyse");
    QVERIFY(!steps.isEmpty());
    QCOMPARE(steps.filter("NOT"), QStringList());
    QCOMPARE(progress->value(), 100);
    QVERIFY(window.ConsoleText().ends_with(
        "Found 1 errors, run optimize to fix them\nAnalisys completed\n"));
    QCOMPARE(Idle(window), QStringLiteral("book buttons on"));

    OpenThroughButton(window, dir.File("cut.bk"));
    ClickButton(&window, "Analyse");
    QVERIFY(window.ConsoleText().ends_with(
        "**Error** in _read reading record #:" + std::to_string(firstChainRecord) + "\n"));
    QVERIFY(!window.Book().IsInputOpen());
    QCOMPARE(Idle(window), QStringLiteral("book buttons off"));
}

void PlinthAppTest::refusedAndFailedOptimizationsLeaveTheBook() {
    const TempDir dir;
    // 20000 records of 4096 bytes would be 80000 records of 1024 bytes.
    BookImage big = SoundBook(4096);
    BookHeader header = big.Header();
    header.recordCount = 20000;
    big.SetHeader(header);
    big.WriteTo(dir.File("big.bk"));
    const std::string path = dir.File("main.bk");
    SoundBook().WriteTo(path);
    const std::vector<uint8_t> before = ReadFileBytes(path);
    FaultyFileSystem files;
    files.FailOperation(FaultyFileSystem::Operation::Create, 0);
    CPlinthDlg window(files);
    window.show();
    OpenThroughButton(window, dir.File("big.bk"));
    ClickButton(&window, "Analyse");

    QString message;
    ModalDriver driver;
    driver.Then(ChooseSizes(0))
        .Then([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            message = box->windowTitle() + ": " + box->text();
            ClickButton(box, QStringLiteral("OK"));
        })
        .Then(ChooseSizes(1));
    ClickButton(&window, "Optimize...");
    QCOMPARE(message, QStringLiteral("Plinth: **Error** New Recordsize to small to fit in "
                                     "destination book. Try increasing the record size"));
    QCOMPARE(window.ConsoleText(), std::string());
    QVERIFY(files.Calls().empty());
    QCOMPARE(Idle(window), QStringLiteral("book buttons on"));

    // A new book that cannot be created stops the optimization and closes the book.
    OpenThroughButton(window, path);
    ClickButton(&window, "Optimize...");
    QVERIFY(driver.Done());
    QCOMPARE(window.ConsoleText(), "**Error** Creating output file: [" + path + ".new.bk]\n");
    QCOMPARE(Idle(window), QStringLiteral("book buttons off"));
    QVERIFY(ReadFileBytes(path) == before);
    QVERIFY(!fs::exists(path + ".new.bk") && !fs::exists(path + ".old.bk"));
}

void PlinthAppTest::consoleKeepsTheExactText() {
    CPlinthDlg window;
    window.show();
    IConsole& console = window;
    for (const char* piece :
         {"Converting....", "\nWriting output file\n", "found here:\r\n/books/100%.bk.old.bk\n",
          "lone\rreturn, then \r", "\nsplit pair"}) {
        console.AppendText(piece);
    }
    const std::string exact =
        "Converting....\nWriting output file\nfound here:\r\n/books/100%.bk.old.bk\n"
        "lone\rreturn, then \r\nsplit pair";
    QCOMPARE(window.ConsoleText(), exact);
    auto* edit = Child<QPlainTextEdit>(window, "console");
    QCOMPARE(edit->toPlainText(),
             QStringLiteral("Converting....\nWriting output file\nfound here:\n"
                            "/books/100%.bk.old.bk\nlone\nreturn, then \nsplit pair"));
    QVERIFY(edit->textCursor().atEnd());
    QVERIFY(!edit->document()->isUndoAvailable());
    edit->selectAll();
    edit->copy();
    QCOMPARE(QApplication::clipboard()->text(), Q(exact));
    console.ClearConsole();
    QCOMPARE(Q(window.ConsoleText()) + edit->toPlainText(), QString());
    // Enter outside the buttons ends the program.
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(window.result(), int{QDialog::Accepted});
    QVERIFY(!window.isVisible());
}

void PlinthAppTest::aboutBoxAndHelp() {
    CPlinthDlg window;
    window.show();
    QVERIFY(!window.windowIcon().isNull());
    QString about;
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        const bool icon = !Child<QLabel>(*modal, "icon")->pixmap().isNull();
        about = modal->windowTitle() + ": " + Child<QLabel>(*modal, "version")->text() +
                (icon ? " with icon" : " without icon");
        ClickButton(modal, QStringLiteral("OK"));
    });
    for (QAction* action : window.actions()) {
        if (action->text() == QStringLiteral("&About Plinth...")) {
            action->trigger();
        }
    }
    QVERIFY(driver.Done());
    QCOMPARE(about, QStringLiteral("About Plinth: Plinth, Version 1.03 with icon"));

    // "Help" and F1 open the program's help page.
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open");
    ClickButton(&window, QStringLiteral("Help"));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_F1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(openedUrls.size(), 2);
    QCOMPARE(openedUrls.back(), openedUrls.front());
    std::ifstream page(openedUrls.front().toLocalFile().toStdString());
    const std::string text{std::istreambuf_iterator<char>(page), {}};
    QVERIFY(text.find("Repairing a damaged book") != std::string::npos);

    // An installed program finds its page among the shared documents.
    const TempDir dir;
    fs::create_directories(dir.File("usr/bin"));
    fs::create_directories(dir.File("usr/share/doc/plinth/help"));
    std::ofstream(dir.File("usr/share/doc/plinth/help/index.html")) << "<html></html>";
    QCOMPARE(FindHelpPage(Q(dir.File("usr/bin"))).value_or(QString()),
             QFileInfo(Q(dir.File("usr/share/doc/plinth/help/index.html"))).canonicalFilePath());
    QVERIFY(!FindHelpPage(Q(dir.Path())).has_value());
}

void PlinthAppTest::previewDescribesTheCurrentEntry() {
    const BookFolderContents folder;
    const QString plugin = QDir(qEnvironmentVariable("PLINTH_PLUGIN_DIR"))
                               .filePath(QStringLiteral("libplinth_bookinfo.so"));
    {
        CSelectBookDlg dialog(FileDlgMode::Open, QString(), nullptr);
        dialog.show();
        QVERIFY(dialog.HasBookInfo() && QPluginLoader(plugin).isLoaded());
        QCOMPARE(Child<QLabel>(dialog, "description")->text(), QString());
        const QString book = PreviewOf(dialog, folder.dir.File("main.bk"));
        QVERIFY2(book.startsWith("Test book\nStandard book, revision 30\n400 positions, "),
                 qPrintable(book));
        QCOMPARE(PreviewOf(dialog, folder.dir.File("archive")), QString());
        QCOMPARE(PreviewOf(dialog, folder.dir.File("notes.bk")), kNotABook);
        QCOMPARE(PreviewOf(dialog, folder.dir.File("main.bk")), book);
        QCOMPARE(PreviewOf(dialog, ""), QString());
        // The preview lies below the file list.
        const auto* files = Child<QWidget>(dialog, "splitter");
        QVERIFY(Child<QWidget>(dialog, "description")->mapTo(&dialog, QPoint()).y() >
                files->mapTo(&dialog, QPoint(0, files->height())).y());
    }
    // Closing the dialog releases the component and unloads its plugin.
    QVERIFY(!QPluginLoader(plugin).isLoaded());
}

void PlinthAppTest::previewShowsWhatTheComponentAnswers() {
    const TempDir dir;
    for (const char* name : {"two.bk", "null.bk", "fails.bk", "throws.bk"}) {
        WriteFileBytes(dir.File(name), {'x'});
    }
    g_DefaultDirectories.SetPath(kBookDirectoryId, dir.Path());
    int created = 0;
    std::weak_ptr<IBookInfo> component;
    const BookInfoFactory factory = [&] {
        ++created;
        auto made = std::make_shared<FakeBookInfo>();
        component = made;
        return made;
    };
    {
        CSelectBookDlg dialog(FileDlgMode::Open, QString(), nullptr, factory);
        dialog.show();
        QCOMPARE(PreviewOf(dialog, dir.File("two.bk")), QStringLiteral("two\nwords"));
        const auto* preview = Child<QLabel>(dialog, "description");
        QCOMPARE(preview->textFormat(), Qt::PlainText);
        QVERIFY(preview->sizeHint().height() >= 2 * preview->fontMetrics().height());
        // Success without a description empties the preview.
        QCOMPARE(PreviewOf(dialog, dir.File("null.bk")), QString());
        QCOMPARE(PreviewOf(dialog, dir.File("fails.bk")), kNotABook);
        QCOMPARE(PreviewOf(dialog, dir.File("throws.bk")), kNotABook);
        QCOMPARE(PreviewOf(dialog, dir.File("null.bk")), QString());
    }
    // The dialog had a component of its own, released when it closed.
    QCOMPARE(created, 1);
    QVERIFY(component.expired());
}

void PlinthAppTest::withoutThePluginBooksOpenFromTheRememberedFolder() {
    const BookFolderContents folder;
    const TempDir elsewhere;
    const TempDir noPlugins;
    std::filesystem::copy_file(folder.dir.File("main.bk"), elsewhere.File("main.bk"));
    const auto restore = qScopeGuard(
        [plugins = qgetenv("PLINTH_PLUGIN_DIR")] { qputenv("PLINTH_PLUGIN_DIR", plugins); });
    qputenv("PLINTH_PLUGIN_DIR", QByteArray::fromStdString(noPlugins.Path()));
    CPlinthDlg window;
    window.show();

    QStringList seen;
    ModalDriver driver;
    driver
        .Then([&](QWidget* modal) {
            auto* dialog = qobject_cast<CSelectBookDlg*>(modal);
            QVERIFY(dialog != nullptr);
            seen << dialog->directory().absolutePath() << dialog->nameFilters()
                 << dialog->DefaultExtension()
                 << (dialog->HasBookInfo() ? "component" : "no component")
                 << PreviewOf(*dialog, folder.dir.File("notes.bk"))
                 << PreviewOf(*dialog, folder.dir.File("main.bk"));
            // A name typed without its extension is given the default one.
            auto* name = Child<QLineEdit>(*dialog, "fileNameEdit");
            name->setText(Q(elsewhere.File("main")));
            QTest::keyClick(name, Qt::Key_Return);
        })
        .Then([&](QWidget* modal) {
            seen << qobject_cast<QFileDialog*>(modal)->directory().absolutePath();
            QTest::keyClick(modal, Qt::Key_Escape);
        });
    ClickButton(&window, "Open book ...");
    ClickButton(&window, "Analyse");
    const std::string console = window.ConsoleText();
    const auto rows = window.AttributeRows();
    // A cancelled dialog leaves the book, the console and the list as they were.
    ClickButton(&window, "Open book ...");
    QVERIFY(driver.Done());
    QCOMPARE(seen, QStringList({Q(folder.dir.Path()), "Velmora books (*.bk)", ".bk", "no component",
                                kNotABook, kNotABook, Q(elsewhere.Path())}));
    QCOMPARE(rows.empty() ? std::string() : rows.front().second, elsewhere.File("main.bk"));
    QCOMPARE(BookFolder(), elsewhere.Path());
    QCOMPARE(window.ConsoleText(), console);
    QVERIFY(window.AttributeRows() == rows && window.Book().IsInputOpen());

    // A path whose only separator is its first character leaves the book folder.
    CSelectBookDlg dialog(FileDlgMode::Open, QString(), nullptr, {});
    dialog.selectFile(QStringLiteral("/main.bk"));
    QCOMPARE(dialog.GetPathName(), QStringLiteral("/main.bk"));
    dialog.done(QDialog::Accepted);
    QCOMPARE(BookFolder(), elsewhere.Path());
}

}  // namespace plinth::test

int main(int argc, char** argv) {
    const plinth::test::HermeticEnvironment environment;
    const QApplication application(argc, argv);
    plinth::test::PlinthAppTest test;
    return QTest::qExec(&test, argc, argv);
}
