#include "app/OptimizeDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <span>

#include "maintenance/OptimizeSettings.h"
#include "ui/DialogLayout.h"

namespace plinth {
namespace {

using ui::DialogLayout;
using ui::Sizing;

// The dialog's template, in dialog units.
constexpr QSize kTemplateSize(238, 94);
constexpr QRect kOkButton(123, 73, 50, 14);
constexpr QRect kCancelButton(181, 73, 50, 14);
constexpr QRect kRecordSizeList(90, 7, 57, 77);
constexpr QRect kRecordSizeLabel(7, 10, 54, 8);
constexpr QRect kHashIndexSizeLabel(7, 29, 69, 8);
constexpr QRect kHashIndexSizeList(90, 27, 56, 73);

// A drop-down list with one line per size of the table, in table order.
QComboBox* MakeSizeList(QWidget* parent, std::span<const int> table) {
    auto* list = new QComboBox(parent);
    list->setEditable(false);
    for (const int size : table) {
        if (size <= 0) {
            break;
        }
        list->addItem(QString::number(size));
    }
    return list;
}

}  // namespace

COptimizeDlg::COptimizeDlg(QWidget* parent)
    : QDialog(parent),
      m_cmbRecordSize(MakeSizeList(this, kRecordSizeTable)),
      m_cmbHashIndexSize(MakeSizeList(this, kHashIndexSizeTable)) {
    setWindowTitle(QStringLiteral("Optimize settings"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(ok, &QPushButton::clicked, this, &COptimizeDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &COptimizeDlg::reject);
    auto* recordLabel = new QLabel(QStringLiteral("New record size:"), this);
    auto* hashLabel = new QLabel(QStringLiteral("New Hash index size:"), this);

    // Template order, which is also the tab order.
    auto* layout = new DialogLayout(this, kTemplateSize);
    layout->AddWidget(ok, kOkButton);
    layout->AddWidget(cancel, kCancelButton);
    layout->AddWidget(m_cmbRecordSize, kRecordSizeList, Sizing::NaturalHeight);
    layout->AddWidget(recordLabel, kRecordSizeLabel, Sizing::FitText);
    layout->AddWidget(hashLabel, kHashIndexSizeLabel, Sizing::FitText);
    layout->AddWidget(m_cmbHashIndexSize, kHashIndexSizeList, Sizing::NaturalHeight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, m_cmbRecordSize);
    setTabOrder(m_cmbRecordSize, m_cmbHashIndexSize);
}

void COptimizeDlg::SetHashIndexSize(int size) {
    m_nHashIndexSel = PreselectSize(kHashIndexSizeTable, size, m_nHashIndexSel);
    m_cmbHashIndexSize->setCurrentIndex(m_nHashIndexSel);
}

void COptimizeDlg::SetRecordSize(int size) {
    m_nRecordSizeSel = PreselectSize(kRecordSizeTable, size, m_nRecordSizeSel);
    m_cmbRecordSize->setCurrentIndex(m_nRecordSizeSel);
}

int COptimizeDlg::GetHashIndexSize() const {
    return SizeAtSelection(kHashIndexSizeTable, m_nHashIndexSel);
}

int COptimizeDlg::GetRecordSize() const {
    return SizeAtSelection(kRecordSizeTable, m_nRecordSizeSel);
}

void COptimizeDlg::accept() {
    m_nHashIndexSel = m_cmbHashIndexSize->currentIndex();
    m_nRecordSizeSel = m_cmbRecordSize->currentIndex();
    QDialog::accept();
}

}  // namespace plinth
