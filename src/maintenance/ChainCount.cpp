// Placing entries in the chains of several counted books at once, and the book
// by book rule that it keeps.

#include "maintenance/ChainCount.h"

#include <algorithm>
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

void ChainCount::PlaceAll(std::span<const DigestedEntry> entries) {
    if (m_books == 1) {
        PlaceAllInOneBook(entries);
    } else if (m_books > 1) {
        // A lane's count of reads stays within 32 bits for this many entries.
        constexpr size_t kEntriesAtATime = 65536;
        for (size_t first = 0; first < entries.size(); first += kEntriesAtATime) {
            PlaceAllInLanes(
                entries.subspan(first, std::min(kEntriesAtATime, entries.size() - first)));
        }
    }
}

// The entries of one record mostly share a slot (all of them where this book
// has no more slots than the book they come from), so the chain of the slot
// is kept in registers while they do.
void ChainCount::PlaceAllInOneBook(std::span<const DigestedEntry> entries) {
    const uint32_t recordSize = m_recordSizes[0];
    const uint32_t mask = m_hashIndexSize - 1;
    uint32_t slot = 0;
    ChainFill chain = m_oneBook[slot];
    uint32_t positions = 0;
    uint64_t reads = 0;
    for (const DigestedEntry& entry : entries) {
        const uint32_t size = entry.copiedSize;
        if (!EntryFitsInRecord(size, recordSize)) {
            continue;
        }
        const uint32_t own = SlotOf(entry.hashKey, mask);
        if (own != slot) {
            m_oneBook[slot] = chain;
            slot = own;
            chain = m_oneBook[slot];
        }
        // ChainFill::Place without a branch on whether the entry starts a
        // record: which it does follows the book's entries, not a pattern the
        // processor could foresee.
        const bool starts = chain.records == 0 || chain.used + size > recordSize;
        chain.records += static_cast<uint32_t>(starts);
        chain.used = (starts ? uint32_t{layout::kFirstEntry} : chain.used) + size;
        ++positions;
        reads += chain.records;
    }
    m_oneBook[slot] = chain;
    m_positions[0] += positions;
    m_reads[0] += reads;
}

#if defined(__GNUC__)
// The same in the lanes of a vector, a book a lane. A lane's comparison gives
// all ones where it holds, which subtracted adds one; a lane without a book has
// a record size of 0, which holds no entry.
void ChainCount::PlaceAllInLanes(std::span<const DigestedEntry> entries) {
    using Lanes [[gnu::vector_size(16)]] = uint32_t;
    static_assert(sizeof(Lanes) == sizeof(SlotChains::records));
    Lanes recordSizes;
    std::memcpy(&recordSizes, m_recordSizes.data(), sizeof(Lanes));
    const uint32_t mask = m_hashIndexSize - 1;
    uint32_t slot = 0;
    Lanes records;
    Lanes used;
    const auto load = [&]() {
        std::memcpy(&records, m_chains[slot].records.data(), sizeof(Lanes));
        std::memcpy(&used, m_chains[slot].used.data(), sizeof(Lanes));
    };
    const auto store = [&]() {
        std::memcpy(m_chains[slot].records.data(), &records, sizeof(Lanes));
        std::memcpy(m_chains[slot].used.data(), &used, sizeof(Lanes));
    };
    load();
    Lanes positions{};
    Lanes reads{};
    for (const DigestedEntry& entry : entries) {
        const uint32_t own = SlotOf(entry.hashKey, mask);
        if (own != slot) {
            store();
            slot = own;
            load();
        }
        const Lanes sizes = Lanes{} + uint32_t{entry.copiedSize};
        const Lanes fits = sizes + uint32_t{layout::kFirstEntry} <= recordSizes;
        const Lanes starts = ((records == 0) | (used + sizes > recordSizes)) & fits;
        records -= starts;
        used = ((starts & uint32_t{layout::kFirstEntry}) | (~starts & used)) + (sizes & fits);
        positions -= fits;
        reads += records & fits;
    }
    store();
    for (size_t i = 0; i < kLanes; ++i) {
        m_positions[i] += positions[i];
        m_reads[i] += reads[i];
    }
}
#else
void ChainCount::PlaceAllInLanes(std::span<const DigestedEntry> entries) {
    for (const DigestedEntry& entry : entries) {
        PlaceBookByBook(entry.hashKey, entry.copiedSize);
    }
}
#endif

ChainFill ChainCount::Chain(size_t book, uint32_t slot) const {
    if (m_books <= 1) {
        return book == 0 && m_books == 1 ? m_oneBook[slot] : ChainFill{};
    }
    return {m_chains[slot].records[book], m_chains[slot].used[book]};
}

}  // namespace plinth
