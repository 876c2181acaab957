#include "bookinfo/BookDescription.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "book/BookFormat.h"
#include "book/DisplayText.h"

namespace plinth::bookinfo {
namespace {

// "1 position", "2 positions".
std::string Count(uint32_t count, const char* singular, const char* plural) {
    return std::to_string(count) + ' ' + (count == 1 ? singular : plural);
}

// The comment, with line breaks and other control characters as spaces, so that
// it stays on its line.
std::string CommentLine(std::span<const uint8_t> commentRecord) {
    const std::span<const uint8_t> comment = CommentText(commentRecord);
    return DisplayText(OnOneLine(std::string(comment.begin(), comment.end())));
}

std::string Describe(const BookHeader& header, const std::string& comment) {
    std::string text = comment.empty() ? std::string("(no comment)") : comment;
    text +=
        KindOf(header.magic) == BookKind::Standard ? "\nStandard book" : "\nBook with statistics";
    const std::string revision = DisplayText(RevisionText(header));
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
    // Reading anything but a regular file could wait for ever.
    if (const FileType type = files.TypeOf(path);
        type == FileType::Folder || type == FileType::Other) {
        return {kNotAFile, {}};
    }
    const FileDescriptor file(files, files.OpenForReading(path));
    if (!file.IsOpen()) {
        return {kCannotOpen, {}};
    }

    // A book by the reader's rule, so that a file described as a book opens.
    std::array<uint8_t, layout::kHeaderSize> headerBytes{};
    const int64_t got = files.ReadAt(file.Get(), headerBytes.data(), headerBytes.size(), 0);
    const std::optional<BookHeader> found =
        BookHeaderOf(std::span(headerBytes).first(static_cast<size_t>(std::max<int64_t>(got, 0))));
    if (!found) {
        return {kNotABook, {}};
    }
    const BookHeader& header = *found;

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
    return {kDescribed, Describe(header, CommentLine(record))};
}

}  // namespace plinth::bookinfo
