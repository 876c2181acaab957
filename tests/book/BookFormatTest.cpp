// The byte order of the format, the header table, and the rules that walk and
// check the entries of one chain record.

#include <gtest/gtest.h>

#include <vector>

#include "book/BookFormat.h"

namespace plinth {
namespace {

TEST(CodingTest, IntegersAndHeaderFieldsAreLittleEndianAtTheirOffsets) {
    const BookHeader header{kMagicStatistics, {'3', '0'}, 0x0400,     0x1234, {0xA1, 0xA2},
                            0x0001,           0x0C0C,     0x0002,     0x1000, {1, 2, 3, 4},
                            0x00000FFF,       0x01020304, 0x05060708, 0xABCD, 0x3636};
    std::array<uint8_t, layout::kHeaderSize> bytes{};
    EncodeHeader(header, bytes);
    const std::array<uint8_t, layout::kHeaderSize> expected = {
        'B',  'X',  '3',  '0',  0x00, 0x04, 0x34, 0x12, 0xA1, 0xA2, 0x01, 0x00, 0x0C,
        0x0C, 0x02, 0x00, 0x00, 0x10, 1,    2,    3,    4,    0xFF, 0x0F, 0x00, 0x00,
        0x04, 0x03, 0x02, 0x01, 0x08, 0x07, 0x06, 0x05, 0xCD, 0xAB, 0x36, 0x36};
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(DecodeHeader(bytes), header);
    // Bytes past the end of a record read as zero.
    const std::vector<uint8_t> tail = {0x01, 0x02, 0x03};
    EXPECT_EQ(DecodeU16Padded(tail, 1), 0x0302);
    EXPECT_EQ(DecodeU16Padded(tail, 2), 0x0003);
    EXPECT_EQ(DecodeU16Padded(tail, 3), 0x0000);
}

TEST(FormatRulesTest, LinksGeometryAndOffsets) {
    // 100 records; the comment in record 1, a HashIndex of 4096 slots in 2 to 9.
    BookHeader header;
    header.recordSize = 1024;
    header.recordCount = 100;
    header.commentRecord = 1;
    header.hashIndexRecord = 2;
    header.hashIndexSize = 4096;
    for (const auto& [link, valid] : {std::pair{0u, true},
                                      {1u, false},
                                      {2u, false},
                                      {9u, false},
                                      {10u, true},
                                      {99u, true},
                                      {100u, false}}) {
        EXPECT_EQ(IsValidLink(link, header), valid) << link;
    }
    EXPECT_EQ(HashIndexRecords(1024, 4096), 8u);  // fills its records exactly
    EXPECT_EQ(HashIndexRecords(1024, 1000), 2u);  // the rest of the last one stays zero
    EXPECT_EQ(HashIndexRecords(16384, 1024), 1u);
    EXPECT_EQ(RecordOffset(65534, 65535), 65534ull * 65535ull);  // no 32-bit wrap
}

// Writes chain records move by move.
class RecordWriter {
  public:
    RecordWriter(size_t recordSize, BookKind kind) : m_bytes(recordSize, 0), m_kind(kind) {}

    RecordWriter& Key(size_t offset) {
        m_at = offset;
        EncodeU16(&m_bytes[m_at], 0x1111);
        m_at += layout::kEntryKeySize;
        return *this;
    }
    RecordWriter& Move(uint8_t from, uint8_t to, bool last) {
        m_bytes[m_at + layout::kFirstMoveCode] = from;
        m_bytes[m_at + layout::kSecondMoveCode] = to;
        m_bytes[m_at + layout::kMoveFlags] = last ? layout::kLastMoveFlag : 0x01;
        m_at += MoveSize(m_kind);
        return *this;
    }
    // Moves without the last-move flag from here up to `end`.
    RecordWriter& OpenMovesUntil(size_t end) {
        while (m_at + MoveSize(m_kind) <= end) {
            Move(1, 2, false);
        }
        return *this;
    }
    size_t At() const { return m_at; }
    std::vector<uint8_t>& Bytes() { return m_bytes; }
    bool Check() const { return CheckRecord(m_bytes, m_kind); }
    std::vector<EntryExtent> Entries(EntriesEnd* end = nullptr) const {
        std::vector<EntryExtent> entries;
        const EntriesEnd reason = WalkEntries(
            m_bytes, m_kind, [&entries](const EntryExtent& e) { entries.push_back(e); });
        if (end != nullptr) {
            *end = reason;
        }
        return entries;
    }

