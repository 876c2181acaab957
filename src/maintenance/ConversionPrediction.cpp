#include "maintenance/ConversionPrediction.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
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
    std::vector<size_t> recordSizes;  // of the books, in their order
    std::vector<ChainFill> chains;    // slot * books.size() + the book's place

    std::span<ChainFill> ChainsOf(uint32_t slot) {
        return std::span(chains).subspan(size_t{slot} * books.size(), books.size());
    }
};

// An entry as the counting takes it: the hashKey that gives its slot in each new
// book, and its size there.
struct CountedEntry {
    uint32_t hashKey = 0;
    uint32_t size = 0;
};

// Places entries as the writer would, in every book whose records can hold them;
// a book whose records cannot hold one of them is too long and its count unused.
void CountEntries(std::span<const CountedEntry> entries, std::vector<SlotTable>& tables) {
    for (const CountedEntry& entry : entries) {
        for (SlotTable& table : tables) {
            const std::span<ChainFill> chains =
                table.ChainsOf(SlotOf(entry.hashKey, table.hashMask));
            for (size_t i = 0; i < chains.size(); ++i) {
                const size_t recordSize = table.recordSizes[i];
                if (EntryFitsInRecord(entry.size, recordSize)) {
                    chains[i].Place(entry.size, recordSize);
                    CountedBook& book = *table.books[i];
                    ++book.positions;
                    book.reads += chains[i].records;
                }
            }
        }
    }
}

// Takes the entries of the walk for several new books at once. Whether a book's
// records can hold every entry is decided at once, on the walk's thread, since
// the walk stops when no book can; the placing is counted in batches, on a thread
// of its own when the pass may use more than one, beside the reading and the
// scanning of the next records.
class Counter final : public PositionSink {
  public:
    Counter(IConsole& messages, std::vector<SlotTable>& tables, Threads threads)
        : m_messages(messages), m_tables(tables) {
        for (const SlotTable& table : tables) {
            for (const size_t recordSize : table.recordSizes) {
                m_largestRecordSize = std::max(m_largestRecordSize, recordSize);
            }
        }
        m_batch.reserve(kBatchEntries);
        if (threads == Threads::All) {
            m_counting = std::jthread([this](const std::stop_token& stop) { CountHanded(stop); });
        }
    }
    Counter(const Counter&) = delete;
    Counter& operator=(const Counter&) = delete;

    PlaceResult AddRecordPositions(std::span<const uint8_t> record, BookKind kind) override {
        PlaceResult result;
        ForEachCopiedEntry(record, kind, m_messages, [&](const EntryExtent& entry, size_t size) {
            m_largestEntry = std::max(m_largestEntry, size);
            if (!EntryFitsInRecord(m_largestEntry, m_largestRecordSize)) {
                // No book can take it: the walk stops as the conversion would.
                result.outcome = PlaceOutcome::EntryTooLong;
                result.entrySize = size;
                return false;
            }
            ++result.placed;
            m_batch.push_back(
                {DecodeU32(&record[entry.offset + layout::kHashKey]), static_cast<uint32_t>(size)});
            if (m_batch.size() == kBatchEntries) {
                Hand();
            }
            return true;
        });
        return result;
    }

    // Counts what is left and marks the books too long whose records cannot hold
    // the largest entry.
    void Finish() {
        if (m_counting.joinable()) {
            Hand();
            {
                const std::scoped_lock lock(m_mutex);
                m_finished = true;
            }
            m_changed.notify_all();
            m_counting.join();
        } else {
            CountEntries(m_batch, m_tables);
        }
        for (SlotTable& table : m_tables) {
            for (size_t i = 0; i < table.books.size(); ++i) {
                if (!EntryFitsInRecord(m_largestEntry, table.recordSizes[i])) {
                    table.books[i]->prediction.outcome = Prediction::Outcome::TooLong;
                }
            }
        }
    }

  private:
    static constexpr size_t kBatchEntries = size_t{1} << 14;

    // Hands the batch over to be counted, once the one before has been taken.
    void Hand() {
        if (!m_counting.joinable()) {
            CountEntries(m_batch, m_tables);
        } else {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_handed.empty(); });
            m_handed.swap(m_batch);
            lock.unlock();
            m_changed.notify_all();
        }
        m_batch.clear();
    }

    // The counting thread: takes each batch handed over and counts it, until the
    // walk has finished or the pass is given up.
    void CountHanded(const std::stop_token& stop) {
        std::vector<CountedEntry> counting;
        counting.reserve(kBatchEntries);
        for (;;) {
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, stop, [this] { return !m_handed.empty() || m_finished; });
                if (m_handed.empty() || stop.stop_requested()) {
                    return;
                }
                counting.swap(m_handed);
            }
            m_changed.notify_all();
            CountEntries(counting, m_tables);
            counting.clear();
        }
    }

    IConsole& m_messages;
    std::vector<SlotTable>& m_tables;
    size_t m_largestRecordSize = 0;
    size_t m_largestEntry = 0;
    std::vector<CountedEntry> m_batch;   // being filled by the walk
    std::vector<CountedEntry> m_handed;  // waiting to be counted
    bool m_finished = false;
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::jthread m_counting;  // last: stopped and joined before the rest goes
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

bool WorthASecondThread(const BookHeader& header, Threads threads) {
    // Below this size a pass is over before a thread pays for its start.
    constexpr uint64_t kSmallestBook = uint64_t{4} << 20;
    return threads == Threads::All && std::thread::hardware_concurrency() > 1 &&
           RecordOffset(header.recordCount, header.recordSize) >= kSmallestBook;
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
                                           IConsole& messages, Threads threads) {
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
            table = tables.insert(tables.end(), SlotTable{hashMask, {}, {}, {}});
        }
        table->books.push_back(&books[i]);
        table->recordSizes.push_back(static_cast<size_t>(pair.recordSize));
    }
    for (SlotTable& table : tables) {
        table.chains.resize((size_t{table.hashMask} + 1) * table.books.size());
    }
    if (!tables.empty()) {
        Counter counter(
            messages, tables,
            WorthASecondThread(book.InputHeader(), threads) ? Threads::All : Threads::One);
        const int recordSize = pairs.size() == 1 ? pairs[0].recordSize : 0;
        CopyWalk(book, counter, messages, recordSize).Run(CopyWalk::Progress::Hidden);
        counter.Finish();
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
