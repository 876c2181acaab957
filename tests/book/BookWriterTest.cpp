// The writer on its own: the layout of the new book, the placing of positions,
// the cut of damaged entries, the full book and the chain statistics.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "BookBuilder.h"
#include "BookOracle.h"
#include "FaultyFileSystem.h"
#include "RecordingConsole.h"
#include "TempDir.h"
#include "book/OpenBookState.h"

namespace plinth {
namespace {

using builder::BookImage;
using builder::BookOptions;
using builder::MoveRange;
using testing::HasSubstr;

class BookWriterTest : public testing::Test {
  protected:
    // Opens `image` as the input book and creates the output book.
    void Start(const BookImage& image, int recordSize, int hashIndexSize) {
        const std::string path = dir.File("in.bk");
        image.WriteTo(path);
        ASSERT_TRUE(book.OpenBook(path)) << console.Text();
        book.SetOutputPath(dir.File("out.bk"));
        book.SetNewGeometry(recordSize, hashIndexSize);
        book.CreateOutputBook();
    }
    // Places every record of every chain of the input book, in slot order.
    void PlaceAll() {
        for (uint32_t slot = 0; slot < book.InputHeader().hashIndexSize; ++slot) {
            for (uint16_t r = book.HashIndexSlot(slot); r != 0; r = book.RecordAreaNextRecord()) {
                book.ReadRecord(r);
                ASSERT_EQ(book.AddRecordPositions().outcome, OpenBookState::PlaceOutcome::Placed);
            }
        }
    }
    OpenBookState::WriteOutcome Finish() {
        const auto outcome = book.WriteOutputBook();
        book.FreeOutputChains();
        book.CloseOutputBook();
        return outcome;
    }
    std::vector<uint8_t> Output() { return test::ReadFileBytes(dir.File("out.bk")); }
    BookHeader OutputHeaderOnDisk() {
        const std::vector<uint8_t> bytes = Output();
        return DecodeHeader(std::span<const uint8_t, layout::kHeaderSize>(bytes.data(), 38));
    }

