// The main window driven as a person uses it: books opened, analysed and
// optimized through the buttons and the dialogs they open, and what the list, the
// console, the progress bar, the buttons and the files show afterwards.

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <memory>

#include "PlinthDlgTest.h"

#include "AppTestSupport.h"
#include "BookBuilder.h"
#include "FaultyFileSystem.h"
#include "TempDir.h"
#include "app/PlinthDlg.h"
#include "maintenance/OptimizeDlg.h"
#include "settings/DefaultDirectories.h"
#include "settings/LinuxDirectoryPlatform.h"
#include "ui/DialogLayout.h"
#include "ui/SelectBookDlg.h"

namespace plinth::test {
namespace {

namespace fs = std::filesystem;
using builder::BookImage;

BookImage SoundBook(uint16_t recordSize = 1024) {
    builder::BookOptions options;
    options.recordSize = recordSize;
    options.comment = "Test book";
    return builder::BuildBook(options, builder::MakePositions(BookKind::Standard, 400, 7));
}

QPushButton* Button(const CPlinthDlg& window, const char* name) {
    return window.findChild<QPushButton*>(QString::fromLatin1(name));
}

QProgressBar* Progress(const CPlinthDlg& window) {
    return window.findChild<QProgressBar*>(QStringLiteral("progress"));
}

QPlainTextEdit* Console(const CPlinthDlg& window) {
    return window.findChild<QPlainTextEdit*>(QStringLiteral("console"));
}

QTreeWidget* List(const CPlinthDlg& window) {
    return window.findChild<QTreeWidget*>(QStringLiteral("attributes"));
}

// The list's rows as "Field=Value".
QStringList Rows(const CPlinthDlg& window) {
    QStringList rows;
    const QTreeWidget* list = List(window);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        rows << list->topLevelItem(i)->text(0) + "=" + list->topLevelItem(i)->text(1);
    }
    return rows;
}

bool BookButtonsEnabled(const CPlinthDlg& window) {
    return Button(window, "analyse")->isEnabled() && Button(window, "optimize")->isEnabled();
}

bool BookButtonsDisabled(const CPlinthDlg& window) {
    return !Button(window, "analyse")->isEnabled() && !Button(window, "optimize")->isEnabled();
}

// "Open book ..." with the chooser answering `path`.
void OpenThroughButton(CPlinthDlg& window, const std::string& path) {
    window.SetBookChooser([path](QWidget*) { return path; });
    QTest::mouseClick(Button(window, "openBook"), Qt::LeftButton);
}

// Chooses lines in the optimize settings: steps down the record size list and
// to the end of the HashIndex size list, then presses OK.
ModalDriver::Action ChooseSizes(int recordSteps, QStringList* preselected = nullptr) {
    return [=](QWidget* modal) {
        auto* settings = qobject_cast<COptimizeDlg*>(modal);
        QVERIFY(settings != nullptr);
        const QList<QComboBox*> lists = settings->findChildren<QComboBox*>();
        QComboBox* record = lists.at(0)->count() == 5 ? lists.at(0) : lists.at(1);
        QComboBox* hash = record == lists.at(0) ? lists.at(1) : lists.at(0);
        if (preselected != nullptr) {
            *preselected = QStringList{record->currentText(), hash->currentText()};
        }
        QTest::keyClick(record, Qt::Key_Home);
        for (int i = 0; i < recordSteps; ++i) {
            QTest::keyClick(record, Qt::Key_Down);
        }
        QTest::keyClick(hash, Qt::Key_End);
        ClickButton(settings, QStringLiteral("OK"));
    };
}

}  // namespace

void PlinthDlgTest::startsWithoutABook() {
    CPlinthDlg window;
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("Velmora Openingbook Optimizer"));
    QVERIFY(Button(window, "openBook")->isEnabled());
    QVERIFY(BookButtonsDisabled(window));
    QVERIFY(Progress(window)->isHidden());
    QCOMPARE(Progress(window)->minimum(), 0);
    QCOMPARE(Progress(window)->maximum(), 100);
    QTreeWidget* list = List(window);
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("Field"));
    QCOMPARE(list->headerItem()->text(1), QStringLiteral("Value"));
    QCOMPARE(list->columnWidth(0), 100);
    QCOMPARE(list->columnWidth(1), 400);
    QCOMPARE(window.size(), ui::DialogUnits(window.font()).Size({369, 240}));

    QStringList tabOrder;
    QWidget* widget = Button(window, "openBook");
    for (int i = 0; i < 6; ++i, widget = widget->nextInFocusChain()) {
        while (widget->objectName().isEmpty() || widget->focusPolicy() == Qt::NoFocus) {
            widget = widget->nextInFocusChain();
        }
        tabOrder << widget->objectName();
    }
    QCOMPARE(tabOrder,
             QStringList({"openBook", "analyse", "optimize", "attributes", "console", "help"}));
}

