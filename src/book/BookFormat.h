#pragma once

// The layout of an opening book file and the rules that every reader and writer
// of it applies. Nothing else in the program knows where a field lies.
//
// A book is a sequence of records of one size, `recordSize`. Record N starts at
// byte N * recordSize. Records are numbered with unsigned 16-bit numbers; 0 in a
// link means "no record", since record 0 always holds the header.
//
//   record 0                 BookHeader in bytes 0-37, the rest zero
//   record commentRecord     4 zero bytes, then the comment text, zero-terminated
//   records hashIndexRecord+ the HashIndex: hashIndexSize u16 slots, each the first
//                            record of a chain or 0
//   all following records    chain records, linked through nextRecord
//
// All integers are little-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "book/Coding.h"

namespace plinth {

namespace layout {

// BookHeader (38 bytes at the start of record 0).
inline constexpr size_t kMagic = 0;             // 2 bytes: "BK" or "BX"
inline constexpr size_t kRevision = 2;          // 2 characters, first one first
inline constexpr size_t kRecordSize = 4;        // u16: size of every record
inline constexpr size_t kRecordCount = 6;       // u16: records in the file, record 0 included
inline constexpr size_t kReserved8 = 8;         // 2 bytes: not interpreted
inline constexpr size_t kCommentRecord = 10;    // u16: record holding the comment text
inline constexpr size_t kWord12 = 12;           // u16: not interpreted, written as 1
inline constexpr size_t kHashIndexRecord = 14;  // u16: first record of the HashIndex
inline constexpr size_t kHashIndexSize = 16;    // u16: number of HashIndex slots
inline constexpr size_t kReserved18 = 18;       // 4 bytes: not interpreted
inline constexpr size_t kHashMask = 22;         // u32: hashIndexSize - 1
inline constexpr size_t kTotalPositions = 26;   // u32: position entries in the book
inline constexpr size_t kTotalMoves = 30;       // u32: move entries in the book
inline constexpr size_t kAttributes = 34;       // u16: attribute bits, carried over
inline constexpr size_t kWord36 = 36;           // u16: carried over unchanged
inline constexpr size_t kHeaderSize = 38;

inline constexpr size_t kReserved8Size = 2;
inline constexpr size_t kReserved18Size = 4;

// Comment record.
inline constexpr size_t kCommentText = 4;  // text from here, ended by a zero byte

// HashIndex: hashIndexSize slots from the first byte of record hashIndexRecord.
inline constexpr size_t kSlotSize = 2;  // u16: first record of the slot's chain, or 0

// Chain record.
inline constexpr size_t kNextRecord = 0;      // u16: next record of the chain, 0 for the last
inline constexpr size_t kPreviousRecord = 2;  // u16: previous record, 0 for the first
inline constexpr size_t kFirstEntry = 4;      // PositionEntry after PositionEntry from here

// PositionEntry.
inline constexpr size_t kKeyWord = 0;       // u16: never 0 in a stored entry
inline constexpr size_t kHashKey = 2;       // u32: hashKey AND hashMask is the entry's slot
inline constexpr size_t kEntryKeySize = 6;  // the moves follow the key

// MoveEntry.
inline constexpr size_t kFirstMoveCode = 0;   // 1 byte
inline constexpr size_t kSecondMoveCode = 1;  // 1 byte: differs from the first in a sound record
inline constexpr size_t kMoveFlags = 3;       // 1 byte: bit 7 is lastMoveFlag
inline constexpr uint8_t kLastMoveFlag = 0x80;
inline constexpr size_t kStandardMoveSize = 4;     // "BK"
inline constexpr size_t kStatisticsMoveSize = 16;  // "BX": 12 bytes of statistics follow

}  // namespace layout

inline constexpr uint16_t kMagicStandard = 0x4B42;    // "BK"
inline constexpr uint16_t kMagicStatistics = 0x5842;  // "BX"

// Record numbers are u16, so a book holds at most 65535 records (0 to 65534). A
// book that the writer completes holds at most 65534.
inline constexpr uint32_t kMaxRecordCount = 65535;
inline constexpr uint32_t kMaxWrittenRecordCount = 65534;

// The layout of a book that the writer lays down: the header in record 0, the
// comment in record 1, the HashIndex from record 2, then the chains in slot order,
// each chain in consecutive records.
namespace written {
inline constexpr uint16_t kCommentRecord = 1;
inline constexpr uint16_t kHashIndexRecord = 2;
inline constexpr std::array<uint8_t, 2> kRevision = {'3', '0'};
inline constexpr uint16_t kWord12 = 1;
}  // namespace written

// The header as stored, field by field. The two uninterpreted byte ranges are
// kept so that decoding and encoding a header gives back the same bytes.
struct BookHeader {
    uint16_t magic = 0;
    std::array<uint8_t, 2> revision{};
    uint16_t recordSize = 0;
    uint16_t recordCount = 0;
    std::array<uint8_t, layout::kReserved8Size> reserved8{};
    uint16_t commentRecord = 0;
    uint16_t word12 = 0;
    uint16_t hashIndexRecord = 0;
    uint16_t hashIndexSize = 0;
    std::array<uint8_t, layout::kReserved18Size> reserved18{};
    uint32_t hashMask = 0;
    uint32_t totalPositions = 0;
    uint32_t totalMoves = 0;
    uint16_t attributes = 0;
    uint16_t word36 = 0;

