#include "book/ChainWalk.h"

#include <algorithm>

namespace plinth {

ChainWalker::ChainWalker(BookReader& book)
    : m_book(book), m_marks(book.InputHeader().recordCount, 0) {}

std::optional<ChainEnd> ChainWalker::EndAt(uint16_t link) const {
    const bool fromSlot = m_lastRecord == 0;
    if (!IsValidLink(link, m_book.InputHeader())) {
        return fromSlot ? ChainEnd::InvalidSlot : ChainEnd::InvalidLink;
    }
    if (link == 0) {
        return fromSlot ? ChainEnd::Empty : ChainEnd::Complete;
    }
    if (m_marks[link] == m_chain) {
        return ChainEnd::Loop;
    }
    if (m_marks[link] != 0) {
        return ChainEnd::Shared;
    }
    if (!m_book.HoldsRecord(link)) {
        return ChainEnd::Missing;
    }
    return std::nullopt;
}

bool ChainWalker::Adopt(std::span<const uint16_t> records, ChainEnd end, uint16_t lastRecord,
                        uint16_t lastNext) {
    // The other walker went on where no earlier chain had passed, as this one
    // would; its chain ended as this one's would, except at a link where its own
    // earlier chains and this walker's differ: Shared and Missing.
    const bool sameWay =
        std::all_of(records.begin(), records.end(), [&](uint16_t r) { return m_marks[r] == 0; });
    if (!sameWay || (end == ChainEnd::Shared && m_marks[lastNext] == 0) ||
        (end == ChainEnd::Missing && m_marks[lastNext] != 0)) {
        return false;
    }
    ++m_chain;
    for (const uint16_t record : records) {
        m_marks[record] = m_chain;
    }
    m_lastRecord = lastRecord;
    m_lastNext = lastNext;
    return true;
}

bool ChainWalker::ReportEnd(IConsole& console, uint32_t slot, ChainEnd end) const {
    const int index = static_cast<int>(slot);
    const int record = m_lastRecord;
    const int next = m_lastNext;
    const int free = m_book.InputHeader().recordCount;
    switch (end) {
        case ChainEnd::InvalidSlot:
            PrintLog(console, "Error - invalid link in HashIndex - idx=%d rec=%d free=%d\n", index,
                     next, free);
            return true;
        case ChainEnd::InvalidLink:
            PrintLog(console, "Error - invalid link in chain - currec=%d next=%d free=%d\n", record,
                     next, free);
            return true;
        case ChainEnd::Loop:
        case ChainEnd::Shared:
        case ChainEnd::Missing: {
            const char* what = end == ChainEnd::Loop     ? "loop"
                               : end == ChainEnd::Shared ? "shared record"
                                                         : "missing record";
            PrintLog(console, "Error - %s in chain - idx=%d currec=%d next=%d\n", what, index,
                     record, next);
            return true;
        }
        case ChainEnd::Empty:
        case ChainEnd::Complete:
        case ChainEnd::Stopped:
            return false;
    }
    return false;
}

}  // namespace plinth