void PlinthDlgTest::listsTheAttributesOfTheChosenBook() {
    const TempDir dir;
    const std::string path = dir.File("main.bk");
    SoundBook().WriteTo(path);
    CPlinthDlg window;
    window.show();
    OpenThroughButton(window, path);

    const BookHeader header = SoundBook().Header();
    QCOMPARE(
        Rows(window),
        QStringList({"Input book=" + QString::fromStdString(path), "Type=Standard", "Revision=30",
                     "Comment=Test book", "Hash index size=1024", "Record size=1024",
                     "# of records=" + QString::number(header.recordCount), "Total positions=400",
                     "Total moves=" + QString::number(header.totalMoves), "Attributes=0",
                     QString::asprintf("Avg chain length=%1.1f", header.recordCount / 1024.0)}));
    QVERIFY(BookButtonsEnabled(window));
    QCOMPARE(window.ConsoleText(), std::string());
}

void PlinthDlgTest::choosesBooksInTheBookFolder() {
    LinuxDirectoryPlatform platform;
    g_DefaultDirectories.Initialize(platform, "Quarnet", "Velmora 6.0");
    const std::string folder = g_DefaultDirectories.GetPath(kBookDirectoryId, Separator::None);
    QVERIFY(fs::is_directory(folder));
    SoundBook().WriteTo(folder + "/main.bk");
    CPlinthDlg window;
    window.show();

    QString startFolder;
    QStringList filters;
    QString extension;
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        auto* dialog = qobject_cast<CSelectBookDlg*>(modal);
        QVERIFY(dialog != nullptr);
        startFolder = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        extension = dialog->DefaultExtension();
        // A name without an extension is given the default one.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QTest::keyClicks(name, QStringLiteral("main"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    // A second "Open book ..." is cancelled: everything stays as it was.
    driver.Then([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });

    QTest::mouseClick(Button(window, "openBook"), Qt::LeftButton);
    QCOMPARE(startFolder, QString::fromStdString(folder));
    QCOMPARE(filters, QStringList({"Velmora books (*.bk)"}));
    QCOMPARE(extension, QStringLiteral(".bk"));
    const QStringList rows = Rows(window);
    QCOMPARE(rows.value(0), QString::fromStdString("Input book=" + folder + "/main.bk"));
    QTest::mouseClick(Button(window, "analyse"), Qt::LeftButton);
    const std::string console = window.ConsoleText();

    QTest::mouseClick(Button(window, "openBook"), Qt::LeftButton);
    QVERIFY(driver.Done());
    QCOMPARE(Rows(window), rows);
    QCOMPARE(window.ConsoleText(), console);
    QVERIFY(BookButtonsEnabled(window));
}

