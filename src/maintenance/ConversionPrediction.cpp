// The prediction of conversions: the count of the new books behind the copy
// walk, the pass that feeds it, and the lines that tell the outcome.

#include "maintenance/ConversionPrediction.h"

#include <algorithm>
#include <tuple>

namespace plinth {

ConversionCount::ConversionCount(const BookHeader& input, std::span<const SizePair> pairs,
                                 IConsole& messages)
    : m_messages(messages), m_predictions(pairs.size()) {
    for (size_t i = 0; i < pairs.size(); ++i) {
        Prediction& prediction = m_predictions[i];
        prediction.sizes = pairs[i];
        if (auto refusal = CheckNewGeometry(input, pairs[i].recordSize, pairs[i].hashIndexSize)) {
            prediction.outcome = Prediction::Outcome::Refused;
            prediction.refusal = std::move(*refusal);
            continue;
        }
        const auto slots = static_cast<uint32_t>(pairs[i].hashIndexSize);
        const auto recordSize = static_cast<uint32_t>(pairs[i].recordSize);
        // The books of one HashIndex size share counts, four to a count.
        size_t count = 0;
        while (count < m_counts.size() &&
               (m_counts[count].HashIndexSize() != slots || !m_counts[count].AddBook(recordSize))) {
            ++count;
        }
        if (count == m_counts.size()) {
            m_counts.emplace_back(slots).AddBook(recordSize);
            m_lanes.emplace_back();
        }
        m_lanes[count].push_back(i);
        m_largestRecordSize = std::max(m_largestRecordSize, recordSize);
    }
}

PositionSink::PlaceResult ConversionCount::AddRecordPositions(
    std::span<const uint8_t> /*record*/, std::span<const DigestedEntry> entries) {
    PlaceResult result;
    for (const DigestedEntry& entry : entries) {
        WarnOfDamage(m_messages, entry);
        m_largestEntry = std::max<size_t>(m_largestEntry, entry.copiedSize);
        if (!EntryFitsInRecord(m_largestEntry, m_largestRecordSize)) {
            result.outcome = PlaceOutcome::EntryTooLong;
            result.entrySize = entry.copiedSize;
            break;
        }
        ++result.placed;
    }
    // Each count takes the entries in their order, so a count sees the same
    // entries in the same order as entry by entry.
    for (ChainCount& count : m_counts) {
        count.PlaceAll(entries.first(result.placed));
    }
    return result;
}

std::vector<Prediction> ConversionCount::Finish() {
    for (size_t count = 0; count < m_counts.size(); ++count) {
        for (size_t lane = 0; lane < m_lanes[count].size(); ++lane) {
            Prediction& prediction = m_predictions[m_lanes[count][lane]];
            // A book whose records cannot hold the largest entry is too long.
            if (!EntryFitsInRecord(m_largestEntry,
                                   static_cast<size_t>(prediction.sizes.recordSize))) {
                prediction.outcome = Prediction::Outcome::TooLong;
            } else {
                Complete(prediction, m_counts[count], lane);
            }
        }
    }
    return std::move(m_predictions);
}

void ConversionCount::Complete(Prediction& prediction, const ChainCount& count, size_t lane) {
    const auto recordSize = static_cast<uint32_t>(prediction.sizes.recordSize);
    const uint32_t slots = count.HashIndexSize();
    uint64_t records = written::kHashIndexRecord + HashIndexRecords(recordSize, slots);
    std::vector<ChainFill> chains(slots);
    for (uint32_t slot = 0; slot < slots; ++slot) {
        chains[slot] = count.Chain(lane, slot);
        if (chains[slot].records != 0) {
            records += chains[slot].records;
            prediction.lengths.Count(static_cast<int>(chains[slot].records));
        }
    }
    prediction.records = static_cast<uint32_t>(std::min<uint64_t>(records, UINT32_MAX));
    if (records > kMaxWrittenRecordCount) {
        prediction.outcome = Prediction::Outcome::Full;
        return;
    }
    prediction.bytes = records * recordSize;
    prediction.chains = std::move(chains);
    const uint32_t positions = count.Positions(lane);
    prediction.positions = positions;
    prediction.meanReads =
        positions == 0 ? 0.0
                       : static_cast<double>(count.Reads(lane)) / static_cast<double>(positions);
}

PredictionPass::PredictionPass(BookReader& book, ChainWalker& walker,
                               std::span<const SizePair> pairs, IConsole& messages, int recordSize)
    : m_input(book.InputHeader()),
      m_count(book.InputHeader(), pairs, messages),
      m_walk(book, walker, m_count, messages, {recordSize, std::nullopt}) {}

namespace {

// Whether the new book that `prediction` counted for the book of `input` would
// carry over no position of a book that holds some: its header counts
// positions, or records of its file hold something that looks like them. Such
// a conversion would replace the book by an empty one; it stops instead, since
// the header's record size or record count is the likelier fault.
bool LosesEveryPosition(const Prediction& prediction, const BookHeader& input) {
    return prediction.outcome == Prediction::Outcome::Fits && prediction.positions == 0 &&
           (input.totalPositions != 0 || prediction.recordsHoldingPositions != 0);
}

}  // namespace

std::vector<Prediction> PredictionPass::Finish() {
    if (m_count.AnyPairFits()) {
        m_walk.RecoverUnreachedRecords();
    }
    std::vector<Prediction> predictions = m_count.Finish();
    for (Prediction& prediction : predictions) {
        prediction.recordsHoldingPositions = m_walk.RecordsHoldingPositions();
        if (LosesEveryPosition(prediction, m_input)) {
            prediction.outcome = Prediction::Outcome::Empty;
        }
    }
    return predictions;
}

std::vector<Prediction> PredictConversions(BookReader& book, std::span<const SizePair> pairs,
                                           IConsole& messages, Threads threads) {
    return book.WithinMemory([&] {
        ChainWalker walker(book);
        PredictionPass pass(book, walker, pairs, messages,
                            pairs.size() == 1 ? pairs[0].recordSize : 0);
        if (pass.AnyPairFits()) {
            RunChainPass(book, walker, pass.Visitor(), RecordDigests::Entries, threads);
        }
        return pass.Finish();
    });
}

void ReportNoPositionRead(IConsole& console, const BookReader& book) {
    PrintLog(console,
             "*** Error *** No position could be read: the header's record size %d or record "
             "count %d may be damaged\n",
             int{book.HeaderRecordSize()}, int{book.InputHeader().recordCount});
    PrintLog(console, "Conversion stopped, the book was not changed\n");
}

namespace {

// A count with its thousands apart: "70 212".
std::string Grouped(uint64_t count) {
    std::string digits = std::to_string(count);
    for (size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, 1, ' ');
    }
    return digits;
}

}  // namespace

