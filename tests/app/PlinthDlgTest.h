#pragma once

// The main window driven as a person uses it: books opened, analysed and
// optimized through the buttons and the dialogs they open, and what the list, the
// console, the progress bar, the buttons and the files show afterwards.

#include <QObject>

namespace plinth::test {

class PlinthDlgTest : public QObject {
    Q_OBJECT

  private slots:
    void startsWithoutABook();
    void listsTheAttributesOfTheChosenBook();
    void choosesBooksInTheBookFolder();
    void aFileThatIsNoBookClosesTheOpenBook();
    void analysesADamagedBookWithTheWaitCursorAndTheProgressBar();
    void optimizesWithTheChosenSizes();
    void cancelledSettingsLeaveEverythingAsItWas();
    void aRefusedSettingIsShownInAMessageBox();
    void aBookEndingTooEarlyStopsTheAnalysis();
    void aNewBookThatCannotBeCreatedStopsTheOptimization();
    void listAndConsoleGrowWithTheWindow();
    void enterOutsideTheButtonsEndsTheProgram();
};

}  // namespace plinth::test
