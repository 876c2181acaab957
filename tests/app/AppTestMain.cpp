// Runs the tests of the desktop program, each test class apart when its name is
// the first argument (as CTest runs them), else all of them.

#include <QApplication>
#include <QTest>
#include <cstdio>
#include <memory>
#include <vector>

#include "AppTestSupport.h"
#include "OptimizeDlgTest.h"
#include "PlinthAppTest.h"
#include "PlinthDlgTest.h"
#include "SelectBookDlgTest.h"

int main(int argc, char** argv) {
    using namespace plinth::test;
    const HermeticEnvironment environment;
    int qtArgc = argc;
    const QApplication application(qtArgc, argv);

    const std::vector<std::unique_ptr<QObject>> tests = [] {
        std::vector<std::unique_ptr<QObject>> all;
        all.push_back(std::make_unique<OptimizeDlgTest>());
        all.push_back(std::make_unique<PlinthDlgTest>());
        all.push_back(std::make_unique<PlinthAppTest>());
        all.push_back(std::make_unique<SelectBookDlgTest>());
        return all;
    }();

    std::vector<char*> arguments(argv, argv + argc);
    const char* only = nullptr;
    if (argc > 1 && argv[1][0] != '-') {
        only = argv[1];
        arguments.erase(arguments.begin() + 1);
    }
    int failures = 0;
    int run = 0;
    for (const auto& test : tests) {
        // The class name without its namespaces.
        const QByteArray name = QByteArray(test->metaObject()->className()).split(':').last();
        if (only == nullptr || name == only) {
            ++run;
            failures +=
                QTest::qExec(test.get(), static_cast<int>(arguments.size()), arguments.data());
        }
    }
    if (run == 0) {
        std::fprintf(stderr, "app_test: no test class %s\n", only);
        return 1;
    }
    return failures == 0 ? 0 : 1;
}
