// Conversions end to end: the fit checks, round trips through every geometry,
// the repair of damaged books, the exchange of the files and what survives when
// any single file operation fails.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "BookBuilder.h"
#include "BookOracle.h"
#include "FaultyFileSystem.h"
#include "RecordingConsole.h"
#include "TempDir.h"
#include "maintenance/BookAnalysis.h"
#include "maintenance/BookOptimization.h"
#include "maintenance/OptimizeSettings.h"

namespace plinth {
namespace {

using builder::BookImage;
using builder::BookOptions;
using builder::MoveRange;
using testing::EndsWith;
using testing::HasSubstr;
using testing::Not;

BookHeader HeaderOf(uint16_t recordSize, uint16_t recordCount, uint16_t hashIndexSize) {
    BookHeader header;
    header.magic = kMagicStandard;
    header.recordSize = recordSize;
    header.recordCount = recordCount;
    header.hashIndexSize = hashIndexSize;
    return header;
}

TEST(FitCheckTest, SmallerRecordSizeMustKeepTheRecordsInBounds) {
    const std::string refusal =
        "**Error** New Recordsize to small to fit in destination book. Try increasing the record "
        "size";
    EXPECT_EQ(CheckNewGeometry(HeaderOf(4096, 20000, 1024), 1024, 1024), refusal);
    EXPECT_EQ(CheckNewGeometry(HeaderOf(4096, 16360, 1024), 1024, 32768), refusal);
    EXPECT_FALSE(CheckNewGeometry(HeaderOf(4096, 16359, 1024), 1024, 32768));  // 65436
}

TEST(FitCheckTest, LargerHashIndexMustKeepTheRecordsInBounds) {
    const std::string refusal =
        "**Error** New HashIndex to big to fit in destination book. Try increasing the record size";
    EXPECT_EQ(CheckNewGeometry(HeaderOf(1024, 65380, 4096), 1024, 32768), refusal);  // 65436
    EXPECT_FALSE(CheckNewGeometry(HeaderOf(1024, 65379, 4096), 1024, 32768));
}

TEST(FitCheckTest, OtherChoicesAreNeverRefused) {
    EXPECT_FALSE(CheckNewGeometry(HeaderOf(1024, 65535, 1024), 2048, 32768));
    EXPECT_FALSE(CheckNewGeometry(HeaderOf(1024, 65535, 32768), 1024, 1024));
    EXPECT_FALSE(CheckNewGeometry(HeaderOf(1024, 65535, 4096), 1024, 4096));
}

TEST(OptimizeSettingsTest, PreselectionFindsTheBookSizeOrKeepsTheSelection) {
    EXPECT_EQ(PreselectSize(kRecordSizeTable, 4096, 0), 2);
    EXPECT_EQ(PreselectSize(kHashIndexSizeTable, 32768, 0), 5);
    EXPECT_EQ(PreselectSize(kRecordSizeTable, 32768, 0), 0);
    EXPECT_EQ(PreselectSize(kRecordSizeTable, 512, 3), 3);
    EXPECT_EQ(PreselectedSize(kRecordSizeTable, 3000), 1024);
    EXPECT_EQ(SizeAtSelection(kHashIndexSizeTable, 5), 32768);
    EXPECT_EQ(SizeAtSelection(kHashIndexSizeTable, -1), -1);
}

class BookOptimizationTest : public testing::Test {
  protected:
    std::string Path() const { return dir.File("main.bk"); }
    std::string Backup() const { return Path() + ".old.bk"; }
    std::string NewBook() const { return Path() + ".new.bk"; }

    OptimizeResult Convert(const BookImage& image, int recordSize, int hashIndexSize,
                           OpenBookState& state) {
        image.WriteTo(Path());
        EXPECT_TRUE(state.OpenBook(Path())) << console.Text();
        console.progress.clear();
        return OnOptimize(state, {recordSize, hashIndexSize, std::nullopt});
    }
    OptimizeResult Convert(const BookImage& image, int recordSize, int hashIndexSize) {
        return Convert(image, recordSize, hashIndexSize, book);
    }

