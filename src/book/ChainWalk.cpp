#include "book/ChainWalk.h"

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
            PrintLog(console, "Error - loop in chain - idx=%d currec=%d next=%d\n", index, record,
                     next);
            return true;
        case ChainEnd::Shared:
            PrintLog(console, "Error - shared record in chain - idx=%d currec=%d next=%d\n", index,
                     record, next);
            return true;
        case ChainEnd::Missing:
            PrintLog(console, "Error - missing record in chain - idx=%d currec=%d next=%d\n", index,
                     record, next);
            return true;
        case ChainEnd::Empty:
        case ChainEnd::Complete:
        case ChainEnd::Stopped:
            return false;
    }
    return false;
}

}  // namespace plinth
