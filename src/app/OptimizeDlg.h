#pragma once

// The "Optimize settings" dialog: the user chooses the record size and the
// HashIndex size of the converted book from the sizes the conversion offers. It
// opens with the open book's own sizes selected where the lists hold them.

#include <QDialog>

class QComboBox;

namespace plinth {

class COptimizeDlg final : public QDialog {
    Q_OBJECT

  public:
    explicit COptimizeDlg(QWidget* parent = nullptr);

    // Select the line of the given size; a size the list does not offer leaves
    // the selection as it is.
    void SetHashIndexSize(int size);
    void SetRecordSize(int size);

    // The sizes chosen when the dialog was confirmed with OK; -1 for a list
    // without a selection.
    int GetHashIndexSize() const;
    int GetRecordSize() const;

    // Takes the selected lines over, then closes with the OK result.
    void accept() override;

  private:
    // Lines of the two lists, by position; 0 (the first line) after construction.
    int m_nHashIndexSel = 0;
    int m_nRecordSizeSel = 0;

    // Owned by the dialog, as its children.
    QComboBox* m_cmbRecordSize;
    QComboBox* m_cmbHashIndexSize;
};

}  // namespace plinth
