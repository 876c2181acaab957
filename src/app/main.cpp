// plinth: the desktop program that shows, analyses and optimizes opening books.

#include <QApplication>

#include "app/PlinthApp.h"

int main(int argc, char** argv) {
    const QApplication application(argc, argv);
    plinth::CPlinthApp app(QApplication::arguments());
    app.InitInstance();
    return app.ExitCode();
}
