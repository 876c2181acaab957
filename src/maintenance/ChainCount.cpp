// Placing entries in the chains of several counted books at once, and the book
// by book rule that it keeps.

#include "maintenance/ChainCount.h"

#include <cstring>

namespace plinth {

ChainCount::ChainCount(uint32_t hashIndexSize) : m_chains(hashIndexSize) {}

bool ChainCount::AddBook(uint32_t recordSize) {
    if (m_books == kLanes) {
        return false;
    }
    m_recordSizes[m_books++] = recordSize;
    return true;
}

void ChainCount::PlaceBookByBook(uint32_t hashKey, uint32_t size) {
    SlotChains& chains = m_chains[SlotOf(hashKey, HashIndexSize() - 1)];
    for (size_t i = 0; i < m_books; ++i) {
        if (EntryFitsInRecord(size, m_recordSizes[i])) {
            ChainFill fill{chains.records[i], chains.used[i]};
            fill.Place(size, m_recordSizes[i]);
            chains.records[i] = fill.records;
            chains.used[i] = fill.used;
            ++m_positions[i];
            m_reads[i] += fill.records;
        }
    }
}

#if defined(__GNUC__)
// A lane's comparison gives all ones where it holds, which subtracted adds one;
// a lane without a book has a record size of 0, which holds no entry.
void ChainCount::Place(uint32_t hashKey, uint32_t size) {
    using Lanes [[gnu::vector_size(16)]] = uint32_t;
    static_assert(sizeof(Lanes) == sizeof(SlotChains::records));
    SlotChains& chains = m_chains[SlotOf(hashKey, HashIndexSize() - 1)];
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
    return {m_chains[slot].records[book], m_chains[slot].used[book]};
}

}  // namespace plinth
