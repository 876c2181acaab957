// The byte order of the format, the header table, and the rules that walk and
// check the entries of one chain record.

#include <gtest/gtest.h>

#include <vector>

#include "book/BookFormat.h"

namespace plinth {
namespace {

TEST(CodingTest, StoresIntegersLittleEndian) {
    uint8_t bytes[4] = {};
    EncodeU16(bytes, 0x4B42);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'K');
    EncodeU32(bytes, 0x12345678);
    EXPECT_EQ(bytes[0], 0x78);
    EXPECT_EQ(bytes[1], 0x56);
    EXPECT_EQ(bytes[2], 0x34);
    EXPECT_EQ(bytes[3], 0x12);
    EXPECT_EQ(DecodeU32(bytes), 0x12345678u);
    const uint8_t high[2] = {0xFF, 0xFE};
    EXPECT_EQ(DecodeU16(high), 0xFEFF);
}

TEST(CodingTest, PaddedReadSeesZerosPastTheEnd) {
    const std::vector<uint8_t> bytes = {0x01, 0x02, 0x03};
    EXPECT_EQ(DecodeU16Padded(bytes, 1), 0x0302);
    EXPECT_EQ(DecodeU16Padded(bytes, 2), 0x0003);
    EXPECT_EQ(DecodeU16Padded(bytes, 3), 0x0000);
}

TEST(BookHeaderTest, FieldsSitAtTheirOffsets) {
    BookHeader header;
    header.magic = kMagicStatistics;
    header.revision = {'3', '0'};
    header.recordSize = 0x0400;
    header.recordCount = 0x1234;
    header.reserved8 = {0xA1, 0xA2};
    header.commentRecord = 0x0001;
    header.word12 = 0x0C0C;
    header.hashIndexRecord = 0x0002;
    header.hashIndexSize = 0x1000;
    header.reserved18 = {0xB1, 0xB2, 0xB3, 0xB4};
    header.hashMask = 0x00000FFF;
    header.totalPositions = 0x01020304;
    header.totalMoves = 0x05060708;
    header.attributes = 0xABCD;
    header.word36 = 0x3636;

    std::array<uint8_t, layout::kHeaderSize> bytes{};
    EncodeHeader(header, bytes);
    const std::array<uint8_t, layout::kHeaderSize> expected = {
        'B',  'X',  '3',  '0',  0x00, 0x04, 0x34, 0x12, 0xA1, 0xA2, 0x01, 0x00, 0x0C,
        0x0C, 0x02, 0x00, 0x00, 0x10, 0xB1, 0xB2, 0xB3, 0xB4, 0xFF, 0x0F, 0x00, 0x00,
        0x04, 0x03, 0x02, 0x01, 0x08, 0x07, 0x06, 0x05, 0xCD, 0xAB, 0x36, 0x36};
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(DecodeHeader(bytes), header);
}

TEST(FormatRulesTest, KindAndSizes) {
    EXPECT_TRUE(IsBookMagic(kMagicStandard));
    EXPECT_TRUE(IsBookMagic(kMagicStatistics));
    EXPECT_FALSE(IsBookMagic(0x4B43));
    EXPECT_EQ(KindOf(kMagicStandard), BookKind::Standard);
    EXPECT_EQ(KindOf(kMagicStatistics), BookKind::WithStatistics);
    EXPECT_EQ(SmallestEntry(BookKind::Standard), 10u);
    EXPECT_EQ(SmallestEntry(BookKind::WithStatistics), 22u);
}

TEST(FormatRulesTest, LinkIsValidBelowRecordCount) {
    EXPECT_TRUE(IsValidLink(99, 100));
    EXPECT_FALSE(IsValidLink(100, 100));
    EXPECT_TRUE(IsValidLink(0, 100));
}

TEST(FormatRulesTest, HashIndexRecords) {
    EXPECT_EQ(HashIndexRecords(1024, 4096), 8u);  // fills its records exactly
    EXPECT_EQ(HashIndexRecords(1024, 1024), 2u);
    EXPECT_EQ(HashIndexRecords(1024, 1000), 2u);  // the rest of the last record stays zero
    EXPECT_EQ(HashIndexRecords(16384, 1024), 1u);
}

TEST(FormatRulesTest, RecordOffsetDoesNotWrap) {
    EXPECT_EQ(RecordOffset(65534, 65535), 65534ull * 65535ull);
}

// ---- Record check and entry walk -------------------------------------------------

// Writes chain records move by move.
class RecordWriter {
  public:
    RecordWriter(size_t recordSize, BookKind kind) : m_bytes(recordSize, 0), m_kind(kind) {}