    test::TempDir dir;
    test::RecordingConsole console;
    OpenBookState book{console};
};

TEST_F(BookWriterTest, EmptyBookHasHeaderCommentAndIndexOnly) {
    Start(builder::BuildBook(BookOptions{}, {}), 1024, 1024);
    console.ClearConsole();
    EXPECT_EQ(Finish(), OpenBookState::WriteOutcome::Complete);
    EXPECT_EQ(console.Text(),
              "\nWriting output file\n"
              "Longest chain:\t\t0\nShortest chain:\t\t65535\nAvg chain length:\t0.0\n");
    EXPECT_EQ(Output().size(), 4u * 1024);
    const BookHeader header = OutputHeaderOnDisk();
    EXPECT_EQ(header.recordCount, 4);
    EXPECT_EQ(header.totalPositions, 0u);
    EXPECT_EQ(header.totalMoves, 0u);
    EXPECT_EQ(console.progress, std::vector<int>{100});
}

TEST_F(BookWriterTest, HeaderOfTheNewBook) {
    BookOptions options;
    options.kind = BookKind::WithStatistics;
    options.revision = {'2', '7'};
    options.attributes = 0x1234;
    options.word36 = 0xBEEF;
    BookImage image = builder::BuildBook(options, builder::MakePositions(options.kind, 40, 2));
    BookHeader input = image.Header();
    input.reserved8 = {9, 9};
    input.reserved18 = {9, 9, 9, 9};
    input.word12 = 77;
    image.SetHeader(input);
    Start(image, 2048, 4096);
    PlaceAll();
    ASSERT_EQ(Finish(), OpenBookState::WriteOutcome::Complete);
    const BookHeader header = OutputHeaderOnDisk();
    EXPECT_EQ(header.magic, kMagicStatistics);
    EXPECT_EQ(header.revision, (std::array<uint8_t, 2>{'3', '0'}));
    EXPECT_EQ(header.recordSize, 2048);
    EXPECT_EQ(header.commentRecord, 1);
    EXPECT_EQ(header.word12, 1);
    EXPECT_EQ(header.hashIndexRecord, 2);
    EXPECT_EQ(header.hashIndexSize, 4096);
    EXPECT_EQ(header.hashMask, 4095u);
    EXPECT_EQ(header.reserved8, (std::array<uint8_t, 2>{0, 0}));
    EXPECT_EQ(header.reserved18, (std::array<uint8_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(header.attributes, 0x1234);
    EXPECT_EQ(header.word36, 0xBEEF);
    EXPECT_EQ(header.totalPositions, 40u);
    EXPECT_EQ(header.totalMoves, input.totalMoves);
    EXPECT_EQ(header.recordCount * 2048u, Output().size());
    // A book with statistics stays one, its moves copied byte for byte.
    EXPECT_EQ(test::Sorted(test::ReadAsOracle(Output()).positions),
              test::Sorted(image.Positions()));
}

TEST_F(BookWriterTest, ChainOfThreeBuffersIsWrittenInConsecutiveRecords) {
    // 102 one-move positions fill a record of 1024 bytes; 250 take three.
    const BookImage image = builder::BuildBook(
        BookOptions{},
        builder::MakePositionsInSlot(BookKind::Standard, 250, 0, 4095, 8, MoveRange{1, 1}));
    Start(image, 1024, 4096);  // eight HashIndex records: the chains start at record 10
    PlaceAll();
    EXPECT_EQ(book.RecordBuffersHeld(), 3);
    ASSERT_EQ(Finish(), OpenBookState::WriteOutcome::Complete);
    EXPECT_EQ(book.RecordBuffersHeld(), 0);
    const std::vector<uint8_t> bytes = Output();
    const auto u16 = [&bytes](size_t offset) { return DecodeU16(&bytes[offset]); };
    EXPECT_EQ(u16(2 * 1024), 10);  // slot 0
    EXPECT_EQ(u16(10 * 1024), 11);
    EXPECT_EQ(u16(11 * 1024), 12);
    EXPECT_EQ(u16(12 * 1024), 0);
    EXPECT_EQ(u16(10 * 1024 + 2), 0);
    EXPECT_EQ(u16(11 * 1024 + 2), 10);
    EXPECT_EQ(u16(12 * 1024 + 2), 11);
    EXPECT_THAT(console.Text(), HasSubstr("Longest chain:\t\t3\nShortest chain:\t\t3\n"
                                          "Avg chain length:\t0.0\n"));
}

TEST_F(BookWriterTest, EntryThatExactlyFillsTheBufferStaysInIt) {
    for (const size_t secondMoves : {251u, 252u}) {
        builder::Random random(1);
        std::vector<builder::Position> positions = {
            builder::MakePosition(BookKind::Standard, 5, 1, random),             // 10 bytes
            builder::MakePosition(BookKind::Standard, 5, secondMoves, random)};  // 1010 or 1014
        BookOptions options;
        options.recordSize = 2048;
        Start(builder::BuildBook(options, positions), 1024, 1024);
        PlaceAll();
        EXPECT_EQ(book.RecordBuffersHeld(), secondMoves == 251 ? 1 : 2) << secondMoves;
        Finish();
    }
}

TEST_F(BookWriterTest, EntryRunningPastItsRecordIsCutAfterItsLastWholeMove) {
    // Entries of 10 and 986 bytes end at offset 1000; the third entry, at 1000,
    // has moves at 1006, 1010, 1014 and 1018 of which none carries the flag.
    builder::Random random(3);
    std::vector<builder::Position> positions = {
        builder::MakePosition(BookKind::Standard, 7, 1, random),
        builder::MakePosition(BookKind::Standard, 7, 245, random),
        builder::MakePosition(BookKind::Standard, 7, 4, random)};
    BookImage image = builder::BuildBook(BookOptions{}, positions);
    const uint16_t record = image.Slot(7);
    image.Record(record)[1018 + layout::kMoveFlags] &= 0x7F;
    const uint32_t movesBefore = image.Header().totalMoves;
    Start(image, 1024, 1024);
    console.ClearConsole();
    book.ReadRecord(record);
    ASSERT_EQ(book.AddRecordPositions().outcome, OpenBookState::PlaceOutcome::Placed);
    EXPECT_EQ(console.Text(), "Warning, corrupt record, ignoring moves\n");
    ASSERT_EQ(Finish(), OpenBookState::WriteOutcome::Complete);
    EXPECT_EQ(OutputHeaderOnDisk().totalMoves, movesBefore);
    const std::vector<uint8_t> bytes = Output();
    const size_t first = DecodeU16(&bytes[2 * 1024 + 2 * 7]);
    const uint8_t* copied = &bytes[first * 1024 + 1000];
    EXPECT_NE(copied[6 + 3 * 4 + layout::kMoveFlags] & layout::kLastMoveFlag, 0);
    EXPECT_EQ(DecodeU16(copied + 22), 0);  // the entry is 22 bytes long
    // The input file is not changed.
    EXPECT_EQ(test::ReadFileBytes(dir.File("in.bk")), image.Bytes());
}

TEST_F(BookWriterTest, MovesWithEqualCodesAreLeftOut) {
    builder::Random random(4);
    std::vector<builder::Position> positions = {
        builder::MakePosition(BookKind::Standard, 3, 5, random)};
    BookImage image = builder::BuildBook(BookOptions{}, positions);
    const uint16_t record = image.Slot(3);
    uint8_t* moves = &image.Record(record)[4 + 6];
    moves[4 + 1] = moves[4];    // second move
    moves[12 + 1] = moves[12];  // fourth move
    moves[16 + 1] = moves[16];  // the last move keeps its equal codes
    Start(image, 1024, 1024);
    console.ClearConsole();
    PlaceAll();
    EXPECT_EQ(console.Text(), "Warning, corrupt record, ignoring moves\n");
    ASSERT_EQ(Finish(), OpenBookState::WriteOutcome::Complete);
    EXPECT_EQ(OutputHeaderOnDisk().totalMoves, 3u);
    const std::vector<builder::Position> copied = test::ReadAsOracle(Output()).positions;
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(copied[0].MoveCount(BookKind::Standard), 3u);
    EXPECT_TRUE(CheckRecord(std::span<const uint8_t>(Output()).subspan(4 * 1024, 1024),
                            BookKind::Standard));
}

TEST_F(BookWriterTest, CommentIsCopiedWithItsZeroOrCutAtTheRecordEnd) {
    BookOptions options;
    options.recordSize = 2048;
    options.comment = std::string(1500, 'k');
    Start(builder::BuildBook(options, {}), 1024, 1024);
    Finish();
    std::vector<uint8_t> bytes = Output();
    EXPECT_EQ(std::string(bytes.begin() + 1024, bytes.begin() + 1028), std::string(4, '\0'));
    EXPECT_EQ(std::string(bytes.begin() + 1028, bytes.begin() + 2048), std::string(1020, 'k'));

    options.comment = "Najdorf";
    Start(builder::BuildBook(options, {}), 4096, 1024);
    Finish();
    bytes = Output();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[4096 + 4])), "Najdorf");
}

TEST_F(BookWriterTest, PositionsMoveToTheSlotOfTheNewMask) {
    // Two positions that share slot 5 of 1024 slots part under 2048 slots.
    builder::Random random(5);
    std::vector<builder::Position> positions = {
        builder::MakePosition(BookKind::Standard, 5, 2, random),
        builder::MakePosition(BookKind::Standard, 1024 + 5, 2, random)};
    Start(builder::BuildBook(BookOptions{}, positions), 1024, 2048);
    PlaceAll();
    ASSERT_EQ(Finish(), OpenBookState::WriteOutcome::Complete);
    const std::vector<uint8_t> bytes = Output();
    EXPECT_NE(DecodeU16(&bytes[2 * 1024 + 2 * 5]), 0);
    EXPECT_NE(DecodeU16(&bytes[2 * 1024 + 2 * (1024 + 5)]), 0);
    EXPECT_EQ(test::ReadAsOracle(bytes).misplacedEntries, 0u);
}

TEST_F(BookWriterTest, PositionTooLongForTheNewRecordIsRefused) {
    builder::Random random(6);
    BookOptions options;
    options.recordSize = 2048;
    Start(builder::BuildBook(options, {builder::MakePosition(BookKind::Standard, 1, 300, random)}),
          1024, 1024);
    book.ReadRecord(book.HashIndexSlot(1));
    const OpenBookState::PlaceResult result = book.AddRecordPositions();
    EXPECT_EQ(result.outcome, OpenBookState::PlaceOutcome::EntryTooLong);
    EXPECT_EQ(result.entrySize, 6u + 300 * 4);
    EXPECT_EQ(book.RecordBuffersHeld(), 0);
    Finish();
}

// One position of 1010 bytes fills a record of 1024 on its own, so every time the
// record is handed over, the chain grows by one buffer.
class FullBookTest : public BookWriterTest {
  protected:
    void PlaceBuffers(int count) {
        builder::Random random(7);
        Start(builder::BuildBook(BookOptions{},
                                 {builder::MakePosition(BookKind::Standard, 0, 251, random)}),
              1024, 1024);
        book.ReadRecord(book.HashIndexSlot(0));
        for (int i = 0; i < count; ++i) {
            book.AddRecordPositions();
        }
        ASSERT_EQ(book.RecordBuffersHeld(), count);
        console.ClearConsole();
    }
};

TEST_F(FullBookTest, BookOf65534RecordsIsComplete) {
    PlaceBuffers(65534 - 4);  // records 4 to 65533
    EXPECT_EQ(Finish(), OpenBookState::WriteOutcome::Complete);
    EXPECT_THAT(console.Text(), HasSubstr("Longest chain:\t\t65530\n"));
    EXPECT_EQ(OutputHeaderOnDisk().recordCount, 65534);
}

TEST_F(FullBookTest, RecordNumber65534MakesTheBookFull) {
    PlaceBuffers(65535 - 4);
    EXPECT_EQ(Finish(), OpenBookState::WriteOutcome::Failed);
    EXPECT_EQ(console.Text(), "\nWriting output file\n*** Error *** Output book full\n");
    EXPECT_EQ(OutputHeaderOnDisk().recordCount, 4);  // header of the creation
    EXPECT_EQ(book.RecordBuffersHeld(), 0);
    EXPECT_EQ(console.progress.back(), 100);
}

TEST_F(BookWriterTest, FailedWriteStopsTheWriteOut) {
    test::FaultyFileSystem files;
    OpenBookState faulty(console, files);
    const BookImage image =
        builder::BuildBook(BookOptions{}, builder::MakePositions(BookKind::Standard, 300, 9));
    image.WriteTo(dir.File("in.bk"));
    ASSERT_TRUE(faulty.OpenBook(dir.File("in.bk")));
    faulty.SetOutputPath(dir.File("out.bk"));
    faulty.SetNewGeometry(1024, 1024);
    faulty.CreateOutputBook();  // calls 0-3: create and three writes
    for (uint32_t slot = 0; slot < 1024; ++slot) {
        if (const uint16_t r = faulty.HashIndexSlot(slot); r != 0) {
            faulty.ReadRecord(r);
            faulty.AddRecordPositions();
        }
    }
    files.FailCall(4);  // the first write of the chains
    console.ClearConsole();
    EXPECT_EQ(faulty.WriteOutputBook(), OpenBookState::WriteOutcome::Failed);
    EXPECT_EQ(console.Text(), "\nWriting output file\n**Error** in _write writing\n");
    EXPECT_EQ(faulty.RecordBuffersHeld(), 0);
    faulty.FreeOutputChains();
}

TEST_F(BookWriterTest, FailedCreationIsFatal) {
    Start(builder::BuildBook(BookOptions{}, {}), 1024, 1024);
    Finish();
    book.SetOutputPath(dir.File("no-such-folder/out.bk"));
    EXPECT_THROW(book.CreateOutputBook(), BookFatalError);
    EXPECT_THAT(console.Text(), testing::EndsWith("**Error** Creating output file: [" +
                                                  dir.File("no-such-folder/out.bk") + "]\n"));
    EXPECT_EQ(book.InputDescriptor(), -1);
}

}  // namespace
}  // namespace plinth
