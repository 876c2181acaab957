#include "maintenance/ConversionPrediction.h"

#include <algorithm>
#include <tuple>

#include "book/BookWriter.h"
#include "maintenance/BookOptimization.h"
#include "maintenance/CopyWalk.h"
#include "maintenance/OptimizeSettings.h"

namespace plinth {
namespace {

// One new book being counted instead of written.
struct CountedBook {
    Prediction prediction;
    uint64_t positions = 0;
    uint64_t reads = 0;  // the record of each position in its chain, summed
};

// The chains of the counted books of one hash index size. A position has the
// same slot in all of them, so the chains of one slot lie side by side: placing a
// position in every book touches one place in memory, not one per book.
struct SlotTable {
    uint32_t hashMask = 0;
    std::vector<CountedBook*> books;
    std::vector<ChainFill> chains;  // slot * books.size() + the book's place

    std::span<ChainFill> ChainsOf(uint32_t slot) {
        return std::span(chains).subspan(size_t{slot} * books.size(), books.size());
    }
};

// Places positions as the writer would, for several new books at once.
class Counter final : public PositionSink {
  public:
    Counter(IConsole& messages, std::vector<SlotTable>& tables)
        : m_messages(messages), m_tables(tables) {}

    PlaceResult AddRecordPositions(std::span<const uint8_t> record, BookKind kind) override {
        PlaceResult result;
        ForEachCopiedEntry(record, kind, m_messages, [&](const EntryExtent& entry, size_t size) {
            const uint32_t hashKey = DecodeU32(&record[entry.offset + layout::kHashKey]);
            bool placed = false;
            for (SlotTable& table : m_tables) {
                const std::span<ChainFill> chains = table.ChainsOf(SlotOf(hashKey, table.hashMask));
                for (size_t i = 0; i < chains.size(); ++i) {
                    CountedBook& book = *table.books[i];
                    Prediction& prediction = book.prediction;
                    if (prediction.outcome != Prediction::Outcome::Fits) {
                        continue;
                    }
                    const auto recordSize = static_cast<size_t>(prediction.sizes.recordSize);
                    if (!EntryFitsInRecord(size, recordSize)) {
                        prediction.outcome = Prediction::Outcome::TooLong;
                        result.entrySize = size;
                        continue;
                    }
                    chains[i].Place(size, recordSize);
                    ++book.positions;
                    book.reads += chains[i].records;
                    placed = true;
                }
            }
            result.placed += placed ? 1 : 0;
            // With nothing left to count, the walk stops as the conversion would.
            if (!placed && result.entrySize != 0 && AllDone()) {
                result.outcome = PlaceOutcome::EntryTooLong;
                return false;
            }
            return true;
        });
        return result;
    }

  private:
    bool AllDone() const {
        return std::all_of(m_tables.begin(), m_tables.end(), [](const SlotTable& table) {
            return std::none_of(table.books.begin(), table.books.end(), [](const CountedBook* b) {
                return b->prediction.outcome == Prediction::Outcome::Fits;
            });
        });
    }

