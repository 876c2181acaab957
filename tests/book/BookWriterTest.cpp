// The writer on its own, at the boundaries of its rules; whole conversions and the
// writer's failures are in BookOptimizationTest.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "BookBuilder.h"
#include "RecordingConsole.h"
#include "TempDir.h"
#include "book/BookWriter.h"

namespace plinth {
namespace {

using builder::BookImage;
using builder::BookOptions;
using Outcome = BookWriter::WriteOutcome;

class BookWriterTest : public testing::Test {
  protected:
    // Writes the chain records of `image` into a new book of the given geometry,
    // whose chains were counted to be filled as `chains` says.
    Outcome Convert(const BookImage& image, int recordSize, int hashIndexSize,
                    std::vector<ChainFill> chains = {}) {
        Start(image, recordSize, hashIndexSize, std::move(chains));
        for (uint32_t slot = 0; slot < image.Header().hashIndexSize; ++slot) {
            for (const uint16_t record : image.ChainRecords(slot)) {
                Place(image, record);
            }
        }
        return Finish();
    }
    void Start(const BookImage& image, int recordSize, int hashIndexSize,
               std::vector<ChainFill> chains) {
        input = image;
        writer.emplace(console, SystemFileSystem(), image.Header(),
                       input.Record(image.Header().commentRecord), recordSize, hashIndexSize,
                       std::move(chains));
        std::filesystem::remove(dir.File("out.bk"));  // the writer creates a new file
        writer->CreateOutputBook(dir.File("out.bk"));
        console.ClearConsole();
    }
    BookWriter::PlaceResult Place(const BookImage& image, uint16_t record) {
        input = image;
        std::vector<DigestedEntry> entries;
        DigestRecord(input.Record(record), KindOf(image.Header().magic), entries);
        return writer->AddRecordPositions(input.Record(record), entries);
    }
    Outcome Finish() {
        const Outcome outcome = writer->WriteOutputBook({50, 100});
        writer.reset();
        output = test::ReadFileBytes(dir.File("out.bk"));
        return outcome;
    }
    BookHeader OutputHeader() const {
        return DecodeHeader(std::span<const uint8_t, layout::kHeaderSize>(output.data(), 38));
    }

