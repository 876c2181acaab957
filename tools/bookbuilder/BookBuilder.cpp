#include "BookBuilder.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace plinth::builder {

uint64_t Random::Next() {
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

uint64_t Random::Between(uint64_t low, uint64_t high) { return low + Next() % (high - low + 1); }

std::vector<uint8_t> Position::EntryBytes() const {
    std::vector<uint8_t> bytes(layout::kEntryKeySize + moves.size());
    EncodeU16(bytes.data() + layout::kKeyWord, keyWord);
    EncodeU32(bytes.data() + layout::kHashKey, hashKey);
    std::copy(moves.begin(), moves.end(), bytes.begin() + layout::kEntryKeySize);
    return bytes;
}

Position MakePosition(BookKind kind, uint32_t hashKey, size_t moveCount, Random& random) {
    const size_t moveSize = MoveSize(kind);
    Position position;
    position.keyWord = static_cast<uint16_t>(random.Between(1, 0xFFFF));
    position.hashKey = hashKey;
    position.moves.resize(moveCount * moveSize);
    for (size_t i = 0; i < moveCount; ++i) {
        uint8_t* move = &position.moves[i * moveSize];
        const auto from = static_cast<uint8_t>(random.Between(0, 63));
        const auto to = static_cast<uint8_t>((from + random.Between(1, 63)) % 64);
        move[layout::kFirstMoveCode] = from;
        move[layout::kSecondMoveCode] = to;
        move[2] = static_cast<uint8_t>(random.Next());
        move[layout::kMoveFlags] = static_cast<uint8_t>(random.Next() & 0x7F);
        for (size_t k = layout::kStandardMoveSize; k < moveSize; ++k) {
            move[k] = static_cast<uint8_t>(random.Next());
        }
    }
    position.moves[(moveCount - 1) * moveSize + layout::kMoveFlags] |= layout::kLastMoveFlag;
    return position;
}

std::vector<Position> MakePositions(BookKind kind, size_t count, uint64_t seed, MoveRange moves) {
    Random random(seed);
    std::vector<Position> positions;
    positions.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const auto hashKey = static_cast<uint32_t>(random.Next());
        positions.push_back(
            MakePosition(kind, hashKey, random.Between(moves.fewest, moves.most), random));
    }
    return positions;
}

std::vector<Position> MakePositionsInSlot(BookKind kind, size_t count, uint32_t slot,
                                          uint32_t hashMask, uint64_t seed, MoveRange moves) {
    Random random(seed);
    std::vector<Position> positions;
    positions.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const auto hashKey = (static_cast<uint32_t>(random.Next()) & ~hashMask) | slot;
        positions.push_back(
            MakePosition(kind, hashKey, random.Between(moves.fewest, moves.most), random));
    }
    return positions;
}

BookImage::BookImage(std::vector<uint8_t> bytes, std::vector<Position> positions)
    : m_bytes(std::move(bytes)), m_positions(std::move(positions)) {}

BookHeader BookImage::Header() const {
    return DecodeHeader(
        std::span<const uint8_t, layout::kHeaderSize>(m_bytes.data(), layout::kHeaderSize));
}

void BookImage::SetHeader(const BookHeader& header) {
    EncodeHeader(header,
                 std::span<uint8_t, layout::kHeaderSize>(m_bytes.data(), layout::kHeaderSize));
}

std::span<uint8_t> BookImage::Record(uint32_t number) {
    const size_t recordSize = RecordSize();
    return {m_bytes.data() + number * recordSize, recordSize};
}

uint16_t BookImage::Slot(uint32_t slot) const {
    const BookHeader header = Header();
    return DecodeU16(m_bytes.data() + RecordOffset(header.hashIndexRecord, header.recordSize) +
                     2 * slot);
}

void BookImage::SetSlot(uint32_t slot, uint16_t value) {
    const BookHeader header = Header();
    EncodeU16(m_bytes.data() + RecordOffset(header.hashIndexRecord, header.recordSize) + 2 * slot,
              value);
}

uint16_t BookImage::NextRecord(uint32_t record) const {
    return DecodeU16(m_bytes.data() + RecordOffset(record, RecordSize()) + layout::kNextRecord);
}

void BookImage::SetNextRecord(uint32_t record, uint16_t value) {
    EncodeU16(Record(record).data() + layout::kNextRecord, value);
}

std::vector<uint16_t> BookImage::ChainRecords(uint32_t slot) const {
    std::vector<uint16_t> records;
    const uint32_t recordCount = RecordCount();
    for (uint16_t r = Slot(slot); r != 0 && r < recordCount && records.size() < recordCount;
         r = NextRecord(r)) {
        records.push_back(r);
    }
    return records;
}

