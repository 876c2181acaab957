#pragma once

// The optimize settings as a model, whatever dialog shows them: the two lists of
// sizes and their selected lines, preselected from the open book's own sizes;
// the line that foretells what the conversion into the selected pair would
// produce, and the recommended pair, from a pass over the open book that runs on
// a thread of its own while the dialog is open; the choice to read a book whose
// header's record size is damaged as records of the size its analysis named; and
// the refusal of a pair that the pass found does not fit.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "book/BookReader.h"
#include "maintenance/BookMeasurement.h"
#include "maintenance/OptimizeSettings.h"

namespace plinth {

class SettingsModel {
  public:
    // Runs a task on the dialog's thread (IWindowFace::Post).
    using Poster = std::function<void(std::function<void()>)>;

    // The settings for the book that `book` has open, its sizes selected where
    // the lists hold them. `book` keeps its book open while the settings live.
    // `likelyRecordSize`: the record size that the book's analysis found its
    // records fit far better than the header's (AnalysisReport::likelyRecordSize).
    SettingsModel(const BookReader& book, Poster post,
                  std::optional<int> likelyRecordSize = std::nullopt);
    SettingsModel(const SettingsModel&) = delete;
    SettingsModel& operator=(const SettingsModel&) = delete;
    // Abandons the measuring pass and waits for it to give up, at its next read.
    ~SettingsModel();

    // The lines of the two lists, in their order.
    static std::vector<int> RecordSizes() { return OfferedSizes(kRecordSizeTable); }
    static std::vector<int> HashIndexSizes() { return OfferedSizes(kHashIndexSizeTable); }

    // Select the line of the given size; a size the list does not offer leaves
    // the selection as it is.
    void SetHashIndexSize(int size);
    void SetRecordSize(int size);
    // The selected lines, by position.
    int RecordSizeLine() const { return m_nRecordSizeSel; }
    int HashIndexSizeLine() const { return m_nHashIndexSel; }
    // The user selected other lines.
    void SelectLines(int recordSizeLine, int hashIndexSizeLine);
    // The sizes of the selected lines; -1 for a list without a selection.
    int GetRecordSize() const;
    int GetHashIndexSize() const;

    // Starts measuring the open book in a reader of its own, on a thread of its
    // own; the figures come on the dialog's thread. Before the dialog opens;
    // ReadAsLikelySize measures again.
    void Measure();
    // The dialog has closed: the measuring pass gives up at its next read.
    void Abandon() { m_measuring.request_stop(); }
    // "Measuring the book…" until the figures are there, then the prediction of
    // the selected pair (BookMeasurement::Describe); "" before Measure.
    std::string PredictionLine() const;
    // The recommendation once the figures are there (DescribeRecommended).
    std::string RecommendationLine() const;
    // Whether "Use recommended" would select another pair.
    bool CanUseRecommended() const;
    // Selects the recommended pair.
    void UseRecommended();
    // `changed` runs on the dialog's thread whenever the figures have come or
    // UseRecommended has selected other lines.
    void OnChange(std::function<void()> changed) { m_changed = std::move(changed); }

    // The check box that reads the book as records of the likely record size:
    // "Read the book as records of 2048 bytes (its header says 1000)", or "" when
    // there is no such size, and then no check box.
    std::string ReadAsLine() const;
    bool ReadsAsLikelySize() const { return m_bReadAsLikely; }
    // The user checked or cleared the box: the book is measured again, read so.
    void ReadAsLikelySize(bool chosen);
    // The record size that the measuring and the conversion read the book with
    // (OptimizeRequest::inputRecordSize); none: the header's.
    std::optional<int> InputRecordSize() const;

    // Why the conversion into the selected pair cannot be made, as the measuring
    // foretold it (RefusalOf); "" when it can, or the figures are not there yet.
    std::string Refusal() const;

  private:
    SizePair Selected() const { return {GetRecordSize(), GetHashIndexSize()}; }
    void Changed() const;

    const BookReader& m_book;
    Poster m_post;
    // Lines of the two lists, by position.
    int m_nHashIndexSel = 0;
    int m_nRecordSizeSel = 0;
    bool m_bMeasuring = false;
    std::optional<BookMeasurement> m_measurement;
    std::optional<int> m_likelyRecordSize;
    bool m_bReadAsLikely = false;
    // Counts the measuring passes: the figures of one that was replaced are dropped.
    int m_nPass = 0;
    std::function<void()> m_changed;
    // What a task posted by the measuring pass reaches, while the settings live.
    std::shared_ptr<SettingsModel*> m_self;
    // Last, so that it is stopped and joined before anything else goes.
    std::jthread m_measuring;
};

}  // namespace plinth
