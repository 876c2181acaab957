#pragma once

// A pass over every chain of the open book, slot after slot, as ChainWalker walks
// them. For a large book on a processor with several cores, the reading and the
// digesting of the records run on worker threads: each takes runs of consecutive
// slots and walks them with a reader and a walker of its own, and the calling
// thread takes the walks over in slot order, each checked against the records
// that the chains of earlier slots passed (ChainWalker::Adopt). A chain that the
// check turns down, a run that a worker gave up and a run no worker took yet are
// walked again on the calling thread, so the caller is told exactly what a walk
// on one thread tells it, in the same order.

#include <cstdint>
#include <span>

#include "book/BookReader.h"
#include "book/ChainWalk.h"

namespace plinth {

// How many threads a pass may use: the calling thread alone (One), a worker thread
// per core of the processor (All), or, with ThreadCount(n) for n of two or more, n
// worker threads whatever the processor has; at most four workers. The results
// are the same.
enum class Threads : unsigned { All = 0, One = 1 };
inline constexpr Threads ThreadCount(unsigned count) { return static_cast<Threads>(count); }

// Whether a pass over the book of `header` that may use `threads` takes a second
// thread: for books of 4 MiB and more, where it may use more than one and, for
// All, the processor has more than one core.
bool WorthASecondThread(const BookHeader& header, Threads threads);

// What the pass makes of each record for its visitor, on whichever thread reads
// it: the record check's verdict and the digest of its entries, or the verdict
// alone.
enum class RecordDigests { Entries, Verdicts };

// What a record of a chain holds: whether its first keyWord is not 0 (it holds
// something that looks like a position), and its entries and their moves, each
// move up to the one that ends its entry.
struct RecordContents {
    bool holdsPositions = false;
    uint32_t positions = 0;
    uint32_t moves = 0;
};

// A record of a chain as the pass hands it over.
struct VisitedRecord {
    uint16_t number = 0;
    bool sound = false;  // the record check's verdict
    RecordContents contents;
    std::span<const DigestedEntry> entries;  // none when only verdicts are made
    // The record itself where the calling thread read it; empty where a worker
    // thread did.
    std::span<const uint8_t> bytes;
};

class ChainVisitor {
  public:
    virtual ~ChainVisitor() = default;
    // A record of the chain of `slot`. False stops the pass.
    virtual bool OnRecord(uint32_t slot, const VisitedRecord& record) = 0;
    // After a record whose nextRecord is a sound link.
    virtual void OnLinkFollowed() = 0;
    // The end of the chain of `slot`; the walker's LastRecord and LastNext tell
    // where it ended.
    virtual void OnChainEnd(uint32_t slot, ChainEnd end) = 0;
};

// Tells two visitors of one pass the same, the first first; the pass stops where
// the first stops it.
class BothVisitors final : public ChainVisitor {
  public:
    BothVisitors(ChainVisitor& first, ChainVisitor& second) : m_first(first), m_second(second) {}
    bool OnRecord(uint32_t slot, const VisitedRecord& record) override {
        const bool goes = m_first.OnRecord(slot, record);
        m_second.OnRecord(slot, record);
        return goes;
    }
    void OnLinkFollowed() override {
        m_first.OnLinkFollowed();
        m_second.OnLinkFollowed();
    }
    void OnChainEnd(uint32_t slot, ChainEnd end) override {
        m_first.OnChainEnd(slot, end);
        m_second.OnChainEnd(slot, end);
    }

  private:
    ChainVisitor& m_first;
    ChainVisitor& m_second;
};

// Walks the chain of every slot of `book` in ascending order with `walker`, which
// then holds the marks of the whole walk. Gives false when the visitor stopped
// the pass (the chain it stopped in then counts as passed in full). A record that
// cannot be read raises the fatal error of `book`, as its walk on the calling
// thread would.
bool RunChainPass(BookReader& book, ChainWalker& walker, ChainVisitor& visitor,
                  RecordDigests digests, Threads threads);

}  // namespace plinth