uint32_t BookImage::SlotWithChainOf(size_t records) const {
    const uint32_t slots = Header().hashIndexSize;
    for (uint32_t slot = 0; slot < slots; ++slot) {
        if (ChainRecords(slot).size() >= records) {
            return slot;
        }
    }
    throw std::invalid_argument("no chain of that length");
}

void BookImage::MakeLoop(uint32_t slot) {
    const std::vector<uint16_t> chain = ChainRecords(slot);
    if (chain.empty()) {
        throw std::invalid_argument("empty chain");
    }
    SetNextRecord(chain.back(), chain.front());
}

namespace {

// Offsets of the entries of a sound record.
std::vector<EntryExtent> EntriesOf(std::span<const uint8_t> record, BookKind kind) {
    std::vector<EntryExtent> entries;
    WalkEntries(record, kind, [&entries](const EntryExtent& entry) { entries.push_back(entry); });
    return entries;
}

}  // namespace

void BookImage::CutLastEntry(uint32_t record) {
    const BookKind kind = KindOf(Header().magic);
    const size_t moveSize = MoveSize(kind);
    std::span<uint8_t> bytes = Record(record);
    const std::vector<EntryExtent> entries = EntriesOf(bytes, kind);
    if (entries.empty()) {
        throw std::invalid_argument("record without entries");
    }
    const EntryExtent& last = entries.back();
    const size_t lastMove = last.offset + last.size - moveSize;
    bytes[lastMove + layout::kMoveFlags] &= static_cast<uint8_t>(~layout::kLastMoveFlag);
    for (size_t m = last.offset + last.size; m + moveSize <= bytes.size(); m += moveSize) {
        bytes[m + layout::kFirstMoveCode] = 1;
        bytes[m + layout::kSecondMoveCode] = 2;
    }
}

void BookImage::GiveEqualCodes(uint32_t record) {
    const BookKind kind = KindOf(Header().magic);
    std::span<uint8_t> bytes = Record(record);
    const std::vector<EntryExtent> entries = EntriesOf(bytes, kind);
    if (entries.empty() || entries.front().moveCount < 2) {
        throw std::invalid_argument("first entry has fewer than two moves");
    }
    uint8_t* move = &bytes[entries.front().offset + layout::kEntryKeySize];
    move[layout::kSecondMoveCode] = move[layout::kFirstMoveCode];
}

void BookImage::FillRecord(uint32_t record, uint8_t byte) {
    const std::span<uint8_t> bytes = Record(record);
    std::fill(bytes.begin(), bytes.end(), byte);
}

void BookImage::Truncate(size_t size) { m_bytes.resize(std::min(size, m_bytes.size())); }

void BookImage::PadToRecordCount(uint32_t recordCount) {
    BookHeader header = Header();
    m_bytes.resize(static_cast<size_t>(recordCount) * header.recordSize);
    header.recordCount = static_cast<uint16_t>(recordCount);
    SetHeader(header);
}

void BookImage::ScatterChainRecords(uint64_t seed) {
    const BookHeader header = Header();
    const uint32_t first =
        header.hashIndexRecord + HashIndexRecords(header.recordSize, header.hashIndexSize);
    const uint32_t count = header.recordCount;
    // placeOf[r]: where record r goes; records before `first` stay.
    std::vector<uint16_t> placeOf(count);
    for (uint32_t r = 0; r < count; ++r) {
        placeOf[r] = static_cast<uint16_t>(r);
    }
    Random random(seed);
    for (uint32_t r = count; r > first + 1; --r) {
        std::swap(placeOf[r - 1], placeOf[random.Between(first, r - 1)]);
    }
    const auto moved = [&placeOf, count](uint16_t record) {
        return record == 0 || record >= count ? record : placeOf[record];
    };
    const std::vector<uint8_t> before = m_bytes;
    for (uint32_t r = first; r < count; ++r) {
        const uint8_t* from = before.data() + RecordOffset(r, header.recordSize);
        std::copy_n(from, header.recordSize, Record(placeOf[r]).begin());
        SetNextRecord(placeOf[r], moved(DecodeU16(from + layout::kNextRecord)));
        EncodeU16(Record(placeOf[r]).data() + layout::kPreviousRecord,
                  moved(DecodeU16(from + layout::kPreviousRecord)));
    }
    for (uint32_t slot = 0; slot < header.hashIndexSize; ++slot) {
        SetSlot(slot, moved(Slot(slot)));
    }
}