    RecordWriter& Key(size_t offset, uint16_t keyWord = 0x1111) {
        m_at = offset;
        EncodeU16(&m_bytes[m_at], keyWord);
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
    // Moves without the last-move flag from the current offset to `end`.
    RecordWriter& OpenMovesUntil(size_t end) {
        while (m_at + MoveSize(m_kind) <= end) {
            Move(1, 2, false);
        }
        return *this;
    }
    size_t At() const { return m_at; }
    std::vector<uint8_t>& Bytes() { return m_bytes; }
    bool Check() const { return CheckRecord(m_bytes, m_kind); }

  private:
    std::vector<uint8_t> m_bytes;
    BookKind m_kind;
    size_t m_at = 0;
};

std::vector<EntryExtent> Entries(const std::vector<uint8_t>& record, BookKind kind,
                                 EntriesEnd* end = nullptr) {
    std::vector<EntryExtent> entries;
    const EntriesEnd reason =
        WalkEntries(record, kind, [&entries](const EntryExtent& e) { entries.push_back(e); });
    if (end != nullptr) {
        *end = reason;
    }
    return entries;
}

TEST(RecordCheckTest, RecordWithoutEntriesPasses) {
    RecordWriter record(1024, BookKind::Standard);
    EXPECT_TRUE(record.Check());
    EntriesEnd end{};
    EXPECT_TRUE(Entries(record.Bytes(), BookKind::Standard, &end).empty());
    EXPECT_EQ(end, EntriesEnd::ZeroKey);
}

TEST(RecordCheckTest, SoundEntriesPass) {
    RecordWriter record(1024, BookKind::Standard);
    record.Key(4).Move(1, 2, false).Move(3, 4, true);
    record.Key(record.At()).Move(5, 6, true);
    EXPECT_TRUE(record.Check());
    const std::vector<EntryExtent> entries = Entries(record.Bytes(), BookKind::Standard);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].offset, 4u);
    EXPECT_EQ(entries[0].moveCount, 2u);
    EXPECT_EQ(entries[0].size, 14u);
    EXPECT_EQ(entries[1].offset, 18u);
    EXPECT_EQ(entries[1].size, 10u);
    EXPECT_FALSE(entries[1].cut);
}

TEST(RecordCheckTest, EntryEndingExactlyAtRecordEndPasses) {
    RecordWriter record(62, BookKind::Standard);
    record.Key(4).OpenMovesUntil(58).Move(1, 2, true);
    ASSERT_EQ(record.At(), 62u);
    EXPECT_TRUE(record.Check());
    EntriesEnd end{};
    EXPECT_EQ(Entries(record.Bytes(), BookKind::Standard, &end).size(), 1u);
    EXPECT_EQ(end, EntriesEnd::RecordEnd);
}

struct LastStartCase {
    BookKind kind;
    size_t fromEnd;
    bool passes;
};

class LastEntryStartTest : public testing::TestWithParam<LastStartCase> {};

TEST_P(LastEntryStartTest, EntryMayStartOnlyWhereTheSmallestEntryFits) {
    const auto [kind, fromEnd, passes] = GetParam();
    const size_t moveSize = MoveSize(kind);
    // A record size for which a filler entry from offset 4 ends exactly where the
    // entry under test starts.
    const size_t recordSize = 4 + layout::kEntryKeySize + 20 * moveSize + fromEnd;
    const size_t start = recordSize - fromEnd;
    RecordWriter record(recordSize, kind);
    record.Key(4).OpenMovesUntil(start - moveSize).Move(7, 8, true);
    ASSERT_EQ(record.At(), start);
    record.Key(start);
    if (start + layout::kEntryKeySize + moveSize <= recordSize) {
        record.Move(1, 2, true);
    }
    EXPECT_EQ(record.Check(), passes);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, LastEntryStartTest,
                         testing::Values(LastStartCase{BookKind::Standard, 10, true},
                                         LastStartCase{BookKind::Standard, 9, false},
                                         LastStartCase{BookKind::WithStatistics, 22, true},
                                         LastStartCase{BookKind::WithStatistics, 21, false}));

TEST(RecordCheckTest, NonZeroKeyWhereNoEntryFitsFails) {
    RecordWriter record(64, BookKind::Standard);
    record.Key(4).OpenMovesUntil(59).Move(1, 2, true);
    ASSERT_EQ(record.At(), 62u);
    record.Bytes()[63] = 0x05;
    EXPECT_FALSE(record.Check());
    record.Bytes()[63] = 0x00;
    EXPECT_TRUE(record.Check());
}

TEST(RecordCheckTest, EqualMoveCodesFailOnlyBeforeTheLastMove) {
    RecordWriter nonFinal(1024, BookKind::Standard);
    nonFinal.Key(4).Move(9, 9, false).Move(1, 2, true);
    EXPECT_FALSE(nonFinal.Check());
    EXPECT_EQ(Entries(nonFinal.Bytes(), BookKind::Standard)[0].equalCodeMoves, 1u);

    RecordWriter final(1024, BookKind::Standard);
    final.Key(4).Move(1, 2, false).Move(9, 9, true);
    EXPECT_TRUE(final.Check());
    EXPECT_EQ(Entries(final.Bytes(), BookKind::Standard)[0].equalCodeMoves, 0u);
}

