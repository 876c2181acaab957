#include "app/OptimizeDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <vector>

#include "app/ShownText.h"
#include "ui/DialogLayout.h"

namespace plinth {
namespace {

using ui::DialogLayout;
using ui::Sizing;

// The dialog's template, in dialog units. Below the lists: the prediction of
// the selected pair (up to three lines) and the recommendation (up to two); when
// the settings offer to read the book as records of another size, the check box
// comes first and what follows it moves down by kReadAsRow.
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
constexpr QRect kReadAsBox(7, 47, 224, 10);
constexpr int kReadAsRow = 14;

// A drop-down list with one line per size, in order.
QComboBox* MakeSizeList(QWidget* parent, const std::vector<int>& sizes) {
    auto* list = new QComboBox(parent);
    list->setEditable(false);
    for (const int size : sizes) {
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

COptimizeDlg::COptimizeDlg(SettingsModel& settings, QWidget* parent)
    : QDialog(parent),
      m_settings(settings),
      m_cmbRecordSize(MakeSizeList(this, SettingsModel::RecordSizes())),
      m_cmbHashIndexSize(MakeSizeList(this, SettingsModel::HashIndexSizes())),
      m_chkReadAs(new QCheckBox(ShownText(settings.ReadAsLine()), this)),
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
    connect(m_btnUseRecommended, &QPushButton::clicked, this,
            [this] { m_settings.UseRecommended(); });
    auto* recordLabel = new QLabel(QStringLiteral("New record size:"), this);
    auto* hashLabel = new QLabel(QStringLiteral("New Hash index size:"), this);
    m_chkReadAs->setObjectName(QStringLiteral("readAs"));
    connect(m_chkReadAs, &QCheckBox::toggled, this,
            [this](bool checked) { m_settings.ReadAsLikelySize(checked); });
    const bool offered = !settings.ReadAsLine().empty();
    m_chkReadAs->setVisible(offered);
    const int down = offered ? kReadAsRow : 0;

    // Template order, which is also the tab order.
    auto* layout = new DialogLayout(this, kTemplateSize + QSize(0, down));
    layout->AddWidget(ok, kOkButton.translated(0, down));
    layout->AddWidget(cancel, kCancelButton.translated(0, down));
    layout->AddWidget(m_cmbRecordSize, kRecordSizeList, Sizing::NaturalHeight);
    layout->AddWidget(recordLabel, kRecordSizeLabel, Sizing::FitText);
    layout->AddWidget(hashLabel, kHashIndexSizeLabel, Sizing::FitText);
    layout->AddWidget(m_cmbHashIndexSize, kHashIndexSizeList, Sizing::NaturalHeight);
    layout->AddWidget(m_chkReadAs, kReadAsBox, Sizing::FitText);
    layout->AddWidget(m_lblPrediction, kPredictionLine.translated(0, down));
    layout->AddWidget(m_lblRecommended, kRecommendationLine.translated(0, down));
    layout->AddWidget(m_btnUseRecommended, kUseRecommendedButton.translated(0, down),
                      Sizing::FitText);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, m_cmbRecordSize);
    setTabOrder(m_cmbRecordSize, m_cmbHashIndexSize);
    setTabOrder(m_cmbHashIndexSize, m_chkReadAs);
    setTabOrder(m_chkReadAs, m_btnUseRecommended);

    ShowSettings();
    m_settings.OnChange([this] { ShowSettings(); });
    for (QComboBox* list : {m_cmbRecordSize, m_cmbHashIndexSize}) {
        connect(list, &QComboBox::currentIndexChanged, this, [this] {
            m_settings.SelectLines(m_cmbRecordSize->currentIndex(),
                                   m_cmbHashIndexSize->currentIndex());
            ShowSettings();
        });
    }
}

COptimizeDlg::~COptimizeDlg() { m_settings.OnChange({}); }

void COptimizeDlg::done(int result) {
    m_settings.Abandon();
    QDialog::done(result);
}

void COptimizeDlg::ShowSettings() {
    const QSignalBlocker recordSizes(m_cmbRecordSize);
    const QSignalBlocker hashIndexSizes(m_cmbHashIndexSize);
    const QSignalBlocker readAs(m_chkReadAs);
    m_chkReadAs->setChecked(m_settings.ReadsAsLikelySize());
    m_cmbRecordSize->setCurrentIndex(m_settings.RecordSizeLine());
    m_cmbHashIndexSize->setCurrentIndex(m_settings.HashIndexSizeLine());
    const QString prediction = ShownText(m_settings.PredictionLine());
    m_lblPrediction->setText(prediction);
    // A long path may not fit the line.
    m_lblPrediction->setToolTip(prediction);
    m_lblRecommended->setText(ShownText(m_settings.RecommendationLine()));
    m_btnUseRecommended->setEnabled(m_settings.CanUseRecommended());
}

}  // namespace plinth
