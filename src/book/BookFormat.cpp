#include "book/BookFormat.h"

#include <algorithm>
#include <cstring>
#include <optional>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plinth {
namespace {

// The bound of the fit checks: 65536, the numbers that a u16 record number has,
// less a margin of 100 records for what an estimate from the header alone leaves
// out. It lies below the writer's own limit, kMaxWrittenRecordCount; the exact
// count made before a conversion has the last word.
constexpr int64_t kFitBound = 65536 - 100;

// The number of bits set in a value whose bits are set only at 0, 4, 8 and 12:
// the multiplication adds the four into bits 12 to 15.
size_t CountNibbleBits(unsigned bits) { return ((bits * 0x1111u) >> 12) & 0xFu; }

}  // namespace

namespace {

// Where the scan of an entry's moves stands.
struct MoveScanState {
    size_t m = 0;      // the offset of the move to look at next
    size_t moves = 1;  // the moves up to and with the one at m
    size_t equalCodeMoves = 0;
};

// Standard books, four moves at a time while the four, and the move after them,
// fit in the record. True when the move that ends the entry was found: state.m
// is then its offset.
bool ScanFourMovesAtATime(const uint8_t* bytes, size_t recordSize, MoveScanState& state) {
#if defined(__SSE2__)
    // The counts are kept in registers while the loop runs and written back once.
    size_t m = state.m;
    size_t equalCodeMoves = 0;
    bool found = false;
    while (m + 5 * layout::kStandardMoveSize <= recordSize) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + m));
        const auto high = static_cast<unsigned>(_mm_movemask_epi8(v));
        const auto equal =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_srli_si128(v, 1))));
        const unsigned flags = high & 0x8888u;       // lastMoveFlag of each move
        const unsigned sameCodes = equal & 0x1111u;  // byte 0 equals byte 1
        if (flags != 0) {
            const unsigned before = static_cast<unsigned>(__builtin_ctz(flags)) / 4;
            equalCodeMoves += CountNibbleBits(sameCodes & ((1u << (4 * before)) - 1));
            m += before * layout::kStandardMoveSize;
            found = true;
            break;
        }
        equalCodeMoves += CountNibbleBits(sameCodes);
        m += 4 * layout::kStandardMoveSize;
    }
    state.moves += (m - state.m) / layout::kStandardMoveSize;
    state.m = m;
    state.equalCodeMoves += equalCodeMoves;
    return found;
#else
    static_cast<void>(bytes);
    static_cast<void>(recordSize);
    static_cast<void>(state);
    return false;
#endif
}

#if defined(__x86_64__)
// The same, eight moves at a time, on processors that have AVX2. Each lane of
// 16 bytes is shifted on its own, which is enough: byte 1 of a move never lies
// in another lane than its byte 0.
__attribute__((target("avx2"))) bool ScanEightMovesAtATime(const uint8_t* bytes, size_t recordSize,
                                                           MoveScanState& state) {
    size_t m = state.m;
    size_t equalCodeMoves = 0;
    bool found = false;
    while (m + 9 * layout::kStandardMoveSize <= recordSize) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + m));
        const auto high = static_cast<unsigned>(_mm256_movemask_epi8(v));
        const auto equal = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_srli_si256(v, 1))));
        const unsigned flags = high & 0x88888888u;
        const unsigned sameCodes = equal & 0x11111111u;
        if (flags != 0) {
            const unsigned before = static_cast<unsigned>(__builtin_ctz(flags)) / 4;
            const unsigned earlier = before == 0 ? 0u : sameCodes & (~0u >> (32 - 4 * before));
            equalCodeMoves += static_cast<size_t>(__builtin_popcount(earlier));
            m += before * layout::kStandardMoveSize;
            found = true;
            break;
        }
        equalCodeMoves += static_cast<size_t>(__builtin_popcount(sameCodes));
        m += 8 * layout::kStandardMoveSize;
    }
    state.moves += (m - state.m) / layout::kStandardMoveSize;
    state.m = m;
    state.equalCodeMoves += equalCodeMoves;
    return found;
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2") != 0;
    return has;
}
#endif

}  // namespace

namespace detail {

size_t ScanMoves(std::span<const uint8_t> record, size_t m, size_t moveSize, EntryExtent& entry,
                 MoveScan scan) {
    const size_t recordSize = record.size();
    const uint8_t* bytes = record.data();
    MoveScanState state{m, 1, 0};
    bool found = false;
    if (moveSize == layout::kStandardMoveSize && scan != MoveScan::StepByStep) {
#if defined(__x86_64__)
        if (scan == MoveScan::Fastest && HasAvx2()) {
            found = ScanEightMovesAtATime(bytes, recordSize, state);
        }
#endif
        found = found || ScanFourMovesAtATime(bytes, recordSize, state);
    }
    while (!found && !IsLastMove(&bytes[state.m])) {
        if (state.m + 2 * moveSize > recordSize) {  // the next move would not fit
            entry.cut = true;
            break;
        }
        if (HasEqualMoveCodes(&bytes[state.m])) {
            ++state.equalCodeMoves;
        }
        state.m += moveSize;
        ++state.moves;
    }
    entry.equalCodeMoves += state.equalCodeMoves;
    entry.moveCount = state.moves;
    return state.m;
}

}  // namespace detail

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

