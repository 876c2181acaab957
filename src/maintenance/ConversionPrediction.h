#pragma once

// What a conversion of the open book would produce, for pairs of sizes from the
// tables, worked out without writing anything: by the walk, recovery, copy and
// placing rules of the conversion itself, with counters per slot of each new
// book in place of its records.

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "book/BookReader.h"
#include "book/BookWriter.h"
#include "book/ChainLengths.h"
#include "book/ChainPass.h"

namespace plinth {

struct SizePair {
    int recordSize = 0;
    int hashIndexSize = 0;
    bool operator==(const SizePair&) const = default;
};

// Every pair of sizes that the tables offer, record size first.
std::vector<SizePair> OfferedPairs();

struct Prediction {
    enum class Outcome {
        Refused,  // the fit check refuses the sizes (`refusal` says why)
        TooLong,  // a position takes more bytes than a record of the new size holds
        Full,     // the new book needs more records than a book holds (`records`)
        Fits,
    };
    SizePair sizes;
    Outcome outcome = Outcome::Fits;
    std::string refusal;
    uint32_t records = 0;  // records of the new book, or those it would need
    uint64_t bytes = 0;
    ChainLengths lengths;  // over the chains that hold positions
    // The records a lookup reads on average to find a stored position: k for a
    // position in the k-th record of its chain; 0 for a book without positions.
    double meanReads = 0;
    // How each chain is filled once it has all its entries, slot by slot, when
    // the book fits: the layout that the writer of the conversion fills.
    std::vector<ChainFill> chains;
};

// The count behind PredictConversions, for a pass over the chains: the positions
// go to Sink() as the copy walk of a conversion hands them over, and Finish gives
// the predictions, one per pair, in the order of the pairs.
class ConversionCount {
  public:
    // New books of each pair for a book of header `input`; the warnings of the
    // copy go to `messages`.
    ConversionCount(const BookHeader& input, std::span<const SizePair> pairs, IConsole& messages);
    ConversionCount(const ConversionCount&) = delete;
    ConversionCount& operator=(const ConversionCount&) = delete;
    ~ConversionCount();

    // Whether any pair passes the fit check, so that a pass is worth making.
    bool Counts() const;
    DigestSink& Sink();
    std::vector<Prediction> Finish();

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Predicts the conversion of the open book into each pair, in one pass over the
// book; the pass's findings and warnings go to `messages`. A record that cannot
// be read raises the fatal error of `book`.
std::vector<Prediction> PredictConversions(BookReader& book, std::span<const SizePair> pairs,
                                           IConsole& messages, Threads threads = Threads::All);

// The prediction in one line, for people: "New book: 1 027 records, 4.0 MiB;
// longest chain 2, 1.03 reads per lookup", or "Does not fit: " and why.
std::string DescribePrediction(const Prediction& prediction);

// The pair that suits the book best among those that fit: the shortest longest
// chain, then the fewest reads per lookup, then the smallest file, then the
// smaller record size, then the smaller hash index size.
std::optional<SizePair> RecommendedPair(std::span<const Prediction> predictions);

// The recommended pair in one line: "Recommended: record size 4096, hash index
// size 8192", or "No sizes in the tables fit this book" when there is none.
std::string DescribeRecommendedPair(const std::optional<SizePair>& recommended);

}  // namespace plinth
