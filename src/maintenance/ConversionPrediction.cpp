#include "maintenance/ConversionPrediction.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <tuple>

#include "book/BookWriter.h"
#include "maintenance/CopyWalk.h"
#include "maintenance/OptimizeSettings.h"

namespace plinth {
namespace {

// The books of one hash index size are counted in groups of four, side by side
// in the lanes of one vector, so that a position is placed in four books at once.
constexpr size_t kLanes = 4;

// The chains of one slot in the books of a group, lane by lane, each kept as a
// ChainFill keeps one chain.
struct alignas(16) SlotChains {
    std::array<uint32_t, kLanes> records{};
    std::array<uint32_t, kLanes> used{};
};

// The chains of up to four counted books of one hash index size. A position has
// the same slot in all of them, so the chains of one slot lie side by side:
// placing a position in every book touches one place in memory, not one per book.
struct SlotTable {
    uint32_t hashMask = 0;
    std::vector<Prediction*> books;              // the new books, counted instead of written
    std::array<uint32_t, kLanes> recordSizes{};  // of the books; 0 in a lane without one
    // A book holds fewer than 2^29 positions (65535 records of at most 65535
    // bytes, at least 10 bytes an entry), so 32 bits count them.
    std::array<uint32_t, kLanes> positions{};
    std::array<uint64_t, kLanes> reads{};  // the record of each position in its chain, summed
    std::vector<SlotChains> chains;        // one per slot
};

#if defined(__GNUC__)
// Places an entry of `size` bytes whose hashKey is `hashKey` as ChainFill::Place
// does, in every book of `table` whose records can hold it (never in a lane
// without a book); a book whose records cannot hold one of the entries is too
// long and its count unused. The four lanes go at once: a lane's comparison
// gives all ones where it holds, which subtracted adds one.
void CountEntry(uint32_t hashKey, uint32_t size, SlotTable& table) {
    using Lanes [[gnu::vector_size(16)]] = uint32_t;
    static_assert(sizeof(Lanes) == sizeof(SlotChains::records));
    SlotChains& chains = table.chains[SlotOf(hashKey, table.hashMask)];
    Lanes records;
    Lanes used;
    Lanes recordSizes;
    Lanes positions;
    std::memcpy(&records, chains.records.data(), sizeof(Lanes));
    std::memcpy(&used, chains.used.data(), sizeof(Lanes));
    std::memcpy(&recordSizes, table.recordSizes.data(), sizeof(Lanes));
    std::memcpy(&positions, table.positions.data(), sizeof(Lanes));
    const Lanes sizes = Lanes{} + size;
    const Lanes fits = sizes + uint32_t{layout::kFirstEntry} <= recordSizes;
    const Lanes starts = ((records == 0) | (used + sizes > recordSizes)) & fits;
    records -= starts;
    used = ((starts & uint32_t{layout::kFirstEntry}) | (~starts & used)) + (sizes & fits);
    positions -= fits;
    std::memcpy(chains.records.data(), &records, sizeof(Lanes));
    std::memcpy(chains.used.data(), &used, sizeof(Lanes));
    std::memcpy(table.positions.data(), &positions, sizeof(Lanes));
    const Lanes read = records & fits;
    for (size_t i = 0; i < kLanes; ++i) {
        table.reads[i] += read[i];
    }
}
#else
// Places an entry of `size` bytes whose hashKey is `hashKey` as the writer
// would, in every book of `table` whose records can hold it; a book whose
// records cannot hold one of the entries is too long and its count unused.
void CountEntry(uint32_t hashKey, uint32_t size, SlotTable& table) {
    SlotChains& chains = table.chains[SlotOf(hashKey, table.hashMask)];
    for (size_t i = 0; i < table.books.size(); ++i) {
        if (EntryFitsInRecord(size, table.recordSizes[i])) {
            ChainFill fill{chains.records[i], chains.used[i]};
            fill.Place(size, table.recordSizes[i]);
            chains.records[i] = fill.records;
            chains.used[i] = fill.used;
            ++table.positions[i];
            table.reads[i] += fill.records;
        }
    }
}
#endif

void CountEntry(uint32_t hashKey, size_t size, std::vector<SlotTable>& tables) {
    for (SlotTable& table : tables) {
        CountEntry(hashKey, static_cast<uint32_t>(size), table);
    }
}

// Takes the entries of the walk for several new books at once. The walk stops,
// as a conversion would, at an entry that no book's records can hold.
class Counter final : public DigestSink {
  public:
    Counter(IConsole& messages, std::vector<SlotTable>& tables)
        : m_messages(messages), m_tables(tables) {
        for (const SlotTable& table : tables) {
            for (const uint32_t recordSize : table.recordSizes) {
                m_largestRecordSize = std::max<size_t>(m_largestRecordSize, recordSize);
            }
        }
    }

