// Opening books, reading records and the fatal error, on sound books and on
// headers damaged in every way a file can be.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "BookBuilder.h"
#include "RecordingConsole.h"
#include "TempDir.h"
#include "book/BookReader.h"
#include "book/DisplayText.h"
#include "book/Paths.h"

namespace plinth {
namespace {

using builder::BookImage;
using builder::BookOptions;
using testing::ElementsAre;
using Row = AttributeRow;

class BookReaderTest : public testing::Test {
  protected:
    bool Open(const BookImage& image) {
        image.WriteTo(path);
        return OpenPath(path);
    }
    bool OpenBytes(const std::vector<uint8_t>& bytes) {
        test::WriteFileBytes(path, bytes);
        return OpenPath(path);
    }
    bool OpenPath(const std::string& at) {
        console.ClearConsole();
        try {
            book.OpenInputBook(at);
            return true;
        } catch (const BookFatalError&) {
            return false;
        }
    }
    // A book whose header `change` has damaged.
    static BookImage Damaged(void (*change)(BookHeader&)) {
        BookImage image = SmallBook();
        builder::ChangeHeader(change)(image);
        return image;
    }
    static BookImage SmallBook(const BookOptions& options = {}) {
        return builder::BuildBook(options, 50, 7);
    }

    test::TempDir dir;
    const std::string path = dir.File("book.bk");
    test::RecordingConsole console;
    BookReader book{console};
};

TEST_F(BookReaderTest, ListsTheElevenAttributeRows) {
    const BookImage image = SmallBook({.comment = "Main line", .attributes = 0x1A2B});
    console.AppendText("text of an earlier operation");
    ASSERT_TRUE(Open(image));
    const BookHeader header = image.Header();
    EXPECT_THAT(AttributeRows(book),
                ElementsAre(Row{"Input book", path}, Row{"Type", "Standard"}, Row{"Revision", "30"},
                            Row{"Comment", "Main line"}, Row{"Hash index size", "1024"},
                            Row{"Record size", "1024"},
                            Row{"# of records", std::to_string(header.recordCount)},
                            Row{"Total positions", "50"},
                            Row{"Total moves", std::to_string(header.totalMoves)},
                            Row{"Attributes", "1a2b"}, Row{"Avg chain length", "0.1"}));
    EXPECT_EQ(console.Text(), "");
}

TEST_F(BookReaderTest, RowsOfOtherBooks) {
    // A comment that fills its record, with no zero.
    BookOptions options{.kind = BookKind::WithStatistics, .comment = std::string(1024 - 4, 'c')};
    BookImage image = SmallBook(options);
    image.PadToRecordCount(100);
    ASSERT_TRUE(Open(image));
    EXPECT_EQ(test::Row(book, "Type"), "With statistics");
    EXPECT_EQ(test::Row(book, "Comment"), options.comment);
    EXPECT_EQ(test::Row(book, "Avg chain length"), "0.1");  // 100 records, 1024 slots

    options.comment = "Caf\xe9 \x80";  // no valid UTF-8: Windows-1252
    ASSERT_TRUE(Open(SmallBook(options)));
    EXPECT_EQ(test::Row(book, "Comment"), "Caf\xc3\xa9 \xe2\x82\xac");

    ASSERT_TRUE(Open(Damaged([](BookHeader& h) { h.hashIndexSize = 0; })));
    EXPECT_EQ(test::Row(book, "Avg chain length"), "-");
}

TEST(DisplayTextTest, Utf8StaysAndAnythingElseIsWindows1252) {
    EXPECT_EQ(DisplayText("R\xc3\xa9ti \xe2\x99\x9e"), "R\xc3\xa9ti \xe2\x99\x9e");
    EXPECT_EQ(DisplayText("\x80\x93\x9f"), "\xe2\x82\xac\xe2\x80\x9c\xc5\xb8");
    EXPECT_EQ(DisplayText("a\x80"), "a\xe2\x82\xac");
    EXPECT_EQ(DisplayText("\x81"), "\xc2\x81");              // undefined in the code page: kept
    EXPECT_EQ(DisplayText("\xc0\xaf"), "\xc3\x80\xc2\xaf");  // overlong
    EXPECT_EQ(DisplayText("\xc2\x80\xe0\xa0\x80"), "\xc2\x80\xe0\xa0\x80");  // the shortest
    EXPECT_EQ(DisplayText("ab\xe2\x82"), "ab\xc3\xa2\xe2\x80\x9a");          // truncated
    // Either side of the surrogates and of the last code point.
    for (const char* edge : {"\xed\x9f\xbf", "\xee\x80\x80", "\xf4\x8f\xbf\xbf"}) {
        EXPECT_EQ(DisplayText(edge), edge);
    }
    EXPECT_EQ(DisplayText("\xed\xa0\x80"), "\xc3\xad\xc2\xa0\xe2\x82\xac");
    EXPECT_EQ(DisplayText("\xed\xbf\xbf"), "\xc3\xad\xc2\xbf\xc2\xbf");
    EXPECT_EQ(DisplayText("\xf4\x90\x80\x80"), "\xc3\xb4\xc2\x90\xe2\x82\xac\xe2\x82\xac");
}

// The folder of a path: none, the root folder, and below it, as each system
// spells them.
TEST(PathsTest, FolderOfAPathKeepsTheRootsSeparator) {
    const std::pair<std::string, std::string> cases[] = {
        {"book.bk", "."},        {"/book.bk", "/"},       {"/d/book.bk", "/d"},
        {"d/e/book.bk", "d/e"},
#ifdef _WIN32
        {"C:\\book.bk", "C:\\"}, {"C:/book.bk", "C:/"},   {"C:\\d\\book.bk", "C:\\d"},
        {"ab\\book.bk", "ab"},   {"d:x\\book.bk", "d:x"},
#endif
    };
    for (const auto& [path, folder] : cases) {
        EXPECT_EQ(FolderOf(path), folder) << path;
    }
}

// Opening a file that is no book closes the book that was open.
TEST_F(BookReaderTest, FilesThatAreNoBook) {
    const std::string notABook = "**Error** [" + path + "] is not a valid book file\n";
    ASSERT_TRUE(Open(SmallBook()));
    for (const size_t size : {0u, 1u, 37u}) {
        std::vector<uint8_t> bytes(size, 0);
        if (size >= 2) {
            bytes[0] = 'B';
            bytes[1] = 'K';
        }
        EXPECT_FALSE(OpenBytes(bytes)) << size;
        EXPECT_EQ(console.Text(), notABook) << size;
    }
    EXPECT_FALSE(Open(Damaged([](BookHeader& h) { h.magic = 0x4342; })));
    EXPECT_EQ(console.Text(), notABook);
    EXPECT_TRUE(AttributeRows(book).empty());
    EXPECT_FALSE(book.IsInputOpen());

    // A percent sign in a path is shown as it is, not taken as a format, and a
    // long path whole.
    const std::string missing = dir.File(std::string(4000, 'x') + "/100%s%d.bk");
    EXPECT_FALSE(OpenPath(missing));
    EXPECT_EQ(console.Text(), "**Error** Can not open input file [" + missing + "]\n");
}

// A read past the last record is the fatal error; the rows listed stay until the
// book is closed. A comment record outside the book, past recordCount or not
// wholly in the file, leaves the comment empty; records past recordCount that
// the file holds are read for the recovery.
TEST_F(BookReaderTest, ReadsUpToTheLastRecordAndNotBeyond) {
    BookImage image = SmallBook();
    const auto last = static_cast<uint16_t>(image.RecordCount() - 1);
    image.Record(last)[100] = 0x5A;
    const std::string outOfBounds =
        "**Error** reading record, out of bounds: record #:" + std::to_string(image.RecordCount()) +
        "\n";
    ASSERT_TRUE(Open(image));
    book.ReadRecord(last);
    EXPECT_EQ(book.RecordArea()[100], 0x5A);
    EXPECT_THROW(book.ReadRecord(image.RecordCount()), BookFatalError);
    EXPECT_EQ(console.Text(), outOfBounds);
    EXPECT_FALSE(book.IsInputOpen());
    EXPECT_EQ(AttributeRows(book).size(), 11u);
    book.CloseInputBook();
    EXPECT_TRUE(AttributeRows(book).empty());

    BookImage past = Damaged([](BookHeader& h) {
        h.recordCount = static_cast<uint16_t>(h.recordCount - 1);
        h.commentRecord = h.recordCount;
    });
    past.Record(last)[100] = 0x5A;
    ASSERT_TRUE(Open(past));
    EXPECT_EQ(test::Row(book, "Comment"), "");
    EXPECT_EQ(book.RecordsInFile(), last + 1u);
    book.ReadRecordInFile(last);
    EXPECT_EQ(book.RecordArea()[100], 0x5A);
    BookImage cut =
        Damaged([](BookHeader& h) { h.commentRecord = static_cast<uint16_t>(h.recordCount - 1); });
    cut.Truncate(cut.Bytes().size() - 1);  // the comment record in part
    ASSERT_TRUE(Open(cut));
    EXPECT_EQ(test::Row(book, "Comment"), "");
    EXPECT_EQ(console.Text(), "");
}

// The system copies records into a buffer that starts off a cache line several
// times more slowly, so every record read, in file order (read ahead) or not,
// lies on a cache line.
TEST_F(BookReaderTest, RecordsLieOnCacheLines) {
    BookImage image = SmallBook();
    ASSERT_TRUE(Open(image));
    const auto last = static_cast<uint16_t>(image.RecordCount() - 1);
    for (const uint16_t record : {last, uint16_t{2}, uint16_t{3}, uint16_t{4}, last}) {
        book.ReadRecord(record);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(book.RecordArea().data()) % 64, 0u) << record;
        EXPECT_TRUE(std::equal(book.RecordArea().begin(), book.RecordArea().end(),
                               image.Record(record).begin()))
            << record;
    }
}

}  // namespace
}  // namespace plinth
