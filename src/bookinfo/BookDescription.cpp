#include "bookinfo/BookDescription.h"

#include <array>
#include <vector>

#include "book/BookFormat.h"
#include "book/DisplayText.h"

namespace plinth::bookinfo {
namespace {

// "1 position", "2 positions".
std::string Count(uint32_t count, const char* singular, const char* plural) {
    return std::to_string(count) + ' ' + (count == 1 ? singular : plural);
}

// The comment text of a comment record: from its text offset to the first zero
// byte or the record's end. Line breaks and other control characters become
// spaces, so that the comment stays on its line.
std::string CommentText(const std::vector<uint8_t>& record) {
    std::string text;
    for (size_t i = layout::kCommentText; i < record.size() && record[i] != 0; ++i) {
        text += record[i] < 0x20 ? ' ' : static_cast<char>(record[i]);
    }
    return DisplayText(text);
}

std::string Revision(const BookHeader& header) {
    // Two characters, as C text: a zero byte ends it.
    const std::array<char, 3> revision = {static_cast<char>(header.revision[0]),
                                          static_cast<char>(header.revision[1]), '\0'};
    return DisplayText(revision.data());
}

std::string Describe(const BookHeader& header, const std::string& comment) {
    std::string text = comment.empty() ? std::string("(no comment)") : comment;
    text +=
        KindOf(header.magic) == BookKind::Standard ? "\nStandard book" : "\nBook with statistics";
    const std::string revision = Revision(header);
    if (!revision.empty()) {
        text += ", revision " + revision;
    }
    text += '\n' + Count(header.totalPositions, "position", "positions") + ", " +
            Count(header.totalMoves, "move", "moves");
    text += '\n' + Count(header.recordCount, "record", "records") + " of " +
            Count(header.recordSize, "byte", "bytes") + ", hash index of " +
            Count(header.hashIndexSize, "slot", "slots");
    return text;
}

}  // namespace

BookDescription DescribeBook(const std::string& path, IFileSystem& files) {
    const FileDescriptor file(files, files.OpenForReading(path));
    if (!file.IsOpen()) {
        return {kCannotOpen, {}};
    }

    std::array<uint8_t, layout::kHeaderSize> headerBytes{};
    if (files.ReadAt(file.Get(), headerBytes.data(), headerBytes.size(), 0) !=
        static_cast<int64_t>(headerBytes.size())) {
        return {kNotABook, {}};
    }
    const BookHeader header = DecodeHeader(headerBytes);
    // Record 0 holds the header, so a smaller record cannot belong to a book.
    if (!IsBookMagic(header.magic) || header.recordSize < layout::kHeaderSize) {
        return {kNotABook, {}};
    }

    // The comment record must be one of the book's records and lie whole in the file.
    if (header.commentRecord >= header.recordCount) {
        return {kCommentUnreadable, {}};
    }
    std::vector<uint8_t> record(header.recordSize);
    if (files.ReadAt(file.Get(), record.data(), record.size(),
                     RecordOffset(header.commentRecord, header.recordSize)) !=
        static_cast<int64_t>(record.size())) {
        return {kCommentUnreadable, {}};
    }
    return {kDescribed, Describe(header, CommentText(record))};
}

}  // namespace plinth::bookinfo
