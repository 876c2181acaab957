#pragma once

// The copy walk of a conversion: every chain of the open book, the positions of
// each record it reaches handed to a sink, then the positions of the records
// that no chain reaches. The writer of the new book and the prediction of it are
// both sinks, so a conversion and its prediction follow one implementation of
// the walk, the recovery, the copy rules and the placing.

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "book/BookReader.h"
#include "book/BookWriter.h"
#include "book/ChainPass.h"
#include "book/ChainWalk.h"

namespace plinth {

class CopyWalk final : private ChainVisitor {
  public:
    // `messages` receives the walk's findings, warnings and summary lines;
    // `recordSize` is the new record size, named when a position is too long for
    // it. A record that cannot be read raises the fatal error of `book`.
    CopyWalk(BookReader& book, PositionSink& sink, IConsole& messages, int recordSize);
    // The same for a sink that takes digests: the chains may then be read on
    // `threads`.
    CopyWalk(BookReader& book, DigestSink& sink, IConsole& messages, int recordSize,
             Threads threads);
    // The same for chains that another pass walks with `walker`, telling Visitor()
    // of them as RunChainPass does; RecoverAfterChains then does the rest of Run.
    CopyWalk(BookReader& book, DigestSink& sink, IConsole& messages, int recordSize,
             ChainWalker& walker);
    CopyWalk(const CopyWalk&) = delete;
    CopyWalk& operator=(const CopyWalk&) = delete;
    ~CopyWalk() override;

    ChainVisitor& Visitor() { return *this; }
    // After the pass over the chains: gives false when a position was too long
    // for the new record size; else recovers, as Run does.
    bool RecoverAfterChains();

    enum class Progress { Shown, Hidden };
    // Walks every chain (progress 0 to 50 when shown), then recovers the positions
    // of the sound records that no chain reaches: every entry of such a record
    // whose keyWord and hashKey no position placed before has. Gives false when a
    // position does not fit a record of the new size, or the sink cannot take
    // more (the message is written).
    bool Run(Progress progress);

  private:
    bool CopyChains(Progress progress);
    bool OnRecord(uint32_t slot, uint16_t record, bool sound,
                  std::span<const DigestedEntry> entries) override;
    void OnLinkFollowed() override;
    void OnChainEnd(uint32_t slot, ChainEnd end) override;
    bool RecoverUnreachedRecords();
    // Which of the recovery's entries, given by their keys (keyWord and hashKey)
    // and their places in the recovery, a position placed before already has.
    std::vector<bool> Duplicates(std::vector<std::pair<uint64_t, size_t>> keys);
    // What the sink made of the positions of record `number`; nothing, with the
    // message written, when a position is too long or the sink is full.
    std::optional<PositionSink::PlaceResult> Took(uint16_t number,
                                                  const PositionSink::PlaceResult& placed);

    BookReader& m_book;
    PositionSink& m_sink;
    DigestSink* m_digestSink = nullptr;  // the same sink, when it takes digests
    Threads m_threads = Threads::One;
    IConsole& m_messages;
    int m_recordSize;
    std::unique_ptr<ChainWalker> m_ownWalker;  // unless the chains are walked by another
    ChainWalker& m_walker;
    Progress m_progress = Progress::Hidden;
    uint32_t m_visited = 0;
    bool m_stopped = false;  // a position was too long, or the sink full
};

}  // namespace plinth