    PlaceResult AddDigestedPositions(std::span<const DigestedEntry> entries) override {
        PlaceResult result;
        for (const DigestedEntry& entry : entries) {
            for (uint32_t i = 0; i < entry.warnings; ++i) {
                m_messages.AppendText(kIgnoringMovesWarning);
            }
            m_largestEntry = std::max<size_t>(m_largestEntry, entry.copiedSize);
            if (!EntryFitsInRecord(m_largestEntry, m_largestRecordSize)) {
                result.outcome = PlaceOutcome::EntryTooLong;
                result.entrySize = entry.copiedSize;
                return result;
            }
            ++result.placed;
            CountEntry(entry.hashKey, entry.copiedSize, m_tables);
        }
        return result;
    }

    // Marks the books too long whose records cannot hold the largest entry.
    void MarkTooLong() {
        for (SlotTable& table : m_tables) {
            for (size_t i = 0; i < table.books.size(); ++i) {
                if (!EntryFitsInRecord(m_largestEntry, table.recordSizes[i])) {
                    table.books[i]->outcome = Prediction::Outcome::TooLong;
                }
            }
        }
    }

  private:
    IConsole& m_messages;
    std::vector<SlotTable>& m_tables;
    size_t m_largestRecordSize = 0;
    size_t m_largestEntry = 0;
};

// The new book's records and chains, from its counted chains: the `place`-th of
// every slot of `table`.
void Complete(SlotTable& table, size_t place) {
    Prediction& prediction = *table.books[place];
    if (prediction.outcome != Prediction::Outcome::Fits) {
        return;
    }
    const auto recordSize = static_cast<uint32_t>(prediction.sizes.recordSize);
    const auto slots = static_cast<uint32_t>(prediction.sizes.hashIndexSize);
    uint64_t records = written::kHashIndexRecord + HashIndexRecords(recordSize, slots);
    std::vector<ChainFill> chains(slots);
    for (uint32_t slot = 0; slot < slots; ++slot) {
        const uint32_t chain = table.chains[slot].records[place];
        chains[slot] = {chain, table.chains[slot].used[place]};
        if (chain != 0) {
            records += chain;
            prediction.lengths.Count(static_cast<int>(chain));
        }
    }
    prediction.records = static_cast<uint32_t>(std::min<uint64_t>(records, UINT32_MAX));
    if (records > kMaxWrittenRecordCount) {
        prediction.outcome = Prediction::Outcome::Full;
        return;
    }
    prediction.bytes = records * recordSize;
    prediction.chains = std::move(chains);
    prediction.meanReads =
        table.positions[place] == 0
            ? 0.0
            : static_cast<double>(table.reads[place]) / static_cast<double>(table.positions[place]);
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
        case Prediction::Outcome::Fits:
            break;
    }
    return "New book: " + Grouped(prediction.records) + " records, " + Megabytes(prediction.bytes) +
           FormatLog("; longest chain %d, %.2f reads per lookup", prediction.lengths.longest,
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

struct ConversionCount::State {
    std::vector<Prediction> books;
    std::vector<SlotTable> tables;
    std::optional<Counter> counter;
};

ConversionCount::ConversionCount(const BookHeader& input, std::span<const SizePair> pairs,
                                 IConsole& messages)
    : m_state(std::make_unique<State>()) {
    std::vector<Prediction>& books = m_state->books;
    std::vector<SlotTable>& tables = m_state->tables;
    books.resize(pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i) {
        const SizePair& pair = pairs[i];
        Prediction& prediction = books[i];
        prediction.sizes = pair;
        if (auto refusal = CheckNewGeometry(input, pair.recordSize, pair.hashIndexSize)) {
            prediction.outcome = Prediction::Outcome::Refused;
            prediction.refusal = std::move(*refusal);
            continue;
        }
        const auto hashMask = static_cast<uint32_t>(pair.hashIndexSize) - 1;
        auto table = std::find_if(tables.begin(), tables.end(), [&](const SlotTable& t) {
            return t.hashMask == hashMask && t.books.size() < kLanes;
        });
        if (table == tables.end()) {
            table = tables.insert(tables.end(), SlotTable{});
            table->hashMask = hashMask;
        }
        table->recordSizes[table->books.size()] = static_cast<uint32_t>(pair.recordSize);
        table->books.push_back(&books[i]);
    }
    for (SlotTable& table : tables) {
        table.chains.resize(size_t{table.hashMask} + 1);
    }
    m_state->counter.emplace(messages, tables);
}

ConversionCount::~ConversionCount() = default;

bool ConversionCount::Counts() const { return !m_state->tables.empty(); }

DigestSink& ConversionCount::Sink() { return *m_state->counter; }

std::vector<Prediction> ConversionCount::Finish() {
    m_state->counter->MarkTooLong();
    for (SlotTable& table : m_state->tables) {
        for (size_t place = 0; place < table.books.size(); ++place) {
            Complete(table, place);
        }
    }
    return std::move(m_state->books);
}

std::vector<Prediction> PredictConversions(BookReader& book, std::span<const SizePair> pairs,
                                           IConsole& messages, Threads threads) {
    return book.WithinMemory([&] {
        ConversionCount count(book.InputHeader(), pairs, messages);
        if (count.Counts()) {
            const int recordSize = pairs.size() == 1 ? pairs[0].recordSize : 0;
            CopyWalk(book, count.Sink(), messages, recordSize, threads)
                .Run(CopyWalk::Progress::Hidden);
        }
        return count.Finish();
    });
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