std::optional<BookHeader> BookHeaderOf(std::span<const uint8_t> firstBytes) {
    if (firstBytes.size() < layout::kHeaderSize) {
        return std::nullopt;
    }
    const BookHeader header = DecodeHeader(firstBytes.first<layout::kHeaderSize>());
    return IsBookMagic(header.magic) ? std::optional(header) : std::nullopt;
}

std::span<const uint8_t> CommentText(std::span<const uint8_t> commentRecord) {
    if (commentRecord.size() <= layout::kCommentText) {
        return {};
    }
    const auto text = commentRecord.subspan(layout::kCommentText);
    return text.first(
        static_cast<size_t>(std::find(text.begin(), text.end(), uint8_t{0}) - text.begin()));
}

std::string RevisionText(const BookHeader& header) {
    std::string text;
    for (const uint8_t character : header.revision) {
        if (character == 0) {
            break;
        }
        text += static_cast<char>(character);
    }
    return text;
}

BookHeader NewBookHeader(const BookHeader& carried, uint32_t recordSize, uint32_t hashIndexSize) {
    BookHeader header;
    header.magic = carried.magic;
    header.revision = written::kRevision;
    header.recordSize = static_cast<uint16_t>(recordSize);
    header.recordCount = static_cast<uint16_t>(written::kHashIndexRecord +
                                               HashIndexRecords(recordSize, hashIndexSize));
    header.commentRecord = written::kCommentRecord;
    header.word12 = written::kWord12;
    header.hashIndexRecord = written::kHashIndexRecord;
    header.hashIndexSize = static_cast<uint16_t>(hashIndexSize);
    header.hashMask = hashIndexSize - 1;
    header.attributes = carried.attributes;
    header.word36 = carried.word36;
    return header;
}

std::optional<std::string> CheckNewGeometry(const BookHeader& input, int newRecordSize,
                                            int newHashIndexSize) {
    const int64_t oldRecordSize = input.recordSize;
    const int64_t records = input.recordCount;
    if (newRecordSize < oldRecordSize) {
        if (oldRecordSize / newRecordSize * records > kFitBound) {
            return "**Error** New Recordsize to small to fit in destination book. Try increasing "
                   "the record size";
        }
    } else if (newRecordSize == oldRecordSize && newHashIndexSize > input.hashIndexSize) {
        const int64_t oldIndexRecords = HashIndexRecords(input.recordSize, input.hashIndexSize);
        const int64_t newIndexRecords = HashIndexRecords(static_cast<uint32_t>(newRecordSize),
                                                         static_cast<uint32_t>(newHashIndexSize));
        if (records - oldIndexRecords + newIndexRecords >= kFitBound) {
            return "**Error** New HashIndex to big to fit in destination book. Try increasing the "
                   "record size";
        }
    }
    return std::nullopt;
}

size_t CopiedEntrySize(const EntryExtent& entry, BookKind kind) {
    return layout::kEntryKeySize + (entry.moveCount - entry.equalCodeMoves) * MoveSize(kind);
}

void CopyEntry(std::span<const uint8_t> record, const DigestedEntry& entry, BookKind kind,
               uint8_t* out) {
    const size_t moveSize = MoveSize(kind);
    const uint8_t* in = &record[entry.offset];
    const size_t size = entry.copiedSize;
    if (size == layout::kEntryKeySize + entry.moveCount * moveSize) {  // no move left out
        std::memcpy(out, in, size);
    } else {
        std::memcpy(out, in, layout::kEntryKeySize);
        const uint8_t* moves = in + layout::kEntryKeySize;
        uint8_t* kept = out + layout::kEntryKeySize;
        for (size_t i = 0; i < entry.moveCount; ++i) {
            const uint8_t* move = moves + i * moveSize;
            if (i + 1 == entry.moveCount || !HasEqualMoveCodes(move)) {
                std::memcpy(kept, move, moveSize);
                kept += moveSize;
            }
        }
    }
    out[size - moveSize + layout::kMoveFlags] |= layout::kLastMoveFlag;
}

bool CheckRecord(std::span<const uint8_t> record, BookKind kind) {
    return CheckEntries(record, kind, [](const EntryExtent&) {});
}

bool DigestRecord(std::span<const uint8_t> record, BookKind kind,
                  std::vector<DigestedEntry>& entries) {
    return CheckEntries(record, kind, [&](const EntryExtent& entry) {
        entries.push_back(
            {DecodeU32(&record[entry.offset + layout::kHashKey]),
             static_cast<uint16_t>(entry.offset), static_cast<uint16_t>(entry.moveCount),
             static_cast<uint16_t>(CopiedEntrySize(entry, kind)),
             static_cast<uint16_t>((entry.cut ? 1 : 0) + (entry.equalCodeMoves != 0 ? 1 : 0))});
    });
}

}  // namespace plinth

namespace plinth {

bool IsRecoverableRecord(std::span<const uint8_t> record, BookKind kind, uint32_t hashMask) {
    if (!CheckRecord(record, kind)) {
        return false;
    }
    bool oneSlot = true;
    std::optional<uint32_t> slot;
    WalkEntries(record, kind, [&](const EntryExtent& entry) {
        const uint32_t own = SlotOf(DecodeU32(&record[entry.offset + layout::kHashKey]), hashMask);
        oneSlot = oneSlot && slot.value_or(own) == own;
        slot = own;
    });
    return oneSlot;
}

}  // namespace plinth
