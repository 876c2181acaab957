#pragma once

// The chains of up to four new books of one HashIndex size, counted side by side
// as the writer would fill them, for the prediction of a conversion.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "book/BookFormat.h"

namespace plinth {

// A position has the same slot in every book of one HashIndex size, so the
// chains of one slot lie side by side, a lane per book: placing a position in
// all of them touches one place in memory, not one per book.
class ChainCount {
  public:
    static constexpr size_t kLanes = 4;

    // Books of `hashIndexSize` slots, none added yet.
    explicit ChainCount(uint32_t hashIndexSize);

    uint32_t HashIndexSize() const { return m_hashIndexSize; }
    size_t Books() const { return m_books; }
    // Adds a book of `recordSize`-byte records as the next lane; false when all
    // lanes have one. Books are added before any entry is placed.
    bool AddBook(uint32_t recordSize);

    // Places `entries` in their order in every book whose records can hold
    // each, as ChainFill::Place does: the four lanes at once where the compiler
    // offers vectors, else by PlaceBookByBook.
    void PlaceAll(std::span<const DigestedEntry> entries);
    // One entry of `size` bytes whose hashKey is `hashKey`, book by book through
    // ChainFill::Place: the rule that PlaceAll keeps.
    void PlaceBookByBook(uint32_t hashKey, uint32_t size);

    // The chain of `slot` in book `book`.
    ChainFill Chain(size_t book, uint32_t slot) const;
    // The positions placed in book `book`, and the sum over them of the place
    // (counted from 1) of the record of its chain that each went to.
    uint32_t Positions(size_t book) const { return m_positions[book]; }
    uint64_t Reads(size_t book) const { return m_reads[book]; }

  private:
    void PlaceAllInOneBook(std::span<const DigestedEntry> entries);
    void PlaceAllInLanes(std::span<const DigestedEntry> entries);

    struct alignas(16) SlotChains {
        std::array<uint32_t, kLanes> records{};
        std::array<uint32_t, kLanes> used{};
    };

    uint32_t m_hashIndexSize;
    size_t m_books = 0;
    std::array<uint32_t, kLanes> m_recordSizes{};  // 0 in a lane without a book
    // A book holds fewer than 2^29 positions (65535 records of at most 65535
    // bytes, at least 10 bytes an entry), so 32 bits count them.
    std::array<uint32_t, kLanes> m_positions{};
    std::array<uint64_t, kLanes> m_reads{};
    std::vector<SlotChains> m_chains;  // one per slot, for two books or more
    std::vector<ChainFill> m_oneBook;  // one per slot, for a book alone
};

}  // namespace plinth
