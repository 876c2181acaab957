// Measuring a book for the optimize settings, in a reader of its own.

#include "maintenance/BookMeasurement.h"

#include <algorithm>

#include "book/BookReader.h"

namespace plinth {
BookMeasurement BookMeasurement::Measure(const std::string& path, IFileSystem& files,
                                         std::optional<int> inputRecordSize) {
    BookMeasurement measurement;
    TextConsole messages;
    BookReader book(messages, files);
    try {
        book.OpenInputBook(path);
        if (inputRecordSize) {
            book.ReadAsRecordsOf(static_cast<uint16_t>(*inputRecordSize));
        }
        const std::vector<SizePair> pairs = OfferedPairs();
        measurement.m_predictions = PredictConversions(book, pairs, messages);
    } catch (const BookFatalError& error) {
        measurement.m_failure = ReasonOf(error.what());
        return measurement;
    }
    measurement.m_recommended = RecommendedPair(measurement.m_predictions);
    return measurement;
}

std::string BookMeasurement::Describe(SizePair sizes) const {
    if (!m_failure.empty()) {
        return "The book could not be read: " + m_failure;
    }
    const auto found = std::find_if(m_predictions.begin(), m_predictions.end(),
                                    [&](const Prediction& p) { return p.sizes == sizes; });
    return found != m_predictions.end() ? DescribePrediction(*found) : std::string();
}

std::string BookMeasurement::DescribeRecommended() const {
    return m_failure.empty() ? DescribeRecommendedPair(m_recommended) : std::string();
}

}  // namespace plinth
