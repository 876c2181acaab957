#pragma once

// The optimize settings dialog on its own: the lines it offers, the sizes it
// preselects, and what OK and the ways of cancelling give back.

#include <QObject>

namespace plinth::test {

class OptimizeDlgTest : public QObject {
    Q_OBJECT

  private slots:
    void offersTheSizesOfTheTables();
    void preselectsTheBookSizes_data();
    void preselectsTheBookSizes();
    void okGivesTheChosenLines();
    void cancellingKeepsTheSizesGivenBefore_data();
    void cancellingKeepsTheSizesGivenBefore();
};

}  // namespace plinth::test
