// plinth-screenshots: renders what the desktop program shows into PNG files: the
// main window during the analysis of a book (the pass held at the book's middle)
// and after it, at the window's default size; the optimize settings dialog with
// the prediction for the book, also with the check box that reads the book as
// records of another size, the About box and the book selection dialog with
// the book selected and described, at its first size and grown; the console
// scrolled to the end of a line wider than it; and the refusal of sizes for which
// the new book would need more records than a book holds, with the settings that
// foretold it.
// Runs without a display (QT_QPA_PLATFORM=offscreen).

#include <QAbstractProxyModel>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <cstdio>
#include <functional>
#include <span>
#include <string>

#include "GatedFileSystem.h"
#include "app/AboutDlg.h"
#include "app/OptimizeDlg.h"
#include "app/PlinthDlg.h"
#include "app/SelectBookDlg.h"
#include "settings/DefaultDirectories.h"
#include "settings/LinuxDirectoryPlatform.h"

namespace {

// Lets the widgets finish their layout, which they partly do from timers.
void Settle() {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 200) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
}

bool Save(QWidget& widget, const QDir& folder, const char* name) {
    widget.show();
    Settle();
    const QString path = folder.filePath(QString::fromLatin1(name));
    if (!widget.grab().save(path, "PNG")) {
        std::fprintf(stderr, "plinth-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// Makes the entry at `path` the current one of a file dialog's list, as a click
// does, once the list has read its folder.
bool MakeCurrent(QWidget& dialog, const QString& path) {
    auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
    const auto* shown =
        list != nullptr ? qobject_cast<QAbstractProxyModel*>(list->model()) : nullptr;
    const auto* model =
        shown != nullptr ? qobject_cast<QFileSystemModel*>(shown->sourceModel()) : nullptr;
    if (model == nullptr) {
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (!model->index(path).isValid() && clock.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    list->setCurrentIndex(shown->mapFromSource(model->index(path)));
    return list->currentIndex().isValid();
}

// Waits until the optimize settings show the figures of their book.
bool WaitForMeasurement(QWidget& dialog) {
    const auto* line = dialog.findChild<QLabel*>(QStringLiteral("prediction"));
    QElapsedTimer clock;
    clock.start();
    while (line != nullptr && line->text().startsWith(QStringLiteral("Measuring")) &&
           clock.elapsed() < 30000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return line != nullptr && !line->text().startsWith(QStringLiteral("Measuring"));
}

// The book selection dialog in the book's folder, with the book selected.
bool SaveBookSelection(QWidget& main, const std::string& book, const QDir& folder) {
    plinth::LinuxDirectoryPlatform platform("Quarnet", "Plinth");
    plinth::g_DefaultDirectories.Initialize(platform, "Quarnet", "Velmora 6.0");
    plinth::g_DefaultDirectories.SetPath(
        plinth::kBookDirectoryId,
        QFileInfo(QString::fromStdString(book)).absolutePath().toStdString());
    plinth::CSelectBookDlg dialog(plinth::FileDlgMode::Open, QString(), &main);
    dialog.show();
    if (!MakeCurrent(dialog, QString::fromStdString(book))) {
        std::fprintf(stderr,
                     "plinth-screenshots: the book selection dialog does not list the book\n");
        return false;
    }
    if (!Save(dialog, folder, "select-book.png")) {
        return false;
    }
    dialog.resize(dialog.size() * 3 / 2);
    return Save(dialog, folder, "select-book-grown.png");
}

// A conversion of the book at a long path: the console scrolled to the end of the
// line that names the backup.
bool SaveLongLine(plinth::CPlinthDlg& main, const std::string& book, const QDir& folder) {
    main.SetModalRunner([](QDialog& dialog) {
        dialog.accept();
        return dialog.result();
    });
    main.OpenBook(book);
    main.OnOptimize();
    main.SetModalRunner(plinth::RunModal);
    auto* console = main.findChild<QPlainTextEdit*>(QStringLiteral("console"));
    Settle();
    console->horizontalScrollBar()->setValue(console->horizontalScrollBar()->maximum());
    return Save(main, folder, "main-window-long-line.png");
}

// The settings for the smallest sizes of a book that does not fit them, and the
// message box that refuses them.
bool SaveRefusal(plinth::CPlinthDlg& main, const std::string& book, const QDir& folder) {
    bool saved = false;
    main.SetModalRunner([&](QDialog& dialog) {
        if (auto* settings = qobject_cast<plinth::COptimizeDlg*>(&dialog)) {
            for (QComboBox* list : settings->findChildren<QComboBox*>()) {
                list->setCurrentIndex(0);
            }
            saved = WaitForMeasurement(*settings) &&
                    Save(*settings, folder, "optimize-settings-full.png");
        } else {
            saved = Save(dialog, folder, "refusal.png") && saved;
        }
        dialog.accept();
        return dialog.result();
    });
    main.OpenBook(book);
    main.OnOptimize();
    main.SetModalRunner(plinth::RunModal);
    if (!saved) {
        std::fprintf(stderr, "plinth-screenshots: the refusal was not shown\n");
    }
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    const QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 5) {
        std::fprintf(
            stderr, "usage: plinth-screenshots BOOK BOOK-AT-A-LONG-PATH FULL-BOOK OUTPUT-FOLDER\n");
        return 2;
    }
    std::string book = QDir(arguments.at(1)).absolutePath().toStdString();
    const QDir folder(arguments.at(4));

    // The analysis is held at the middle of the book while the window is taken.
    bool saved = true;
    bool taken = false;
    plinth::CPlinthDlg* window = nullptr;
    plinth::GatedFileSystem files;
    files.gates = {static_cast<uint64_t>(QFileInfo(arguments.at(1)).size() / 2)};
    // Once what the pass reported before the gate has been shown.
    int polls = 0;
    files.ready = [&] { return ++polls > 20; };
    files.look = [&] {
        taken = true;
        saved = Save(*window, folder, "main-window-pass.png") && saved;
    };
    plinth::CPlinthDlg main(files);
    window = &main;
    main.SetBookChooser([&](QWidget*) { return book; });
    main.show();
    main.OnOpenBook();
    main.OnAnalyse();
    if (!taken) {
        std::fprintf(stderr, "plinth-screenshots: the analysis did not reach the book's middle\n");
        saved = false;
    }
    saved = Save(main, folder, "main-window.png") && saved;

    plinth::SettingsModel measured(
        main.Book(), [&main](std::function<void()> task) { main.Post(std::move(task)); });
    measured.Measure();
    plinth::COptimizeDlg settings(measured, &main);
    if (!WaitForMeasurement(settings)) {
        std::fprintf(stderr, "plinth-screenshots: the settings dialog did not measure the book\n");
        saved = false;
    }
    saved = Save(settings, folder, "optimize-settings.png") && saved;

    // The settings as they are after an analysis that found records of another
    // size than the header's: the check box that reads the book so, chosen.
    plinth::SettingsModel readAs(
        main.Book(), [&main](std::function<void()> task) { main.Post(std::move(task)); }, 2048);
    readAs.Measure();
    readAs.ReadAsLikelySize(true);
    plinth::COptimizeDlg readAsSettings(readAs, &main);
    saved = WaitForMeasurement(readAsSettings) &&
            Save(readAsSettings, folder, "optimize-settings-read-as.png") && saved;

    plinth::CAboutDlg about(&main);
    saved = Save(about, folder, "about.png") && saved;
    saved = SaveBookSelection(main, book, folder) && saved;
    saved = SaveLongLine(main, QDir(arguments.at(2)).absolutePath().toStdString(), folder) && saved;
    saved = SaveRefusal(main, QDir(arguments.at(3)).absolutePath().toStdString(), folder) && saved;
    return saved ? 0 : 1;
}
