#pragma once

// What a conversion of the open book would produce, for pairs of sizes from the
// tables, worked out without writing anything.

// The prediction follows the walk, recovery, copy and placing rules of the
// conversion itself (CopyWalk), with counters per slot of each new book in place
// of its records (ChainCount).

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "book/BookReader.h"
#include "book/BookWriter.h"
#include "book/ChainLengths.h"
#include "book/ChainPass.h"
#include "book/ChainWalk.h"
#include "maintenance/ChainCount.h"
#include "maintenance/CopyWalk.h"
#include "maintenance/OptimizeSettings.h"

namespace plinth {

struct Prediction {
    enum class Outcome {
        Refused,  // the fit check refuses the sizes (`refusal` says why)
        TooLong,  // a position takes more bytes than a record of the new size holds
        Full,     // the new book needs more records than a book holds (`records`)
        // The new book would hold none of the positions of a book that holds
        // some: the conversion stops rather than write it.
        Empty,
        Fits,
    };
    SizePair sizes;
    Outcome outcome = Outcome::Fits;
    std::string refusal;
    uint32_t records = 0;  // records of the new book, or those it would need
    uint64_t bytes = 0;
    uint32_t positions = 0;  // carried over into the new book
    // The records of the old book that hold something that looks like a
    // position, in its chains or not (CopyWalk::RecordsHoldingPositions).
    uint32_t recordsHoldingPositions = 0;
    ChainLengths lengths;  // over the chains that hold positions
    // The records a lookup reads on average to find a stored position: k for a
    // position in the k-th record of its chain; 0 for a book without positions.
    double meanReads = 0;
    // How each chain is filled once it has all its entries, slot by slot, when
    // the book fits: the layout that the writer of the conversion fills.
    std::vector<ChainFill> chains;
};

// Bytes in mebibytes, as the predictions tell sizes.
inline double Mebibytes(uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// The count of the new books of each pair, as a sink of the copy walk: the
// positions that the walk hands over are placed in the chains of every book
// whose records can hold them, and Finish gives the predictions.
class ConversionCount final : public PositionSink {
  public:
    // New books of each pair for a book of header `input`; the warnings of the
    // copy go to `messages`.
    ConversionCount(const BookHeader& input, std::span<const SizePair> pairs, IConsole& messages);

    // Whether any pair passes the fit check, so that a pass is worth making.
    bool AnyPairFits() const { return !m_counts.empty(); }

    // Gives EntryTooLong, stopping the walk, for an entry that no pair's records
    // can hold; a pair whose records cannot hold one is too long.
    PlaceResult AddRecordPositions(std::span<const uint8_t> record,
                                   std::span<const DigestedEntry> entries) override;

    // The predictions, one per pair, in the order of the pairs.
    std::vector<Prediction> Finish();

  private:
    // The prediction of a pair that fits from its counted chains: the `lane`-th
    // book of `count`.
    static void Complete(Prediction& prediction, const ChainCount& count, size_t lane);

    IConsole& m_messages;
    std::vector<Prediction> m_predictions;
    std::vector<ChainCount> m_counts;
    std::vector<std::vector<size_t>> m_lanes;  // of each count: the pair in each lane
    uint32_t m_largestRecordSize = 0;
    size_t m_largestEntry = 0;
};

// The prediction of each pair made by a pass over the chains that its caller
// runs with `walker` (RunChainPass with RecordDigests::Entries and Visitor()),
// alone or beside a pass of its own. The walk's findings and warnings go to
// `messages`; `recordSize` is named when a position is too long for it.
class PredictionPass {
  public:
    PredictionPass(BookReader& book, ChainWalker& walker, std::span<const SizePair> pairs,
                   IConsole& messages, int recordSize);

    bool AnyPairFits() const { return m_count.AnyPairFits(); }
    ChainVisitor& Visitor() { return m_walk.Visitor(); }
    // After the pass: the recovery of the records that no chain reaches, then the
    // predictions, one per pair, in the order of the pairs.
    std::vector<Prediction> Finish();

  private:
    const BookHeader& m_input;
    ConversionCount m_count;
    CopyWalk m_walk;
};

// Predicts the conversion of the open book into each pair, in one pass over the
// book; the pass's findings and warnings go to `messages`. A record that cannot
// be read, or memory that runs out, raises the fatal error of `book`.
std::vector<Prediction> PredictConversions(BookReader& book, std::span<const SizePair> pairs,
                                           IConsole& messages, Threads threads = Threads::All);

// The lines of a conversion that stops so, for `book` (its header's own record
// size and its record count).
void ReportNoPositionRead(IConsole& console, const BookReader& book);

// The prediction in one line, for people: "New book: 1 027 records, 4.0 MiB;
// longest chain 2, 1.03 reads per lookup", "Does not fit: " and why, or
// "Cannot convert: " and why.
std::string DescribePrediction(const Prediction& prediction);

// Why the conversion into the pair of `prediction` cannot be made, for a message
// box and the console: the fit check's message, "The new book would need N
// records; a book holds at most 65534. Choose a larger record size or a smaller
// hash index size", or that a position is too long; "" for a pair that fits.
std::string RefusalOf(const Prediction& prediction);

// The pair that suits the book best among those that fit: the shortest longest
// chain, then the fewest reads per lookup, then the smallest file, then the
// smaller record size, then the smaller hash index size.
std::optional<SizePair> RecommendedPair(std::span<const Prediction> predictions);

// The recommended pair in one line: "Recommended: record size 4096, hash index
// size 8192", or "No sizes in the tables fit this book" when there is none.
std::string DescribeRecommendedPair(const std::optional<SizePair>& recommended);

}  // namespace plinth
