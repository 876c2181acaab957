// The optimize settings dialog on its own: the lines it offers, the sizes it
// preselects, and what OK and the ways of cancelling give back.

#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <memory>

#include "OptimizeDlgTest.h"

#include "AppTestSupport.h"
#include "maintenance/OptimizeDlg.h"

namespace plinth::test {
namespace {

QStringList Lines(const QComboBox* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) {
        lines << list->itemText(i);
    }
    return lines;
}

// The two lists, in tab order: the record sizes, then the HashIndex sizes.
std::pair<QComboBox*, QComboBox*> Lists(const COptimizeDlg& dialog) {
    const QList<QComboBox*> lists = dialog.findChildren<QComboBox*>();
    QComboBox* record = lists.at(0);
    QComboBox* hash = lists.at(1);
    if (record->count() > hash->count()) {
        std::swap(record, hash);
    }
    return {record, hash};
}

}  // namespace

void OptimizeDlgTest::offersTheSizesOfTheTables() {
    COptimizeDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Optimize settings"));
    const auto [record, hash] = Lists(dialog);
    QCOMPARE(Lines(record), QStringList({"1024", "2048", "4096", "8192", "16384"}));
    QCOMPARE(Lines(hash), QStringList({"1024", "2048", "4096", "8192", "16384", "32768"}));
    QVERIFY(!record->isEditable() && !hash->isEditable());
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        labels << label->text();
    }
    labels.sort();
    QCOMPARE(labels, QStringList({"New Hash index size:", "New record size:"}));
}

void OptimizeDlgTest::preselectsTheBookSizes_data() {
    QTest::addColumn<int>("bookRecordSize");
    QTest::addColumn<int>("bookHashIndexSize");
    QTest::addColumn<QString>("recordLine");
    QTest::addColumn<QString>("hashLine");
    QTest::newRow("both offered") << 4096 << 8192 << "4096"
                                  << "8192";
    QTest::newRow("neither offered") << 512 << 3000 << "1024"
                                     << "1024";
    QTest::newRow("largest hash index") << 32768 << 32768 << "1024"
                                        << "32768";
}

void OptimizeDlgTest::preselectsTheBookSizes() {
    QFETCH(int, bookRecordSize);
    QFETCH(int, bookHashIndexSize);
    QFETCH(QString, recordLine);
    QFETCH(QString, hashLine);
    COptimizeDlg dialog;
    dialog.SetHashIndexSize(bookHashIndexSize);
    dialog.SetRecordSize(bookRecordSize);
    const auto [record, hash] = Lists(dialog);

    ModalDriver driver;
    driver.Then([](QWidget* modal) { ClickButton(modal, QStringLiteral("OK")); });
    QCOMPARE(dialog.exec(), int{QDialog::Accepted});
    QCOMPARE(record->currentText(), recordLine);
    QCOMPARE(hash->currentText(), hashLine);
    QCOMPARE(dialog.GetRecordSize(), recordLine.toInt());
    QCOMPARE(dialog.GetHashIndexSize(), hashLine.toInt());
}

void OptimizeDlgTest::okGivesTheChosenLines() {
    COptimizeDlg dialog;
    dialog.SetRecordSize(1024);
    dialog.SetHashIndexSize(1024);
    const auto [record, hash] = Lists(dialog);
    ModalDriver driver;
    driver.Then([&, record = record, hash = hash](QWidget* modal) {
        // Third line of the record sizes, last line of the HashIndex sizes.
        QTest::keyClick(record, Qt::Key_Down);
        QTest::keyClick(record, Qt::Key_Down);
        QTest::keyClick(hash, Qt::Key_End);
        ClickButton(modal, QStringLiteral("OK"));
    });
    QCOMPARE(dialog.exec(), int{QDialog::Accepted});
    QCOMPARE(dialog.GetRecordSize(), 4096);
    QCOMPARE(dialog.GetHashIndexSize(), 32768);
}

void OptimizeDlgTest::cancellingKeepsTheSizesGivenBefore_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "Cancel";
    QTest::newRow("Escape") << "Escape";
    QTest::newRow("close box") << "close";
}

void OptimizeDlgTest::cancellingKeepsTheSizesGivenBefore() {
    QFETCH(QString, how);
    COptimizeDlg dialog;
    dialog.SetRecordSize(2048);
    dialog.SetHashIndexSize(4096);
    const auto [record, hash] = Lists(dialog);
    ModalDriver driver;
    driver.Then([&, record = record](QWidget* modal) {
        QTest::keyClick(record, Qt::Key_End);
        if (how == "Cancel") {
            ClickButton(modal, how);
        } else if (how == "Escape") {
            QTest::keyClick(modal, Qt::Key_Escape);
        } else {
            modal->close();
        }
    });
    QCOMPARE(dialog.exec(), int{QDialog::Rejected});
    QCOMPARE(dialog.GetRecordSize(), 2048);
    QCOMPARE(dialog.GetHashIndexSize(), 4096);
}

}  // namespace plinth::test
