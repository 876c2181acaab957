#pragma once

// The analysis of the open book: every chain walked, every record checked, the
// chains measured, the damage counted.

// The findings go to the console as text; the report gives the same results to
// front ends that show them otherwise.

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "book/BookReader.h"
#include "book/ChainLengths.h"
#include "maintenance/ConversionPrediction.h"

namespace plinth {

struct AnalysisFinding {
    enum class Kind {
        InvalidHashIndexLink,  // slot, record (the slot's value), free
        FailedRecordCheck,     // slot, record
        InvalidChainLink,      // slot, record, next, free
        ChainLoop,             // slot, record, next
        SharedRecord,          // slot, record (0: the slot's own link), next
        MissingRecord,         // slot, record (0: the slot's own link), next
        UnreachedRecord,       // record
        CommentOutsideBook,    // record (the header's commentRecord)
    };
    Kind kind;
    uint32_t slot = 0;
    uint32_t record = 0;
    uint32_t next = 0;
    uint32_t free = 0;
};

struct AnalysisReport {
    ChainLengths lengths;
    int errors = 0;
    std::optional<int> recommendedHashIndexSize;
    // With a recommendation: the pair of sizes that suits the book best, if any fits.
    std::optional<SizePair> bestSizes;
    std::map<int, int> slotsByChainLength;  // chain length -> number of slots
    std::vector<AnalysisFinding> findings;
    // The record size that the file's records fit far better than the header's
    // (LikelyRecordSize): a conversion reads the book with it when asked to
    // (OptimizeRequest::inputRecordSize).
    std::optional<int> likelyRecordSize;
};

// The HashIndex size recommended for a book of `recordCount` records: the
// smallest power of two of at least recordCount / 4, never below 256.
int RecommendedHashIndexSize(uint32_t recordCount);

enum class AnalyseOutcome {
    NoBookOpen,  // nothing was done, the console is untouched
    Completed,
    FatalError,  // the message is in the console and the book is closed
};

struct AnalysisResult {
    AnalyseOutcome outcome = AnalyseOutcome::NoBookOpen;
    AnalysisReport report;  // of a completed analysis
};

// The Analyse pass over the open book: clears the console, walks and checks the
// whole book and writes its findings and statistics to the console, the progress
// shown while it runs and hidden afterwards, on every path. A record that cannot
// be read, or memory that runs out, ends it in the fatal error.
AnalysisResult AnalyseBook(BookReader& book, Threads threads = Threads::All);

}  // namespace plinth