    bool operator==(const BookHeader&) const = default;
};

BookHeader DecodeHeader(std::span<const uint8_t, layout::kHeaderSize> bytes);
void EncodeHeader(const BookHeader& header, std::span<uint8_t, layout::kHeaderSize> bytes);

// The text of the comment record: its bytes from the text offset up to the first
// zero byte, or up to the record's end when it has none.
std::span<const uint8_t> CommentText(std::span<const uint8_t> commentRecord);

// The two revision characters as text; a zero byte ends it early.
std::string RevisionText(const BookHeader& header);

// ---- Format rules -------------------------------------------------------------

enum class BookKind { Standard, WithStatistics };

// A book is a file whose magic is "BK" or "BX".
inline bool IsBookMagic(uint16_t magic) {
    return magic == kMagicStandard || magic == kMagicStatistics;
}

// The header of a book file from its first bytes, or nothing when the file is no
// book: it holds fewer bytes than a header, or another magic. No other field is
// looked at; what the header describes is the reader's to find out.
std::optional<BookHeader> BookHeaderOf(std::span<const uint8_t> firstBytes);

// Every test of the kind compares with "BK": anything else that passed the magic
// test is a book with statistics.
inline BookKind KindOf(uint16_t magic) {
    return magic == kMagicStandard ? BookKind::Standard : BookKind::WithStatistics;
}

inline size_t MoveSize(BookKind kind) {
    return kind == BookKind::Standard ? layout::kStandardMoveSize : layout::kStatisticsMoveSize;
}

// The smallest entry: a position key and one move (10 or 22 bytes).
inline size_t SmallestEntry(BookKind kind) { return layout::kEntryKeySize + MoveSize(kind); }

// The HashIndex slot of a position.
inline uint32_t SlotOf(uint32_t hashKey, uint32_t hashMask) { return hashKey & hashMask; }

// Number of records that a HashIndex of `hashIndexSize` slots takes in a book of
// `recordSize`-byte records (none in a book whose records have no size).
inline uint32_t HashIndexRecords(uint32_t recordSize, uint32_t hashIndexSize) {
    return recordSize == 0 ? 0 : (recordSize + 2 * hashIndexSize - 1) / recordSize;
}

// Whether `record` holds the book's own layout rather than positions: the comment
// record or one of the HashIndex records.
inline bool IsLayoutRecord(uint32_t record, const BookHeader& header) {
    const uint32_t index = header.hashIndexRecord;
    return record == header.commentRecord ||
           (record >= index &&
            record - index < HashIndexRecords(header.recordSize, header.hashIndexSize));
}

// A HashIndex slot value or nextRecord is valid when it is below recordCount and
// does not lead into the comment record or the HashIndex records; 0 means no
// record (an empty slot or the end of a chain).
inline bool IsValidLink(uint32_t link, const BookHeader& header) {
    return link < header.recordCount && (link == 0 || !IsLayoutRecord(link, header));
}

// The header of a new book of `recordSize`-byte records and `hashIndexSize`
// slots, laid down in the written layout and holding no position yet: the kind,
// attributes and word36 come from `carried`, the header of the book it is made
// from. recordCount counts the header, comment and HashIndex records.
BookHeader NewBookHeader(const BookHeader& carried, uint32_t recordSize, uint32_t hashIndexSize);

// Why a conversion of the book of `input` into records of `newRecordSize` bytes
// and a HashIndex of `newHashIndexSize` slots is refused before anything is
// counted or written, or nothing when the sizes fit. An estimate from the header
// alone: a smaller record size multiplies the records, a larger HashIndex in
// records of the same size adds its records; a larger record size is never
// refused.
std::optional<std::string> CheckNewGeometry(const BookHeader& input, int newRecordSize,
                                            int newHashIndexSize);

// Byte offset of record `number`. 64-bit, so that a damaged header can never
// make it wrap.
inline uint64_t RecordOffset(uint32_t number, uint32_t recordSize) {
    return static_cast<uint64_t>(number) * recordSize;
}

// nextRecord of a chain record.
inline uint16_t NextRecordOf(std::span<const uint8_t> record) {
    return DecodeU16Padded(record, layout::kNextRecord);
}

// Whether a record holds something that looks like a position: its first
// keyWord is not 0.
inline bool HoldsPositions(std::span<const uint8_t> record) {
    return DecodeU16Padded(record, layout::kFirstEntry + layout::kKeyWord) != 0;
}

inline bool IsLastMove(const uint8_t* move) {
    return (move[layout::kMoveFlags] & layout::kLastMoveFlag) != 0;
}

// A move whose two move codes are equal is damage, unless it is an entry's last.
inline bool HasEqualMoveCodes(const uint8_t* move) {
    return move[layout::kFirstMoveCode] == move[layout::kSecondMoveCode];
}

// ---- Walking the entries of a chain record --------------------------------------

// One PositionEntry as found in a record.
struct EntryExtent {
    size_t offset = 0;     // where the entry starts in the record
    size_t moveCount = 0;  // moves up to the one that ends the entry
    size_t size = 0;       // key and moves: 6 + moveCount * move size
    // No move carried lastMoveFlag before the next one would run past the record:
    // the entry ends with the last move that fits, which lacks the flag.
    bool cut = false;
    // Moves other than the entry's last whose two move codes are equal.
    size_t equalCodeMoves = 0;

