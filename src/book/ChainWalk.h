#pragma once

// Walking the chains of the input book: from a HashIndex slot through the
// nextRecord links, record by record, slot after slot. The analysis, the
// conversion and the prediction walk the chains this way and report broken
// chains with the same messages. A record is passed by one chain at most: a link
// to a record that the chain of an earlier slot passed ends the chain there, so
// the whole walk reads every record once at most, however the links run.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "book/BookReader.h"

namespace plinth {

// How the walk of one chain ended.
enum class ChainEnd {
    Empty,        // the slot holds no chain
    Complete,     // a record with nextRecord 0
    InvalidSlot,  // the slot's link is invalid
    InvalidLink,  // a nextRecord is invalid
    Loop,         // a nextRecord back to a record this chain passed already
    Shared,       // a link to a record that the chain of an earlier slot passed
    Missing,      // a link to a record that the file does not hold in full
    Stopped,      // the caller stopped the walk
};

// Whether a chain that ended so ended at an unsound link: the damage that
// ReportEnd reports.
inline bool EndsAtUnsoundLink(ChainEnd end) {
    return end != ChainEnd::Empty && end != ChainEnd::Complete && end != ChainEnd::Stopped;
}

class ChainWalker {
  public:
    // Marks per record of the open book: which slot's chain passed it.
    explicit ChainWalker(BookReader& book);

    // Walks the chain of `slot`, slots being walked in ascending order. For each
    // record it reads the record into the record area and calls
    // `onRecord(record)`, which gives false to stop the walk; then, when the
    // record's nextRecord is a sound link, `onLinkFollowed()`. The walk ends at
    // the first unsound link; LastRecord() and LastNext() tell where.
    // A record that cannot be read raises the fatal error.
    template <typename OnRecord, typename OnLinkFollowed>
    ChainEnd Walk(uint32_t slot, OnRecord&& onRecord, OnLinkFollowed&& onLinkFollowed) {
        ++m_chain;
        m_lastRecord = 0;
        m_lastNext = m_book.HashIndexSlot(slot);
        if (const std::optional<ChainEnd> end = EndAt(m_lastNext)) {
            return *end;
        }
        for (;;) {
            const uint16_t record = m_lastNext;
            m_book.ReadRecord(record);
            m_marks[record] = m_chain;
            if (!onRecord(record)) {
                return ChainEnd::Stopped;
            }
            m_lastRecord = record;
            m_lastNext = NextRecordOf(m_book.RecordArea());
            const std::optional<ChainEnd> end = EndAt(m_lastNext);
            if (end && *end != ChainEnd::Complete) {
                return *end;
            }
            onLinkFollowed();
            if (end) {
                return *end;
            }
        }
    }

    // Takes as its own the walk of the chain of the next slot that a walker of
    // another reader of the same book made: the records it passed, in order, and
    // how and at which link it ended (not Stopped). Gives false, changing
    // nothing, when this walker's walk would have gone another way because of the
    // records that the chains of earlier slots passed.
    bool Adopt(std::span<const uint16_t> records, ChainEnd end, uint16_t lastRecord,
               uint16_t lastNext);

    // The record whose link ended the last walk (0 for the slot's own link), and
    // that link.
    uint16_t LastRecord() const { return m_lastRecord; }
    uint16_t LastNext() const { return m_lastNext; }

    // Writes to `console` the message for the chain of `slot` that ended at an
    // unsound link and gives true; gives false, writing nothing, for a chain that
    // ended soundly.
    bool ReportEnd(IConsole& console, uint32_t slot, ChainEnd end) const;

    // Whether a chain passed `record`.
    bool Passed(uint32_t record) const { return record < m_marks.size() && m_marks[record] != 0; }

    // Calls `onRecord(record)` for every record, in ascending order, that no
    // chain passed, that is neither the comment record nor a HashIndex record,
    // and whose first keyWord is not 0: it holds something that looks like a
    // position. Records past recordCount that the file holds are looked at too
    // (links to them stay invalid). The record is in the record area; `onRecord`
    // gives false to stop. Records that the file does not hold in full hold
    // nothing.
    template <typename OnRecord>
    void ForEachUnreachedRecord(OnRecord&& onRecord) {
        const BookHeader& header = m_book.InputHeader();
        const uint32_t end = std::max<uint32_t>(header.recordCount, m_book.RecordsInFile());
        for (uint32_t record = 1; record < end; ++record) {
            if (Passed(record) || IsLayoutRecord(record, header) ||
                !m_book.HoldsRecord(static_cast<uint16_t>(record))) {
                continue;
            }
            m_book.ReadRecordInFile(static_cast<uint16_t>(record));
            if (HoldsPositions(m_book.RecordArea()) && !onRecord(static_cast<uint16_t>(record))) {
                return;
            }
        }
    }

  private:
    // How a chain ends at `link`, or nothing when the walk goes on to it.
    std::optional<ChainEnd> EndAt(uint16_t link) const;

    BookReader& m_book;
    std::vector<uint32_t> m_marks;  // the number of the chain that passed each record
    uint32_t m_chain = 0;
    uint16_t m_lastRecord = 0;
    uint16_t m_lastNext = 0;
};

}  // namespace plinth
