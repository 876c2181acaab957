// What the book-information component says about books, and that it refuses
// files that are no books and damaged headers without reading out of bounds.

#include <gtest/gtest.h>

#include "BookBuilder.h"
#include "TempDir.h"
#include "bookinfo/BookDescription.h"

namespace plinth::bookinfo {
namespace {

using builder::BookImage;
using builder::BookOptions;

class BookDescriptionTest : public testing::Test {
  protected:
    std::string Write(const BookImage& image) {
        std::string path = dir.File("book.bk");
        image.WriteTo(path);
        return path;
    }
    std::string WriteBytes(const std::vector<uint8_t>& bytes) {
        std::string path = dir.File("raw.bk");
        test::WriteFileBytes(path, bytes);
        return path;
    }
    static BookImage Book(const BookOptions& options = {}, size_t positions = 50) {
        return builder::BuildBook(options, builder::MakePositions(options.kind, positions, 7));
    }
    // The description of `image` with its header changed by `damage`.
    BookDescription DescribeDamaged(BookImage image, void (*damage)(BookHeader&)) {
        BookHeader header = image.Header();
        damage(header);
        image.SetHeader(header);
        return DescribeBook(Write(image));
    }

    test::TempDir dir;
};

TEST_F(BookDescriptionTest, TellsCommentKindRevisionContentsAndGeometry) {
    BookOptions options;
    options.comment = "Main line";
    const BookImage standard = Book(options);
    const BookHeader header = standard.Header();
    const BookDescription description = DescribeBook(Write(standard));
    EXPECT_EQ(description.status, kDescribed);
    EXPECT_EQ(description.text, "Main line\nStandard book, revision 30\n50 positions, " +
                                    std::to_string(header.totalMoves) + " moves\n" +
                                    std::to_string(header.recordCount) +
                                    " records of 1024 bytes, hash index of 1024 slots");

    // A comment in the old single-byte code page with line breaks in it stays on
    // its line; a revision of one character; one position with one move.
    options.kind = BookKind::WithStatistics;
    options.comment =
        "Fran\xE7"
        "ais\r\nd\xE9"
        "fense";
    options.revision = {'7', 0};
    options.hashIndexSize = 1;
    const BookImage statistics = Book(options, 1);
    ASSERT_EQ(statistics.Header().totalMoves, 1u);
    EXPECT_EQ(DescribeBook(Write(statistics)).text,
              "Fran\u00E7ais  d\u00E9fense\nBook with statistics, revision 7\n"
              "1 position, 1 move\n4 records of 1024 bytes, hash index of 1 slot");

    options.comment.clear();
    options.revision = {0, '1'};
    const std::string text = DescribeBook(Write(Book(options))).text;
    EXPECT_EQ(text.substr(0, text.find('\n', 13)), "(no comment)\nBook with statistics");
}

TEST_F(BookDescriptionTest, FilesThatAreNoBooksAreRefused) {
    EXPECT_EQ(DescribeBook(dir.File("missing.bk")).status, kCannotOpen);
    EXPECT_EQ(DescribeBook(WriteBytes({})).status, kNotABook);
    const std::vector<uint8_t> book = Book().Bytes();
    const std::vector<uint8_t> header(book.begin(), book.begin() + 37);
    EXPECT_EQ(DescribeBook(WriteBytes(header)).status, kNotABook);
    std::vector<uint8_t> archive = book;
    archive[0] = 'P';
    EXPECT_EQ(DescribeBook(WriteBytes(archive)).status, kNotABook);
    const BookDescription folder = DescribeBook(dir.Path());
    EXPECT_LT(folder.status, 0);
    EXPECT_EQ(folder.text, "");
}

TEST_F(BookDescriptionTest, DamagedHeadersAreRefusedOrDescribedWithinTheFile) {
    const BookImage book = Book();
    // Record 0 holds the header, so smaller records are no book's.
    EXPECT_EQ(DescribeDamaged(book, [](BookHeader& h) { h.recordSize = 0; }).status, kNotABook);
    EXPECT_EQ(DescribeDamaged(book, [](BookHeader& h) { h.recordSize = 37; }).status, kNotABook);
    // A comment record that is not one of the book's, or lies past the file's end.
    EXPECT_EQ(DescribeDamaged(book, [](BookHeader& h) { h.commentRecord = h.recordCount; }).status,
              kCommentUnreadable);
    EXPECT_EQ(DescribeDamaged(book, [](BookHeader& h) { h.recordCount = 0; }).status,
              kCommentUnreadable);
    EXPECT_EQ(DescribeDamaged(book,
                              [](BookHeader& h) {
                                  h.recordSize = 65535;
                                  h.recordCount = 65535;
                                  h.commentRecord = 65534;
                              })
                  .status,
              kCommentUnreadable);
    BookImage cut = book;
    cut.Truncate(size_t{book.RecordSize()} + 100);
    EXPECT_EQ(DescribeBook(Write(cut)).status, kCommentUnreadable);

    // A comment without its ending zero byte runs to the record's end, no further.
    BookImage unended = book;
    const std::span<uint8_t> comment = unended.Record(book.Header().commentRecord);
    std::fill(comment.begin() + 4, comment.end(), 'x');
    const BookDescription full = DescribeBook(Write(unended));
    EXPECT_EQ(full.status, kDescribed);
    EXPECT_EQ(full.text.substr(0, full.text.find('\n')), std::string(1024 - 4, 'x'));
}

}  // namespace
}  // namespace plinth::bookinfo