  private:
    std::vector<uint8_t> m_bytes;
    BookKind m_kind;
    size_t m_at = 0;
};

TEST(FitCheckTest, RefusalsAtTheirBounds) {
    const std::string recordSize =
        "**Error** New Recordsize to small to fit in destination book. Try increasing the record "
        "size";
    const std::string hashIndex =
        "**Error** New HashIndex to big to fit in destination book. Try increasing the record size";
    struct Case {
        uint16_t oldRecordSize, records, oldSlots;
        int newRecordSize, newSlots;
        std::string refusal;
    };
    for (const Case& c : {
             Case{4096, 20000, 1024, 1024, 1024, recordSize},  // 80000 records
             Case{4096, 16360, 1024, 1024, 32768, recordSize},
             Case{4096, 16359, 1024, 1024, 32768, ""},         // 65436 is not above the bound
             Case{1024, 65380, 4096, 1024, 32768, hashIndex},  // 65436 reaches it
             Case{1024, 65379, 4096, 1024, 32768, ""},
             Case{1024, 65535, 1024, 2048, 32768, ""},  // a larger record size always fits
             Case{1024, 65535, 32768, 1024, 1024, ""},  // so does a smaller HashIndex
         }) {
        BookHeader header;
        header.recordSize = c.oldRecordSize;
        header.recordCount = c.records;
        header.hashIndexSize = c.oldSlots;
        EXPECT_EQ(CheckNewGeometry(header, c.newRecordSize, c.newSlots).value_or(""), c.refusal)
            << c.records;
    }
}

TEST(RecordCheckTest, SoundRecordsAndWhereTheirEntriesEnd) {
    RecordWriter empty(1024, BookKind::Standard);
    EntriesEnd end{};
    EXPECT_TRUE(empty.Check());
    EXPECT_TRUE(empty.Entries(&end).empty());
    EXPECT_EQ(end, EntriesEnd::ZeroKey);

    RecordWriter two(1024, BookKind::Standard);
    two.Key(4).Move(1, 2, false).Move(3, 4, true);
    two.Key(two.At()).Move(5, 6, true);
    EXPECT_TRUE(two.Check());
    const std::vector<EntryExtent> entries = two.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].size, 14u);
    EXPECT_EQ(entries[1].offset, 18u);

    // An entry whose moves end exactly at the record's end.
    RecordWriter full(62, BookKind::Standard);
    full.Key(4).OpenMovesUntil(58).Move(1, 2, true);
    ASSERT_EQ(full.At(), 62u);
    EXPECT_TRUE(full.Check());
    EXPECT_EQ(full.Entries(&end).size(), 1u);
    EXPECT_EQ(end, EntriesEnd::RecordEnd);
    // A non-zero key where no entry fits any more.
    full.Bytes().resize(64);
    full.Bytes()[63] = 0x05;
    EXPECT_FALSE(full.Check());

    for (const size_t size : {0u, 1u, 4u, 5u}) {
        const std::vector<uint8_t> tiny(size, 0xFF);
        EXPECT_EQ(CheckRecord(tiny, BookKind::Standard), size <= 4) << size;
    }
}

TEST(RecordCheckTest, DamagedMoves) {
    RecordWriter nonFinal(1024, BookKind::Standard);
    nonFinal.Key(4).Move(9, 9, false).Move(1, 2, true);
    EXPECT_FALSE(nonFinal.Check());
    EXPECT_EQ(nonFinal.Entries()[0].equalCodeMoves, 1u);

    RecordWriter final(1024, BookKind::Standard);
    final.Key(4).Move(1, 2, false).Move(9, 9, true);
    EXPECT_TRUE(final.Check());

    // Entry at 1000 of 1024 with moves at 1006, 1010, 1014 and 1018, none the
    // last: the next would start at 1022, beyond 1020, so the entry is cut.
    RecordWriter cut(1024, BookKind::Standard);
    cut.Key(4).Move(1, 2, true);
    cut.Key(cut.At()).OpenMovesUntil(996).Move(1, 2, true);
    ASSERT_EQ(cut.At(), 1000u);
    cut.Key(1000).OpenMovesUntil(1024);
    EXPECT_FALSE(cut.Check());
    const EntryExtent last = cut.Entries().back();
    EXPECT_TRUE(last.cut);
    EXPECT_EQ(last.offset, 1000u);
    EXPECT_EQ(last.moveCount, 4u);
    EXPECT_EQ(last.size, 22u);
}

}  // namespace
}  // namespace plinth
