#include "book/ChainWalk.h"

namespace plinth {

ChainWalker::ChainWalker(BookReader& book)
    : m_book(book), m_marks(book.InputHeader().recordCount, 0) {}

void ReportInvalidSlot(BookReader& book, uint32_t slot, uint32_t link) {
    book.PrintLog("Error - invalid link in HashIndex - idx=%d rec=%d free=%d\n",
                  static_cast<int>(slot), static_cast<int>(link),
                  static_cast<int>(book.InputHeader().recordCount));
}

void ReportBrokenChain(BookReader& book, uint32_t slot, ChainEnd end, const ChainWalker& walker) {
    const int record = walker.LastRecord();
    const int next = walker.LastNext();
    if (end == ChainEnd::InvalidLink) {
        book.PrintLog("Error - invalid link in chain - currec=%d next=%d free=%d\n", record, next,
                      static_cast<int>(book.InputHeader().recordCount));
    } else if (end == ChainEnd::Loop) {
        book.PrintLog("Error - loop in chain - idx=%d currec=%d next=%d\n", static_cast<int>(slot),
                      record, next);
    }
}

}  // namespace plinth
