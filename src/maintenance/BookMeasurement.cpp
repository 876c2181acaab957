#include "maintenance/BookMeasurement.h"

#include <algorithm>
#include <string_view>

#include "book/BookReader.h"

namespace plinth {
namespace {

// The reason of a fatal error, without its "**Error** " and its line end.
std::string Reason(std::string_view message) {
    constexpr std::string_view kPrefix = "**Error** ";
    if (message.starts_with(kPrefix)) {
        message.remove_prefix(kPrefix.size());
    }
    while (message.ends_with('\n')) {
        message.remove_suffix(1);
    }
    return std::string(message);
}

}  // namespace

BookMeasurement BookMeasurement::Measure(const std::string& path, IFileSystem& files) {
    BookMeasurement measurement;
    TextConsole messages;
    BookReader book(messages, files);
    try {
        book.SetInputPath(path);
        book.OpenInputBook();
        const std::vector<SizePair> pairs = OfferedPairs();
        measurement.m_predictions = PredictConversions(book, pairs, messages);
    } catch (const BookFatalError& error) {
        measurement.m_failure = Reason(error.what());
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
