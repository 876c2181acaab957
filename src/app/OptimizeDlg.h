#pragma once

// The "Optimize settings" dialog: the user chooses the record size and the
// HashIndex size of the converted book from the sizes the conversion offers. It
// opens with the open book's own sizes selected where the lists hold them.
//
// Below the lists a line tells what the conversion into the selected pair would
// produce, and another names the pair recommended for the book, which "Use
// recommended" selects. The figures come from a pass over the book that runs on
// a thread of its own while the dialog is open; closing the dialog abandons it.

#include <QDialog>
#include <optional>
#include <string>
#include <thread>

#include "book/BookReader.h"
#include "maintenance/BookMeasurement.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace plinth {

class COptimizeDlg final : public QDialog {
    Q_OBJECT

  public:
    explicit COptimizeDlg(QWidget* parent = nullptr);
    COptimizeDlg(const COptimizeDlg&) = delete;
    COptimizeDlg& operator=(const COptimizeDlg&) = delete;
    // Waits for an abandoned pass to give up, which it does at its next read.
    ~COptimizeDlg() override;

    // Select the line of the given size; a size the list does not offer leaves
    // the selection as it is.
    void SetHashIndexSize(int size);
    void SetRecordSize(int size);

    // Starts measuring the book that `book` has open, in a reader of its own on a
    // thread of its own; until the figures are there the line says "Measuring the
    // book…". Once per dialog, before it opens. `book` must keep its book open
    // until the dialog is destroyed.
    void MeasureBook(const BookReader& book);

    // The sizes chosen when the dialog was confirmed with OK; -1 for a list
    // without a selection.
    int GetHashIndexSize() const;
    int GetRecordSize() const;
    // Why the conversion into the sizes chosen cannot be made, as the measuring
    // foretold it (RefusalOf); "" when it can, or the figures were not there yet.
    std::string Refusal() const;

    // Takes the selected lines over, then closes with the OK result.
    void accept() override;
    // Closes the dialog and abandons the measuring pass.
    void done(int result) override;

  signals:
    // The measuring pass is done; sent from its thread.
    void MeasurementArrived(plinth::BookMeasurement measurement);

  private:
    // The pair of the selected lines.
    SizePair SelectedPair() const;
    // On the dialog's thread: the figures have come.
    void ShowMeasurement(BookMeasurement measurement);
    // The line of the selected pair and the recommendation, as far as known.
    void UpdatePrediction();
    void OnUseRecommended();

    // Lines of the two lists, by position; 0 (the first line) after construction.
    int m_nHashIndexSel = 0;
    int m_nRecordSizeSel = 0;

    // Owned by the dialog, as its children.
    QComboBox* m_cmbRecordSize;
    QComboBox* m_cmbHashIndexSize;
    QLabel* m_lblPrediction;
    QLabel* m_lblRecommended;
    QPushButton* m_btnUseRecommended;

    bool m_bMeasuring = false;
    std::optional<BookMeasurement> m_measurement;
    // Last, so that it is stopped and joined before anything else of the dialog goes.
    std::jthread m_measuring;
};

}  // namespace plinth
