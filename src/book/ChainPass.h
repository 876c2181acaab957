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

// How many threads a pass may use: one, or as many as the processor has (the
// results are the same).
enum class Threads { One, All };

// Whether a pass over the book of `header` that may use `threads` takes a second
// thread: on a processor that has more than one core, for books of 4 MiB and more.
bool WorthASecondThread(const BookHeader& header, Threads threads);

// What the pass hands the caller of each record: its digest (the record check's
// verdict and its entries), or the verdict alone, which the pass's threads can
// make; or nothing, the caller reading the record in the record area of the
// book, which keeps the pass on the calling thread.
enum class RecordDigests { Entries, Verdicts, NotNeeded };

class ChainVisitor {
  public:
    virtual ~ChainVisitor() = default;
    // A record of the chain of `slot`; `sound` and `entries` are its digest (none
    // when only verdicts are asked for; false and none when digests are not
    // needed). False stops the pass.
    virtual bool OnRecord(uint32_t slot, uint16_t record, bool sound,
                          std::span<const DigestedEntry> entries) = 0;
    // After a record whose nextRecord is a sound link.
    virtual void OnLinkFollowed() = 0;
    // The end of the chain of `slot`; the walker's LastRecord and LastNext tell
    // where it ended.
    virtual void OnChainEnd(uint32_t slot, ChainEnd end) = 0;
};

// Walks the chain of every slot of `book` in ascending order with `walker`, which
// then holds the marks of the whole walk. Gives false when the visitor stopped
// the pass (the chain it stopped in then counts as passed in full). A record that
// cannot be read raises the fatal error of `book`, as its walk on the calling
// thread would.
bool RunChainPass(BookReader& book, ChainWalker& walker, ChainVisitor& visitor,
                  RecordDigests digests, Threads threads);

}  // namespace plinth
