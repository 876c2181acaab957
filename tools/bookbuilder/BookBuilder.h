#pragma once

// Builds book files of every shape for tests, examples and benchmarks: sound
// books laid out as the writer lays them out (chains in slot order, each chain in
// consecutive records), and the damage a test wants done to them afterwards.
//
// The builder places positions on its own, independently of the program's
// writer, so that tests can compare the two.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "book/BookFormat.h"

namespace plinth::builder {

// A small deterministic generator (splitmix64), identical on every platform.
class Random {
  public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint64_t Next();
    // A number from `low` to `high`, both included.
    uint64_t Between(uint64_t low, uint64_t high);

  private:
    uint64_t m_state;
};

// One position: its key and its moves, each move MoveSize(kind) bytes with
// lastMoveFlag set on the last.
struct Position {
    uint16_t keyWord = 1;
    uint32_t hashKey = 0;
    std::vector<uint8_t> moves;

    size_t MoveCount(BookKind kind) const { return moves.size() / MoveSize(kind); }
    // Key and moves, as stored in a record.
    std::vector<uint8_t> EntryBytes() const;
    bool operator==(const Position&) const = default;
    // clang-tidy 14 takes the defaulted comparison for a literal 0.
    auto operator<=>(const Position&) const = default;  // NOLINT(modernize-use-nullptr)
};

struct BookOptions {
    BookKind kind = BookKind::Standard;
    uint16_t recordSize = 1024;
    uint16_t hashIndexSize = 1024;
    std::string comment = "Builder book";
    std::array<uint8_t, 2> revision = {'3', '0'};
    uint16_t attributes = 0;
    uint16_t word36 = 0;
};

struct MoveRange {
    size_t fewest = 1;
    size_t most = 6;
};

// `count` positions with random keys and 1 to `most` sound moves each.
std::vector<Position> MakePositions(BookKind kind, size_t count, uint64_t seed,
                                    MoveRange moves = {});
// `count` positions that all fall into `slot` under `hashMask`.
std::vector<Position> MakePositionsInSlot(BookKind kind, size_t count, uint32_t slot,
                                          uint32_t hashMask, uint64_t seed, MoveRange moves = {});
// One position with `moveCount` sound moves.
Position MakePosition(BookKind kind, uint32_t hashKey, size_t moveCount, Random& random);

// A book file in memory, with access to the places that damage is done to.
class BookImage {
  public:
    BookImage(std::vector<uint8_t> bytes, std::vector<Position> positions);

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    BookHeader Header() const;
    void SetHeader(const BookHeader& header);

    uint16_t RecordSize() const { return Header().recordSize; }
    uint16_t RecordCount() const { return Header().recordCount; }
    // The positions that were placed, in the order the builder placed them.
    const std::vector<Position>& Positions() const { return m_positions; }

    std::span<uint8_t> Record(uint32_t number);
    uint16_t Slot(uint32_t slot) const;
    void SetSlot(uint32_t slot, uint16_t value);
    uint16_t NextRecord(uint32_t record) const;
    void SetNextRecord(uint32_t record, uint16_t value);
    // The records of the chain of `slot`, following sound links.
    std::vector<uint16_t> ChainRecords(uint32_t slot) const;
    // The first slot whose chain has at least `records` records.
    uint32_t SlotWithChainOf(size_t records) const;

    // ---- Damage ----
    // Makes the last record of the chain of `slot` link back to its first record.
    void MakeLoop(uint32_t slot);
    // Clears lastMoveFlag of the record's last entry and fills the free space
    // behind it with moves without the flag, so that the entry runs into the
    // record's end and is cut there.
    void CutLastEntry(uint32_t record);
    // Gives the first move of the record's first entry two equal move codes; the
    // entry must have two moves or more.
    void GiveEqualCodes(uint32_t record);
    // Overwrites the whole record with `byte`, as a bad sector or a stray write does.
    void FillRecord(uint32_t record, uint8_t byte);
    void Truncate(size_t size);
    // Appends zero records up to `recordCount` and stores it in the header.
    void PadToRecordCount(uint32_t recordCount);

    // ---- Layout ----
    // Puts the records behind the HashIndex in a random order, links and slots
    // changed to match, as in a book that grew by appending records: every chain
    // holds what it held, its records scattered over the file. For a sound book.
    void ScatterChainRecords(uint64_t seed);

    void WriteTo(const std::string& path) const;

  private:
    std::vector<uint8_t> m_bytes;
    std::vector<Position> m_positions;
};

// Lays the positions out as the writer would: header, comment, HashIndex, then
// the chains in slot order. Throws std::invalid_argument for a position that no
// record holds and for a book of more than 65535 records.
BookImage BuildBook(const BookOptions& options, const std::vector<Position>& positions);
// A sound book of `count` random positions, made by MakePositions.
BookImage BuildBook(const BookOptions& options, size_t count, uint64_t seed, MoveRange moves = {});

// Damage of every kind, by name, as tests and examples do it to a sound book of a
// few slots: broken and crossed links, loops, damaged records, cut files, damaged
// headers, and all of some at once. "sound" leaves the book as it is.
using Damage = std::function<void(BookImage&)>;
std::vector<std::pair<const char*, Damage>> Damages();
// The damage that `change` does to a book's header.
Damage ChangeHeader(std::function<void(BookHeader&)> change);

// A sound book whose chains take exactly `chainRecords` records, spread over the
// slots as evenly as the order of the slots allows.
BookImage BuildFilledBook(const BookOptions& options, uint32_t chainRecords, uint64_t seed,
                          MoveRange moves = {});

}  // namespace plinth::builder
