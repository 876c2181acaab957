// Conversions end to end: fit checks, round trips, repairs, the exchange, failures.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <new>
#include <optional>
#include <set>
#include <vector>

#include "BookBuilder.h"
#include "BookChecks.h"
#include "BookOracle.h"
#include "FaultyFileSystem.h"
#include "HookedFileSystem.h"
#include "RecordingConsole.h"
#include "TempDir.h"
#include "maintenance/BookAnalysis.h"
#include "maintenance/BookMeasurement.h"
#include "maintenance/BookOpening.h"
#include "maintenance/BookOptimization.h"
#include "maintenance/ChainCount.h"
#include "maintenance/ConversionPrediction.h"
#include "maintenance/OptimizeSettings.h"

namespace plinth {
namespace {

using builder::BookImage;
using builder::BookOptions;
using builder::BuildBook;
using testing::AllOf;
using testing::EndsWith;
using testing::HasSubstr;
using testing::Not;
using Operation = test::FaultyFileSystem::Operation;
using Call = test::HookedFileSystem::Call;

// The count of the predicted books places a record's entries in four books at
// once, in the lanes of a vector, and in a book alone in its count without the
// vector, as ChainFill::Place does entry by entry and book by book: entries from
// the smallest to more than two of the books hold, in three books and an empty
// lane, in two and in one, in batches whose entries share a slot or not.
TEST(ChainCountTest, LanesPlaceAsBookByBook) {
    for (const std::vector<uint32_t>& recordSizes :
         {std::vector<uint32_t>{1024, 2048, 100}, std::vector<uint32_t>{1024, 2048},
          std::vector<uint32_t>{1024}}) {
        ChainCount lanes(8);
        ChainCount bookByBook(8);
        for (const uint32_t recordSize : recordSizes) {
            EXPECT_TRUE(lanes.AddBook(recordSize) && bookByBook.AddBook(recordSize));
        }
        // Batches of up to 20 entries, as the entries of a record come, whose
        // keys often share a slot.
        builder::Random random(3);
        for (int placed = 0; placed < 4000;) {
            std::vector<DigestedEntry> batch(static_cast<size_t>(random.Between(0, 20)));
            const auto key = static_cast<uint32_t>(random.Next());
            for (DigestedEntry& entry : batch) {
                entry.hashKey =
                    random.Between(0, 1) == 0 ? key : static_cast<uint32_t>(random.Next());
                entry.copiedSize = static_cast<uint16_t>(random.Between(10, 1100));
                bookByBook.PlaceBookByBook(entry.hashKey, entry.copiedSize);
            }
            lanes.PlaceAll(batch);
            placed += static_cast<int>(batch.size());
        }
        for (size_t book = 0; book < ChainCount::kLanes; ++book) {
            EXPECT_EQ(lanes.Positions(book), bookByBook.Positions(book)) << book;
            EXPECT_EQ(lanes.Reads(book), bookByBook.Reads(book)) << book;
            for (uint32_t slot = 0; slot < 8; ++slot) {
                EXPECT_EQ(lanes.Chain(book, slot), bookByBook.Chain(book, slot)) << book << slot;
            }
        }
        EXPECT_GT(lanes.Positions(recordSizes.size() - 1), 0u);
        EXPECT_LT(lanes.Positions(0), 4000u);
        EXPECT_EQ(lanes.Positions(3), 0u);
    }
}

// The count warns of a damaged entry as the copy of a conversion does, once for
// each kind of damage: a dry run tells what the conversion would.
TEST(ChainCountTest, TheCountWarnsOfDamagedEntries) {
    TextConsole warnings;
    const SizePair pair{1024, 1024};
    ConversionCount count(BookHeader{}, {&pair, 1}, warnings);
    const std::array<DigestedEntry, 2> entries{
        {{.hashKey = 1, .copiedSize = 10, .warnings = 2}, {.hashKey = 2, .copiedSize = 10}}};
    EXPECT_EQ(count.AddRecordPositions({}, entries).placed, 2u);
    EXPECT_EQ(warnings.Text(), std::string(kIgnoringMovesWarning) + kIgnoringMovesWarning);
}

class BookOptimizationTest : public testing::Test {
  protected:
    std::string Path() const { return dir.File("main.bk"); }
    std::string Backup() const { return Path() + ".old.bk"; }
    std::string NewBook() const { return Path() + ".new.bk"; }

    OptimizeResult Convert(const BookImage& image, int recordSize, int hashIndexSize,
                           BookReader& state) {
        image.WriteTo(Path());
        EXPECT_TRUE(OpenChosenBook(state, Path())) << console.Text();
        console.progress.clear();
        return OptimizeBook(state, {recordSize, hashIndexSize, std::nullopt});
    }
    OptimizeResult Convert(const BookImage& image, int recordSize, int hashIndexSize) {
        return Convert(image, recordSize, hashIndexSize, book);
    }
    // The book at `path` is complete, analyses clean and holds the positions of `from`.
    static void ExpectCompleteBook(const std::string& path, const BookImage& from, int recordSize,
                                   int hashIndexSize) {
        EXPECT_EQ(test::Describe(test::ConvertedBookProblems(
                      path, {from.Positions(), from.Header().magic, recordSize, hashIndexSize,
                             from.Header().attributes, from.Header().word36})),
                  "");
    }
    bool UnchangedAt(const std::string& path, const BookImage& image) const {
        return std::filesystem::exists(path) && test::ReadFileBytes(path) == image.Bytes();
    }