void BookImage::WriteTo(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(m_bytes.data()),
              static_cast<std::streamsize>(m_bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

BookImage BuildBook(const BookOptions& options, const std::vector<Position>& positions) {
    const uint32_t recordSize = options.recordSize;
    const uint32_t slots = options.hashIndexSize;
    const uint32_t hashMask = slots - 1;
    const uint32_t hashIndexRecords = HashIndexRecords(recordSize, slots);

    // Chains of entries, in the order of the positions.
    struct Chain {
        std::vector<std::vector<uint8_t>> records;
        size_t used = 0;
    };
    std::vector<Chain> chains(slots);
    BookHeader header;
    header.magic = options.kind == BookKind::Standard ? kMagicStandard : kMagicStatistics;
    header.revision = options.revision;
    header.recordSize = options.recordSize;
    header.commentRecord = 1;
    header.word12 = 1;
    header.hashIndexRecord = 2;
    header.hashIndexSize = options.hashIndexSize;
    header.hashMask = hashMask;
    header.attributes = options.attributes;
    header.word36 = options.word36;

    for (const Position& position : positions) {
        const std::vector<uint8_t> entry = position.EntryBytes();
        if (entry.size() > recordSize - layout::kFirstEntry) {
            throw std::invalid_argument("position too long for the record size");
        }
        Chain& chain = chains[SlotOf(position.hashKey, hashMask)];
        if (chain.records.empty() || chain.used + entry.size() > recordSize) {
            chain.records.emplace_back(recordSize, 0);
            chain.used = layout::kFirstEntry;
        }
        std::copy(entry.begin(), entry.end(), chain.records.back().begin() + chain.used);
        chain.used += entry.size();
        ++header.totalPositions;
        header.totalMoves += static_cast<uint32_t>(position.MoveCount(options.kind));
    }

    uint32_t recordCount = 2 + hashIndexRecords;
    for (const Chain& chain : chains) {
        recordCount += static_cast<uint32_t>(chain.records.size());
    }
    if (recordCount > kMaxRecordCount) {
        throw std::invalid_argument("book of more than 65535 records");
    }
    header.recordCount = static_cast<uint16_t>(recordCount);

    std::vector<uint8_t> bytes(static_cast<size_t>(recordCount) * recordSize, 0);
    EncodeHeader(header,
                 std::span<uint8_t, layout::kHeaderSize>(bytes.data(), layout::kHeaderSize));
    const size_t commentLength =
        std::min(options.comment.size(),
                 recordSize > layout::kCommentText ? recordSize - layout::kCommentText : size_t{0});
    std::copy_n(options.comment.begin(), commentLength,
                bytes.begin() + recordSize + layout::kCommentText);

    uint32_t next = 2 + hashIndexRecords;
    for (uint32_t slot = 0; slot < slots; ++slot) {
        Chain& chain = chains[slot];
        if (chain.records.empty()) {
            continue;
        }
        EncodeU16(bytes.data() + 2 * recordSize + 2 * slot, static_cast<uint16_t>(next));
        for (size_t i = 0; i < chain.records.size(); ++i) {
            std::vector<uint8_t>& record = chain.records[i];
            const bool last = i + 1 == chain.records.size();
            EncodeU16(record.data() + layout::kNextRecord,
                      static_cast<uint16_t>(last ? 0 : next + 1));
            EncodeU16(record.data() + layout::kPreviousRecord,
                      static_cast<uint16_t>(i == 0 ? 0 : next - 1));
            std::copy(record.begin(), record.end(), bytes.begin() + next * recordSize);
            ++next;
        }
    }
    return BookImage(std::move(bytes), positions);
}

BookImage BuildBook(const BookOptions& options, size_t count, uint64_t seed, MoveRange moves) {
    return BuildBook(options, MakePositions(options.kind, count, seed, moves));
}

Damage ChangeHeader(std::function<void(BookHeader&)> change) {
    return [change = std::move(change)](BookImage& b) {
        BookHeader header = b.Header();
        change(header);
        b.SetHeader(header);
    };
}

std::vector<std::pair<const char*, Damage>> Damages() {
    const auto first = [](BookImage& b, size_t records) {
        return b.ChainRecords(b.SlotWithChainOf(records))[0];
    };
    // A copy of record `record` as a record of its own past the others.
    const auto appendCopy = [](BookImage& b, uint16_t record) {
        b.PadToRecordCount(b.RecordCount() + 1);
        const std::vector<uint8_t> copy(b.Record(record).begin(), b.Record(record).end());
        std::ranges::copy(copy, b.Record(b.RecordCount() - 1u).begin());
    };
    return {
        {"sound", [](BookImage&) {}},
        {"zeroed-index", [](BookImage& b) { b.FillRecord(b.Header().hashIndexRecord, 0); }},
        {"invalid-slot", [](BookImage& b) { b.SetSlot(1, 60000); }},
        {"slot-at-record-count", [](BookImage& b) { b.SetSlot(2, b.RecordCount()); }},
        {"invalid-next", [=](BookImage& b) { b.SetNextRecord(first(b, 2), 65000); }},
        {"loop", [](BookImage& b) { b.MakeLoop(b.SlotWithChainOf(2)); }},
        {"self-loop", [=](BookImage& b) { b.SetNextRecord(first(b, 1), first(b, 1)); }},
        {"cut-entry", [](BookImage& b) { b.CutLastEntry(b.ChainRecords(0)[0]); }},
        {"equal-codes", [](BookImage& b) { b.GiveEqualCodes(b.ChainRecords(1)[0]); }},
        {"record-in-two-chains", [](BookImage& b) { b.SetSlot(3, b.Slot(2)); }},
        {"next-into-another-chain",
         [=](BookImage& b) {
             b.SetNextRecord(first(b, 1), b.ChainRecords(b.SlotWithChainOf(2))[1]);
         }},
        {"next-into-the-comment", [=](BookImage& b) { b.SetNextRecord(first(b, 2), 1); }},
        {"slot-into-the-index", [](BookImage& b) { b.SetSlot(0, b.Header().hashIndexRecord); }},
        {"garbage-record", [=](BookImage& b) { b.FillRecord(first(b, 2), 0x5A); }},
        {"zeroed-record", [=](BookImage& b) { b.FillRecord(first(b, 2), 0); }},
        {"truncated", [](BookImage& b) { b.Truncate(b.Bytes().size() - b.RecordSize() / 2); }},
        {"truncated-at-a-record",
         [](BookImage& b) { b.Truncate(b.Bytes().size() - 3u * b.RecordSize()); }},
        {"truncated-in-the-index", [](BookImage& b) { b.Truncate(2u * b.RecordSize() + 3); }},
        {"padded", [](BookImage& b) { b.PadToRecordCount(b.RecordCount() + 3); }},
        {"unreached-twice",  // a chain cut short, and a copy of the record it lost
         [=](BookImage& b) {
             const uint16_t lost = b.ChainRecords(b.SlotWithChainOf(2))[1];
             b.SetNextRecord(first(b, 2), 0);
             appendCopy(b, lost);
         }},
        // A copy of a record that a chain reaches, which no chain reaches.
        {"reached-and-copied", [=](BookImage& b) { appendCopy(b, first(b, 2)); }},
        {"comment-out-of-range",
         ChangeHeader([](BookHeader& h) { h.commentRecord = h.recordCount; })},
        // Records appended by a program that stopped before it counted them.
        {"records-past-the-count", ChangeHeader([](BookHeader& h) {
             h.recordCount = static_cast<uint16_t>(h.recordCount - 3);
         })},
        {"record-size-zero", ChangeHeader([](BookHeader& h) { h.recordSize = 0; })},
        {"wrong-totals", ChangeHeader([](BookHeader& h) { h.totalPositions = 5; })},
        {"no-slots", ChangeHeader([](BookHeader& h) { h.hashIndexSize = 0; })},
        {"index-past-the-end", ChangeHeader([](BookHeader& h) {
             h.hashIndexRecord = static_cast<uint16_t>(h.recordCount - 1);
             h.hashIndexSize = 200;
         })},
        {"wrong-magic", ChangeHeader([](BookHeader& h) { h.magic = 0x4B43; })},
        {"short", [](BookImage& b) { b.Truncate(37); }},
        {"all-at-once",
         [](BookImage& b) {
             b.CutLastEntry(b.ChainRecords(0)[0]);
             b.GiveEqualCodes(b.ChainRecords(1)[0]);
             b.MakeLoop(2);
             b.SetSlot(3, 60000);
         }},
    };
}

BookImage BuildFilledBook(const BookOptions& options, uint32_t chainRecords, uint64_t seed,
                          MoveRange moves) {
    const uint32_t slots = options.hashIndexSize;
    const uint32_t hashMask = slots - 1;
    const size_t recordSize = options.recordSize;
    Random random(seed);
    std::vector<Position> positions;
    for (uint32_t slot = 0; slot < slots; ++slot) {
        const uint32_t planned = chainRecords / slots + (slot < chainRecords % slots ? 1 : 0);
        uint32_t records = 0;
        size_t used = recordSize;  // no record started yet
        while (planned > 0) {
            const auto hashKey = (static_cast<uint32_t>(random.Next()) & ~hashMask) | slot;
            Position position = MakePosition(options.kind, hashKey,
                                             random.Between(moves.fewest, moves.most), random);
            const size_t size = layout::kEntryKeySize + position.moves.size();
            if (used + size > recordSize) {
                if (records == planned) {
                    break;
                }
                ++records;
                used = layout::kFirstEntry;
            }
            used += size;
            positions.push_back(std::move(position));
        }
    }
    return BuildBook(options, positions);
}

}  // namespace plinth::builder
