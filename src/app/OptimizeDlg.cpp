#include "app/OptimizeDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <span>
#include <string_view>
#include <utility>

#include "app/OpenBookFiles.h"
#include "app/ShownText.h"
#include "book/StoppableFileSystem.h"
#include "maintenance/OptimizeSettings.h"
#include "ui/DialogLayout.h"

namespace plinth {
namespace {

using ui::DialogLayout;
using ui::Sizing;

// The dialog's template, in dialog units. Below the lists: the prediction of
// the selected pair (up to three lines) and the recommendation (up to two).
constexpr QSize kTemplateSize(238, 115);
constexpr QRect kOkButton(123, 94, 50, 14);
constexpr QRect kCancelButton(181, 94, 50, 14);
constexpr QRect kRecordSizeList(90, 7, 57, 77);
constexpr QRect kRecordSizeLabel(7, 10, 54, 8);
constexpr QRect kHashIndexSizeLabel(7, 29, 69, 8);
constexpr QRect kHashIndexSizeList(90, 27, 56, 73);
constexpr QRect kPredictionLine(7, 47, 224, 24);
constexpr QRect kRecommendationLine(7, 73, 224, 16);
constexpr QRect kUseRecommendedButton(7, 94, 64, 14);

// A drop-down list with one line per size of the table, in table order.
QComboBox* MakeSizeList(QWidget* parent, std::span<const int> table) {
    auto* list = new QComboBox(parent);
    list->setEditable(false);
    for (const int size : OfferedSizes(table)) {
        list->addItem(QString::number(size));
    }
    return list;
}

// A static text that wraps its lines and shows its text as it is.
QLabel* MakeLine(QWidget* parent, const char* name) {
    auto* line = new QLabel(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setTextFormat(Qt::PlainText);
    line->setWordWrap(true);
    line->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return line;
}

}  // namespace

COptimizeDlg::COptimizeDlg(QWidget* parent)
    : QDialog(parent),
      m_cmbRecordSize(MakeSizeList(this, kRecordSizeTable)),
      m_cmbHashIndexSize(MakeSizeList(this, kHashIndexSizeTable)),
      m_lblPrediction(MakeLine(this, "prediction")),
      m_lblRecommended(MakeLine(this, "recommendation")),
      m_btnUseRecommended(new QPushButton(QStringLiteral("Use recommended"), this)) {
    setWindowTitle(QStringLiteral("Optimize settings"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_btnUseRecommended->setObjectName(QStringLiteral("useRecommended"));
    connect(ok, &QPushButton::clicked, this, &COptimizeDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &COptimizeDlg::reject);
    connect(m_btnUseRecommended, &QPushButton::clicked, this, &COptimizeDlg::OnUseRecommended);
    connect(this, &COptimizeDlg::MeasurementArrived, this, &COptimizeDlg::ShowMeasurement,
            Qt::QueuedConnection);
    for (QComboBox* list : {m_cmbRecordSize, m_cmbHashIndexSize}) {
        connect(list, &QComboBox::currentIndexChanged, this, &COptimizeDlg::UpdatePrediction);
    }
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
    layout->AddWidget(m_lblPrediction, kPredictionLine);
    layout->AddWidget(m_lblRecommended, kRecommendationLine);
    layout->AddWidget(m_btnUseRecommended, kUseRecommendedButton, Sizing::FitText);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, m_cmbRecordSize);
    setTabOrder(m_cmbRecordSize, m_cmbHashIndexSize);
    setTabOrder(m_cmbHashIndexSize, m_btnUseRecommended);
    UpdatePrediction();
}

COptimizeDlg::~COptimizeDlg() = default;

void COptimizeDlg::SetHashIndexSize(int size) {
    m_nHashIndexSel = SelectionOfSize(kHashIndexSizeTable, size, m_nHashIndexSel);
    m_cmbHashIndexSize->setCurrentIndex(m_nHashIndexSel);
}

void COptimizeDlg::SetRecordSize(int size) {
    m_nRecordSizeSel = SelectionOfSize(kRecordSizeTable, size, m_nRecordSizeSel);
    m_cmbRecordSize->setCurrentIndex(m_nRecordSizeSel);
}

void COptimizeDlg::MeasureBook(const BookReader& book) {
    m_bMeasuring = true;
    m_measurement.reset();
    UpdatePrediction();
    // The worker touches nothing of the dialog: it sends the figures to the
    // dialog's thread, and the dialog joins it before the dialog goes.
    m_measuring = std::jthread([this, &book](const std::stop_token& stop) {
        OpenBookFiles files(book);
        StoppableFileSystem stoppable(files, stop);
        BookMeasurement measurement = BookMeasurement::Measure(book.InputPath(), stoppable);
        if (stop.stop_requested()) {
            return;
        }
        // Queued to the dialog's thread.
        emit MeasurementArrived(std::move(measurement));
    });
}

int COptimizeDlg::GetHashIndexSize() const {
    return SizeAtSelection(kHashIndexSizeTable, m_nHashIndexSel);
}

int COptimizeDlg::GetRecordSize() const {
    return SizeAtSelection(kRecordSizeTable, m_nRecordSizeSel);
}

std::string COptimizeDlg::Refusal() const {
    if (!m_measurement) {
        return {};
    }
    const SizePair chosen{GetRecordSize(), GetHashIndexSize()};
    for (const Prediction& prediction : m_measurement->Predictions()) {
        if (prediction.sizes == chosen) {
            return RefusalOf(prediction);
        }
    }
    return {};
}

void COptimizeDlg::accept() {
    m_nHashIndexSel = m_cmbHashIndexSize->currentIndex();
    m_nRecordSizeSel = m_cmbRecordSize->currentIndex();
    QDialog::accept();
}

void COptimizeDlg::done(int result) {
    // The pass stops at its next read; the destructor waits for that.
    m_measuring.request_stop();
    QDialog::done(result);
}

SizePair COptimizeDlg::SelectedPair() const {
    return {SizeAtSelection(kRecordSizeTable, m_cmbRecordSize->currentIndex()),
            SizeAtSelection(kHashIndexSizeTable, m_cmbHashIndexSize->currentIndex())};
}

void COptimizeDlg::ShowMeasurement(BookMeasurement measurement) {
    m_bMeasuring = false;
    m_measurement = std::move(measurement);
    UpdatePrediction();
}

void COptimizeDlg::UpdatePrediction() {
    QString prediction;
    QString recommendation;
    bool canUseRecommended = false;
    if (m_measurement) {
        const SizePair selected = SelectedPair();
        prediction = ShownText(m_measurement->Describe(selected));
        recommendation = ShownText(m_measurement->DescribeRecommended());
        canUseRecommended =
            m_measurement->Recommended().has_value() && *m_measurement->Recommended() != selected;
    } else if (m_bMeasuring) {
        prediction = QStringLiteral("Measuring the book\u2026");
    }
    m_lblPrediction->setText(prediction);
    // A long path may not fit the line.
    m_lblPrediction->setToolTip(prediction);
    m_lblRecommended->setText(recommendation);
    m_btnUseRecommended->setEnabled(canUseRecommended);
}

void COptimizeDlg::OnUseRecommended() {
    if (!m_measurement || !m_measurement->Recommended()) {
        return;
    }
    const SizePair recommended = *m_measurement->Recommended();
    m_cmbRecordSize->setCurrentIndex(
        SelectionOfSize(kRecordSizeTable, recommended.recordSize, m_cmbRecordSize->currentIndex()));
    m_cmbHashIndexSize->setCurrentIndex(SelectionOfSize(
        kHashIndexSizeTable, recommended.hashIndexSize, m_cmbHashIndexSize->currentIndex()));
}

}  // namespace plinth
