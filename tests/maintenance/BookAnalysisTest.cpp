// The analysis of sound and damaged books: text, counters, recommendation, progress.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "BookBuilder.h"
#include "BookChecks.h"
#include "BookOracle.h"
#include "HookedFileSystem.h"
#include "RecordingConsole.h"
#include "TempDir.h"
#include "maintenance/BookAnalysis.h"
#include "maintenance/BookOpening.h"
#include "maintenance/BookOptimization.h"

namespace plinth {
namespace {

using builder::BookImage;
using builder::BookOptions;
using builder::MoveRange;
using testing::ElementsAre;

// A book of one position of one move in each of the given slots.
BookImage BookWithOnePositionIn(const std::vector<uint32_t>& slots) {
    builder::Random random(11);
    std::vector<builder::Position> positions;
    positions.reserve(slots.size());
    for (const uint32_t slot : slots) {
        positions.push_back(builder::MakePosition(BookKind::Standard, slot, 1, random));
    }
    return builder::BuildBook({}, positions);
}

std::string Unreached(int record) {
    return FormatLog("Error - no chain reaches record# %d, which holds positions\n", record);
}

// A book whose chain in slot 3 takes exactly `records` records of 1024 bytes
// (102 one-move positions fill a record).
BookImage BookWithChainOf(size_t records) {
    const size_t positions = 102 * (records - 1) + 1;
    return builder::BuildBook(
        BookOptions{},
        builder::MakePositionsInSlot(BookKind::Standard, positions, 3, 1023, 5, MoveRange{1, 1}));
}

class BookAnalysisTest : public testing::Test {
  protected:
    AnalyseOutcome Analyse(const BookImage& image) {
        const std::string path = dir.File("book.bk");
        image.WriteTo(path);
        EXPECT_TRUE(OpenChosenBook(book, path)) << console.Text();
        console.progress.clear();
        AnalysisResult result = AnalyseBook(book);
        report = std::move(result.report);
        return result.outcome;
    }

