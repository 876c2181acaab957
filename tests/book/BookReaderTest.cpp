// Opening books, reading records and the fatal error, on sound books and on
// headers damaged in every way a file can be.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "BookBuilder.h"
#include "RecordingConsole.h"
#include "TempDir.h"
#include "book/OpenBookState.h"

namespace plinth {
namespace {

using builder::BookImage;
using builder::BookOptions;
using testing::ElementsAre;
using testing::HasSubstr;

class BookReaderTest : public testing::Test {
  protected:
    std::string Write(const BookImage& image, const std::string& name = "book.bk") {
        const std::string path = dir.File(name);
        image.WriteTo(path);
        return path;
    }
    std::string WriteBytes(const std::vector<uint8_t>& bytes) {
        const std::string path = dir.File("raw.bk");
        test::WriteFileBytes(path, bytes);
        return path;
    }
    static BookImage SmallBook(BookOptions options = {}) {
        return builder::BuildBook(options, builder::MakePositions(options.kind, 50, 7));
    }

    test::TempDir dir;
    test::RecordingConsole console;
    OpenBookState book{console};
};

TEST_F(BookReaderTest, ListsTheElevenAttributeRows) {
    BookOptions options;
    options.comment = "Main line";
    options.attributes = 0x1A2B;
    BookImage image = SmallBook(options);
    const std::string path = Write(image);

    ASSERT_TRUE(book.OpenBook(path));
    EXPECT_TRUE(book.IsInputOpen());
    const BookHeader header = image.Header();
    EXPECT_THAT(
        console.rows,
        ElementsAre(
            std::pair<std::string, std::string>("Input book", path),
            std::pair<std::string, std::string>("Type", "Standard"),
            std::pair<std::string, std::string>("Revision", "30"),
            std::pair<std::string, std::string>("Comment", "Main line"),
            std::pair<std::string, std::string>("Hash index size", "1024"),
            std::pair<std::string, std::string>("Record size", "1024"),
            std::pair<std::string, std::string>("# of records", std::to_string(header.recordCount)),
            std::pair<std::string, std::string>("Total positions", "50"),
            std::pair<std::string, std::string>("Total moves", std::to_string(header.totalMoves)),
            std::pair<std::string, std::string>("Attributes", "1a2b"),
            std::pair<std::string, std::string>("Avg chain length", "0.1")));
    EXPECT_EQ(console.Text(), "");
}

TEST_F(BookReaderTest, BookWithStatisticsShowsItsType) {
    BookOptions options;
    options.kind = BookKind::WithStatistics;
    ASSERT_TRUE(book.OpenBook(Write(SmallBook(options))));
    EXPECT_EQ(console.Row("Type"), "With statistics");
}

TEST_F(BookReaderTest, AverageChainLengthCountsEveryRecord) {
    BookImage image = SmallBook();
    image.PadToRecordCount(100);
    ASSERT_TRUE(book.OpenBook(Write(image)));
    EXPECT_EQ(console.Row("Avg chain length"), "0.1");
}

TEST_F(BookReaderTest, CommentFillingItsRecordEndsAtTheRecordEnd) {
    BookOptions options;
    options.comment = std::string(1024 - 4, 'c');
    ASSERT_TRUE(book.OpenBook(Write(SmallBook(options))));
    EXPECT_EQ(console.Row("Comment"), options.comment);
}

TEST_F(BookReaderTest, CommentInWindows1252IsShownAsUtf8) {
    BookOptions options;
    options.comment = "Caf\xe9 \x80";
    ASSERT_TRUE(book.OpenBook(Write(SmallBook(options))));
    EXPECT_EQ(console.Row("Comment"), "Caf\xc3\xa9 \xe2\x82\xac");
}

TEST_F(BookReaderTest, OpeningClosesThePreviousBookAndClearsTheConsole) {
    const std::string first = Write(SmallBook(), "first.bk");
    ASSERT_TRUE(book.OpenBook(first));
    console.AppendText("old text");
    EXPECT_FALSE(book.OpenBook(dir.File("missing.bk")));
    EXPECT_EQ(console.Text(),
              "**Error** Can not open input file [" + dir.File("missing.bk") + "]\n");
    EXPECT_TRUE(console.rows.empty());
    EXPECT_FALSE(book.IsInputOpen());
}

// ---- Files that are no book ----

TEST_F(BookReaderTest, ShortFilesAreNoBook) {
    for (const size_t size : {0u, 1u, 37u}) {
        std::vector<uint8_t> bytes(size, 0);
        if (size >= 2) {
            bytes[0] = 'B';
            bytes[1] = 'K';
        }
        const std::string path = WriteBytes(bytes);
        EXPECT_FALSE(book.OpenBook(path)) << size;
        EXPECT_EQ(console.Text(), "**Error** [" + path + "] is not a valid book file\n") << size;
        EXPECT_EQ(book.InputDescriptor(), -1);
    }
}

TEST_F(BookReaderTest, WrongMagicIsNoBookWhateverTheHeaderHolds) {
    BookImage image = SmallBook();
    image.Record(0)[1] = 'C';
    const std::string path = Write(image);
    EXPECT_FALSE(book.OpenBook(path));
    EXPECT_EQ(console.Text(), "**Error** [" + path + "] is not a valid book file\n");
    EXPECT_TRUE(console.rows.empty());
}

TEST_F(BookReaderTest, PercentSignInAPathIsShownAsItIs) {
    const std::string path = dir.File("100%s%d.bk");
    EXPECT_FALSE(book.OpenBook(path));
    EXPECT_EQ(console.Text(), "**Error** Can not open input file [" + path + "]\n");
}

// ---- Damaged headers ----

TEST_F(BookReaderTest, CommentRecordOutOfRangeKeepsTheFirstThreeRows) {
    BookImage image = SmallBook();
    BookHeader header = image.Header();
    header.commentRecord = header.recordCount;
    image.SetHeader(header);
    EXPECT_FALSE(book.OpenBook(Write(image)));
    EXPECT_THAT(console.Fields(), ElementsAre("Input book", "Type", "Revision"));
    EXPECT_EQ(console.Text(), "**Error** reading record, out of bounds: record #:" +
                                  std::to_string(header.recordCount) + "\n");
    EXPECT_EQ(book.InputDescriptor(), -1);
    EXPECT_EQ(book.OutputDescriptor(), -1);
}

TEST_F(BookReaderTest, HashIndexBeyondTheEndOfTheFileLeavesEmptySlots) {
    BookImage image = SmallBook();
    BookHeader header = image.Header();
    header.hashIndexRecord = static_cast<uint16_t>(header.recordCount - 1);
    image.SetHeader(header);
    ASSERT_TRUE(book.OpenBook(Write(image)));
    // Slots 0-511 come from the last record; 512 on lie past the end of the file.
    for (uint32_t slot = 512; slot < header.hashIndexSize; ++slot) {
        ASSERT_EQ(book.HashIndexSlot(slot), 0) << slot;
    }
}

TEST_F(BookReaderTest, HashIndexSizeZeroShowsNoAverage) {
    BookImage image = SmallBook();
    BookHeader header = image.Header();
    header.hashIndexSize = 0;
    image.SetHeader(header);
    ASSERT_TRUE(book.OpenBook(Write(image)));
    EXPECT_EQ(console.Row("Hash index size"), "0");
    EXPECT_EQ(console.Row("Avg chain length"), "-");
}

struct OddGeometry {
    uint16_t recordSize;
    uint16_t hashIndexSize;
};

class OddGeometryTest : public BookReaderTest, public testing::WithParamInterface<OddGeometry> {};

TEST_P(OddGeometryTest, EndsInRowsOrTheFatalError) {
    BookImage image = SmallBook();
    BookHeader header = image.Header();
    header.recordSize = GetParam().recordSize;
    header.hashIndexSize = GetParam().hashIndexSize;
    image.SetHeader(header);
    const bool opened = book.OpenBook(Write(image));
    if (opened) {
        EXPECT_EQ(console.rows.size(), 11u);
        EXPECT_EQ(console.Row("Record size"), std::to_string(header.recordSize));
    } else {
        EXPECT_THAT(console.Text(), HasSubstr("**Error**"));
        EXPECT_EQ(book.InputDescriptor(), -1);
    }
}

INSTANTIATE_TEST_SUITE_P(Headers, OddGeometryTest,
                         testing::Values(OddGeometry{0, 1024}, OddGeometry{1, 1024},
                                         OddGeometry{37, 1024}, OddGeometry{65535, 1024},
                                         OddGeometry{1024, 65535}, OddGeometry{0, 65535},
                                         OddGeometry{65535, 65535}));

TEST_F(BookReaderTest, RecordSizeZeroOpensWithAnEmptyComment) {
    BookImage image = SmallBook();
    BookHeader header = image.Header();
    header.recordSize = 0;
    image.SetHeader(header);
    ASSERT_TRUE(book.OpenBook(Write(image)));
    EXPECT_EQ(console.Row("Comment"), "");
}

// ---- Reading records ----

TEST_F(BookReaderTest, ReadsUpToTheLastRecordAndNotBeyond) {
    BookImage image = SmallBook();
    const uint16_t last = static_cast<uint16_t>(image.RecordCount() - 1);
    image.Record(last)[100] = 0x5A;
    ASSERT_TRUE(book.OpenBook(Write(image)));
    book.ReadRecord(last);
    EXPECT_EQ(book.RecordArea()[100], 0x5A);
    EXPECT_THROW(book.ReadRecord(image.RecordCount()), BookFatalError);
    EXPECT_EQ(console.Text(), "**Error** reading record, out of bounds: record #:" +
                                  std::to_string(image.RecordCount()) + "\n");
    EXPECT_EQ(book.InputDescriptor(), -1);
}

TEST_F(BookReaderTest, RecordHeldOnlyInPartIsAReadError) {
    BookImage image = SmallBook();
    const uint16_t last = static_cast<uint16_t>(image.RecordCount() - 1);
    image.Truncate(static_cast<size_t>(last) * image.RecordSize() + 100);
    ASSERT_TRUE(book.OpenBook(Write(image)));
    EXPECT_THROW(book.ReadRecord(last), BookFatalError);
    EXPECT_EQ(console.Text(), "**Error** in _read reading record #:" + std::to_string(last) + "\n");
}

TEST_F(BookReaderTest, AfterAFatalErrorClosingAgainClosesNothing) {
    ASSERT_TRUE(book.OpenBook(Write(SmallBook())));
    EXPECT_THROW(book.ReadRecord(60000), BookFatalError);
    EXPECT_EQ(book.InputDescriptor(), -1);
    EXPECT_EQ(book.OutputDescriptor(), -1);
    // The rows and the record buffer stay until the book is closed.
    EXPECT_EQ(console.rows.size(), 11u);
    EXPECT_TRUE(book.HasRecordBuffer());
    book.CloseInputBook();
    EXPECT_FALSE(book.HasRecordBuffer());
    EXPECT_TRUE(console.rows.empty());
    book.CloseInputBook();
    EXPECT_EQ(book.InputDescriptor(), -1);
}

TEST(PrintLogTest, CutsMessagesAtTheBufferSize) {
    test::RecordingConsole console;
    const std::string longText(2000, 'x');
    PrintLog(console, "%s", longText.c_str());
    EXPECT_EQ(console.Text().size(), kLogBufferSize - 1);
}

TEST(PrintLogTest, KeepsLineEndsAsGiven) {
    test::RecordingConsole console;
    PrintLog(console, "Converting....");
    PrintLog(console, "A backup copy of the original file can be found here:\r\n%s\n", "/b.old.bk");
    EXPECT_EQ(console.Text(),
              "Converting....A backup copy of the original file can be found here:\r\n/b.old.bk\n");
}

}  // namespace
}  // namespace plinth
