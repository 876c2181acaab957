#pragma once

// The book selection dialog as a person uses it: the preview of the files, folders
// and books selected in its list, with the real book-information plugin, with a
// component that gives odd answers and with none at all, and the book folder that
// it remembers.

#include <QObject>

namespace plinth::test {

class SelectBookDlgTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void previewDescribesTheCurrentEntry();
    void previewShowsWhatTheComponentAnswers();
    void withoutThePluginEveryFileIsNoBookAndTheBookStillOpens();
    void theFolderOfTheChosenBookIsTheNextStartFolder();
};

}  // namespace plinth::test