    test::TempDir dir;
    test::RecordingConsole console;
    BookReader book{console};
    AnalysisReport report;
};

// A sound book prints only its chain lengths, in place of what an earlier
// operation printed; a chain of eight records needs no larger index.
TEST_F(BookAnalysisTest, SoundBookWithAChainOfEightRecordsPrintsOnlyTheChainLengths) {
    console.AppendText("text of an earlier operation\n");
    EXPECT_EQ(Analyse(BookWithChainOf(8)), AnalyseOutcome::Completed);
    EXPECT_EQ(console.Text(), "Longest chain:\t\t8\nShortest chain:\t\t0\nAnalisys completed\n");
    EXPECT_EQ(report.errors, 0);
    EXPECT_EQ(report.lengths.longest, 8);
    EXPECT_FALSE(report.recommendedHashIndexSize);
    EXPECT_TRUE(console.shows == 1 && !console.progressVisible);
    EXPECT_EQ(console.progress.back(), 100);
}

// A chain of nine records gets the recommendation and the best fitting pair, or
// the news that none fits (nine positions of 20 006 bytes).
TEST_F(BookAnalysisTest, ChainOfNineRecordsGetsARecommendation) {
    BookImage image = BookWithChainOf(9);
    image.PadToRecordCount(1028);
    const BookImage tooLong = builder::BuildBook(
        {.recordSize = 32768},
        builder::MakePositionsInSlot(BookKind::Standard, 9, 3, 1023, 1, MoveRange{5000, 5000}));
    const std::string recommendation =
        "Longest chain:\t\t9\nShortest chain:\t\t0\nThe longest chain is too big, it is "
        "recommended to increase the hash index size.\nRecommended hash index size is: ";
    EXPECT_EQ(Analyse(image), AnalyseOutcome::Completed);
    EXPECT_EQ(console.Text(), recommendation +
                                  "512\nBest fitting sizes: record size 4096, hash index size "
                                  "4096 (longest chain 1)\nAnalisys completed\n");
    EXPECT_EQ(report.bestSizes, (SizePair{4096, 4096}));
    EXPECT_EQ(Analyse(tooLong), AnalyseOutcome::Completed);
    EXPECT_EQ(console.Text(),
              recommendation + "256\nNo sizes in the tables fit this book\nAnalisys completed\n");
    EXPECT_FALSE(report.bestSizes);
}

TEST(RecommendationTest, SmallestPowerOfTwoOfAQuarterNeverBelow256) {
    EXPECT_EQ(RecommendedHashIndexSize(0), 256);
    EXPECT_EQ(RecommendedHashIndexSize(1024), 256);
    EXPECT_EQ(RecommendedHashIndexSize(1028), 512);
    EXPECT_EQ(RecommendedHashIndexSize(4096), 1024);
    EXPECT_EQ(RecommendedHashIndexSize(4100), 2048);
    EXPECT_EQ(RecommendedHashIndexSize(65535), 16384);
}

// Each damage with its exact text: chain findings in walk order, unreached records,
// then the chain lengths and the error count.
TEST_F(BookAnalysisTest, DamageIsReportedWithItsFindingsInOrder) {
    struct Case {
        const char* name;
        BookImage image;
        // The findings, given the damaged book.
        std::string (*findings)(const BookImage&);
        int longest;
        int shortest;
        int errors;
    };
    const auto chain = [](size_t records, const builder::Damage& damage) {
        BookImage image = BookWithChainOf(records);
        damage(image);
        return image;
    };
    const auto slots = [](const std::vector<uint32_t>& used, const builder::Damage& damage) {
        BookImage image = BookWithOnePositionIn(used);
        damage(image);
        return image;
    };
    const std::vector<Case> cases = {
        {"slot equal to recordCount; the last record is a valid link",
         slots({0, 1, 2},
               [](BookImage& b) {
                   b.SetSlot(1, b.RecordCount());
                   b.SetSlot(2, static_cast<uint16_t>(b.RecordCount() - 1));
               }),
         [](const BookImage& b) {
             return FormatLog("Error - invalid link in HashIndex - idx=1 rec=%d free=%d\n",
                              b.RecordCount(), b.RecordCount()) +
                    Unreached(b.RecordCount() - 2);
         },
         1, 0, 2},
        {"bad link in the second record ends the chain there",
         chain(3, [](BookImage& b) { b.SetNextRecord(b.ChainRecords(3)[1], b.RecordCount() + 7); }),
         [](const BookImage& b) {
             return FormatLog("Error - invalid link in chain - currec=%d next=%d free=%d\n",
                              b.Slot(3) + 1, b.RecordCount() + 7, b.RecordCount()) +
                    Unreached(b.Slot(3) + 2);
         },
         2, 0, 2},
        {"a link into the comment record is invalid",
         chain(2, [](BookImage& b) { b.SetNextRecord(b.Slot(3), 1); }),
         [](const BookImage& b) {
             return FormatLog("Error - invalid link in chain - currec=%d next=1 free=%d\n",
                              b.Slot(3), b.RecordCount()) +
                    Unreached(b.Slot(3) + 1);
         },
         1, 0, 2},
        {"a record that fails the check and carries a bad link counts twice",
         chain(2,
               [](BookImage& b) {
                   b.CutLastEntry(b.Slot(3));
                   b.SetNextRecord(b.Slot(3), 60000);
               }),
         [](const BookImage& b) {
             return FormatLog(
                        "Error in freespace of record# %d\nError - invalid link in chain - "
                        "currec=%d next=60000 free=%d\n",
                        b.Slot(3), b.Slot(3), b.RecordCount()) +
                    Unreached(b.Slot(3) + 1);
         },
         1, 0, 3},
        {"equal move codes fail the record check",
         [] {
             BookImage image = builder::BuildBook(
                 BookOptions{},
                 builder::MakePositionsInSlot(BookKind::Standard, 5, 3, 1023, 3, MoveRange{2, 4}));
             image.GiveEqualCodes(image.Slot(3));
             return image;
         }(),
         [](const BookImage& b) {
             return FormatLog("Error in freespace of record# %d\n", b.Slot(3));
         },
         1, 0, 1},
        {"a file cut inside the last record of a chain misses that record",
         chain(3, [](BookImage& b) { b.Truncate((b.Slot(3) + 2u) * 1024 + 10); }),
         [](const BookImage& b) {
             return FormatLog("Error - missing record in chain - idx=3 currec=%d next=%d\n",
                              b.Slot(3) + 1, b.Slot(3) + 2);
         },
         2, 0, 1},
        {"a loop ends the chain with one error", chain(4, [](BookImage& b) { b.MakeLoop(3); }),
         [](const BookImage& b) {
             return FormatLog("Error - loop in chain - idx=3 currec=%d next=%d\n", b.Slot(3) + 3,
                              b.Slot(3));
         },
         4, 0, 1},
        {"a slot that leads to another chain's record shares it; a record linking to itself loops",
         slots({1, 2, 4},
               [](BookImage& b) {
                   b.SetSlot(2, b.Slot(1));
                   b.MakeLoop(4);
               }),
         [](const BookImage& b) {
             return FormatLog(
                        "Error - shared record in chain - idx=2 currec=0 next=%d\nError - "
                        "loop in chain - idx=4 currec=%d next=%d\n",
                        b.Slot(1), b.Slot(4), b.Slot(4)) +
                    Unreached(b.Slot(1) + 1);
         },
         1, 0, 3},
        {"a record that links into another chain's tail shares it",
         slots({5, 6},
               [](BookImage& b) { b.SetNextRecord(b.Slot(6), static_cast<uint16_t>(b.Slot(5))); }),
         [](const BookImage& b) {
             return FormatLog("Error - shared record in chain - idx=6 currec=%d next=%d\n",
                              b.Slot(6), b.Slot(5));
         },
         1, 0, 1},
        {"a comment record outside the book comes first; the record it was is unreached",
         slots({6}, builder::ChangeHeader([](BookHeader& h) { h.commentRecord = 64; })),
         [](const BookImage&) {
             return "Error - the comment record 64 lies outside the book\n" + Unreached(1);
         },
         1, 0, 2},
        {"without slots every record that holds something is unreached",
         // The old HashIndex records hold slot values.
         slots({1, 2}, builder::ChangeHeader([](BookHeader& h) { h.hashIndexSize = 0; })),
         [](const BookImage&) { return Unreached(2) + Unreached(4) + Unreached(5); }, 0, 65535, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Analyse(c.image), AnalyseOutcome::Completed);
        EXPECT_EQ(console.Text(),
                  c.findings(c.image) + FormatLog("Longest chain:\t\t%d\nShortest chain:\t\t%d\n"
                                                  "Found %d errors, run optimize to fix them\n"
                                                  "Analisys completed\n",
                                                  c.longest, c.shortest, c.errors));
        EXPECT_EQ(report.errors, c.errors);
        EXPECT_EQ(report.findings.size(), static_cast<size_t>(c.errors));
    }
}

// Only a failed read, or memory that runs out, ends an analysis and closes the
// book: at a chain's first record, and at its second, read ahead with the rest.
TEST(AnalysisReadsTest, ReadFailureEndsTheAnalysisAndClosesTheBook) {
    struct Case {
        uint64_t record;
        bool memoryRunsOut;  // else the read fails
        std::string fatal;
    };
    test::TempDir dir;
    BookWithChainOf(3).WriteTo(dir.File("book.bk"));
    for (const Case& c : {
             Case{4, false, "**Error** in _read reading record #:4\n"},
             Case{5, false, "**Error** in _read reading record #:5\n"},
             Case{4, true, "**Error** Memory error\n"},
         }) {
        SCOPED_TRACE(c.fatal);
        test::RecordingConsole console;
        test::HookedFileSystem files;
        files.failReadsFrom = c.record * 1024;
        files.memoryRunsOut = c.memoryRunsOut;
        BookReader book(console, files);
        ASSERT_TRUE(OpenChosenBook(book, dir.File("book.bk")));
        EXPECT_EQ(AnalyseBook(book).outcome, AnalyseOutcome::FatalError);
        EXPECT_EQ(console.Text(), c.fatal);
        EXPECT_FALSE(console.progressVisible);
        EXPECT_FALSE(book.IsInputOpen());
        // A book that is closed is not analysed again.
        EXPECT_EQ(AnalyseBook(book).outcome, AnalyseOutcome::NoBookOpen);
        EXPECT_EQ(console.Text(), c.fatal);
    }
}

// However the links run, the analysis reads each record once at most: here 1024
// slots lead into one chain of 40 records.
TEST(AnalysisReadsTest, ChainsRunningIntoOneTailAreReadOnce) {
    BookImage image = BookWithChainOf(40);
    for (uint32_t slot = 0; slot < 1024; ++slot) {
        image.SetSlot(slot, image.Slot(3));
    }
    test::TempDir dir;
    image.WriteTo(dir.File("tail.bk"));
    test::RecordingConsole console;
    test::HookedFileSystem files;
    BookReader book(console, files);
    ASSERT_TRUE(OpenChosenBook(book, dir.File("tail.bk")));
    const AnalysisResult result = AnalyseBook(book);
    EXPECT_EQ(result.outcome, AnalyseOutcome::Completed);
    EXPECT_EQ(result.report.errors, 1023);  // every slot but the first shares the chain
    EXPECT_LE(files.reads, image.RecordCount());
}

// A pass over a book of 4 MiB or more tells the system, on a thread of its own,
// that the whole file will be read: once for the open book, and never once the
// book is closed, also when it closes while the hint is being given.
TEST(AnalysisReadsTest, WholeFileIsHintedOnceWhileTheBookIsOpen) {
    test::TempDir dir;
    const BookImage image = builder::BuildFilledBook({}, 4200, 3, MoveRange{2, 6});
    image.WriteTo(dir.File("big.bk"));
    test::RecordingConsole console;
    test::HookedFileSystem files;
    std::vector<std::pair<uint64_t, uint64_t>> hinted;
    std::atomic<bool> closing = false;
    std::atomic<int> late = 0;
    files.hint = [&](uint64_t offset, uint64_t length, bool watchedOpen) {
        for (int waited = 0; !closing && waited < 5000; ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // while the book closes
        hinted.emplace_back(offset, length);
        late += watchedOpen && !files.watchedClosed ? 0 : 1;
    };
    BookReader book(console, files);
    ASSERT_TRUE(OpenChosenBook(book, dir.File("big.bk")));
    files.watched = book.InputFile();
    EXPECT_EQ(AnalyseBook(book, ThreadCount(2)).outcome, AnalyseOutcome::Completed);
    EXPECT_EQ(PredictConversions(book, OfferedPairs(), console, Threads::One).size(),
              OfferedPairs().size());
    closing = true;
    book.CloseInputBook();
    EXPECT_EQ(late, 0);
    const auto size = static_cast<uint64_t>(image.Bytes().size());
    EXPECT_THAT(hinted, ElementsAre(std::pair<uint64_t, uint64_t>{0, size}));
}

enum class Conversion { Left, Made };

// What the analysis, prediction and conversion of the book at `path` tell, with the
// converted book and the progress; on one thread a converted book meets the oracle.
std::pair<std::string, std::vector<int>> Report(const std::string& path, Threads threads,
                                                IFileSystem& files,
                                                Conversion conversion = Conversion::Made) {
    const std::optional<test::OracleReading> oracle =
        threads == Threads::One && conversion == Conversion::Made
            ? std::optional(test::ReadAsOracle(test::ReadFileBytes(path)))
            : std::nullopt;
    test::RecordingConsole console;
    BookReader book(console, files);
    if (OpenChosenBook(book, path)) {
        const AnalysisResult analysis = AnalyseBook(book, threads);
        EXPECT_EQ(analysis.outcome, AnalyseOutcome::Completed);
        if (oracle) {
            EXPECT_EQ(analysis.report.errors, oracle->findings);
            EXPECT_EQ(analysis.report.lengths, oracle->lengths);
        }
    }
    std::string text = console.Text();
    if (OpenChosenBook(book, path)) {
        for (const Prediction& predicted :
             PredictConversions(book, OfferedPairs(), console, threads)) {
            text += DescribePrediction(predicted) + FormatLog(" %d\n", predicted.lengths.shortest);
        }
        text += console.Text();
    }
    const std::string converted = path + ".new";
    if (conversion == Conversion::Made && OpenChosenBook(book, path) &&
        OptimizeBook(book, {1024, 1024, converted, threads}).outcome ==
            OptimizeOutcome::Converted) {
        const std::vector<uint8_t> bytes = test::ReadFileBytes(converted);
        EXPECT_EQ(oracle ? test::Describe(test::ConvertedBookProblems(
                               bytes, {oracle->positions, kMagicStandard, 1024, 1024}))
                         : "",
                  "");
        text.append(bytes.begin(), bytes.end());
        std::filesystem::remove(converted);
    }
    return {text + console.Text(), console.progress};
}

// From 4 MiB on, runs of slots are walked on worker threads (two, on any machine)
// and the walks taken over in slot order: text, progress, predictions and converted
// books are those of one thread, also where damage links chains across runs (of
// about 51 slots here). Only the sound book and the crossed links are converted;
// the sound book with its chain records all over the file reports what it does.
TEST(AnalysisThreadsTest, SeveralThreadsReportWhatOneReports) {
    BookOptions options{.hashIndexSize = 256};  // chains of 20 records
    const BookImage sound = builder::BuildFilledBook(options, 5120, 3, MoveRange{2, 6});
    auto crossed = [](BookImage& image) {
        image.SetSlot(7, 60000);
        image.SetNextRecord(image.ChainRecords(200).back(), image.ChainRecords(10)[4]);
        image.SetNextRecord(image.ChainRecords(20)[2], image.ChainRecords(230)[3]);
        image.SetSlot(180, image.ChainRecords(120)[5]);
        image.MakeLoop(140);
        image.CutLastEntry(image.ChainRecords(150)[1]);
        image.GiveEqualCodes(image.ChainRecords(250)[0]);
    };
    std::vector<std::pair<const char*, builder::Damage>> damages = builder::Damages();
    damages.emplace_back("crossed", crossed);
    test::TempDir dir;
    test::HookedFileSystem one;
    test::HookedFileSystem all;
    std::pair<std::string, std::vector<int>> soundReport;
    for (const auto& [name, damage] : damages) {
        SCOPED_TRACE(name);
        BookImage image = sound;
        damage(image);
        image.WriteTo(dir.File("big.bk"));
        const std::string_view named = name;
        const Conversion conversion =
            named == "sound" || named == "crossed" ? Conversion::Made : Conversion::Left;
        const auto report = Report(dir.File("big.bk"), Threads::One, one, conversion);
        EXPECT_EQ(report, Report(dir.File("big.bk"), ThreadCount(2), all, conversion));
        if (named == "sound") {
            soundReport = report;
        }
    }
    // The same book grown by appending records, its chains all over the file.
    BookImage scattered = sound;
    scattered.ScatterChainRecords(5);
    scattered.WriteTo(dir.File("big.bk"));
    EXPECT_EQ(Report(dir.File("big.bk"), ThreadCount(2), all), soundReport);
    EXPECT_THAT(Report(dir.File("big.bk"), ThreadCount(2), all).first,
                testing::AllOf(testing::HasSubstr("\nBest fitting sizes: "),
                               testing::HasSubstr("\nConversion completed\n")));
    options.hashIndexSize = 2;  // runs of one slot, more entries than a worker holds
    builder::BuildFilledBook(options, 5120, 3, MoveRange{1, 2}).WriteTo(dir.File("big.bk"));
    EXPECT_EQ(Report(dir.File("big.bk"), Threads::One, one),
              Report(dir.File("big.bk"), ThreadCount(2), all));
    EXPECT_GT(all.opens, one.opens + damages.size());  // the workers read it too
}

TEST_F(BookAnalysisTest, ProgressMovesInStepsOfTen) {
    // Ten chain records in a book of 14 records: 7 x 100 / 14 = 50 is the only
    // multiple of ten on the way; in a book of 1000 records every one gives 0.
    BookImage image = BookWithOnePositionIn({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(Analyse(image), AnalyseOutcome::Completed);
    EXPECT_THAT(console.progress, ElementsAre(50, 100));
    image.PadToRecordCount(1000);
    EXPECT_EQ(Analyse(image), AnalyseOutcome::Completed);
    EXPECT_THAT(console.progress, ElementsAre(0, 0, 0, 0, 0, 0, 0, 0, 0, 100));
}

}  // namespace
}  // namespace plinth
