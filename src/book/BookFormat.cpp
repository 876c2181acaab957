#include "book/BookFormat.h"

#include <algorithm>

namespace plinth {

BookHeader DecodeHeader(std::span<const uint8_t, layout::kHeaderSize> bytes) {
    const uint8_t* b = bytes.data();
    BookHeader header;
    header.magic = DecodeU16(b + layout::kMagic);
    header.revision = {b[layout::kRevision], b[layout::kRevision + 1]};
    header.recordSize = DecodeU16(b + layout::kRecordSize);
    header.recordCount = DecodeU16(b + layout::kRecordCount);
    std::copy_n(b + layout::kReserved8, layout::kReserved8Size, header.reserved8.begin());
    header.commentRecord = DecodeU16(b + layout::kCommentRecord);
    header.word12 = DecodeU16(b + layout::kWord12);
    header.hashIndexRecord = DecodeU16(b + layout::kHashIndexRecord);
    header.hashIndexSize = DecodeU16(b + layout::kHashIndexSize);
    std::copy_n(b + layout::kReserved18, layout::kReserved18Size, header.reserved18.begin());
    header.hashMask = DecodeU32(b + layout::kHashMask);
    header.totalPositions = DecodeU32(b + layout::kTotalPositions);
    header.totalMoves = DecodeU32(b + layout::kTotalMoves);
    header.attributes = DecodeU16(b + layout::kAttributes);
    header.word36 = DecodeU16(b + layout::kWord36);
    return header;
}

void EncodeHeader(const BookHeader& header, std::span<uint8_t, layout::kHeaderSize> bytes) {
    uint8_t* b = bytes.data();
    EncodeU16(b + layout::kMagic, header.magic);
    b[layout::kRevision] = header.revision[0];
    b[layout::kRevision + 1] = header.revision[1];
    EncodeU16(b + layout::kRecordSize, header.recordSize);
    EncodeU16(b + layout::kRecordCount, header.recordCount);
    std::copy(header.reserved8.begin(), header.reserved8.end(), b + layout::kReserved8);
    EncodeU16(b + layout::kCommentRecord, header.commentRecord);
    EncodeU16(b + layout::kWord12, header.word12);
    EncodeU16(b + layout::kHashIndexRecord, header.hashIndexRecord);
    EncodeU16(b + layout::kHashIndexSize, header.hashIndexSize);
    std::copy(header.reserved18.begin(), header.reserved18.end(), b + layout::kReserved18);
    EncodeU32(b + layout::kHashMask, header.hashMask);
    EncodeU32(b + layout::kTotalPositions, header.totalPositions);
    EncodeU32(b + layout::kTotalMoves, header.totalMoves);
    EncodeU16(b + layout::kAttributes, header.attributes);
    EncodeU16(b + layout::kWord36, header.word36);
}

bool CheckRecord(std::span<const uint8_t> record, BookKind kind) {
    bool sound = true;
    const EntriesEnd end = WalkEntries(record, kind, [&sound](const EntryExtent& entry) {
        if (entry.cut || entry.equalCodeMoves != 0) {
            sound = false;
        }
    });
    return sound && end != EntriesEnd::NoRoom;
}

}  // namespace plinth
