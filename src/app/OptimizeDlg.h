#pragma once

// The "Optimize settings" dialog: the user chooses the record size and the
// HashIndex size of the converted book from the sizes the conversion offers. It
// shows the settings model (SettingsModel), which holds the selected lines, the
// measuring of the open book and its lines: below the lists a line tells what
// the conversion into the selected pair would produce, and another names the
// pair recommended for the book, which "Use recommended" selects. Where the
// analysis found that the book's records fit another record size than its
// header's, a check box above those lines reads the book as records of that size.

#include <QDialog>

#include "app/model/SettingsModel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace plinth {

class COptimizeDlg final : public QDialog {
    Q_OBJECT

  public:
    // `settings` outlives the dialog.
    explicit COptimizeDlg(SettingsModel& settings, QWidget* parent = nullptr);
    COptimizeDlg(const COptimizeDlg&) = delete;
    COptimizeDlg& operator=(const COptimizeDlg&) = delete;
    ~COptimizeDlg() override;

    // Closes the dialog and abandons the settings' measuring.
    void done(int result) override;

  private:
    // The lists, the lines and "Use recommended" as the settings have them.
    void ShowSettings();

    SettingsModel& m_settings;
    // Owned by the dialog, as its children.
    QComboBox* m_cmbRecordSize;
    QComboBox* m_cmbHashIndexSize;
    QCheckBox* m_chkReadAs;
    QLabel* m_lblPrediction;
    QLabel* m_lblRecommended;
    QPushButton* m_btnUseRecommended;
};

}  // namespace plinth