    test::TempDir dir;
    test::RecordingConsole console;
    BookReader book{console};
};

// In place the new book replaces the book, which is kept as the backup; into a
// new file the book stays, and a file at the output path is never written over.
TEST_F(BookOptimizationTest, CleanConversionReplacesTheBookAndKeepsABackupOrMakesANewFile) {
    const BookImage image = BuildBook({}, 500, 21);
    test::WriteFileBytes(Backup(), {1, 2, 3});  // left by an earlier conversion
    EXPECT_EQ(Convert(image, 2048, 2048).outcome, OptimizeOutcome::Converted);
    EXPECT_EQ(console.Text(),
              "Converting....\nWriting output file\n"
              "Longest chain:\t\t1\nShortest chain:\t\t1\nAvg chain length:\t0.2\n"
              "Conversion completed\n"
              "A backup copy of the original file can be found here:\r\n" +
                  Backup() + "\n");
    EXPECT_TRUE(UnchangedAt(Backup(), image));
    EXPECT_FALSE(std::filesystem::exists(NewBook()));
    ExpectCompleteBook(Path(), image, 2048, 2048);
    // The new book is open again, and the attribute rows show it.
    EXPECT_TRUE(book.IsInputOpen());
    EXPECT_EQ(test::Row(book, "Revision"), "30");
    EXPECT_EQ(test::Row(book, "Comment"), BookOptions().comment);
    EXPECT_EQ(test::Row(book, "Record size"), "2048");
    EXPECT_TRUE(console.shows == 1 && !console.progressVisible);  // shown for the pass only
    EXPECT_EQ(console.progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(console.progress.begin(), console.progress.end()));
    EXPECT_TRUE(
        std::ranges::all_of(console.progress, [](int p) { return p % 10 == 0 && p <= 100; }));

    const std::vector<uint8_t> inPlace = test::ReadFileBytes(Path());
    const std::string output = dir.File("copy.bk");
    EXPECT_EQ(OptimizeBook(book, {4096, 1024, output}).outcome, OptimizeOutcome::Converted);
    EXPECT_THAT(
        console.Text(),
        EndsWith("Conversion completed\nThe converted book was written here:\n" + output + "\n"));
    EXPECT_EQ(test::ReadFileBytes(Path()), inPlace);
    const std::vector<uint8_t> converted = test::ReadFileBytes(output);
    EXPECT_EQ(OptimizeBook(book, {1024, 1024, output}).outcome, OptimizeOutcome::NotChanged);
    // In the system's words: "File exists" on Linux, "File exists." under wine.
    EXPECT_THAT(
        console.Text(),
        AllOf(testing::StartsWith("**Error** Creating output file [" + output + "]: File exists"),
              EndsWith("\nConversion stopped, the book was not changed\n")));
    EXPECT_TRUE(book.IsInputOpen());
    EXPECT_EQ(test::ReadFileBytes(output), converted);
}

TEST_F(BookOptimizationTest, EveryGeometryKeepsEveryPositionInTheChainOfItsSlot) {
    for (const BookKind kind : {BookKind::Standard, BookKind::WithStatistics}) {
        // Long chains, in many records.
        BookImage image =
            BuildBook({.kind = kind, .recordSize = 2048, .hashIndexSize = 256}, 700, 31, {1, 20});
        // What no part interprets is not carried over.
        BookHeader header = image.Header();
        header.revision = {'2', '7'};
        header.reserved8 = {9, 9};
        header.reserved18 = {9, 9, 9, 9};
        header.word12 = 77;
        image.SetHeader(header);
        for (const auto& [recordSize, hashIndexSize] : OfferedPairs()) {
            SCOPED_TRACE(std::to_string(recordSize) + " " + std::to_string(hashIndexSize));
            ASSERT_EQ(Convert(image, recordSize, hashIndexSize).outcome, OptimizeOutcome::Converted)
                << console.Text();
            EXPECT_THAT(console.Text(), Not(HasSubstr("Warning")));
            ExpectCompleteBook(Path(), image, recordSize, hashIndexSize);
        }
    }
}

// Entries that fill a record of the new book to its last byte stay in it: twenty
// entries of a tenth of a 1 KiB record's room take two records, in the
// prediction and in the conversion, and are found in 1.5 reads on average; one
// such entry takes one record and one read.
TEST_F(BookOptimizationTest, EntriesFillARecordToItsLastByte) {
    constexpr int kRecordSize = 1024;
    constexpr size_t kMoves = ((kRecordSize - layout::kFirstEntry) / 10 - layout::kEntryKeySize) /
                              layout::kStandardMoveSize;
    static_assert(10 * (layout::kEntryKeySize + kMoves * layout::kStandardMoveSize) +
                      layout::kFirstEntry ==
                  kRecordSize);
    struct Case {
        double meanReads;
        uint32_t entries;
        int longest;
    };
    for (const Case& c : {Case{1.5, 20, 2}, Case{1.0, 1, 1}}) {
        SCOPED_TRACE(c.entries);
        builder::Random random(5);
        std::vector<builder::Position> positions;
        for (uint32_t i = 0; i < c.entries; ++i) {  // all in slot 0
            positions.push_back(
                builder::MakePosition(BookKind::Standard, i * kRecordSize, kMoves, random));
        }
        const BookImage image = BuildBook({}, positions);
        image.WriteTo(Path());
        ASSERT_TRUE(OpenChosenBook(book, Path()));
        const SizePair sizes{kRecordSize, kRecordSize};
        const Prediction predicted = PredictConversions(book, {&sizes, 1}, console).front();
        EXPECT_EQ(predicted.lengths.longest, c.longest);
        EXPECT_DOUBLE_EQ(predicted.meanReads, c.meanReads);
        ASSERT_EQ(Convert(image, kRecordSize, kRecordSize).outcome, OptimizeOutcome::Converted);
        EXPECT_THAT(console.Text(),
                    HasSubstr("Longest chain:\t\t" + std::to_string(c.longest) + "\n"));
        ExpectCompleteBook(Path(), image, kRecordSize, kRecordSize);
    }
}

// The recovery's counts of one read in the singular: n records cut off from their
// slots with one position each, n cut off and garbled, n copies of reached ones.
TEST_F(BookOptimizationTest, RecoveryLinesTellOneInTheSingular) {
    for (const uint32_t n : {1u, 2u}) {
        BookOptions options;
        options.hashIndexSize = 16;
        std::vector<builder::Position> positions;
        for (uint32_t slot = 0; slot < 3 * n; ++slot) {
            positions.push_back(
                builder::MakePositionsInSlot(options.kind, 1, slot, 15, 40 + slot).front());
        }
        BookImage image = builder::BuildBook(options, positions);
        for (uint32_t i = 0; i < n; ++i) {
            const uint16_t copied = image.Slot(2 * n + i);
            image.PadToRecordCount(image.RecordCount() + 1);
            const std::vector<uint8_t> copy(image.Record(copied).begin(),
                                            image.Record(copied).end());
            std::ranges::copy(copy, image.Record(image.RecordCount() - 1u).begin());
            image.FillRecord(image.Slot(n + i), 0x5A);
            image.SetSlot(n + i, 0);
            image.SetSlot(i, 0);
        }
        EXPECT_EQ(Convert(image, 1024, 1024).outcome, OptimizeOutcome::Converted);
        EXPECT_THAT(console.Text(),
                    HasSubstr(n == 1 ? "Recovered 1 position from 1 record that no chain reaches\n"
                                       "Left out 1 record that no chain reaches: it fails the "
                                       "record check or mixes slots\n"
                                       "Left out 1 position already in the book\n"
                                     : "Recovered 2 positions from 2 records that no chain "
                                       "reaches\nLeft out 2 records that no chain reaches: they "
                                       "fail the record check or mix slots\n"
                                       "Left out 2 positions already in the book\n"));
    }
}

// The damages that leave no book to convert, or no position to carry over from a
// header that counts some; a conversion of any other must succeed.
const std::set<std::string_view> kDamagesThatStopTheConversion = {
    "wrong-magic", "short", "truncated-in-the-index", "record-size-zero"};

// Every damage of the seed corpus on larger books: the repair holds every position
// of the intact records, each once, and besides them only what damaged records
// that a chain reaches hold (copied and mended, as their findings tell).
TEST_F(BookOptimizationTest, RepairKeepsEveryPositionOfTheRecordsLeftIntact) {
    for (const BookKind kind : {BookKind::Standard, BookKind::WithStatistics}) {
        // Chains of several records.
        const BookImage sound = BuildBook({.kind = kind, .hashIndexSize = 16}, 1200, 41, {2, 6});
        const std::vector<builder::Position> original = test::Sorted(sound.Positions());
        for (const auto& [name, damage] : builder::Damages()) {
            SCOPED_TRACE(name);
            BookImage damaged = sound;
            damage(damaged);
            damaged.WriteTo(Path());
            const bool repaired = OpenChosenBook(book, Path()) &&
                                  OptimizeBook(book, {1024, 1024, std::nullopt}).outcome ==
                                      OptimizeOutcome::Converted;
            EXPECT_EQ(repaired, !kDamagesThatStopTheConversion.contains(name)) << console.Text();
            if (!repaired) {
                continue;
            }
            if (std::string_view(name) == "zeroed-index") {  // one bad sector over the index
                EXPECT_THAT(console.Text(),
                            HasSubstr(FormatLog("Converting....Recovered 1200 positions from %d "
                                                "records that no chain reaches\n",
                                                static_cast<int>(sound.RecordCount() - 3))));
                EXPECT_EQ(test::Row(book, "Total positions"), "1200");
            }
            if (std::string_view(name) == "unreached-twice") {  // the copy's positions go
                const size_t copied =
                    test::PositionsOfRecord(damaged.Record(damaged.RecordCount() - 1u),
                                            MoveSize(kind))
                        .size();
                EXPECT_THAT(console.Text(),
                            HasSubstr(FormatLog("Left out %d positions already in the book\n",
                                                static_cast<int>(copied))));
            }
            const std::vector<builder::Position> converted =
                test::Sorted(test::ReadAsOracle(test::ReadFileBytes(Path())).positions);
            std::vector<builder::Position> held = sound.Positions();
            for (uint32_t r = 1; r < sound.RecordCount(); ++r) {
                // Record r as far as the file holds it.
                const auto record = [r](const BookImage& b) {
                    const size_t at = std::min<size_t>(r * size_t{1024}, b.Bytes().size());
                    return std::span(b.Bytes()).subspan(
                        at, std::min<size_t>(1024, b.Bytes().size() - at));
                };
                const bool intact = std::ranges::equal(record(damaged), record(sound));
                const auto positions =
                    test::PositionsOfRecord(record(intact ? sound : damaged), MoveSize(kind));
                for (const builder::Position& position : positions) {
                    // Record r holds positions in the sound book and the damaged one.
                    EXPECT_TRUE(IsLayoutRecord(r, sound.Header()) ||
                                IsLayoutRecord(r, damaged.Header()) || !intact ||
                                std::binary_search(converted.begin(), converted.end(), position))
                        << "a position of record " << r;
                }
                if (!intact) {
                    held.insert(held.end(), positions.begin(), positions.end());
                }
            }
            held = test::Sorted(std::move(held));
            EXPECT_TRUE(
                std::includes(held.begin(), held.end(), converted.begin(), converted.end()));
            for (auto twice = std::adjacent_find(converted.begin(), converted.end());
                 twice != converted.end(); twice = std::adjacent_find(twice + 1, converted.end())) {
                EXPECT_FALSE(std::binary_search(original.begin(), original.end(), *twice))
                    << "a position of the book is there twice";
            }
        }
    }
}

// One field of a sound book's header damaged at a time, in both kinds of book:
// the analysis tells it as the oracle does; read as the header says, a
// conversion that would carry over no position stops and changes nothing; read
// with the record size the analysis names, it keeps every position, each once,
// and the comment unless its record lies outside the book.
TEST_F(BookOptimizationTest, HeaderThatLiesCostsNoPosition) {
    using builder::ChangeHeader;
    const auto unreached = [](int record) {
        return FormatLog("Error - no chain reaches record# %d, which holds positions\n", record);
    };
    const auto looksLike = [](int size) {
        return FormatLog(
            "Warning - the records of this file look like records of 1024 bytes; "
            "the header says %d\n",
            size);
    };
    struct Case {
        builder::Damage damage;
        std::string line;  // of the analysis
        bool stops;        // read as the header says
    };
    for (const BookKind kind : {BookKind::Standard, BookKind::WithStatistics}) {
        const BookOptions options{.kind = kind, .hashIndexSize = 256};
        const BookImage sound = BuildBook(options, 1200, 51);
        const BookHeader header = sound.Header();
        const std::vector<Case> cases = {
            {ChangeHeader([](BookHeader& h) { h.recordSize = 0; }), looksLike(0), true},
            {ChangeHeader([](BookHeader& h) { h.recordSize = 7; }), looksLike(7), true},
            {ChangeHeader([](BookHeader& h) { h.recordSize = 1000; }), looksLike(1000), false},
            {ChangeHeader([](BookHeader& h) { h.recordCount = 100; }), unreached(100), false},
            {ChangeHeader(
                 [](BookHeader& h) { h.recordCount = static_cast<uint16_t>(h.recordCount - 20); }),
             unreached(header.recordCount - 1), false},
            {ChangeHeader([](BookHeader& h) { h.commentRecord = 5000; }),
             "Error - the comment record 5000 lies outside the book\n", false},
            {[](BookImage& b) { b.FillRecord(b.Header().hashIndexRecord, 0); }, unreached(3),
             false},
            {ChangeHeader([](BookHeader& h) { h.totalPositions = 5; }),
             FormatLog("Warning - the header counts 5 positions and %u moves; the book holds %u "
                       "and %u\n",
                       header.totalMoves, header.totalPositions, header.totalMoves),
             false},
        };
        for (const Case& c : cases) {
            BookImage damaged = sound;
            c.damage(damaged);
            SCOPED_TRACE(c.line);
            damaged.WriteTo(Path());
            ASSERT_TRUE(OpenChosenBook(book, Path()));
            const AnalysisReport report = AnalyseBook(book).report;
            EXPECT_THAT(console.Text(), HasSubstr(c.line));
            EXPECT_EQ(report.errors, test::ReadAsOracle(damaged.Bytes()).findings);
            EXPECT_EQ(report.likelyRecordSize, test::LikelyRecordSize(damaged.Bytes()));
            if (c.stops) {
                EXPECT_EQ(OptimizeBook(book, {1024, 1024, std::nullopt}).outcome,
                          OptimizeOutcome::NothingRead);
                EXPECT_THAT(
                    console.Text(),
                    EndsWith(FormatLog("*** Error *** No position could be read: the "
                                       "header's record size %d or record count %d may "
                                       "be damaged\nConversion stopped, the book was not "
                                       "changed\n",
                                       int{damaged.RecordSize()}, int{damaged.RecordCount()})));
                EXPECT_TRUE(UnchangedAt(Path(), damaged));
            }
            const std::optional<int> readAs = report.likelyRecordSize;
            EXPECT_EQ(test::Sorted(test::ReadAsOracle(damaged.Bytes(), readAs).positions),
                      test::Sorted(sound.Positions()));
            EXPECT_EQ(BookMeasurement::Measure(Path(), SystemFileSystem(), readAs)
                          .Predictions()
                          .front()
                          .positions,
                      sound.Positions().size());
            ASSERT_EQ(OptimizeBook(book, {1024, 1024, std::nullopt, Threads::All, readAs}).outcome,
                      OptimizeOutcome::Converted)
                << console.Text();
            ExpectCompleteBook(Path(), sound, 1024, 1024);
            EXPECT_EQ(
                test::Row(book, "Comment"),
                damaged.Header().commentRecord < damaged.RecordCount() ? options.comment : "");
        }
    }
}

// Positions of 518 bytes, three to a record of 2048 but one to 1024, take a 1 KiB
// record each after the header, the comment and two HashIndex records, so 65530
// of them make a new book of the most records a book holds. One more passes the
// fit check, and the exact count refuses it before anything is written.
TEST_F(BookOptimizationTest, NewBookOfTheMostRecordsABookHoldsIsMade) {
    const BookOptions options{.recordSize = 2048};
    const std::vector<builder::Position> positions = builder::MakePositions(
        BookKind::Standard, kMaxWrittenRecordCount - 3, 4, builder::MoveRange{128, 128});
    const SizePair sizes{1024, 1024};
    for (const size_t count : {positions.size(), positions.size() - 1}) {
        SCOPED_TRACE(count);
        const BookImage image = BuildBook(
            options, {positions.begin(), positions.begin() + static_cast<ptrdiff_t>(count)});
        image.WriteTo(Path());
        ASSERT_TRUE(OpenChosenBook(book, Path()));
        const Prediction predicted = PredictConversions(book, {&sizes, 1}, console).front();
        EXPECT_THAT(
            DescribePrediction(predicted),
            testing::StartsWith(4 + count <= kMaxWrittenRecordCount
                                    ? "New book: 65 534 records, 64.0 MiB; longest chain "
                                    : "Does not fit: the new book would need 65 535 records"));
        const OptimizeOutcome outcome = Convert(image, 1024, 1024).outcome;
        if (predicted.outcome == Prediction::Outcome::Fits) {
            ASSERT_EQ(outcome, OptimizeOutcome::Converted) << console.Text();
            EXPECT_EQ(test::ReadFileBytes(Path()).size(), size_t{kMaxWrittenRecordCount} * 1024);
            continue;
        }
        EXPECT_EQ(outcome, OptimizeOutcome::DoesNotFit);
        EXPECT_EQ(console.Text(),
                  "Converting....\n*** Error *** Output book full\nThe new "
                  "book would need 65535 records; a book holds at most 65534. Choose a larger "
                  "record size or a smaller hash index size\nConversion stopped, the book was not "
                  "changed\n");
        EXPECT_TRUE(UnchangedAt(Path(), image));
        EXPECT_FALSE(std::filesystem::exists(NewBook()));
        EXPECT_TRUE(book.IsInputOpen());
    }
}

// A new book of more than the 64 MiB of records the conversion holds before it writes
// them: they go out in parts, on a thread of their own, and the memory of those written
// takes records of other lengths. A write failing amid the parts stops the conversion;
// killed right before it, the conversion leaves no file that passes for a book.
TEST_F(BookOptimizationTest, BookLargerThanTheRecordsHeldAtOnceIsComplete) {
    const BookImage image = BuildBook({.recordSize = 16384}, 56000, 8, {1, 600});
    ASSERT_GT(image.Bytes().size(), size_t{68} << 20);
    test::FaultyFileSystem counting;
    BookReader state(console, counting);
    ASSERT_EQ(Convert(image, 16384, 2048, state).outcome, OptimizeOutcome::Converted)
        << console.Text();
    ExpectCompleteBook(Path(), image, 16384, 2048);
    // Creation and its writes, some 70 writes of records 1 MiB at most, the write-out,
    // the flush and the exchange: half way is a write of records.
    const size_t midst = counting.Calls().size() / 2;
    ASSERT_GT(midst, 30u);
    ASSERT_EQ(counting.Calls()[midst].operation, Operation::Write);
    test::FaultyFileSystem failing;
    std::optional<std::vector<uint8_t>> killed;  // the new book as a kill there leaves it
    failing.ActAtCall(midst, [&] { killed = test::ReadFileBytes(NewBook()); });
    failing.FailCall(midst);
    BookReader failed(console, failing);
    EXPECT_EQ(Convert(image, 16384, 2048, failed).outcome, OptimizeOutcome::NotChanged);
    EXPECT_THAT(console.Text(), HasSubstr("**Error** in _write writing\n"));
    EXPECT_TRUE(UnchangedAt(Path(), image));
    EXPECT_FALSE(std::filesystem::exists(NewBook()));
    EXPECT_FALSE(test::PassesForABook(killed.value_or(image.Bytes())));
}

TEST_F(BookOptimizationTest, PositionTooLongForTheNewSizeStopsTheConversion) {
    builder::Random random(2);
    const BookImage image = BuildBook({.recordSize = 4096},
                                      {builder::MakePosition(BookKind::Standard, 17, 300, random)});
    EXPECT_EQ(Convert(image, 1024, 1024).outcome, OptimizeOutcome::DoesNotFit);
    EXPECT_EQ(console.Text(),
              "Converting....**Error** A position of record #" + std::to_string(image.Slot(17)) +
                  " takes 1206 bytes, more than a record of 1024 bytes holds. Choose "
                  "a larger record size\nConversion stopped, the book was not "
                  "changed\n");
    EXPECT_TRUE(book.IsInputOpen());
}

TEST_F(BookOptimizationTest, FailedExchangeSaysWhereEachBookIs) {
    const BookImage image = BuildBook({}, 200, 8);
    struct Case {
        const char* name;
        std::vector<std::pair<Operation, int>> failing;
        bool originalAtBackup;  // else at the book's path
        std::string message;
    };
    for (const Case& c : {
             Case{"old backup cannot go",
                  {{Operation::Remove, 0}},
                  false,
                  "**Error** Can not remove the old backup [" + Backup() +
                      "]: Input/output error\n"},
             // Without hard links the book is renamed, and put back on failure.
             Case{"no hard links",
                  {{Operation::Link, 0}, {Operation::Rename, 1}},
                  false,
                  "**Error** Can not put the converted book in place [" + Path() + "]"},
             Case{"cannot rename the book either",
                  {{Operation::Link, 0}, {Operation::Rename, 0}},
                  false,
                  "**Error** Can not keep the book as its backup [" + Backup() + "]"},
             Case{"cannot put back",
                  {{Operation::Link, 0}, {Operation::Rename, 1}, {Operation::Rename, 2}},
                  true,
                  "**Error** Can not put the book back [" + Path() + "]"},
         }) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(Backup());
        test::WriteFileBytes(Backup(), {1});
        test::FaultyFileSystem files;
        for (const auto& [operation, occurrence] : c.failing) {
            files.FailOperation(operation, occurrence);
        }
        console.ClearConsole();
        BookReader state(console, files);
        EXPECT_EQ(Convert(image, 1024, 2048, state).outcome, OptimizeOutcome::ExchangeFailed);
        const std::string original = c.originalAtBackup ? Backup() : Path();
        EXPECT_THAT(console.Text(), HasSubstr(c.message));
        EXPECT_THAT(console.Text(), EndsWith("The original book is at [" + original +
                                             "]\nThe converted book is at [" + NewBook() + "]\n"));
        EXPECT_TRUE(UnchangedAt(original, image));
        ExpectCompleteBook(NewBook(), image, 1024, 2048);
        EXPECT_EQ(state.IsInputOpen(), !c.originalAtBackup);
    }
}

// A crash between the renames of an exchange without hard links empties the book's
// path; opening puts it back from the backup, only then, and not under another's lock.
TEST_F(BookOptimizationTest, BookCutOffInTheExchangeIsPutBackFromItsBackup) {
    const BookImage image = BuildBook({}, 30, 9);
    for (const std::string present : {"book next backup", "backup", "next"}) {
        for (const std::string& path : {Path(), NewBook(), Backup()}) {
            std::filesystem::remove(path);
        }
        for (const auto& [name, path] : {std::pair{"book", Path()}, {"next", NewBook()}}) {
            if (present.find(name) != std::string::npos) {
                test::WriteFileBytes(path, {'x'});
            }
        }
        if (present.find("backup") != std::string::npos) {
            image.WriteTo(Backup());
        }
        EXPECT_FALSE(OpenChosenBook(book, Path()));
        EXPECT_THAT(console.Text(), testing::StartsWith("**Error**")) << present;
    }
    test::WriteFileBytes(NewBook(), {'n'});
    image.WriteTo(Backup());
    {
        const FileLock otherProgram(SystemFileSystem(), Path() + ".lock");
        EXPECT_FALSE(OpenChosenBook(book, Path()));
        EXPECT_TRUE(UnchangedAt(Backup(), image));
    }
    EXPECT_TRUE(OpenChosenBook(book, Path()));
    EXPECT_TRUE(UnchangedAt(Path(), image));
    EXPECT_FALSE(std::filesystem::exists(Backup()));
    EXPECT_EQ(console.Text(),
              "Warning, a conversion of this book was cut off; the book was put back from [" +
                  Backup() + "]\n");
    EXPECT_EQ(test::Row(book, "Total positions"), "30");
}

// A conversion in place puts the new book where the book it read was: one that
// another program replaced or removed since it was opened is refused; behind a
// symbolic link the book itself is converted, and the new book keeps its access.
TEST_F(BookOptimizationTest, InPlaceConversionReplacesOnlyTheBookItRead) {
    namespace fs = std::filesystem;
    const BookImage image = BuildBook({}, 30, 9);
    test::HookedFileSystem files;
    BookReader state(console, files);
    const BookImage others = BuildBook({}, 40, 9);
    const auto replaceBook = [&] {  // by a new file, as programs save safely
        others.WriteTo(Path() + ".tmp");
        fs::rename(Path() + ".tmp", Path());
    };
    for (const std::string_view when : {"before", "removed", "at the flush"}) {
        image.WriteTo(Path());
        ASSERT_TRUE(OpenChosenBook(state, Path()));
        if (when == "at the flush") {
            files.before = [&, replaced = false](Call call, uint64_t) mutable {
                if (call == Call::Sync && !std::exchange(replaced, true)) {
                    replaceBook();
                }
            };
        } else if (when == "before") {
            replaceBook();
        } else {
            fs::remove(Path());
        }
        EXPECT_EQ(OptimizeBook(state, {1024, 2048, std::nullopt}).outcome,
                  OptimizeOutcome::NotChanged);
        EXPECT_THAT(console.Text(), HasSubstr(Path() + " is no longer the book that was opened"));
        EXPECT_FALSE(fs::exists(NewBook()) || fs::exists(Backup())) << when;
        // The other program's file stays as it left it.
        EXPECT_TRUE(when == "removed" ? !fs::exists(Path()) : UnchangedAt(Path(), others)) << when;
    }
    const std::string behind = dir.File("shared.bk");
    image.WriteTo(behind);
    const fs::perms access = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(behind, access);
    fs::remove(Path());
    fs::create_symlink("shared.bk", Path());
    ASSERT_EQ(Convert(image, 1024, 2048).outcome, OptimizeOutcome::Converted);
    EXPECT_TRUE(fs::is_symlink(Path()));
    ExpectCompleteBook(behind, image, 1024, 2048);
    EXPECT_EQ(fs::status(behind).permissions(), access);
    EXPECT_TRUE(UnchangedAt(behind + ".old.bk", image));
    EXPECT_FALSE(fs::exists(Backup()));
}

// Only an empty file is a lock file. Whatever else has its name, or a lock file
// that this user may not open, refuses the conversion and stays.
TEST_F(BookOptimizationTest, LockFileNameTakenOtherwiseRefusesTheConversion) {
    namespace fs = std::filesystem;
    class LockNotPermitted final : public ForwardingFileSystem {
        Opened TryLock(const std::string& /*path*/) override {
            return {-1, FileError::FromErrno(EACCES)};
        }
    } notPermitted;
    const BookImage image = BuildBook({}, 30, 9);
    const std::string lock = Path() + ".lock";
    struct Case {
        std::function<void()> make;
        IFileSystem& files;
        std::string reason;
    };
    const std::string notLock = "something other than a lock file has its name";
    for (const Case& c : {
             Case{[&] { test::WriteFileBytes(lock, {'x'}); }, SystemFileSystem(), notLock},
             Case{[&] { fs::create_directory(lock); }, SystemFileSystem(), "Is a directory"},
             Case{[&] { test::MakeFifo(lock); }, SystemFileSystem(), notLock},
             Case{[&] { test::WriteFileBytes(lock, {}); }, notPermitted, "Permission denied"},
         }) {
        c.make();
        BookReader state(console, c.files);
        const OptimizeResult result = Convert(image, 1024, 2048, state);
        EXPECT_EQ(result.outcome, OptimizeOutcome::NotLocked);
        EXPECT_EQ(result.refusal,
                  "**Error** Can not lock [" + lock + "] for the conversion: " + c.reason + "\n");
        EXPECT_TRUE(fs::exists(lock) && UnchangedAt(Path(), image));
        fs::remove_all(lock);
    }
    // Where no lock file can be made, none can be in the way.
    BookReader state(console, notPermitted);
    EXPECT_EQ(Convert(image, 1024, 2048, state).outcome, OptimizeOutcome::Converted);
}

// Every operation that changes a file, made to fail in turn.
TEST_F(BookOptimizationTest, NoSingleFailureCostsTheBook) {
    const BookImage image = BuildBook({}, 400, 6);
    test::FaultyFileSystem counting;
    {
        BookReader state(console, counting);
        test::WriteFileBytes(Backup(), {'o'});
        ASSERT_EQ(Convert(image, 2048, 1024, state).outcome, OptimizeOutcome::Converted);
    }
    const std::vector<test::FaultyFileSystem::Call> calls = counting.Calls();
    ASSERT_GT(calls.size(), 10u);
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE("operation " + std::to_string(i) + " (" +
                     std::to_string(static_cast<int>(calls[i].operation)) + ") " + calls[i].path);
        test::WriteFileBytes(Backup(), {'o'});
        test::FaultyFileSystem files;
        files.FailCall(i);
        test::RecordingConsole failing;
        BookReader state(failing, files);
        const OptimizeResult result = Convert(image, 2048, 1024, state);
        const bool originalAtPath = UnchangedAt(Path(), image);
        EXPECT_TRUE(originalAtPath || UnchangedAt(Backup(), image));
        if (!originalAtPath) {
            ExpectCompleteBook(Path(), image, 2048, 1024);
        }
        EXPECT_EQ(result.outcome == OptimizeOutcome::Converted, !originalAtPath);
        if (result.outcome != OptimizeOutcome::Converted) {
            // The user is told what failed.
            EXPECT_THAT(failing.Text() + result.refusal,
                        AllOf(HasSubstr("**Error**"), Not(HasSubstr("Conversion completed"))));
        }
        // A new book stays only where the exchange failed, which says where it is.
        EXPECT_EQ(std::filesystem::exists(NewBook()),
                  result.outcome == OptimizeOutcome::ExchangeFailed);
        std::filesystem::remove(NewBook());
    }
    // A stopped conversion whose new book cannot be removed either says so.
    test::FaultyFileSystem files;
    files.FailOperation(test::FaultyFileSystem::Operation::Write, 0);
    files.FailOperation(test::FaultyFileSystem::Operation::Remove, 0);
    test::RecordingConsole failing;
    BookReader state(failing, files);
    EXPECT_EQ(Convert(image, 2048, 1024, state).outcome, OptimizeOutcome::NotChanged);
    EXPECT_THAT(failing.Text(),
                HasSubstr("**Error** Can not remove the incomplete new book [" + NewBook() + "]"));
    EXPECT_TRUE(UnchangedAt(Path(), image) && std::filesystem::remove(NewBook()));
}

