#pragma once

// What the optimize settings show of a book before it is converted: the
// prediction of every offered pair of sizes, and the lines that tell it.

// The prediction is made in a reader of its own, so that it can run beside the
// open book.

#include <optional>
#include <string>
#include <vector>

#include "book/FileSystem.h"
#include "maintenance/ConversionPrediction.h"

namespace plinth {

class BookMeasurement {
  public:
    // Opens the book at `path` read-only through `files` and predicts its
    // conversion into every offered pair, in one pass, reading it as records of
    // `inputRecordSize` bytes where that is given (OptimizeRequest::inputRecordSize).
    // The pass's findings are the analysis's to tell and are dropped; a book that
    // cannot be read gives a measurement that says why.
    static BookMeasurement Measure(const std::string& path, IFileSystem& files,
                                   std::optional<int> inputRecordSize = std::nullopt);

    // The line for the pair `sizes`: its prediction as DescribePrediction tells
    // it, "The book could not be read: " and why, or "" for a pair that is not
    // offered.
    std::string Describe(SizePair sizes) const;

    // Every offered pair's prediction; none when the book could not be read.
    const std::vector<Prediction>& Predictions() const { return m_predictions; }
    bool Failed() const { return !m_failure.empty(); }

    // The recommended pair (RecommendedPair), if any pair fits.
    const std::optional<SizePair>& Recommended() const { return m_recommended; }
    // "Recommended: record size 4096, hash index size 8192", "No sizes in the
    // tables fit this book", or "" when the book could not be read.
    std::string DescribeRecommended() const;

  private:
    std::vector<Prediction> m_predictions;
    std::optional<SizePair> m_recommended;
    std::string m_failure;  // the fatal error's reason; empty after a pass
};

}  // namespace plinth
