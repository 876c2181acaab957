#pragma once

// The desktop program driven through its widgets, without a display.

#include <QObject>
#include <QUrl>

namespace plinth::test {

class PlinthAppTest : public QObject {
    Q_OBJECT

  public:
    // Takes the URLs that the program asks the desktop to open.
    Q_INVOKABLE void Open(const QUrl& url) { openedUrls << url; }
    QList<QUrl> openedUrls;

  private slots:
    void init();
    void startUpShowsTheBookOfTheCommandLine();
    void opensAnalysesAndOptimizesABook();
    void analysesDamagedBooks();
    void refusedAndFailedOptimizationsLeaveTheBook();
    void consoleKeepsTheExactText();
    void aboutBoxAndHelp();
    void previewDescribesTheCurrentEntry();
    void previewShowsWhatTheComponentAnswers();
    void withoutThePluginBooksOpenFromTheRememberedFolder();
};

}  // namespace plinth::test
