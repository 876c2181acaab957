#pragma once

// Walking the chains of the input book: from a HashIndex slot through the
// nextRecord links, record by record. The analysis and the conversion both walk
// the chains this way and report broken chains with the same messages.

#include <cstdint>
#include <vector>

#include "book/BookReader.h"

namespace plinth {

// How the walk of one chain ended.
enum class ChainEnd {
    Complete,     // a record with nextRecord 0
    InvalidLink,  // a nextRecord at or past the end of the book
    Loop,         // a nextRecord back to a record this chain already passed
    Stopped,      // the caller stopped the walk
};

class ChainWalker {
  public:
    // Marks per record of the open book, to tell when a chain comes back to itself.
    explicit ChainWalker(BookReader& book);

    // Walks the chain that starts at `first` (a valid link, not 0). For each record
    // it reads the record into the record area and calls `onRecord(record)`, which
    // gives false to stop the walk; then, when the record's nextRecord is a sound
    // link, `onLinkFollowed()`. The walk ends at the first unsound link;
    // LastRecord() and LastNext() tell where.
    // A record that cannot be read raises the fatal error.
    template <typename OnRecord, typename OnLinkFollowed>
    ChainEnd Walk(uint16_t first, OnRecord&& onRecord, OnLinkFollowed&& onLinkFollowed) {
        ++m_chain;
        const uint32_t recordCount = m_book.InputHeader().recordCount;
        uint16_t record = first;
        for (;;) {
            m_book.ReadRecord(record);
            m_marks[record] = m_chain;
            if (!onRecord(record)) {
                return ChainEnd::Stopped;
            }
            const uint16_t next = m_book.RecordAreaNextRecord();
            m_lastRecord = record;
            m_lastNext = next;
            if (!IsValidLink(next, recordCount)) {
                return ChainEnd::InvalidLink;
            }
            if (next != 0 && m_marks[next] == m_chain) {
                return ChainEnd::Loop;
            }
            onLinkFollowed();
            if (next == 0) {
                return ChainEnd::Complete;
            }
            record = next;
        }
    }

    uint16_t LastRecord() const { return m_lastRecord; }
    uint16_t LastNext() const { return m_lastNext; }

  private:
    BookReader& m_book;
    std::vector<uint32_t> m_marks;  // the number of the chain that last passed each record
    uint32_t m_chain = 0;
    uint16_t m_lastRecord = 0;
    uint16_t m_lastNext = 0;
};

// Writes the message for a HashIndex slot that holds an invalid link.
void ReportInvalidSlot(BookReader& book, uint32_t slot, uint32_t link);
// Writes the message for a chain of `slot` that ended at an unsound link.
void ReportBrokenChain(BookReader& book, uint32_t slot, ChainEnd end, const ChainWalker& walker);

}  // namespace plinth