    bool operator==(const EntryExtent&) const = default;
};

// How the moves of an entry are looked at: move by move, or (standard books) four
// moves at once, or eight where the processor can. All give the same results.
enum class MoveScan { StepByStep, FourAtOnce, Fastest };

namespace detail {

// Walks the moves of one entry from offset `m`, the entry's first move, to the
// move that ends it: the first with lastMoveFlag, or the last that fits when the
// next would run past the record (the entry is then cut). Fills in the entry's
// move count, cut and equal-code moves; gives the offset of its last move.
size_t ScanMoves(std::span<const uint8_t> record, size_t m, size_t moveSize, EntryExtent& entry,
                 MoveScan scan = MoveScan::Fastest);

}  // namespace detail

// Why the entries of a record ended.
enum class EntriesEnd {
    RecordEnd,  // the last entry ended exactly at the record's end
    ZeroKey,    // a keyWord of 0 stands where the next entry would start
    NoRoom,     // a non-zero keyWord stands where no entry fits any more
};

// Calls `onEntry(const EntryExtent&)` for every entry of `record` in order and
// tells why the entries ended. Bytes past the record's end read as zero; no move
// is read past the record's end.
template <typename OnEntry>
EntriesEnd WalkEntries(std::span<const uint8_t> record, BookKind kind, OnEntry&& onEntry,
                       MoveScan scan = MoveScan::Fastest) {
    const size_t recordSize = record.size();
    const size_t moveSize = MoveSize(kind);
    const size_t smallestEntry = SmallestEntry(kind);
    size_t p = layout::kFirstEntry;
    for (;;) {
        if (p >= recordSize) {
            return EntriesEnd::RecordEnd;
        }
        if (DecodeU16Padded(record, p + layout::kKeyWord) == 0) {
            return EntriesEnd::ZeroKey;
        }
        if (p + smallestEntry > recordSize) {
            return EntriesEnd::NoRoom;
        }
        EntryExtent entry;
        entry.offset = p;
        const size_t last =
            detail::ScanMoves(record, p + layout::kEntryKeySize, moveSize, entry, scan);
        entry.size = last + moveSize - p;
        onEntry(static_cast<const EntryExtent&>(entry));
        p = last + moveSize;
    }
}

// An entry as a new book takes it: the moves other than the last with two equal
// move codes are left out, and the last move kept carries lastMoveFlag, also
// where the entry was cut. CopiedEntrySize gives its size.
size_t CopiedEntrySize(const EntryExtent& entry, BookKind kind);

// An entry as a conversion takes it, for the copy and for the count of the new
// book alike: where it lies in its record, its moves up to the one that ends it,
// the hashKey that gives its slot, its size in the new book (CopiedEntrySize),
// and how many "Warning, corrupt record, ignoring moves" lines its copy writes
// (one for a cut, one for moves with equal codes). Record sizes are u16, so the
// offsets and sizes are too.
struct DigestedEntry {
    uint32_t hashKey = 0;
    uint16_t offset = 0;
    uint16_t moveCount = 0;
    uint16_t copiedSize = 0;
    uint16_t warnings = 0;
};

// Writes the entry of `record` as a new book takes it to `out`, which holds its
// copiedSize bytes.
void CopyEntry(std::span<const uint8_t> record, const DigestedEntry& entry, BookKind kind,
               uint8_t* out);

// Whether an entry of `size` bytes fits in a record of `recordSize` bytes at all.
inline bool EntryFitsInRecord(size_t size, size_t recordSize) {
    return size + layout::kFirstEntry <= recordSize;
}

// How a chain of a book being written fills its records: an entry goes into the
// chain's last record when it fits behind the entries there, else it starts a
// new record. Entries are never split.
struct ChainFill {
    uint32_t records = 0;  // records the chain takes
    uint32_t used = 0;     // bytes in use in its last record

