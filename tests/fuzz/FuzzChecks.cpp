#include "FuzzChecks.h"

#include "HookedFileSystem.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "BookChecks.h"
#include "BookOracle.h"
#include "RecordingConsole.h"
#include "TempDir.h"
#include "book/BookFormat.h"
#include "maintenance/BookAnalysis.h"
#include "maintenance/BookOpening.h"
#include "maintenance/BookOptimization.h"
#include "maintenance/ConversionPrediction.h"
#include "maintenance/OptimizeSettings.h"

namespace plinth::fuzz {
namespace {

using Problems = std::vector<std::string>;

std::optional<BookHeader> HeaderOf(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < layout::kHeaderSize) {
        return std::nullopt;
    }
    return DecodeHeader(std::span<const uint8_t, layout::kHeaderSize>(bytes.data(), 38));
}

// The records that a walk of the book of `header` may read from a file of
// `bytes` bytes: those below recordCount, and the whole ones of the file past it.
uint64_t RecordsToRead(const BookHeader& header, size_t bytes) {
    const uint64_t inFile = header.recordSize == 0 ? 0 : bytes / header.recordSize;
    return std::max<uint64_t>(header.recordCount, std::min<uint64_t>(inFile, kMaxRecordCount));
}

// Whether the reachable positions hold one that no record of `recordSize` holds:
// its key of 6 bytes and its moves take more than the record after its 4 bytes
// of links.
bool HoldsTooLongPosition(const test::OracleReading& reading, int recordSize) {
    return std::any_of(reading.positions.begin(), reading.positions.end(),
                       [recordSize](const builder::Position& position) {
                           return 4 + 6 + position.moves.size() > static_cast<size_t>(recordSize);
                       });
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class BookRun {
  public:
    BookRun(std::span<const uint8_t> book, const std::string& folder)
        : m_original(book.begin(), book.end()),
          m_path(folder + "/book.bk"),
          m_output(folder + "/converted.bk"),
          m_reading(test::ReadAsOracle(m_original)) {
        for (const std::string& path : {m_path, m_output, NewBook(), Backup()}) {
            std::filesystem::remove(path);
        }
        test::WriteFileBytes(m_path, m_original);
    }

    Problems Run(SizePair toNewFile, SizePair inPlace) {
        // A header with a book's magic opens; a comment record outside the book is
        // damage, not the end.
        const bool opened = OpenChosenBook(m_book, m_path);
        Expect(opened == test::PassesForABook(m_original),
               opened ? "a file that is no book opened" : "the book did not open");
        if (opened) {
            Expect(AttributeRows(m_book).size() == kAttributeFields.size(),
                   "the attribute list has not 11 rows");
            const std::optional<int> likely = Analyse();
            Convert(toNewFile, m_output);
            // In place, the book is read with the record size the analysis names.
            if (likely) {
                m_readAs = likely;
                m_reading = test::ReadAsOracle(m_original, m_readAs);
                m_predictions.clear();
            }
            Convert(inPlace, std::nullopt);
        }
        return std::move(m_problems);
    }

  private:
    std::string NewBook() const { return m_path + kNewBookSuffix; }
    std::string Backup() const { return m_path + kBackupSuffix; }
    const BookHeader& Header() const { return m_book.InputHeader(); }

    // Notes the problem, with what the console showed, unless `holds`.
    void Expect(bool holds, const std::string& problem) {
        if (!holds) {
            m_problems.push_back(problem + "\n--- console ---\n" + m_console.Text());
        }
    }

    // However the links run, the walk reads each record once at most, and the
    // reading with each other record size where faults are found twice at most (a
    // reader of its own: its header, HashIndex and comment too); damage,
    // missing records included, never ends an analysis of a book that opened.
    // What the header says wrong is told as the oracle tells it.
    std::optional<int> Analyse() {
        const uint64_t readsBefore = m_files.reads;
        const auto [outcome, report] = AnalyseBook(m_book);
        Expect(outcome == AnalyseOutcome::Completed, "the analysis did not complete");
        BookHeader smallest = Header();
        smallest.recordSize = static_cast<uint16_t>(kRecordSizeTable[0]);
        const uint64_t otherSizes =
            m_reading.faults == 0
                ? 0
                : kRecordSizeTable.size() * (2 * RecordsToRead(smallest, m_original.size()) + 3);
        Expect(
            m_files.reads - readsBefore <= RecordsToRead(Header(), m_original.size()) + otherSizes,
            "the analysis read more records than the book holds");
        Expect(report.errors == m_reading.findings && report.lengths == m_reading.lengths,
               "the analysis differs from the oracle's " + std::to_string(m_reading.findings) +
                   " errors and chains " + std::to_string(m_reading.lengths.longest) + ".." +
                   std::to_string(m_reading.lengths.shortest));
        Expect(report.likelyRecordSize == test::LikelyRecordSize(m_original),
               "the analysis names another record size than the oracle");
        const std::string totals = test::TotalsWarning(m_original);
        Expect(Contains(m_console.Text(), "Warning - the header counts") == !totals.empty() &&
                   Contains(m_console.Text(), totals),
               "the analysis does not warn of the header's totals as the oracle: " + totals);
        Expect(!m_console.progressVisible, "the progress bar stayed visible after the analysis");
        return report.likelyRecordSize;
    }

    // The conversion ends as predicted; a refusal or a stop touches nothing, and a
    // converted book holds exactly what sound links reach.
    void Convert(SizePair to, const std::optional<std::string>& outputPath) {
        if (!m_book.IsInputOpen() && !OpenChosenBook(m_book, m_path)) {
            return Expect(false, "the book did not open again");
        }
        BookHeader read = Header();
        read.recordSize = static_cast<uint16_t>(m_readAs.value_or(read.recordSize));
        const uint64_t records = RecordsToRead(read, m_original.size());
        const Prediction predicted = Predicted(to);
        const uint64_t readsBefore = m_files.reads;
        const OptimizeResult result = OptimizeBook(
            m_book, {to.recordSize, to.hashIndexSize, outputPath, Threads::All, m_readAs});
        const std::string& text = m_console.Text();
        const std::string outcome =
            " (outcome " + std::to_string(static_cast<int>(result.outcome)) +
            (outputPath ? ", into a new file" : ", in place") + " to " +
            std::to_string(to.recordSize) + "/" + std::to_string(to.hashIndexSize) + ")";
        // Prediction and copy walk read a record twice at most (recovery once more).
        Expect(m_files.reads - readsBefore <= 4 * records + 4,
               "the conversion read more records than the chains hold" + outcome);
        Expect(!m_console.progressVisible, "the progress bar stayed visible" + outcome);
        Expect(PredictionHolds(predicted, result.outcome, text, outputPath.value_or(m_path)),
               "the prediction of " + std::to_string(predicted.records) +
                   " records differs from the conversion" + outcome);
        const bool tooLong = HoldsTooLongPosition(m_reading, to.recordSize);
        // No success with an empty book from a book that held positions.
        const bool losesAll =
            m_reading.positions.empty() && !tooLong &&
            (m_originalHeader.totalPositions != 0 || m_reading.recordsHoldingPositions != 0);
        switch (result.outcome) {
            case OptimizeOutcome::Refused:
                Expect(text.empty() && result.refusal.starts_with("**Error** New "),
                       "a refusal wrote to the console or gave no reason" + outcome);
                return ExpectBookUntouched(outcome);
            case OptimizeOutcome::DoesNotFit:
                Expect(
                    text.ends_with("Conversion stopped, the book was not changed\n") &&
                        Contains(text, "bytes holds. Choose a larger record size") == tooLong,
                    "the conversion stopped without a position too long or a full book" + outcome);
                return ExpectBookUntouched(outcome);
            case OptimizeOutcome::NothingRead:
                Expect(losesAll && Contains(text, "*** Error *** No position could be read") &&
                           text.ends_with("Conversion stopped, the book was not changed\n"),
                       "the conversion stopped for no position read" + outcome);
                return ExpectBookUntouched(outcome);
            case OptimizeOutcome::Converted:
                Expect(!tooLong, "converted a book that it cannot carry over whole" + outcome);
                Expect(!losesAll, "an empty book from a book that held positions" + outcome);
                return ExpectConverted(to, outputPath, outcome);
            default:
                Expect(false, "the conversion failed" + outcome);
        }
    }

    // What one pass over the book for every pair of sizes predicts for `to`.
    const Prediction& Predicted(SizePair to) {
        if (m_predictions.empty()) {
            TextConsole ignored;
            if (m_readAs) {
                m_book.ReadAsRecordsOf(static_cast<uint16_t>(*m_readAs));
            }
            m_predictions = PredictConversions(m_book, m_pairs, ignored);
            m_book.ReadAsRecordsOf(m_book.HeaderRecordSize());
        }
        return m_predictions.at(
            static_cast<size_t>(std::find(m_pairs.begin(), m_pairs.end(), to) - m_pairs.begin()));
    }

    // Whether the conversion ended as predicted, with its records and chains.
    static bool PredictionHolds(const Prediction& predicted, OptimizeOutcome outcome,
                                const std::string& text, const std::string& converted) {
        using Outcome = Prediction::Outcome;
        const std::string records = std::to_string(predicted.records);
        switch (outcome) {
            case OptimizeOutcome::Refused:
                return predicted.outcome == Outcome::Refused;
            case OptimizeOutcome::DoesNotFit:
                return predicted.outcome == Outcome::TooLong ||
                       (predicted.outcome == Outcome::Full &&
                        Contains(text, "would need " + records + " records"));
            case OptimizeOutcome::NothingRead:
                return predicted.outcome == Outcome::Empty && predicted.positions == 0;
            case OptimizeOutcome::Converted:
                return predicted.outcome == Outcome::Fits &&
                       HeaderOf(test::ReadFileBytes(converted))
                               .value_or(BookHeader{})
                               .recordCount == predicted.records &&
                       Contains(text,
                                FormatLog("Longest chain:\t\t%d\nShortest chain:\t\t%d\n",
                                          predicted.lengths.longest, predicted.lengths.shortest));
            default:
                return true;
        }
    }

    void ExpectConverted(SizePair to, const std::optional<std::string>& outputPath,
                         const std::string& outcome) {
        const test::ExpectedBook expected{
            m_reading.positions, m_originalHeader.magic,      to.recordSize,
            to.hashIndexSize,    m_originalHeader.attributes, m_originalHeader.word36};
        const Problems problems =
            test::ConvertedBookProblems(outputPath.value_or(m_path), expected);
        Expect(problems.empty(),
               "the converted book is not sound" + outcome + ":\n" + test::Describe(problems));
        Expect(m_book.IsInputOpen(), "the converted book is not open" + outcome);
        Expect(!std::filesystem::exists(NewBook()), "the new book was left behind" + outcome);
        if (outputPath) {
            Expect(test::ReadFileBytes(m_path) == m_original && !std::filesystem::exists(Backup()),
                   "a conversion into a new file touched the book" + outcome);
            std::filesystem::remove(*outputPath);
        } else {
            Expect(std::filesystem::exists(Backup()) && test::ReadFileBytes(Backup()) == m_original,
                   "the backup is not the original book" + outcome);
        }
    }

    void ExpectBookUntouched(const std::string& outcome) {
        Expect(test::ReadFileBytes(m_path) == m_original, "the book was changed" + outcome);
        for (const std::string& path : {m_output, NewBook(), Backup()}) {
            Expect(!std::filesystem::exists(path),
                   std::string(path).append(" was left behind" + outcome));
        }
    }

    std::vector<uint8_t> m_original;
    std::string m_path;
    std::string m_output;
    test::OracleReading m_reading;
    std::optional<int> m_readAs;  // the record size the book is converted with
    BookHeader m_originalHeader = HeaderOf(m_original).value_or(BookHeader{});
    test::HookedFileSystem m_files;
    const std::vector<SizePair> m_pairs = OfferedPairs();
    std::vector<Prediction> m_predictions;
    test::RecordingConsole m_console;
    BookReader m_book{m_console, m_files};
    Problems m_problems;
};

}  // namespace

BookInput SplitBookInput(std::span<const uint8_t> data) {
    if (data.size() < 2) {
        return {data, 0, 0};
    }
    return {data.first(data.size() - 2), data[data.size() - 2], data[data.size() - 1]};
}

std::vector<uint8_t> JoinBookInput(std::span<const uint8_t> book, uint8_t toNewFile,
                                   uint8_t inPlace) {
    std::vector<uint8_t> data(book.begin(), book.end());
    data.push_back(toNewFile);
    data.push_back(inPlace);
    return data;
}

SizePair GeometryOf(uint8_t choice) {
    const std::vector<int> recordSizes = OfferedSizes(kRecordSizeTable);
    const std::vector<int> hashIndexSizes = OfferedSizes(kHashIndexSizeTable);
    return {recordSizes[choice % recordSizes.size()],
            hashIndexSizes[(choice / recordSizes.size()) % hashIndexSizes.size()]};
}

Problems CheckBookInput(std::span<const uint8_t> data, const std::string& folder) {
    const BookInput input = SplitBookInput(data);
    return BookRun(input.book, folder).Run(GeometryOf(input.toNewFile), GeometryOf(input.inPlace));
}

Problems CheckRecordInput(std::span<const uint8_t> data) {
    Problems problems;
    if (data.empty()) {
        return problems;
    }
    const BookKind kind = (data[0] & 1) == 0 ? BookKind::Standard : BookKind::WithStatistics;
    const size_t moveSize = MoveSize(kind);
    // Exactly the record's size, so that the sanitizer sees any read past it.
    const size_t size = data.size() - 1;
    const auto bytes = std::make_unique<uint8_t[]>(size);
    std::copy(data.begin() + 1, data.end(), bytes.get());
    const std::span<const uint8_t> record(bytes.get(), size);

    size_t next = layout::kFirstEntry;
    bool damaged = false;
    const EntriesEnd end = WalkEntries(record, kind, [&](const EntryExtent& entry) {
        if (entry.offset != next ||
            entry.size != layout::kEntryKeySize + entry.moveCount * moveSize ||
            entry.offset + entry.size > size) {
            problems.push_back("the entry at " + std::to_string(entry.offset) + " is misplaced");
        }
        damaged |= entry.cut || entry.equalCodeMoves != 0;
        next = entry.offset + entry.size;
    });
    const uint16_t keyAtEnd = DecodeU16Padded(record, next);
    const bool endFits = (end == EntriesEnd::RecordEnd && next >= size) ||
                         (end == EntriesEnd::ZeroKey && next < size && keyAtEnd == 0) ||
                         (end == EntriesEnd::NoRoom && next < size && keyAtEnd != 0 &&
                          next + SmallestEntry(kind) > size);
    if (!endFits) {
        problems.push_back("the entries end at " + std::to_string(next) + " for the wrong reason");
    }

    // Every way of looking at the moves finds the same entries.
    for (const MoveScan scan : {MoveScan::StepByStep, MoveScan::FourAtOnce}) {
        std::vector<EntryExtent> fastest;
        std::vector<EntryExtent> other;
        const EntriesEnd fastestEnd =
            WalkEntries(record, kind, [&](const EntryExtent& e) { fastest.push_back(e); });
        if (WalkEntries(
                record, kind, [&](const EntryExtent& e) { other.push_back(e); }, scan) !=
                fastestEnd ||
            fastest != other) {
            problems.push_back("the scans of the moves disagree, " +
                               std::to_string(static_cast<int>(scan)));
        }
    }
    const bool passes = CheckRecord(record, kind);
    if (passes != test::RecordPassesCheck(record, moveSize)) {
        problems.emplace_back(passes ? "the record check passes a damaged record"
                                     : "the record check fails a sound record");
    }
    if (passes != (!damaged && end != EntriesEnd::NoRoom)) {
        problems.emplace_back("the record check and the entry walk disagree");
    }

    return problems;
}

}  // namespace plinth::fuzz
