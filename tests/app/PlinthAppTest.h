#pragma once

// The program as a whole: its start-up, the About box, the help page, and the
// console's keeping of the exact text.

#include <QObject>

namespace plinth::test {

class PlinthAppTest : public QObject {
    Q_OBJECT

  private slots:
    void startUpOpensTheBookOfTheCommandLine();
    void failedComponentServicesEndTheProgramWithAMessage();
    void aboutBoxComesFromTheContextMenu();
    void helpOpensTheProgramsHelpPage();
    void helpIsFoundWhereItIsInstalled();
    void consoleKeepsTheExactText();
};

}  // namespace plinth::test