std::string DescribePrediction(const Prediction& prediction) {
    switch (prediction.outcome) {
        case Prediction::Outcome::Refused:
            return "Does not fit: " + ReasonOf(prediction.refusal);
        case Prediction::Outcome::TooLong:
            return FormatLog(
                "Does not fit: a position takes more bytes than a record of %d bytes "
                "holds",
                prediction.sizes.recordSize);
        case Prediction::Outcome::Full:
            return "Does not fit: the new book would need " + Grouped(prediction.records) +
                   " records";
        case Prediction::Outcome::Empty:
            return "Cannot convert: no position could be read; the header's record size or "
                   "record count may be damaged";
        case Prediction::Outcome::Fits:
            break;
    }
    return "New book: " + Grouped(prediction.records) + " records, " +
           FormatLog("%.1f MiB", Mebibytes(prediction.bytes)) +
           FormatLog("; longest chain %d, %.2f reads per lookup", prediction.lengths.longest,
                     prediction.meanReads);
}

std::string RefusalOf(const Prediction& prediction) {
    switch (prediction.outcome) {
        case Prediction::Outcome::Refused:
            return prediction.refusal;
        case Prediction::Outcome::TooLong:
            return FormatLog(
                "A position takes more bytes than a record of %d bytes holds. Choose a larger "
                "record size",
                prediction.sizes.recordSize);
        case Prediction::Outcome::Full:
            return FormatLog(
                "The new book would need %d records; a book holds at most %d. Choose a larger "
                "record size or a smaller hash index size",
                static_cast<int>(prediction.records), static_cast<int>(kMaxWrittenRecordCount));
        case Prediction::Outcome::Empty:
            return "No position could be read: the header's record size or record count may be "
                   "damaged";
        case Prediction::Outcome::Fits:
            break;
    }
    return {};
}

std::optional<SizePair> RecommendedPair(std::span<const Prediction> predictions) {
    const Prediction* best = nullptr;
    const auto rank = [](const Prediction& p) {
        return std::tuple(p.lengths.longest, p.meanReads, p.bytes, p.sizes.recordSize,
                          p.sizes.hashIndexSize);
    };
    for (const Prediction& prediction : predictions) {
        if (prediction.outcome == Prediction::Outcome::Fits &&
            (best == nullptr || rank(prediction) < rank(*best))) {
            best = &prediction;
        }
    }
    return best != nullptr ? std::optional(best->sizes) : std::nullopt;
}

std::string DescribeRecommendedPair(const std::optional<SizePair>& recommended) {
    if (!recommended) {
        return "No sizes in the tables fit this book";
    }
    return FormatLog("Recommended: record size %d, hash index size %d", recommended->recordSize,
                     recommended->hashIndexSize);
}

}  // namespace plinth
