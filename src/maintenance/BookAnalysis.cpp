#include "maintenance/BookAnalysis.h"

#include <algorithm>
#include <optional>
#include <thread>

#include "book/ChainWalk.h"
#include "book/StoppableFileSystem.h"
#include "maintenance/BookMeasurement.h"
#include "maintenance/ConversionPrediction.h"

namespace plinth {
namespace {

// A chain longer than this calls for a larger HashIndex.
constexpr int kLongestSoundChain = 8;
constexpr int kSmallestRecommendation = 256;

class Analysis {
  public:
    Analysis(BookReader& book, Threads threads) : m_book(book), m_threads(threads), m_walker(book) {
        if (WorthASecondThread(book.InputHeader(), threads)) {
            // Whether the best sizes are asked for is known only after the walk;
            // the prediction reads the book again, in a reader of its own, and is
            // stopped when it is not needed.
            m_prediction = std::jthread([this, path = book.InputPath()](std::stop_token stop) {
                StoppableFileSystem files(m_book.Files(), std::move(stop));
                m_measurement = BookMeasurement::Measure(path, files);
            });
        }
    }

    AnalysisReport Run() {
        const uint32_t slots = m_book.InputHeader().hashIndexSize;
        for (uint32_t slot = 0; slot < slots; ++slot) {
            const int length = AnalyseChain(slot);
            m_report.longest = std::max(m_report.longest, length);
            m_report.shortest = std::min(m_report.shortest, length);
            ++m_report.slotsByChainLength[length];
        }
        m_walker.ForEachUnreachedRecord([this](uint16_t record) {
            m_book.PrintLog("Error - no chain reaches record# %d, which holds positions\n",
                            int{record});
            AddFinding({AnalysisFinding::Kind::UnreachedRecord, 0, record, 0, 0});
            return true;
        });
        WriteSummary();
        return std::move(m_report);
    }

  private:
    // Walks the chain of `slot` and gives its length in records.
    int AnalyseChain(uint32_t slot) {
        int length = 0;
        const BookKind kind = m_book.InputKind();
        const ChainEnd end = m_walker.Walk(
            slot,
            [&](uint16_t record) {
                if (!CheckRecord(m_book.RecordArea(), kind)) {
                    m_book.PrintLog("Error in freespace of record# %d\n", int{record});
                    AddFinding({AnalysisFinding::Kind::FailedRecordCheck, slot, record, 0, 0});
                }
                ++length;
                return true;
            },
            [&]() { AdvanceProgress(); });
        if (m_walker.ReportEnd(m_book.Console(), slot, end)) {
            // An invalid slot names the link it holds as its record.
            const uint16_t record =
                end == ChainEnd::InvalidSlot ? m_walker.LastNext() : m_walker.LastRecord();
            AddFinding({FindingOf(end), slot, record, m_walker.LastNext(),
                        m_book.InputHeader().recordCount});
        }
        return length;
    }

    static AnalysisFinding::Kind FindingOf(ChainEnd end) {
        switch (end) {
            case ChainEnd::InvalidSlot:
                return AnalysisFinding::Kind::InvalidHashIndexLink;
            case ChainEnd::Loop:
                return AnalysisFinding::Kind::ChainLoop;
            case ChainEnd::Shared:
                return AnalysisFinding::Kind::SharedRecord;
            case ChainEnd::Missing:
                return AnalysisFinding::Kind::MissingRecord;
            default:
                return AnalysisFinding::Kind::InvalidChainLink;
        }
    }

    void AdvanceProgress() {
        ++m_visited;
        const int percent = static_cast<int>(static_cast<int64_t>(m_visited) * 100 /
                                             m_book.InputHeader().recordCount);
        if (percent % 10 == 0) {
            m_book.Console().SetProgress(percent);
        }
    }

    void AddFinding(const AnalysisFinding& finding) {
        ++m_report.errors;
        m_report.findings.push_back(finding);
    }

    // The recommended size above goes by the record count alone and may not fit
    // the book; the pair that advise recommends does, from the book's positions.
    void WriteBestSizes() {
        std::vector<Prediction> predictions;
        if (m_prediction.joinable()) {
            m_prediction.join();
            if (m_measurement && !m_measurement->Failed()) {
                predictions = m_measurement->Predictions();
            }
        }
        if (predictions.empty()) {
            TextConsole findings;  // this analysis has told them already
            predictions = PredictConversions(m_book, OfferedPairs(), findings, m_threads);
        }
        m_report.bestSizes = RecommendedPair(predictions);
        if (!m_report.bestSizes) {
            m_book.PrintLog("No sizes in the tables fit this book\n");
            return;
        }
        const auto best =
            std::find_if(predictions.begin(), predictions.end(),
                         [&](const Prediction& p) { return p.sizes == m_report.bestSizes; });
        m_book.PrintLog(
            "Best fitting sizes: record size %d, hash index size %d (longest chain %d)\n",
            m_report.bestSizes->recordSize, m_report.bestSizes->hashIndexSize, best->longestChain);
    }

    void WriteSummary() {
        m_book.PrintLog("Longest chain:\t\t%d\n", m_report.longest);
        m_book.PrintLog("Shortest chain:\t\t%d\n", m_report.shortest);
        if (m_report.longest > kLongestSoundChain) {
            const int size = RecommendedHashIndexSize(m_book.InputHeader().recordCount);
            m_report.recommendedHashIndexSize = size;
            m_book.PrintLog(
                "The longest chain is too big, it is recommended to increase the hash index "
                "size.\n");
            m_book.PrintLog("Recommended hash index size is: %d\n", size);
            WriteBestSizes();
        }
        if (m_report.errors != 0) {
            m_book.PrintLog("Found %d errors, run optimize to fix them\n", m_report.errors);
        }
        m_book.PrintLog("Analisys completed\n");
        m_book.Console().SetProgress(100);
    }

    BookReader& m_book;
    Threads m_threads;
    ChainWalker m_walker;
    AnalysisReport m_report;
    std::optional<BookMeasurement> m_measurement;  // made by m_prediction
    std::jthread m_prediction;                     // joined first when the analysis goes
    int m_visited = 0;
};

}  // namespace

int RecommendedHashIndexSize(uint32_t recordCount) {
    const auto quarter = static_cast<int>(recordCount / 4);
    int size = kSmallestRecommendation;
    while (size < quarter) {
        size *= 2;
    }
    return size;
}

AnalysisReport AnalyseBook(BookReader& book, Threads threads) {
    return Analysis(book, threads).Run();
}

AnalyseOutcome OnAnalyse(BookReader& book, AnalysisReport* report, Threads threads) {
    if (!book.IsInputOpen()) {
        return AnalyseOutcome::NoBookOpen;
    }
    IConsole& console = book.Console();
    console.ClearConsole();
    console.ShowProgress();
    AnalyseOutcome outcome = AnalyseOutcome::Completed;
    try {
        AnalysisReport result = AnalyseBook(book, threads);
        if (report != nullptr) {
            *report = std::move(result);
        }
    } catch (const BookFatalError&) {
        outcome = AnalyseOutcome::FatalError;
    }
    console.HideProgress();
    return outcome;
}

}  // namespace plinth
