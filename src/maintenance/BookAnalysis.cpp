#include "maintenance/BookAnalysis.h"

#include <algorithm>
#include <optional>

#include "book/ChainPass.h"
#include "maintenance/ConversionPrediction.h"
#include "maintenance/CopyWalk.h"

namespace plinth {
namespace {

// A chain longer than this calls for a larger HashIndex.
constexpr int kLongestSoundChain = 8;
constexpr int kSmallestRecommendation = 256;
// Records per slot above which the best sizes are counted during the walk.
constexpr uint64_t kCountedChainRecords = 4;

class Analysis final : private ChainVisitor {
  public:
    Analysis(BookReader& book, Threads threads) : m_book(book), m_threads(threads), m_walker(book) {
        const BookHeader& header = book.InputHeader();
        if (WorthASecondThread(header, threads) &&
            header.recordCount > kCountedChainRecords * uint64_t{header.hashIndexSize}) {
            // Whether the best sizes are asked for is known only after the walk.
            // When the chains of a large book are long on average they are
            // counted during the walk, from the same digests, rather than by a
            // second pass over the book; otherwise that pass is made if needed.
            m_count.emplace(header, OfferedPairs(), m_silent);
            if (m_count->Counts()) {
                m_copy.emplace(book, m_count->Sink(), m_silent, 0, m_walker);
            }
        }
    }

    AnalysisReport Run() {
        RunChainPass(m_book, m_walker, *this,
                     m_copy ? RecordDigests::Entries : RecordDigests::Verdicts, m_threads);
        m_walker.ForEachUnreachedRecord([this](uint16_t record) {
            PrintLog(m_book.Console(),
                     "Error - no chain reaches record# %d, which holds positions\n", int{record});
            AddFinding({AnalysisFinding::Kind::UnreachedRecord, 0, record, 0, 0});
            return true;
        });
        WriteSummary();
        return std::move(m_report);
    }

  private:
    bool OnRecord(uint32_t slot, uint16_t record, bool sound,
                  std::span<const DigestedEntry> entries) override {
        if (!sound) {
            PrintLog(m_book.Console(), "Error in freespace of record# %d\n", int{record});
            AddFinding({AnalysisFinding::Kind::FailedRecordCheck, slot, record, 0, 0});
        }
        ++m_chainLength;
        if (m_copy) {
            m_copy->Visitor().OnRecord(slot, record, sound, entries);
        }
        return true;
    }

    void OnLinkFollowed() override { AdvanceProgress(); }

    void OnChainEnd(uint32_t slot, ChainEnd end) override {
        if (m_walker.ReportEnd(m_book.Console(), slot, end)) {
            // An invalid slot names the link it holds as its record.
            const uint16_t record =
                end == ChainEnd::InvalidSlot ? m_walker.LastNext() : m_walker.LastRecord();
            AddFinding({FindingOf(end), slot, record, m_walker.LastNext(),
                        m_book.InputHeader().recordCount});
        }
        if (m_copy) {
            m_copy->Visitor().OnChainEnd(slot, end);
        }
        m_report.lengths.Count(m_chainLength);
        ++m_report.slotsByChainLength[m_chainLength];
        m_chainLength = 0;
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
        if (m_count) {
            if (m_copy) {
                m_copy->RecoverAfterChains();
            }
            predictions = m_count->Finish();
        } else {
            // This analysis has told the findings of the walk already.
            predictions = PredictConversions(m_book, OfferedPairs(), m_silent, m_threads);
        }
        m_report.bestSizes = RecommendedPair(predictions);
        if (!m_report.bestSizes) {
            PrintLog(m_book.Console(), "No sizes in the tables fit this book\n");
            return;
        }
        const auto best =
            std::find_if(predictions.begin(), predictions.end(),
                         [&](const Prediction& p) { return p.sizes == m_report.bestSizes; });
        PrintLog(m_book.Console(),
                 "Best fitting sizes: record size %d, hash index size %d (longest chain %d)\n",
                 m_report.bestSizes->recordSize, m_report.bestSizes->hashIndexSize,
                 best->lengths.longest);
    }

    void WriteSummary() {
        PrintChainLengths(m_book.Console(), m_report.lengths);
        if (m_report.lengths.longest > kLongestSoundChain) {
            const int size = RecommendedHashIndexSize(m_book.InputHeader().recordCount);
            m_report.recommendedHashIndexSize = size;
            PrintLog(m_book.Console(),
                     "The longest chain is too big, it is recommended to increase the hash index "
                     "size.\n");
            PrintLog(m_book.Console(), "Recommended hash index size is: %d\n", size);
            WriteBestSizes();
        }
        if (m_report.errors != 0) {
            PrintLog(m_book.Console(), "Found %d errors, run optimize to fix them\n",
                     m_report.errors);
        }
        PrintLog(m_book.Console(), "Analisys completed\n");
        m_book.Console().SetProgress(100);
    }

    BookReader& m_book;
    Threads m_threads;
    ChainWalker m_walker;
    AnalysisReport m_report;
    int m_chainLength = 0;  // records of the chain being walked
    int m_visited = 0;
    SilentConsole m_silent;
    std::optional<ConversionCount> m_count;  // of the best sizes, for a large book
    std::optional<CopyWalk> m_copy;          // its walk, riding along with this one
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
    return book.WithinMemory([&] { return Analysis(book, threads).Run(); });
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