    // The book at `path` is complete, analyses clean and holds `expected`.
    void ExpectCompleteBook(const std::string& path, const std::vector<builder::Position>& expected,
                            int recordSize, int hashIndexSize) {
        const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
        const test::OracleReading reading = test::ReadAsOracle(bytes);
        EXPECT_EQ(test::Sorted(reading.positions), test::Sorted(expected));
        EXPECT_EQ(reading.misplacedEntries, 0u);
        EXPECT_EQ(reading.scatteredChains, 0u);
        const BookHeader header =
            DecodeHeader(std::span<const uint8_t, layout::kHeaderSize>(bytes.data(), 38));
        EXPECT_EQ(header.recordSize, recordSize);
        EXPECT_EQ(header.hashIndexSize, hashIndexSize);
        EXPECT_EQ(static_cast<size_t>(header.recordCount) * header.recordSize, bytes.size());
        EXPECT_EQ(header.totalPositions, reading.positions.size());
        size_t moves = 0;
        for (const builder::Position& position : reading.positions) {
            moves += position.MoveCount(KindOf(header.magic));
        }
        EXPECT_EQ(header.totalMoves, moves);

        test::RecordingConsole analysisConsole;
        OpenBookState reopened(analysisConsole);
        ASSERT_TRUE(reopened.OpenBook(path));
        AnalysisReport report;
        EXPECT_EQ(OnAnalyse(reopened, &report), AnalyseOutcome::Completed);
        EXPECT_EQ(report.errors, 0) << analysisConsole.Text();
    }

