// plinth: the desktop program that shows, analyses and optimizes opening books.

#include <QApplication>
#include <string>
#include <vector>

#include "app/PlinthApp.h"

int main(int argc, char** argv) {
    // Qt takes its own options out of argc and argv.
    const QApplication application(argc, argv);
    plinth::CPlinthApp app(std::vector<std::string>(argv, argv + argc));
    app.InitInstance();
    return app.ExitCode();
}
