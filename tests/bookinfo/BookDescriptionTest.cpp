// What the book-information component says about books, and that it refuses
// files that are no books and damaged headers without reading out of bounds.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "BookBuilder.h"
#include "TempDir.h"
#include "bookinfo/BookDescription.h"

namespace plinth::bookinfo {
namespace {

using builder::BookImage;

class BookDescriptionTest : public testing::Test {
  protected:
    BookDescription Describe(const std::vector<uint8_t>& bytes) {
        test::WriteFileBytes(dir.File("book.bk"), bytes);
        return DescribeBook(dir.File("book.bk"));
    }
    // The status for the sound book with its header changed by `damage`.
    int32_t Damaged(void (*damage)(BookHeader&)) {
        BookImage image = sound;
        builder::ChangeHeader(damage)(image);
        return Describe(image.Bytes()).status;
    }

    test::TempDir dir;
    BookImage sound = builder::BuildBook({.comment = ""}, 50, 7);
};

TEST_F(BookDescriptionTest, TellsCommentKindRevisionContentsAndGeometry) {
    const BookHeader header = sound.Header();
    EXPECT_EQ(Describe(sound.Bytes()).text,
              "(no comment)\nStandard book, revision 30\n50 positions, " +
                  std::to_string(header.totalMoves) + " moves\n" +
                  std::to_string(header.recordCount) +
                  " records of 1024 bytes, hash index of 1024 slots");
    // A comment in the old single-byte code page with line breaks in it stays on
    // its line; a revision of one character; one position with one move.
    const builder::BookOptions options{.kind = BookKind::WithStatistics,
                                       .hashIndexSize = 1,
                                       .comment = "Fran\347ais\r\nd\351fense",
                                       .revision = {'7', 0}};
    EXPECT_EQ(Describe(builder::BuildBook(options, 1, 7).Bytes()).text,
              "Fran\u00E7ais  d\u00E9fense\nBook with statistics, revision 7\n"
              "1 position, 1 move\n4 records of 1024 bytes, hash index of 1 slot");
}

TEST_F(BookDescriptionTest, RefusesNoBooksAndDamagedHeadersWithinTheFile) {
    const std::vector<uint8_t> book = sound.Bytes();
    EXPECT_EQ(DescribeBook(dir.File("missing.bk")).status, kCannotOpen);
    // A FIFO is never opened: reading it would wait for a writer.
    ASSERT_EQ(::mkfifo(dir.File("pipe.bk").c_str(), 0600), 0);
    EXPECT_EQ(DescribeBook(dir.File("pipe.bk")).status, kNotAFile);
    EXPECT_EQ(Describe({book.begin(), book.begin() + 37}).status, kNotABook);
    EXPECT_EQ(Damaged([](BookHeader& h) { h.magic = 0x4B50; }), kNotABook);  // "PK"
    // A book's magic makes a book, whatever the other fields hold, as the reader
    // takes it.
    EXPECT_EQ(Damaged([](BookHeader& h) { h.recordSize = 37; }), kDescribed);
    // A comment record that is not one of the book's, or lies past the file's end.
    EXPECT_EQ(Damaged([](BookHeader& h) { h.commentRecord = h.recordCount; }), kCommentUnreadable);
    EXPECT_EQ(Damaged([](BookHeader& h) {
                  h.recordSize = 65535;
                  h.recordCount = 65535;
                  h.commentRecord = 65534;
              }),
              kCommentUnreadable);
    EXPECT_EQ(Describe({book.begin(), book.begin() + sound.RecordSize() + 100}).status,
              kCommentUnreadable);
}

}  // namespace
}  // namespace plinth::bookinfo