void PlinthDlgTest::aFileThatIsNoBookClosesTheOpenBook() {
    const TempDir dir;
    SoundBook().WriteTo(dir.File("main.bk"));
    WriteFileBytes(dir.File("notes.bk"), {'h', 'e', 'l', 'l', 'o', '\n'});
    CPlinthDlg window;
    window.show();
    OpenThroughButton(window, dir.File("main.bk"));
    OpenThroughButton(window, dir.File("notes.bk"));

    QCOMPARE(List(window)->topLevelItemCount(), 0);
    QCOMPARE(window.ConsoleText(),
             "**Error** [" + dir.File("notes.bk") + "] is not a valid book file\n");
    QVERIFY(BookButtonsDisabled(window));
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void PlinthDlgTest::analysesADamagedBookWithTheWaitCursorAndTheProgressBar() {
    const TempDir dir;
    BookImage image = SoundBook();
    const uint32_t slot = image.SlotWithChainOf(1);
    const uint16_t badLink = image.RecordCount() + 5;
    image.SetSlot(slot, badLink);
    image.WriteTo(dir.File("main.bk"));

    int reads = 0;
    int readsWaitingAndShowingProgress = 0;
    CPlinthDlg* shown = nullptr;
    WatchedFileSystem files([&] {
        ++reads;
        const QCursor* cursor = QApplication::overrideCursor();
        if (cursor != nullptr && cursor->shape() == Qt::WaitCursor &&
            Progress(*shown)->isVisible()) {
            ++readsWaitingAndShowingProgress;
        }
    });
    CPlinthDlg window(files);
    shown = &window;
    window.show();
    OpenThroughButton(window, dir.File("main.bk"));
    reads = 0;
    QTest::mouseClick(Button(window, "analyse"), Qt::LeftButton);

    QVERIFY(reads > 0);
    QCOMPARE(readsWaitingAndShowingProgress, reads);
    QVERIFY(Progress(window)->isHidden());
    QCOMPARE(Progress(window)->value(), 100);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    const std::string& text = window.ConsoleText();
    QVERIFY(text.starts_with("Error - invalid link in HashIndex - idx=" + std::to_string(slot) +
                             " rec=" + std::to_string(badLink) +
                             " free=" + std::to_string(image.RecordCount()) + "\n"));
    QVERIFY(text.ends_with("Found 1 errors, run optimize to fix them\nAnalisys completed\n"));
    QVERIFY(Console(window)->textCursor().atEnd());
    QVERIFY(BookButtonsEnabled(window));
}

void PlinthDlgTest::optimizesWithTheChosenSizes() {
    const TempDir dir;
    const std::string path = dir.File("main.bk");
    SoundBook().WriteTo(path);
    CPlinthDlg window;
    window.show();
    OpenThroughButton(window, path);

    QStringList preselected;
    ModalDriver driver;
    driver.Then(ChooseSizes(2, &preselected));
    QTest::mouseClick(Button(window, "optimize"), Qt::LeftButton);

    QVERIFY(driver.Done());
    QCOMPARE(preselected, QStringList({"1024", "1024"}));
    const std::string& text = window.ConsoleText();
    QVERIFY(text.starts_with("Converting....\nWriting output file\n"));
    const std::string completion =
        "Conversion completed\nA backup copy of the original file can be found here:\r\n" + path +
        ".old.bk\n";
    QVERIFY(text.ends_with(completion));
    QVERIFY(Console(window)->toPlainText().endsWith(
        QString::fromStdString("found here:\n" + path + ".old.bk\n")));
    QVERIFY(fs::exists(path + ".old.bk"));
    QVERIFY(!fs::exists(path + ".new.bk"));
    QVERIFY(Rows(window).contains("Record size=4096"));
    QVERIFY(Rows(window).contains("Hash index size=32768"));
    QVERIFY(BookButtonsEnabled(window));
    QVERIFY(Progress(window)->isHidden());
}

void PlinthDlgTest::cancelledSettingsLeaveEverythingAsItWas() {
    const TempDir dir;
    SoundBook().WriteTo(dir.File("main.bk"));
    CPlinthDlg window;
    window.show();
    OpenThroughButton(window, dir.File("main.bk"));
    QTest::mouseClick(Button(window, "analyse"), Qt::LeftButton);
    const std::string console = window.ConsoleText();
    const QStringList rows = Rows(window);

    ModalDriver driver;
    driver.Then([](QWidget* modal) { ClickButton(modal, QStringLiteral("Cancel")); });
    QTest::mouseClick(Button(window, "optimize"), Qt::LeftButton);

    QVERIFY(driver.Done());
    QCOMPARE(window.ConsoleText(), console);
    QCOMPARE(Rows(window), rows);
    QCOMPARE(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

void PlinthDlgTest::aRefusedSettingIsShownInAMessageBox() {
    const TempDir dir;
    // 20000 records of 4096 bytes would be 80000 records of 1024 bytes.
    BookImage image = SoundBook(4096);
    BookHeader header = image.Header();
    header.recordCount = 20000;
    image.SetHeader(header);
    image.WriteTo(dir.File("main.bk"));
    CPlinthDlg window;
    window.show();
    OpenThroughButton(window, dir.File("main.bk"));
    QTest::mouseClick(Button(window, "analyse"), Qt::LeftButton);
    const std::vector<uint8_t> before = ReadFileBytes(dir.File("main.bk"));

    QString caption;
    QString message;
    ModalDriver driver;
    driver.Then(ChooseSizes(0)).Then([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        caption = box->windowTitle();
        message = box->text();
        ClickButton(box, QStringLiteral("OK"));
    });
    QTest::mouseClick(Button(window, "optimize"), Qt::LeftButton);

    QVERIFY(driver.Done());
    QCOMPARE(caption, QStringLiteral("Plinth"));
    QCOMPARE(message, QStringLiteral("**Error** New Recordsize to small to fit in destination "
                                     "book. Try increasing the record size"));
    QCOMPARE(window.ConsoleText(), std::string());
    QVERIFY(!fs::exists(dir.File("main.bk.new.bk")));
    QVERIFY(ReadFileBytes(dir.File("main.bk")) == before);
    QVERIFY(BookButtonsEnabled(window));
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void PlinthDlgTest::aBookEndingTooEarlyStopsTheAnalysis() {
    const TempDir dir;
    BookImage image = SoundBook();
    const BookHeader header = image.Header();
    const uint32_t firstChainRecord =
        header.hashIndexRecord + HashIndexRecords(header.recordSize, header.hashIndexSize);
    image.Truncate(size_t{firstChainRecord} * header.recordSize);
    image.WriteTo(dir.File("main.bk"));
    CPlinthDlg window;
    window.show();
    OpenThroughButton(window, dir.File("main.bk"));
    QTest::mouseClick(Button(window, "analyse"), Qt::LeftButton);

    QVERIFY(window.ConsoleText().ends_with(
        "**Error** in _read reading record #:" + std::to_string(firstChainRecord) + "\n"));
    QVERIFY(!window.Book().IsInputOpen());
    QVERIFY(BookButtonsDisabled(window));
    QVERIFY(Progress(window)->isHidden());
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void PlinthDlgTest::aNewBookThatCannotBeCreatedStopsTheOptimization() {
    const TempDir dir;
    const std::string path = dir.File("main.bk");
    SoundBook().WriteTo(path);
    const std::vector<uint8_t> before = ReadFileBytes(path);
    FaultyFileSystem files;
    files.FailOperation(FaultyFileSystem::Operation::Create, 0);
    CPlinthDlg window(files);
    window.show();
    OpenThroughButton(window, path);

    ModalDriver driver;
    driver.Then(ChooseSizes(1));
    QTest::mouseClick(Button(window, "optimize"), Qt::LeftButton);

    QVERIFY(driver.Done());
    QCOMPARE(window.ConsoleText(), "**Error** Creating output file: [" + path + ".new.bk]\n");
    QVERIFY(BookButtonsDisabled(window));
    QVERIFY(Progress(window)->isHidden());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(ReadFileBytes(path) == before);
    QVERIFY(!fs::exists(path + ".new.bk") && !fs::exists(path + ".old.bk"));
}

void PlinthDlgTest::listAndConsoleGrowWithTheWindow() {
    CPlinthDlg window;
    window.show();
    const QRect openBook = Button(window, "openBook")->geometry();
    const QRect help = Button(window, "help")->geometry();
    const QRect list = List(window)->geometry();
    const QRect console = Console(window)->geometry();
    window.resize(window.width() + 200, window.height() + 100);
    QApplication::processEvents();

    QCOMPARE(Button(window, "openBook")->geometry(), openBook);
    QCOMPARE(Button(window, "help")->geometry(), help);
    QCOMPARE(List(window)->width(), list.width() + 200);
    QCOMPARE(Console(window)->width(), console.width() + 200);
    QVERIFY(List(window)->height() > list.height());
    QCOMPARE(Console(window)->geometry().bottom(), console.bottom() + 100);
}

void PlinthDlgTest::enterOutsideTheButtonsEndsTheProgram() {
    for (const char* name : {"attributes", "console"}) {
        CPlinthDlg window;
        window.show();
        QTest::keyClick(window.findChild<QWidget*>(QString::fromLatin1(name)), Qt::Key_Return);
        QCOMPARE(window.result(), int{QDialog::Accepted});
        QVERIFY(!window.isVisible());
    }
}

}  // namespace plinth::test