    test::TempDir dir;
    test::RecordingConsole console;
    OpenBookState book{console};
};

TEST_F(BookOptimizationTest, CleanConversionReplacesTheBookAndKeepsABackup) {
    const BookImage image =
        builder::BuildBook(BookOptions{}, builder::MakePositions(BookKind::Standard, 500, 21));
    test::WriteFileBytes(Backup(), {1, 2, 3});  // left by an earlier conversion
    const OptimizeResult result = Convert(image, 2048, 2048);
    EXPECT_EQ(result.outcome, OptimizeOutcome::Converted);
    EXPECT_EQ(console.Text(),
              "Converting....\nWriting output file\n"
              "Longest chain:\t\t1\nShortest chain:\t\t1\nAvg chain length:\t0.2\n"
              "Conversion completed\n"
              "A backup copy of the original file can be found here:\r\n" +
                  Backup() + "\n");
    EXPECT_EQ(test::ReadFileBytes(Backup()), image.Bytes());
    EXPECT_FALSE(std::filesystem::exists(NewBook()));
    ExpectCompleteBook(Path(), image.Positions(), 2048, 2048);
    // The new book is open, and the attribute rows show it.
    EXPECT_TRUE(book.IsInputOpen());
    EXPECT_EQ(console.Row("Revision"), "30");
    EXPECT_EQ(console.Row("Record size"), "2048");
    EXPECT_EQ(console.Row("Hash index size"), "2048");
    EXPECT_FALSE(console.progressVisible);
    EXPECT_EQ(console.progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(console.progress.begin(), console.progress.end()));
}

struct Geometry {
    BookKind kind;
    int recordSize;
    int hashIndexSize;
};

class RoundTripTest : public BookOptimizationTest, public testing::WithParamInterface<Geometry> {};

TEST_P(RoundTripTest, EveryPositionArrivesInTheChainOfItsSlot) {
    const auto [kind, recordSize, hashIndexSize] = GetParam();
    BookOptions options;
    options.kind = kind;
    options.recordSize = 2048;
    options.hashIndexSize = 256;  // long chains, in many records
    const BookImage image =
        builder::BuildBook(options, builder::MakePositions(kind, 700, 31, MoveRange{1, 20}));
    ASSERT_EQ(Convert(image, recordSize, hashIndexSize).outcome, OptimizeOutcome::Converted)
        << console.Text();
    EXPECT_THAT(console.Text(), Not(HasSubstr("Warning")));
    ExpectCompleteBook(Path(), image.Positions(), recordSize, hashIndexSize);
}

std::vector<Geometry> AllGeometries() {
    std::vector<Geometry> geometries;
    for (const BookKind kind : {BookKind::Standard, BookKind::WithStatistics}) {
        for (const int recordSize : kRecordSizeTable) {
            for (const int hashIndexSize : kHashIndexSizeTable) {
                if (recordSize > 0 && hashIndexSize > 0) {
                    geometries.push_back({kind, recordSize, hashIndexSize});
                }
            }
        }
    }
    return geometries;
}

INSTANTIATE_TEST_SUITE_P(AllSizes, RoundTripTest, testing::ValuesIn(AllGeometries()),
                         [](const testing::TestParamInfo<Geometry>& param) {
                             return std::string(param.param.kind == BookKind::Standard ? "BK"
                                                                                       : "BX") +
                                    "_" + std::to_string(param.param.recordSize) + "_" +
                                    std::to_string(param.param.hashIndexSize);
                         });

// ---- Repair ----

struct Damage {
    const char* name;
    void (*apply)(BookImage&);
};

class RepairTest : public BookOptimizationTest, public testing::WithParamInterface<Damage> {};

TEST_P(RepairTest, ConvertedBookHoldsWhatSoundLinksReach) {
    BookOptions options;
    options.hashIndexSize = 16;  // chains of three records and more
    BookImage image = builder::BuildBook(
        options, builder::MakePositions(BookKind::Standard, 1500, 41, MoveRange{2, 6}));
    GetParam().apply(image);
    const std::vector<builder::Position> reachable = test::ReadAsOracle(image.Bytes()).positions;
    ASSERT_EQ(Convert(image, 1024, 1024).outcome, OptimizeOutcome::Converted) << console.Text();
    ExpectCompleteBook(Path(), reachable, 1024, 1024);
    EXPECT_EQ(test::ReadFileBytes(Backup()), image.Bytes());
}

const Damage kDamages[] = {
    {"InvalidSlot", [](BookImage& b) { b.SetSlot(3, 60000); }},
    {"InvalidNextInSecondRecord",
     [](BookImage& b) { b.SetNextRecord(b.ChainRecords(b.SlotWithChainOf(3))[1], 65000); }},
    {"Loop", [](BookImage& b) { b.MakeLoop(b.SlotWithChainOf(3)); }},
    {"CutEntry", [](BookImage& b) { b.CutLastEntry(b.ChainRecords(5)[0]); }},
    {"EqualCodes", [](BookImage& b) { b.GiveEqualCodes(b.ChainRecords(6)[1]); }},
    {"RecordInTwoChains", [](BookImage& b) { b.SetSlot(7, b.Slot(8)); }},
    {"AllAtOnce",
     [](BookImage& b) {
         b.SetSlot(3, 60000);
         b.SetNextRecord(b.ChainRecords(4)[1], 65000);
         b.MakeLoop(9);
         b.CutLastEntry(b.ChainRecords(5)[0]);
         b.GiveEqualCodes(b.ChainRecords(6)[1]);
         b.SetSlot(7, b.Slot(8));
     }},
};

INSTANTIATE_TEST_SUITE_P(Damages, RepairTest, testing::ValuesIn(kDamages),
                         [](const testing::TestParamInfo<Damage>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(BookOptimizationTest, BrokenLinksAreReportedOnTheConvertingLine) {
    BookImage image =
        builder::BuildBook(BookOptions{}, builder::MakePositions(BookKind::Standard, 50, 3));
    image.SetSlot(1, image.RecordCount());
    ASSERT_EQ(Convert(image, 1024, 1024).outcome, OptimizeOutcome::Converted);
    const std::string n = std::to_string(image.RecordCount());
    EXPECT_THAT(console.Text(),
                testing::StartsWith("Converting....Error - invalid link in HashIndex - idx=1 rec=" +
                                    n + " free=" + n + "\n\nWriting output file\n"));
}

// ---- Refusals and failures ----

TEST_F(BookOptimizationTest, RefusedSizesTouchNothing) {
    BookOptions options;
    options.recordSize = 4096;
    BookImage image =
        builder::BuildBook(options, builder::MakePositions(BookKind::Standard, 10, 1));
    BookHeader header = image.Header();
    header.recordCount = 20000;  // the fit checks go by the header alone
    image.SetHeader(header);
    console.AppendText("earlier text");
    const OptimizeResult result = Convert(image, 1024, 1024);
    EXPECT_EQ(result.outcome, OptimizeOutcome::Refused);
    EXPECT_THAT(result.refusal, HasSubstr("New Recordsize to small"));
    EXPECT_EQ(console.Text(), "");
    EXPECT_EQ(console.shows, 0);
    EXPECT_FALSE(std::filesystem::exists(NewBook()));
    EXPECT_EQ(test::ReadFileBytes(Path()), image.Bytes());
    EXPECT_TRUE(book.IsInputOpen());
}

TEST_F(BookOptimizationTest, UnreadableRecordEndsInTheFatalErrorWithTheBookUnchanged) {
    BookImage image =
        builder::BuildBook(BookOptions{}, builder::MakePositions(BookKind::Standard, 300, 4));
    image.Truncate(image.Bytes().size() - 512);
    const OptimizeResult result = Convert(image, 1024, 1024);
    EXPECT_EQ(result.outcome, OptimizeOutcome::FatalError);
    EXPECT_THAT(console.Text(),
                EndsWith(" reading record #:" + std::to_string(image.RecordCount() - 1) + "\n"));
    EXPECT_FALSE(book.IsInputOpen());
    EXPECT_EQ(book.OutputDescriptor(), -1);
    EXPECT_EQ(book.RecordBuffersHeld(), 0);
    EXPECT_FALSE(console.progressVisible);
    EXPECT_FALSE(std::filesystem::exists(NewBook()));
    EXPECT_EQ(test::ReadFileBytes(Path()), image.Bytes());
}

TEST_F(BookOptimizationTest, PositionTooLongForTheNewSizeStopsTheConversion) {
    builder::Random random(2);
    BookOptions options;
    options.recordSize = 4096;
    const BookImage image =
        builder::BuildBook(options, {builder::MakePosition(BookKind::Standard, 17, 300, random)});
    const OptimizeResult result = Convert(image, 1024, 1024);
    EXPECT_EQ(result.outcome, OptimizeOutcome::NotChanged);
    EXPECT_THAT(console.Text(),
                HasSubstr("**Error** A position of record #" + std::to_string(image.Slot(17)) +
                          " takes 1206 bytes, more than a record of 1024 bytes holds. Choose a "
                          "larger record size\n"));
    EXPECT_THAT(console.Text(), EndsWith("Conversion stopped, the book was not changed\n"));
    EXPECT_TRUE(book.IsInputOpen());
    EXPECT_EQ(book.RecordBuffersHeld(), 0);
    EXPECT_FALSE(std::filesystem::exists(NewBook()));
    EXPECT_EQ(test::ReadFileBytes(Path()), image.Bytes());
}

TEST_F(BookOptimizationTest, OutputPathLeavesTheBookAlone) {
    const BookImage image =
        builder::BuildBook(BookOptions{}, builder::MakePositions(BookKind::Standard, 100, 5));
    image.WriteTo(Path());
    ASSERT_TRUE(book.OpenBook(Path()));
    const std::string output = dir.File("copy.bk");
    EXPECT_EQ(OnOptimize(book, {4096, 1024, output}).outcome, OptimizeOutcome::Converted);
    EXPECT_THAT(console.Text(), EndsWith("Conversion completed\nThe converted book was written "
                                         "here:\n" +
                                         output + "\n"));
    EXPECT_EQ(test::ReadFileBytes(Path()), image.Bytes());
    EXPECT_FALSE(std::filesystem::exists(Backup()));
    EXPECT_EQ(book.InputPath(), Path());
    ExpectCompleteBook(output, image.Positions(), 4096, 1024);
}

class ExchangeFailureTest : public BookOptimizationTest {
  protected:
    using Operation = test::FaultyFileSystem::Operation;

    OptimizeOutcome ConvertFailing(test::FaultyFileSystem& files) {
        OpenBookState state(console, files);
        const OptimizeOutcome outcome = Convert(image, 1024, 2048, state).outcome;
        stillOpen = state.IsInputOpen();
        return outcome;
    }

    const BookImage image =
        builder::BuildBook(BookOptions{}, builder::MakePositions(BookKind::Standard, 200, 8));
    bool stillOpen = false;
};

TEST_F(ExchangeFailureTest, BackupThatCannotBeRemovedStopsBeforeTheBookIsTouched) {
    test::WriteFileBytes(Backup(), {1});
    test::FaultyFileSystem files;
    files.FailOperation(Operation::Remove, 0);
    EXPECT_EQ(ConvertFailing(files), OptimizeOutcome::ExchangeFailed);
    EXPECT_THAT(console.Text(),
                EndsWith("**Error** Can not remove the old backup [" + Backup() +
                         "]: Input/output error\nThe original book is at [" + Path() +
                         "]\nThe converted book is at [" + NewBook() + "]\n"));
    EXPECT_EQ(test::ReadFileBytes(Path()), image.Bytes());
    ExpectCompleteBook(NewBook(), image.Positions(), 1024, 2048);
    EXPECT_TRUE(stillOpen);
}

TEST_F(ExchangeFailureTest, WithoutSecondNamesTheBookIsRenamedAndPutBackOnFailure) {
    test::FaultyFileSystem files;
    files.FailOperation(Operation::Link, 0);
    files.FailOperation(Operation::Rename, 1);  // the converted book onto the book
    EXPECT_EQ(ConvertFailing(files), OptimizeOutcome::ExchangeFailed);
    EXPECT_THAT(console.Text(), EndsWith("The original book is at [" + Path() +
                                         "]\n"
                                         "The converted book is at [" +
                                         NewBook() + "]\n"));
    EXPECT_EQ(test::ReadFileBytes(Path()), image.Bytes());
    EXPECT_FALSE(std::filesystem::exists(Backup()));
    EXPECT_TRUE(stillOpen);
}

TEST_F(ExchangeFailureTest, BookThatCannotBePutBackIsNamedAtTheBackup) {
    test::FaultyFileSystem files;
    files.FailOperation(Operation::Link, 0);
    files.FailOperation(Operation::Rename, 1);
    files.FailOperation(Operation::Rename, 2);  // putting the book back
    EXPECT_EQ(ConvertFailing(files), OptimizeOutcome::ExchangeFailed);
    EXPECT_THAT(console.Text(), HasSubstr("**Error** Can not put the book back [" + Path() + "]"));
    EXPECT_THAT(console.Text(), EndsWith("The original book is at [" + Backup() +
                                         "]\n"
                                         "The converted book is at [" +
                                         NewBook() + "]\n"));
    EXPECT_EQ(test::ReadFileBytes(Backup()), image.Bytes());
    EXPECT_FALSE(stillOpen);
}

// A crash between the two renames of an exchange without hard links leaves the
// book's path empty; the next conversion puts the book back from its backup.
TEST_F(BookOptimizationTest, BookCutOffInTheExchangeIsPutBackFromItsBackup) {
    const BookImage image =
        builder::BuildBook(BookOptions{}, builder::MakePositions(BookKind::Standard, 30, 9));
    image.WriteTo(Backup());
    test::WriteFileBytes(NewBook(), {'n', 'e', 'w'});
    EXPECT_TRUE(RestoreBookAfterCutOffConversion(SystemFileSystem(), console, Path()));
    EXPECT_EQ(test::ReadFileBytes(Path()), image.Bytes());
    EXPECT_FALSE(std::filesystem::exists(Backup()));
    EXPECT_EQ(console.Text(),
              "Warning, a conversion of this book was cut off; the book was put "
              "back from [" +
                  Backup() + "]\n");
}

TEST_F(BookOptimizationTest, OnlyAnExchangeCutOffInTheMiddleIsUndone) {
    struct Files {
        bool book;
        bool next;
        bool backup;
    };
    // The book in place, or no new book beside it, or no backup: nothing to undo.
    for (const Files files :
         {Files{true, true, true}, Files{false, false, true}, Files{false, true, false}}) {
        for (const std::string& path : {Path(), NewBook(), Backup()}) {
            std::filesystem::remove(path);
        }
        const std::vector<std::pair<bool, std::string>> wanted = {
            {files.book, Path()}, {files.next, NewBook()}, {files.backup, Backup()}};
        for (const auto& [present, path] : wanted) {
            if (present) {
                test::WriteFileBytes(path, {'x'});
            }
        }
        EXPECT_FALSE(RestoreBookAfterCutOffConversion(SystemFileSystem(), console, Path()));
        for (const auto& [present, path] : wanted) {
            EXPECT_EQ(std::filesystem::exists(path), present) << path;
        }
        EXPECT_EQ(console.Text(), "");
    }
}

// Every operation that changes a file, made to fail in turn.
TEST_F(BookOptimizationTest, NoSingleFailureCostsTheBook) {
    const BookImage image =
        builder::BuildBook(BookOptions{}, builder::MakePositions(BookKind::Standard, 400, 6));
    const std::vector<uint8_t> earlierBackup = {'o', 'l', 'd'};

    test::FaultyFileSystem counting;
    {
        test::RecordingConsole quiet;
        OpenBookState state(quiet, counting);
        test::WriteFileBytes(Backup(), earlierBackup);
        ASSERT_EQ(Convert(image, 2048, 1024, state).outcome, OptimizeOutcome::Converted);
    }
    const std::vector<test::FaultyFileSystem::Call> calls = counting.Calls();
    ASSERT_GT(calls.size(), 10u);

    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(std::to_string(i) + ": " + test::OperationName(calls[i].operation) + " " +
                     calls[i].path);
        std::filesystem::remove(NewBook());
        test::WriteFileBytes(Backup(), earlierBackup);
        test::FaultyFileSystem files;
        files.FailCall(i);
        test::RecordingConsole failing;
        OpenBookState state(failing, files);
        const OptimizeOutcome outcome = Convert(image, 2048, 1024, state).outcome;

        const std::vector<uint8_t> atPath = test::ReadFileBytes(Path());
        const bool originalAtPath = atPath == image.Bytes();
        const bool originalAtBackup =
            std::filesystem::exists(Backup()) && test::ReadFileBytes(Backup()) == image.Bytes();
        EXPECT_TRUE(originalAtPath || originalAtBackup);
        if (!originalAtPath) {
            ExpectCompleteBook(Path(), image.Positions(), 2048, 1024);
        }
        if (outcome == OptimizeOutcome::Converted) {
            EXPECT_TRUE(originalAtBackup);
            EXPECT_FALSE(originalAtPath);
        } else {
            EXPECT_THAT(failing.Text(), Not(HasSubstr("Conversion completed")));
            EXPECT_TRUE(originalAtPath);
        }
    }
}

}  // namespace
}  // namespace plinth
