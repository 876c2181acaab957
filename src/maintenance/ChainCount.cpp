// Placing entries in the chains of several counted books at once, and the book
// by book rule that it keeps.

#include "maintenance/ChainCount.h"

#include <cstring>

namespace plinth {

ChainCount::ChainCount(uint32_t hashIndexSize) : m_hashIndexSize(hashIndexSize) {}

bool ChainCount::AddBook(uint32_t recordSize) {
    if (m_books == kLanes) {
        return false;
    }
    m_recordSizes[m_books++] = recordSize;
    // A book alone keeps a quarter of the memory that lanes take, so more of its
    // slots stay in the processor's cache.
    if (m_books == 1) {
        m_oneBook.assign(m_hashIndexSize, ChainFill{});
    } else if (m_books == 2) {
        m_oneBook = {};
        m_chains.assign(m_hashIndexSize, SlotChains{});
    }
    return true;
}

void ChainCount::PlaceBookByBook(uint32_t hashKey, uint32_t size) {
    const uint32_t slot = SlotOf(hashKey, m_hashIndexSize - 1);
    for (size_t i = 0; i < m_books; ++i) {
        if (EntryFitsInRecord(size, m_recordSizes[i])) {
            ChainFill fill = Chain(i, slot);
            fill.Place(size, m_recordSizes[i]);
            if (m_books == 1) {
                m_oneBook[slot] = fill;
            } else {
                m_chains[slot].records[i] = fill.records;
                m_chains[slot].used[i] = fill.used;
            }
            ++m_positions[i];
            m_reads[i] += fill.records;
        }
    }
}

// ChainFill::Place for a book alone, without a branch on whether the entry
// starts a record: which it does follows the book's entries, not a pattern the
// processor could foresee.
void ChainCount::PlaceInOneBook(uint32_t hashKey, uint32_t size) {
    const uint32_t recordSize = m_recordSizes[0];
    if (!EntryFitsInRecord(size, recordSize)) {
        return;
    }
    ChainFill& chain = m_oneBook[SlotOf(hashKey, m_hashIndexSize - 1)];
    const bool starts = chain.records == 0 || chain.used + size > recordSize;
    chain.records += static_cast<uint32_t>(starts);
    chain.used = (starts ? uint32_t{layout::kFirstEntry} : chain.used) + size;
    ++m_positions[0];
    m_reads[0] += chain.records;
}

#if defined(__GNUC__)
// A lane's comparison gives all ones where it holds, which subtracted adds one;
// a lane without a book has a record size of 0, which holds no entry.
void ChainCount::Place(uint32_t hashKey, uint32_t size) {
    if (m_books == 1) {
        PlaceInOneBook(hashKey, size);
        return;
    }
    using Lanes [[gnu::vector_size(16)]] = uint32_t;
    static_assert(sizeof(Lanes) == sizeof(SlotChains::records));
    SlotChains& chains = m_chains[SlotOf(hashKey, m_hashIndexSize - 1)];
    Lanes records;
    Lanes used;
    Lanes recordSizes;
    Lanes positions;
    std::memcpy(&records, chains.records.data(), sizeof(Lanes));
    std::memcpy(&used, chains.used.data(), sizeof(Lanes));
    std::memcpy(&recordSizes, m_recordSizes.data(), sizeof(Lanes));
    std::memcpy(&positions, m_positions.data(), sizeof(Lanes));
    const Lanes sizes = Lanes{} + size;
    const Lanes fits = sizes + uint32_t{layout::kFirstEntry} <= recordSizes;
    const Lanes starts = ((records == 0) | (used + sizes > recordSizes)) & fits;
    records -= starts;
    used = ((starts & uint32_t{layout::kFirstEntry}) | (~starts & used)) + (sizes & fits);
    positions -= fits;
    std::memcpy(chains.records.data(), &records, sizeof(Lanes));
    std::memcpy(chains.used.data(), &used, sizeof(Lanes));
    std::memcpy(m_positions.data(), &positions, sizeof(Lanes));
    const Lanes read = records & fits;
    for (size_t i = 0; i < kLanes; ++i) {
        m_reads[i] += read[i];
    }
}
#else
void ChainCount::Place(uint32_t hashKey, uint32_t size) { PlaceBookByBook(hashKey, size); }
#endif

ChainFill ChainCount::Chain(size_t book, uint32_t slot) const {
    if (m_books <= 1) {
        return book == 0 && m_books == 1 ? m_oneBook[slot] : ChainFill{};
    }
    return {m_chains[slot].records[book], m_chains[slot].used[book]};
}

}  // namespace plinth
