#pragma once

// The copy walk of a conversion: every chain of the open book, the positions of
// each record it reaches handed to a sink, then the positions of the records
// that no chain reaches. The writer of the new book and the prediction of it are
// both sinks, so a conversion and its prediction follow one implementation of
// the walk, the recovery, the copy rules and the placing.

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "book/BookReader.h"
#include "book/BookWriter.h"
#include "book/ChainWalk.h"

namespace plinth {

class CopyWalk {
  public:
    // `messages` receives the walk's findings, warnings and summary lines;
    // `recordSize` is the new record size, named when a position is too long for
    // it. A record that cannot be read raises the fatal error of `book`.
    CopyWalk(BookReader& book, PositionSink& sink, IConsole& messages, int recordSize);

    enum class Progress { Shown, Hidden };
    // Walks every chain (progress 0 to 50 when shown), then recovers the positions
    // of the sound records that no chain reaches: every entry of such a record
    // whose keyWord and hashKey no position placed before has. Gives false when a
    // position does not fit a record of the new size, or the sink cannot take
    // more (the message is written).
    bool Run(Progress progress);

  private:
    bool CopyChains(Progress progress);
    bool RecoverUnreachedRecords();
    // Which of the recovery's entries, given by their keys (keyWord and hashKey)
    // and their places in the recovery, a position placed before already has.
    std::vector<bool> Duplicates(std::vector<std::pair<uint64_t, size_t>> keys);
    // Hands `record` to the sink; nothing when a position is too long.
    std::optional<PositionSink::PlaceResult> Take(uint16_t number, std::span<const uint8_t> record);

    BookReader& m_book;
    PositionSink& m_sink;
    IConsole& m_messages;
    int m_recordSize;
    ChainWalker m_walker;
};

}  // namespace plinth