    // Places an entry of `size` bytes; true when it starts a new record.
    bool Place(size_t size, size_t recordSize) {
        const bool starts = records == 0 || used + size > recordSize;
        if (starts) {
            ++records;
            used = layout::kFirstEntry;
        }
        used += static_cast<uint32_t>(size);
        return starts;
    }
    bool operator==(const ChainFill&) const = default;
};

// Whether a record that no chain reaches is sound enough to take positions
// from: it passes the record check and all its entries have one slot under
// `hashMask`, as the entries of one chain record have.
bool IsRecoverableRecord(std::span<const uint8_t> record, BookKind kind, uint32_t hashMask);

// The structural test of one chain record: every entry fits, ends with a move
// that carries lastMoveFlag, and has no move but its last with equal move codes;
// after the last entry the record ends or a zero keyWord stands. CheckEntries
// also calls `onEntry(const EntryExtent&)` for every entry, in order.
template <typename OnEntry>
bool CheckEntries(std::span<const uint8_t> record, BookKind kind, OnEntry&& onEntry) {
    bool sound = true;
    const EntriesEnd end = WalkEntries(record, kind, [&](const EntryExtent& entry) {
        sound = sound && !entry.cut && entry.equalCodeMoves == 0;
        onEntry(entry);
    });
    return sound && end != EntriesEnd::NoRoom;
}
bool CheckRecord(std::span<const uint8_t> record, BookKind kind);

// Walks the entries of `record` once: appends each to `entries` and gives the
// record check's verdict.
bool DigestRecord(std::span<const uint8_t> record, BookKind kind,
                  std::vector<DigestedEntry>& entries);

}  // namespace plinth
