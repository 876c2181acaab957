// The analysis in its phases, and the pass that frames it.

#include "maintenance/BookAnalysis.h"

#include <algorithm>
#include <optional>

#include "book/ChainPass.h"
#include "maintenance/ConversionPrediction.h"
#include "maintenance/RecordSizeCheck.h"

namespace plinth {
namespace {

// A chain longer than this calls for a larger HashIndex.
constexpr int kLongestSoundChain = 8;
constexpr int kSmallestRecommendation = 256;
// Records per slot above which the best sizes are counted during the walk.
constexpr uint64_t kCountedChainRecords = 4;

// The analysis of the open book runs in phases:
//   1. the walk: a comment record outside the book first, then every chain,
//      every record checked, the chains measured and the damage on the way
//      reported; for a large book with long chains the predicted books of
//      phase 4 are counted along, from the same digests
//   2. the records that no chain reaches but that hold positions, up to the end
//      of the file
//   3. the header checked against what the walk found: the totals of a book
//      without damage, and the record size of a damaged one
//   4. the count of the predicted books, where the longest chain calls for a
//      larger HashIndex: the best fitting sizes, from the count made along or
//      from a pass of its own
//   5. the summary
class Analysis final : private ChainVisitor {
  public:
    Analysis(BookReader& book, Threads threads) : m_book(book), m_threads(threads), m_walker(book) {
        const BookHeader& header = book.InputHeader();
        // Whether the best sizes are asked for is known only after the walk.
        // When the chains of a large book are long on average they are counted
        // during the walk rather than by a second pass over the book; otherwise
        // that pass is made if needed.
        if (WorthASecondThread(header, threads) &&
            header.recordCount > kCountedChainRecords * uint64_t{header.hashIndexSize}) {
            m_countAlong.emplace(book, m_walker, OfferedPairs(), m_silent, 0);
            if (!m_countAlong->AnyPairFits()) {
                m_countAlong.reset();
            }
        }
    }

    AnalysisReport Run() {
        ReportCommentOutsideTheBook();
        WalkChains();
        ReportUnreachedRecords();
        CheckHeader();
        WriteSummary();
        return std::move(m_report);
    }

  private:
    // Phase 1.
    void ReportCommentOutsideTheBook() {
        if (!m_book.HoldsCommentRecord()) {
            const uint16_t record = m_book.InputHeader().commentRecord;
            PrintLog(m_book.Console(), "Error - the comment record %d lies outside the book\n",
                     int{record});
            AddFinding({AnalysisFinding::Kind::CommentOutsideBook, 0, record, 0, 0});
        }
    }

    void WalkChains() {
        if (m_countAlong) {
            BothVisitors both(*this, m_countAlong->Visitor());
            RunChainPass(m_book, m_walker, both, RecordDigests::Entries, m_threads);
        } else {
            RunChainPass(m_book, m_walker, *this, RecordDigests::Verdicts, m_threads);
        }
    }

    bool OnRecord(uint32_t slot, const VisitedRecord& record) override {
        if (!record.sound) {
            PrintLog(m_book.Console(), "Error in freespace of record# %d\n", int{record.number});
            AddFinding({AnalysisFinding::Kind::FailedRecordCheck, slot, record.number, 0, 0});
        }
        m_records.CountRecord(record.sound, record.contents.holdsPositions);
        m_positions += record.contents.positions;
        m_moves += record.contents.moves;
        ++m_chainLength;
        return true;
    }

    void OnLinkFollowed() override {
        ++m_visited;
        ProgressRange{0, 100}.Show(m_book.Console(), m_visited, m_book.InputHeader().recordCount);
    }