    IConsole& m_messages;
    std::vector<SlotTable>& m_tables;
};

// The new book's records and chains, from its counted chains: the `place`-th of
// every slot of `table`.
void Complete(CountedBook& book, SlotTable& table, size_t place) {
    Prediction& prediction = book.prediction;
    if (prediction.outcome != Prediction::Outcome::Fits) {
        return;
    }
    const auto recordSize = static_cast<uint32_t>(prediction.sizes.recordSize);
    const auto slots = static_cast<uint32_t>(prediction.sizes.hashIndexSize);
    uint64_t records = written::kHashIndexRecord + HashIndexRecords(recordSize, slots);
    for (uint32_t slot = 0; slot < slots; ++slot) {
        const ChainFill& chain = table.ChainsOf(slot)[place];
        if (chain.records != 0) {
            records += chain.records;
            prediction.longestChain =
                std::max(prediction.longestChain, static_cast<int>(chain.records));
            prediction.shortestChain =
                std::min(prediction.shortestChain, static_cast<int>(chain.records));
        }
    }
    prediction.records = static_cast<uint32_t>(std::min<uint64_t>(records, UINT32_MAX));
    if (records > kMaxWrittenRecordCount) {
        prediction.outcome = Prediction::Outcome::Full;
        return;
    }
    prediction.bytes = records * recordSize;
    prediction.meanReads =
        book.positions == 0 ? 0.0
                            : static_cast<double>(book.reads) / static_cast<double>(book.positions);
}

// A count with its thousands apart: "70 212".
std::string Grouped(uint64_t count) {
    std::string digits = std::to_string(count);
    for (size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, 1, ' ');
    }
    return digits;
}

std::string Megabytes(uint64_t bytes) {
    return FormatLog("%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
}

}  // namespace

std::string DescribePrediction(const Prediction& prediction) {
    switch (prediction.outcome) {
        case Prediction::Outcome::Refused: {
            const std::string_view prefix = "**Error** ";
            std::string_view reason = prediction.refusal;
            if (reason.starts_with(prefix)) {
                reason.remove_prefix(prefix.size());
            }
            return "Does not fit: " + std::string(reason);
        }
        case Prediction::Outcome::TooLong:
            return FormatLog(
                "Does not fit: a position takes more bytes than a record of %d bytes "
                "holds",
                prediction.sizes.recordSize);
        case Prediction::Outcome::Full:
            return "Does not fit: the new book would need " + Grouped(prediction.records) +
                   " records";
        case Prediction::Outcome::Fits:
            break;
    }
    return "New book: " + Grouped(prediction.records) + " records, " + Megabytes(prediction.bytes) +
           FormatLog("; longest chain %d, %.2f reads per lookup", prediction.longestChain,
                     prediction.meanReads);
}

std::vector<SizePair> OfferedPairs() {
    std::vector<SizePair> pairs;
    for (const int recordSize : OfferedSizes(kRecordSizeTable)) {
        for (const int hashIndexSize : OfferedSizes(kHashIndexSizeTable)) {
            pairs.push_back({recordSize, hashIndexSize});
        }
    }
    return pairs;
}

std::vector<Prediction> PredictConversions(BookReader& book, std::span<const SizePair> pairs,
                                           IConsole& messages) {
    std::vector<CountedBook> books(pairs.size());
    std::vector<SlotTable> tables;
    for (size_t i = 0; i < pairs.size(); ++i) {
        const SizePair& pair = pairs[i];
        Prediction& prediction = books[i].prediction;
        prediction.sizes = pair;
        if (auto refusal =
                CheckNewGeometry(book.InputHeader(), pair.recordSize, pair.hashIndexSize)) {
            prediction.outcome = Prediction::Outcome::Refused;
            prediction.refusal = std::move(*refusal);
            continue;
        }
        const auto hashMask = static_cast<uint32_t>(pair.hashIndexSize) - 1;
        auto table = std::find_if(tables.begin(), tables.end(),
                                  [&](const SlotTable& t) { return t.hashMask == hashMask; });
        if (table == tables.end()) {
            table = tables.insert(tables.end(), SlotTable{hashMask, {}, {}});
        }
        table->books.push_back(&books[i]);
    }
    for (SlotTable& table : tables) {
        table.chains.resize((size_t{table.hashMask} + 1) * table.books.size());
    }
    if (!tables.empty()) {
        Counter counter(messages, tables);
        const int recordSize = pairs.size() == 1 ? pairs[0].recordSize : 0;
        CopyWalk(book, counter, messages, recordSize).Run(CopyWalk::Progress::Hidden);
    }
    for (SlotTable& table : tables) {
        for (size_t place = 0; place < table.books.size(); ++place) {
            Complete(*table.books[place], table, place);
        }
    }
    std::vector<Prediction> predictions;
    predictions.reserve(books.size());
    for (CountedBook& counted : books) {
        predictions.push_back(std::move(counted.prediction));
    }
    return predictions;
}

std::optional<SizePair> RecommendedPair(std::span<const Prediction> predictions) {
    const Prediction* best = nullptr;
    const auto rank = [](const Prediction& p) {
        return std::tuple(p.longestChain, p.meanReads, p.bytes, p.sizes.recordSize,
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
