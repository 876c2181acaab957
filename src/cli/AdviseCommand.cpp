#include <algorithm>

#include "cli/BookListCommand.h"
#include "cli/CliConsole.h"
#include "maintenance/ConversionPrediction.h"

namespace plinth::cli {
namespace {

// `advise BOOK...`: what a conversion into each pair of offered sizes would
// produce, the book's own pair and the pair that suits it best.
class AdviseCommand final : public BookListCommand {
  public:
    AdviseCommand()
        : BookListCommand(
              "advise",
              "Predict the conversion of books into every pair of sizes and recommend one") {}
    void AddOptions(CLI::App& subcommand) override;

  private:
    int RunOnBook(const std::string& path, size_t index, CliStreams& streams) override;
};

using Outcome = Prediction::Outcome;

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::Refused:
            return "refused";
        case Outcome::TooLong:
            return "too-long";
        case Outcome::Full:
            return "full";
        case Outcome::Empty:
            return "empty";
        case Outcome::Fits:
            return "fits";
    }
    return "?";
}

nlohmann::ordered_json PredictionJson(const Prediction& p) {
    const bool fits = p.outcome == Outcome::Fits;
    const auto number = [fits](auto value) {
        return fits ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
    };
    return {{"recordSize", p.sizes.recordSize},
            {"hashIndexSize", p.sizes.hashIndexSize},
            {"outcome", OutcomeName(p.outcome)},
            {"records", fits || p.outcome == Outcome::Full ? nlohmann::ordered_json(p.records)
                                                           : nlohmann::ordered_json(nullptr)},
            {"bytes", number(p.bytes)},
            {"longestChain", number(p.lengths.longest)},
            {"shortestChain", number(p.lengths.shortest)},
            {"meanReads", number(p.meanReads)}};
}

void PrintTable(std::ostream& out, const std::vector<Prediction>& predictions,
                const std::optional<SizePair>& current, const std::optional<SizePair>& best) {
    out << FormatLog("%11s %10s  %-8s %8s %10s %8s %10s\n", "Record size", "Hash size", "Outcome",
                     "Records", "MiB", "Longest", "Mean reads");
    for (const Prediction& p : predictions) {
        std::string line = FormatLog("%11d %10d  %-8s", p.sizes.recordSize, p.sizes.hashIndexSize,
                                     OutcomeName(p.outcome));
        if (p.outcome == Outcome::Fits) {
            line += FormatLog(" %8u %10.1f %8d %10.2f", p.records, Mebibytes(p.bytes),
                              p.lengths.longest, p.meanReads);
        } else if (p.outcome == Outcome::Full) {
            line += FormatLog(" %8u", p.records);
        }
        if (current == p.sizes) {
            line += "  <- the book's own";
        }
        if (best == p.sizes) {
            line += "  <- recommended";
        }
        out << line << '\n';
    }
    out << DescribeRecommendedPair(best) << '\n';
}

}  // namespace

void AdviseCommand::AddOptions(CLI::App& subcommand) {
    AddBookOptions(subcommand, "One JSON object per book instead of the table");
}

int AdviseCommand::RunOnBook(const std::string& path, size_t /*index*/, CliStreams& streams) {
    PrintHeading(streams.out, path);
    // The findings of the walk are the analysis's to tell; errors go to stderr.
    CommandBook book(path, streams.err, nullptr, streams.files);
    if (!book.Opened()) {
        return kExitFailure;
    }
    TextConsole findings;
    const std::vector<SizePair> pairs = OfferedPairs();
    std::vector<Prediction> predictions;
    try {
        predictions = PredictConversions(book.Book(), pairs, findings);
    } catch (const BookFatalError&) {
        return kExitFailure;
    }
    const BookHeader& header = book.Book().InputHeader();
    const SizePair own{header.recordSize, header.hashIndexSize};
    const std::optional<SizePair> current =
        std::find(pairs.begin(), pairs.end(), own) != pairs.end() ? std::optional(own)
                                                                  : std::nullopt;
    const std::optional<SizePair> best = RecommendedPair(predictions);
    if (Json()) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const Prediction& prediction : predictions) {
            list.push_back(PredictionJson(prediction));
        }
        PrintJson(streams.out, {{"book", path},
                                {"current", PairJson(current)},
                                {"recommended", PairJson(best)},
                                {"pairs", list}});
    } else {
        PrintTable(streams.out, predictions, current, best);
    }
    return kExitSuccess;
}

std::unique_ptr<Command> MakeAdviseCommand() { return std::make_unique<AdviseCommand>(); }

}  // namespace plinth::cli