    test::TempDir dir;
    test::RecordingConsole console;
    BookImage input{{}, {}};
    std::optional<BookWriter> writer;
    std::vector<uint8_t> output;
};

// The chains of a new book of 1024 slots, counted to be empty but in `slot`,
// whose chain takes `records` records with `used` bytes in use in its last.
std::vector<ChainFill> Counted(uint32_t slot, uint32_t records, uint32_t used) {
    std::vector<ChainFill> chains(1024);
    chains[slot] = {records, used};
    return chains;
}

// An empty book has its header, comment and HashIndex only; an entry that exactly
// fills a record stays in it. Chains that are not the records they were counted
// to be (the book changed since the count) make no book.
TEST_F(BookWriterTest, EmptyBookAndAnEntryThatExactlyFillsTheRecord) {
    EXPECT_EQ(Convert(builder::BuildBook(BookOptions{}, {}), 1024, 1024), Outcome::Complete);
    EXPECT_EQ(console.Text(),
              "\nWriting output file\n"
              "Longest chain:\t\t0\nShortest chain:\t\t65535\nAvg chain length:\t0.0\n");
    EXPECT_EQ(output.size(), 4u * 1024);
    EXPECT_EQ(console.progress.back(), 100);
    for (const size_t secondMoves : {251u, 252u}) {
        builder::Random random(1);
        const BookImage image = builder::BuildBook(
            {.recordSize = 2048},
            {builder::MakePosition(BookKind::Standard, 5, 1, random),              // 10 bytes
             builder::MakePosition(BookKind::Standard, 5, secondMoves, random)});  // 1010, 1014
        const uint32_t records = secondMoves == 251 ? 1 : 2;
        const uint32_t used = secondMoves == 251 ? 1024 : 1018;
        ASSERT_EQ(Convert(image, 1024, 1024, Counted(5, records, used)), Outcome::Complete);
        EXPECT_EQ(OutputHeader().recordCount, 4 + records) << secondMoves;
        for (const ChainFill counted :
             {ChainFill{records - 1, used}, ChainFill{records + 1, used},
              ChainFill{records, used - 4}, ChainFill{records, used + 4}}) {
            EXPECT_EQ(Convert(image, 1024, 1024, Counted(5, counted.records, counted.used)),
                      Outcome::Failed);
            EXPECT_THAT(
                console.Text(),
                testing::HasSubstr("**Error** The book changed while it was being converted\n"));
            EXPECT_EQ(OutputHeader().recordCount, 0);  // no header: the book is not complete
        }
    }
}

// Damaged entries are mended in the copy, with one warning for each kind of damage.
TEST_F(BookWriterTest, DamagedEntriesAreMendedInTheCopy) {
    builder::Random random(3);
    // Entries of 10 and 986 bytes end at offset 1000; the third entry, at 1000, has
    // moves at 1006, 1010, 1014 and 1018 of which none will carry the flag.
    BookImage cut = builder::BuildBook(BookOptions{},
                                       {builder::MakePosition(BookKind::Standard, 7, 1, random),
                                        builder::MakePosition(BookKind::Standard, 7, 245, random),
                                        builder::MakePosition(BookKind::Standard, 7, 4, random)});
    cut.Record(cut.Slot(7))[1018 + layout::kMoveFlags] &= 0x7F;
    // Equal codes in the second and fourth of five moves; the last keeps its own.
    BookImage equal = builder::BuildBook(BookOptions{},
                                         {builder::MakePosition(BookKind::Standard, 7, 5, random)});
    uint8_t* moves = &equal.Record(equal.Slot(7))[4 + 6];
    for (const size_t move : {1, 3, 4}) {
        moves[move * 4 + 1] = moves[move * 4];
    }
    struct Case {
        const char* name;
        const BookImage& image;
        uint32_t moves;      // totalMoves of the new book
        size_t lastEntryAt;  // where the mended entry lies in the new record
        size_t lastEntrySize;
        std::vector<size_t> kept;  // the moves of the source entry that it keeps
    };
    for (const Case& c : {Case{"cut", cut, cut.Header().totalMoves, 1000, 22, {}},
                          Case{"equal codes", equal, 3, 4, 18, {0, 2, 4}}}) {
        SCOPED_TRACE(c.name);
        Start(c.image, 1024, 1024,
              Counted(7, 1, static_cast<uint32_t>(c.lastEntryAt + c.lastEntrySize)));
        EXPECT_EQ(Place(c.image, c.image.Slot(7)).outcome, BookWriter::PlaceOutcome::Placed);
        EXPECT_EQ(console.Text(), "Warning, corrupt record, ignoring moves\n");
        ASSERT_EQ(Finish(), Outcome::Complete);
        EXPECT_EQ(OutputHeader().totalMoves, c.moves);
        const std::span<const uint8_t> record(&output[4 * 1024], 1024);
        EXPECT_TRUE(CheckRecord(record, BookKind::Standard));
        EXPECT_NE(record[c.lastEntryAt + c.lastEntrySize - 4 + layout::kMoveFlags] &
                      layout::kLastMoveFlag,
                  0);
        EXPECT_EQ(DecodeU16(&record[c.lastEntryAt + c.lastEntrySize]), 0);
        for (size_t k = 0; k < c.kept.size(); ++k) {  // their two codes, in order
            const size_t from = c.image.Slot(7) * size_t{1024} + 4 + 6 + c.kept[k] * 4;
            const size_t to = c.lastEntryAt + 6 + k * 4;
            EXPECT_EQ(DecodeU16(&c.image.Bytes()[from]), DecodeU16(&record[to])) << k;
        }
    }
}

TEST_F(BookWriterTest, CommentIsCopiedWithItsZeroOrCutAtTheRecordEnd) {
    for (const auto& [comment, recordSize, kept] :
         {std::tuple{std::string(1500, 'k'), 1024, std::string(1020, 'k')},
          std::tuple{std::string("Najdorf"), 4096, std::string("Najdorf\0", 8)}}) {
        const BookOptions options{.recordSize = 2048, .comment = comment};
        ASSERT_EQ(Convert(builder::BuildBook(options, {}), recordSize, 1024), Outcome::Complete);
        const auto text = output.begin() + recordSize;
        EXPECT_EQ(std::string(text, text + 4), std::string(4, '\0'));
        EXPECT_EQ(std::string(text + 4, text + 4 + static_cast<long>(kept.size())), kept);
    }
}

// One position of 1010 bytes fills a record of 1024 on its own, so every time its
// record is handed over, the chain grows by one record.
TEST_F(BookWriterTest, RecordNumber65534MakesTheBookFull) {
    builder::Random random(7);
    const BookImage image = builder::BuildBook(
        BookOptions{}, {builder::MakePosition(BookKind::Standard, 0, 251, random)});
    for (const int records : {65534 - 4, 65535 - 4}) {
        Start(image, 1024, 1024, Counted(0, static_cast<uint32_t>(records), 1014));
        for (int i = 0; i < records; ++i) {
            Place(image, image.Slot(0));
        }
        const Outcome outcome = Finish();
        if (records == 65534 - 4) {
            EXPECT_EQ(outcome, Outcome::Complete);
            EXPECT_THAT(console.Text(), testing::HasSubstr("Longest chain:\t\t65530\n"));
            EXPECT_EQ(OutputHeader().recordCount, 65534);
        } else {
            EXPECT_EQ(outcome, Outcome::Failed);
            EXPECT_EQ(console.Text(), "\nWriting output file\n*** Error *** Output book full\n");
            EXPECT_EQ(OutputHeader().recordCount, 0);  // no header: the book is not complete
            EXPECT_EQ(console.progress.back(), 100);
        }
    }
}

}  // namespace
}  // namespace plinth