// Memory runs out at one step of a conversion once the new book is made, as an
// allocation made there would: a read of the copy, a write of records on the
// writer's thread, the flush.
TEST_F(BookOptimizationTest, MemoryThatRunsOutStopsTheConversionAndLeavesNoNewBook) {
    const BookImage image = BuildBook({}, 400, 7);
    for (const Call step : {Call::Read, Call::Write, Call::Sync}) {
        SCOPED_TRACE(static_cast<int>(step));
        test::HookedFileSystem files;
        files.before = [&files, step](Call call, uint64_t) {
            if (call == step && files.created) {
                throw std::bad_alloc();
            }
        };
        test::RecordingConsole failing;
        BookReader state(failing, files);
        EXPECT_EQ(Convert(image, 2048, 1024, state).outcome, OptimizeOutcome::FatalError);
        EXPECT_THAT(failing.Text(), EndsWith("**Error** Memory error\n"));
        EXPECT_TRUE(UnchangedAt(Path(), image));
        EXPECT_FALSE(std::filesystem::exists(NewBook()));
    }
    // The book's lock has been let go.
    EXPECT_EQ(Convert(image, 2048, 1024).outcome, OptimizeOutcome::Converted);
}

// Memory runs out while the positions of records that no chain reaches are
// recovered, here all of the book's: the prediction that advise and the settings
// dialog show ends as a fatal error does.
TEST_F(BookOptimizationTest, MemoryThatRunsOutInTheRecoveryEndsThePredictionAsAFatalError) {
    BookImage image = BuildBook({}, 400, 8);
    const BookHeader header = image.Header();
    const uint32_t firstChainRecord =
        header.hashIndexRecord + HashIndexRecords(header.recordSize, header.hashIndexSize);
    for (uint32_t slot = 0; slot < header.hashIndexSize; ++slot) {
        image.SetSlot(slot, 0);
    }
    image.WriteTo(Path());
    test::HookedFileSystem files;
    files.failReadsFrom = RecordOffset(firstChainRecord, header.recordSize);
    files.memoryRunsOut = true;
    BookReader state(console, files);
    ASSERT_TRUE(OpenChosenBook(state, Path()));
    EXPECT_THROW(PredictConversions(state, OfferedPairs(), console), BookFatalError);
    EXPECT_THAT(console.Text(), EndsWith("**Error** Memory error\n"));
}