TEST(RecordCheckTest, EntryRunningPastTheRecordIsCut) {
    // Standard record of 1024: entry at 1000, moves at 1006, 1010, 1014, 1018 without
    // the flag; the next would start at 1022, beyond 1020.
    RecordWriter record(1024, BookKind::Standard);
    record.Key(4).Move(1, 2, true);
    record.Key(record.At()).OpenMovesUntil(1000 - 4).Move(1, 2, true);
    ASSERT_EQ(record.At(), 1000u);
    record.Key(1000).OpenMovesUntil(1024);
    EXPECT_FALSE(record.Check());
    const std::vector<EntryExtent> entries = Entries(record.Bytes(), BookKind::Standard);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_FALSE(entries[1].cut);
    EXPECT_TRUE(entries[2].cut);
    EXPECT_EQ(entries[2].offset, 1000u);
    EXPECT_EQ(entries[2].moveCount, 4u);
    EXPECT_EQ(entries[2].size, 22u);
}

TEST(RecordCheckTest, MoveStartingAtTheLastPlaceBelongsToTheEntry) {
    for (const BookKind kind : {BookKind::Standard, BookKind::WithStatistics}) {
        const size_t moveSize = MoveSize(kind);
        const size_t recordSize = 4 + layout::kEntryKeySize + 5 * moveSize;
        RecordWriter record(recordSize, kind);
        record.Key(4).OpenMovesUntil(recordSize - moveSize).Move(1, 2, true);
        EXPECT_TRUE(record.Check());
        const std::vector<EntryExtent> entries = Entries(record.Bytes(), kind);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].moveCount, 5u);
        EXPECT_FALSE(entries[0].cut);
    }
}

TEST(RecordCheckTest, TinyRecordsHaveNoEntries) {
    for (const size_t size : {0u, 1u, 4u, 5u}) {
        const std::vector<uint8_t> record(size, 0xFF);
        EXPECT_EQ(CheckRecord(record, BookKind::Standard), size <= 4) << size;
        EXPECT_TRUE(Entries(record, BookKind::Standard).empty()) << size;
    }
}

// The record check written out step by step, as plainly as it can be said, to
// compare the program's faster walk with.
bool ReferenceCheck(const std::vector<uint8_t>& record, BookKind kind) {
    const auto at = [&record](size_t offset) -> unsigned {
        return offset < record.size() ? record[offset] : 0u;
    };
    const long size = static_cast<long>(record.size());
    const long moveSize = kind == BookKind::Standard ? 4 : 16;
    const long smallest = 6 + moveSize;
    long p = 4;
    for (;;) {
        if (p >= size) {
            return true;
        }
        if ((at(p) | (at(p + 1) << 8)) == 0) {
            return true;
        }
        if (p > size - smallest) {
            return false;
        }
        long m = p + 6;
        while ((at(m + 3) & 0x80) == 0) {
            if (at(m) == at(m + 1)) {
                return false;
            }
            m += moveSize;
            if (m > size - moveSize) {
                return false;
            }
        }
        p = m + moveSize;
    }
}

TEST(RecordCheckTest, AgreesWithTheStepByStepCheckOnRandomRecords) {
    uint64_t state = 12345;
    const auto next = [&state]() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state >> 33);
    };
    int failing = 0;
    for (int round = 0; round < 20000; ++round) {
        const BookKind kind = round % 3 == 0 ? BookKind::WithStatistics : BookKind::Standard;
        // Entries of sound moves from offset 4, then a little damage now and then.
        const size_t moveSize = MoveSize(kind);
        std::vector<uint8_t> record(next() % 400);
        size_t p = 4;
        while (p + 6 + moveSize <= record.size() && next() % 8 != 0) {
            record[p] = static_cast<uint8_t>(1 + next() % 255);
            const size_t moves = 1 + next() % 12;
            size_t m = p + 6;
            for (size_t i = 0; i < moves && m + moveSize <= record.size(); ++i, m += moveSize) {
                record[m] = static_cast<uint8_t>(next() % 64);
                record[m + 1] = static_cast<uint8_t>(record[m] + 1 + next() % 60);
                record[m + 3] = i + 1 == moves ? 0x80 : 0x00;
            }
            record[m - moveSize + 3] |= 0x80;
            p = m;
        }
        switch (next() % 6) {
            case 0:  // a lost last-move flag
                if (p > 10) {
                    record[p - moveSize + 3] = 0;
                }
                break;
            case 1:  // equal move codes somewhere
                if (p > 10) {
                    const size_t at = 10 + (next() % ((p - 10) / moveSize)) * moveSize;
                    record[at + 1] = record[at];
                }
                break;
            case 2:  // a stray byte after the entries
                if (p < record.size()) {
                    record[p + next() % (record.size() - p)] = static_cast<uint8_t>(next());
                }
                break;
            default:
                break;
        }
        const bool expected = ReferenceCheck(record, kind);
        failing += expected ? 0 : 1;
        ASSERT_EQ(CheckRecord(record, kind), expected) << "round " << round;
    }
    // Both outcomes were met many times.
    EXPECT_GT(failing, 2000);
    EXPECT_LT(failing, 18000);
}

}  // namespace
}  // namespace plinth
