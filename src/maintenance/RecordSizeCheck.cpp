// Reading a book with the record sizes of the settings' table, for the one its
// records fit.

#include "maintenance/RecordSizeCheck.h"

#include <algorithm>

#include "maintenance/OptimizeSettings.h"

namespace plinth {
namespace {

// Whether the comment record and the HashIndex lie where the header puts them
// in `book`, read with the record size it has now.
bool LaysOutItsRecords(BookReader& book) {
    const BookHeader& header = book.InputHeader();
    if (!book.HoldsCommentRecord() || RecordOffset(header.hashIndexRecord, header.recordSize) +
                                              layout::kSlotSize * header.hashIndexSize >
                                          book.FileSize()) {
        return false;
    }
    book.ReadRecord(header.commentRecord);
    const std::span<const uint8_t> comment = book.RecordArea();
    return std::all_of(
        comment.begin(),
        comment.begin() + static_cast<ptrdiff_t>(std::min(comment.size(), layout::kCommentText)),
        [](uint8_t byte) { return byte == 0; });
}

// How the records of `book` read, or nothing once `faults` faults are found.
std::optional<RecordReading> ReadRecords(BookReader& book, int faults) {
    ChainWalker walker(book);
    RecordReading reading;
    const BookKind kind = book.InputKind();
    const auto count = [&] {
        const std::span<const uint8_t> record = book.RecordArea();
        reading.CountRecord(CheckRecord(record, kind), HoldsPositions(record));
        return reading.faults < faults;
    };
    for (uint32_t slot = 0; slot < book.InputHeader().hashIndexSize; ++slot) {
        reading.CountEnd(walker.Walk(
            slot, [&](uint16_t /*record*/) { return count(); }, [] {}));
        if (reading.faults >= faults) {
            return std::nullopt;
        }
    }
    walker.ForEachUnreachedRecord([&](uint16_t /*record*/) { return count(); });
    return reading.faults < faults ? std::optional(reading) : std::nullopt;
}

}  // namespace

std::optional<int> LikelyRecordSize(const BookReader& book, const RecordReading& asHeaderSays) {
    const BookHeader& header = book.InputHeader();
    // No size finds fewer faults than none, nor more sound records than it reads
    // (below recordCount, or the file's end in records of the smallest size).
    const uint64_t mostRecords = std::max<uint64_t>(
        header.recordCount,
        std::min<uint64_t>(book.FileSize() / kRecordSizeTable[0], kMaxRecordCount));
    if (asHeaderSays.faults == 0 || 2 * uint64_t{asHeaderSays.soundRecords} + 1 >= mostRecords) {
        return std::nullopt;
    }
    SilentConsole silent;
    BookReader other(silent, book.Files());
    std::optional<int> likely;
    RecordReading best;
    try {
        other.OpenInputBook(book.InputPath());
        if (!(other.InputHeader() == header)) {
            return std::nullopt;  // another program changed the book
        }
        for (const int size : OfferedSizes(kRecordSizeTable)) {
            if (size == header.recordSize) {
                continue;
            }
            other.ReadAsRecordsOf(static_cast<uint16_t>(size));
            if (!LaysOutItsRecords(other)) {
                continue;
            }
            const std::optional<RecordReading> reading = ReadRecords(other, asHeaderSays.faults);
            if (reading && reading->soundRecords > 2 * asHeaderSays.soundRecords &&
                (!likely || reading->soundRecords > best.soundRecords ||
                 (reading->soundRecords == best.soundRecords && reading->faults < best.faults))) {
                likely = size;
                best = *reading;
            }
        }
    } catch (const BookFatalError&) {
        return std::nullopt;
    }
    return likely;
}

}  // namespace plinth