    void OnChainEnd(uint32_t slot, ChainEnd end) override {
        m_records.CountEnd(end);
        if (m_walker.ReportEnd(m_book.Console(), slot, end)) {
            // An invalid slot names the link it holds as its record.
            const uint16_t record =
                end == ChainEnd::InvalidSlot ? m_walker.LastNext() : m_walker.LastRecord();
            AddFinding({FindingOf(end), slot, record, m_walker.LastNext(),
                        m_book.InputHeader().recordCount});
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

    // Phase 2.
    void ReportUnreachedRecords() {
        m_walker.ForEachUnreachedRecord([this](uint16_t record) {
            PrintLog(m_book.Console(),
                     "Error - no chain reaches record# %d, which holds positions\n", int{record});
            AddFinding({AnalysisFinding::Kind::UnreachedRecord, 0, record, 0, 0});
            m_records.CountRecord(CheckRecord(m_book.RecordArea(), m_book.InputKind()), true);
            return true;
        });
    }

    void AddFinding(const AnalysisFinding& finding) {
        ++m_report.errors;
        m_report.findings.push_back(finding);
    }

    // Phase 3. The header's totals are those of a book without damage: of one
    // with damage they cannot be told. A book whose chains break may have the
    // wrong record size in its header.
    void CheckHeader() {
        const BookHeader& header = m_book.InputHeader();
        if (m_report.errors == 0) {
            if (header.totalPositions != m_positions || header.totalMoves != m_moves) {
                m_headerWarning = FormatLog(
                    "Warning - the header counts %u positions and %u moves; the book holds %u and "
                    "%u\n",
                    header.totalPositions, header.totalMoves, m_positions, m_moves);
            }
        } else if (const std::optional<int> size = LikelyRecordSize(m_book, m_records)) {
            m_report.likelyRecordSize = size;
            m_headerWarning = FormatLog(
                "Warning - the records of this file look like records of %d bytes; the header "
                "says %d\n",
                *size, int{header.recordSize});
        }
    }

    // Phase 4: the predictions of every offered pair. This analysis has told the
    // findings of the walk already.
    std::vector<Prediction> CountPredictedBooks() {
        if (m_countAlong) {
            return m_countAlong->Finish();
        }
        return PredictConversions(m_book, OfferedPairs(), m_silent, m_threads);
    }

    // The recommended size goes by the record count alone and may not fit the
    // book; the pair that advise recommends does, from the book's positions.
    void WriteBestSizes() {
        const std::vector<Prediction> predictions = CountPredictedBooks();
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

    // Phase 5.
    void WriteSummary() {
        IConsole& console = m_book.Console();
        console.AppendText(m_headerWarning);
        PrintChainLengths(console, m_report.lengths);
        if (m_report.lengths.longest > kLongestSoundChain) {
            const int size = RecommendedHashIndexSize(m_book.InputHeader().recordCount);
            m_report.recommendedHashIndexSize = size;
            PrintLog(console,
                     "The longest chain is too big, it is recommended to increase the hash index "
                     "size.\n");
            PrintLog(console, "Recommended hash index size is: %d\n", size);
            WriteBestSizes();
        }
        if (m_report.errors != 0) {
            PrintLog(console, "Found %d errors, run optimize to fix them\n", m_report.errors);
        }
        PrintLog(console, "Analisys completed\n");
        console.SetProgress(100);
    }

    BookReader& m_book;
    Threads m_threads;
    ChainWalker m_walker;
    AnalysisReport m_report;
    int m_chainLength = 0;  // records of the chain being walked
    uint32_t m_visited = 0;
    RecordReading m_records;   // as the header says, for its record size
    uint32_t m_positions = 0;  // in the chains
    uint32_t m_moves = 0;
    std::string m_headerWarning;
    SilentConsole m_silent;
    std::optional<PredictionPass> m_countAlong;  // the count of phase 3, made in phase 1
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

AnalysisResult AnalyseBook(BookReader& book, Threads threads) {
    AnalysisResult result;
    if (!book.IsInputOpen()) {
        return result;
    }
    IConsole& console = book.Console();
    console.ClearConsole();
    console.ShowProgress();
    try {
        result.report = book.WithinMemory([&] { return Analysis(book, threads).Run(); });
        result.outcome = AnalyseOutcome::Completed;
    } catch (const BookFatalError&) {
        result.outcome = AnalyseOutcome::FatalError;
    }
    console.HideProgress();
    return result;
}

}  // namespace plinth
