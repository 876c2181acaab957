// plinth-screenshots: renders what the desktop program shows into PNG files: the
// main window after the analysis of a book, the optimize settings dialog and the
// About box. Runs without a display (QT_QPA_PLATFORM=offscreen).

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <string>

#include "app/AboutDlg.h"
#include "app/PlinthDlg.h"
#include "maintenance/OptimizeDlg.h"

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

}  // namespace

int main(int argc, char** argv) {
    const QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: plinth-screenshots BOOK OUTPUT-FOLDER\n");
        return 2;
    }
    std::string book = QDir(arguments.at(1)).absolutePath().toStdString();
    const QDir folder(arguments.at(2));

    plinth::CPlinthDlg main;
    main.SetBookChooser([&](QWidget*) { return book; });
    main.show();
    main.OnOpenBook();
    main.OnAnalyse();
    bool saved = Save(main, folder, "main-window.png");

    plinth::COptimizeDlg settings(&main);
    settings.SetHashIndexSize(main.Book().InputHeader().hashIndexSize);
    settings.SetRecordSize(main.Book().InputHeader().recordSize);
    saved = Save(settings, folder, "optimize-settings.png") && saved;

    plinth::CAboutDlg about(&main);
    saved = Save(about, folder, "about.png") && saved;
    return saved ? 0 : 1;
}