// A record that no chain reaches gains entries, from each of its reads in turn.
// Where that falls between the two reads of the recovery, the recovery says so and
// stops instead of going past the entries it counted; no conversion that stops
// leaves a new book.
TEST_F(BookOptimizationTest, RecordThatChangesWhileItIsRecoveredStopsTheConversion) {
    BookImage image = BuildBook({.hashIndexSize = 16}, 15000, 9, {2, 6});
    for (const auto& [name, damage] : builder::Damages()) {
        if (std::string_view(name) == "unreached-twice") {
            damage(image);  // a copy of a record as the last, far from the chains' records
        }
    }
    ASSERT_GT(image.RecordCount(), 300u);
    const auto copy = static_cast<uint16_t>(image.RecordCount() - 1u);
    // A record of 102 positions of one move, in one slot: more than the copy holds.
    BookImage full =
        BuildBook({}, builder::MakePositionsInSlot(BookKind::Standard, 102, 0, 1023, 3, {1, 1}));
    const std::vector<uint8_t> grown(full.Record(full.Slot(0)).begin(),
                                     full.Record(full.Slot(0)).end());
    const uint64_t at = RecordOffset(copy, 1024);
    int seen = 0;
    for (int from = 1;; ++from) {
        SCOPED_TRACE(from);
        // The copy reads as `grown` from the `from`-th read that takes it in onward.
        int reads = 0;
        test::HookedFileSystem files;
        files.afterRead = [&](std::span<uint8_t> read, uint64_t offset) {
            if (offset <= at && at + grown.size() <= offset + read.size() && ++reads >= from) {
                std::ranges::copy(grown, read.begin() + static_cast<ptrdiff_t>(at - offset));
            }
        };
        test::RecordingConsole reading;
        BookReader state(reading, files);
        const OptimizeOutcome outcome = Convert(image, 1024, 1024, state).outcome;
        if (reads < from) {
            break;  // the record was never changed
        }
        if (outcome != OptimizeOutcome::Converted) {
            EXPECT_TRUE(UnchangedAt(Path(), image));
            EXPECT_FALSE(std::filesystem::exists(NewBook()));
        }
        seen += reading.Text().find("**Error** The book changed while it was being read\n") !=
                std::string::npos;
    }
    EXPECT_GT(seen, 0);
}

}  // namespace
}  // namespace plinth
