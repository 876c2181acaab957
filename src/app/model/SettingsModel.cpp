#include "app/model/SettingsModel.h"

#include <algorithm>
#include <utility>

#include "app/model/OpenBookFiles.h"
#include "book/StoppableFileSystem.h"

namespace plinth {

SettingsModel::SettingsModel(const BookReader& book, Poster post,
                             std::optional<int> likelyRecordSize)
    : m_book(book),
      m_post(std::move(post)),
      m_likelyRecordSize(likelyRecordSize),
      m_self(std::make_shared<SettingsModel*>(this)) {
    SetHashIndexSize(book.InputHeader().hashIndexSize);
    SetRecordSize(book.InputHeader().recordSize);
}

SettingsModel::~SettingsModel() {
    // A task the pass posted finds the settings gone.
    m_self.reset();
    Abandon();
}

void SettingsModel::SetHashIndexSize(int size) {
    m_nHashIndexSel = SelectionOfSize(kHashIndexSizeTable, size, m_nHashIndexSel);
}

void SettingsModel::SetRecordSize(int size) {
    m_nRecordSizeSel = SelectionOfSize(kRecordSizeTable, size, m_nRecordSizeSel);
}

void SettingsModel::SelectLines(int recordSizeLine, int hashIndexSizeLine) {
    m_nRecordSizeSel = recordSizeLine;
    m_nHashIndexSel = hashIndexSizeLine;
}

int SettingsModel::GetRecordSize() const {
    return SizeAtSelection(kRecordSizeTable, m_nRecordSizeSel);
}

int SettingsModel::GetHashIndexSize() const {
    return SizeAtSelection(kHashIndexSizeTable, m_nHashIndexSel);
}

void SettingsModel::Measure() {
    m_bMeasuring = true;
    m_measurement.reset();
    // The pass touches nothing of the settings: it posts its figures to the
    // dialog's thread, where they are taken only while the settings live and no
    // other pass has replaced it. Replacing a pass stops it and waits for it.
    m_measuring = std::jthread([this, self = std::weak_ptr(m_self), pass = ++m_nPass,
                                readAs = InputRecordSize()](const std::stop_token& stop) {
        OpenBookFiles files(m_book);
        StoppableFileSystem stoppable(files, stop);
        auto measurement = std::make_shared<BookMeasurement>(
            BookMeasurement::Measure(m_book.InputPath(), stoppable, readAs));
        if (stop.stop_requested()) {
            return;
        }
        m_post([self, measurement, pass] {
            const std::shared_ptr<SettingsModel*> settings = self.lock();
            if (settings && (*settings)->m_nPass == pass) {
                (*settings)->m_bMeasuring = false;
                (*settings)->m_measurement = std::move(*measurement);
                (*settings)->Changed();
            }
        });
    });
}

std::string SettingsModel::PredictionLine() const {
    if (m_measurement) {
        return m_measurement->Describe(Selected());
    }
    return m_bMeasuring ? "Measuring the book\u2026" : "";
}

std::string SettingsModel::RecommendationLine() const {
    return m_measurement ? m_measurement->DescribeRecommended() : "";
}

bool SettingsModel::CanUseRecommended() const {
    return m_measurement && m_measurement->Recommended() &&
           *m_measurement->Recommended() != Selected();
}

void SettingsModel::UseRecommended() {
    if (!CanUseRecommended()) {
        return;
    }
    SetRecordSize(m_measurement->Recommended()->recordSize);
    SetHashIndexSize(m_measurement->Recommended()->hashIndexSize);
    Changed();
}

std::string SettingsModel::ReadAsLine() const {
    if (!m_likelyRecordSize) {
        return {};
    }
    return "Read the book as records of " + std::to_string(*m_likelyRecordSize) +
           " bytes (its header says " + std::to_string(m_book.InputHeader().recordSize) + ")";
}

void SettingsModel::ReadAsLikelySize(bool chosen) {
    if (!m_likelyRecordSize || chosen == m_bReadAsLikely) {
        return;
    }
    m_bReadAsLikely = chosen;
    if (m_bMeasuring || m_measurement) {
        Measure();
    }
    Changed();
}

std::optional<int> SettingsModel::InputRecordSize() const {
    return m_bReadAsLikely ? m_likelyRecordSize : std::nullopt;
}

std::string SettingsModel::Refusal() const {
    if (!m_measurement) {
        return {};
    }
    const std::vector<Prediction>& predictions = m_measurement->Predictions();
    const auto found = std::find_if(predictions.begin(), predictions.end(),
                                    [&](const Prediction& p) { return p.sizes == Selected(); });
    return found != predictions.end() ? RefusalOf(*found) : std::string();
}

void SettingsModel::Changed() const {
    if (m_changed) {
        m_changed();
    }
}

}  // namespace plinth
