#pragma once

// The copy walk of a conversion and of its prediction: the positions of every
// record that the chains reach, then those of the sound records that none reaches.

// The writer of the new book and the count that predicts it are both sinks of
// the walk (PositionSink), so a conversion and its prediction follow one
// implementation of the walk, the recovery, the copy rules and the placing.

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "book/BookReader.h"
#include "book/BookWriter.h"
#include "book/ChainPass.h"
#include "book/ChainWalk.h"

namespace plinth {

// How a copy walk goes, besides where it puts the positions.
struct CopySettings {
    // The new record size, named when a position is too long for it.
    int recordSize = 0;
    // The part of the progress bar that the walk of the chains moves through;
    // none when the walk shows no progress.
    std::optional<ProgressRange> progress;
};

class CopyWalk final : private ChainVisitor {
  public:
    // The walk of the open `book`, whose chains `walker` walks, into `sink`; the
    // walk's findings, warnings and summary lines go to `messages`.
    CopyWalk(BookReader& book, ChainWalker& walker, PositionSink& sink, IConsole& messages,
             CopySettings settings);

    // What a pass over the chains with the entries' digests tells the walk
    // (RunChainPass with RecordDigests::Entries): every chain, in slot order.
    ChainVisitor& Visitor() { return *this; }

    // After the pass over the chains: recovers the positions of the sound records
    // that no chain reaches, every entry of such a record whose keyWord and
    // hashKey no position placed before has. Gives false when a position did not
    // fit a record of the new size, or the sink could take no more (the message
    // is written), in the chains or here. A record that cannot be read raises the
    // fatal error of the book.
    bool RecoverUnreachedRecords();

    // The records that the walk met holding something that looks like a
    // position (their first keyWord is not 0), in the chains and, once the
    // recovery has run, past them, up to the end of the file.
    uint32_t RecordsHoldingPositions() const { return m_recordsHoldingPositions; }

  private:
    // A sound record that no chain reaches, and the end of its entries' keys
    // among those of all such records.
    struct UnreachedRecord {
        uint16_t number = 0;
        size_t keysEnd = 0;
    };
    // A position's key (keyWord and hashKey) and its place among the keys.
    using Key = std::pair<uint64_t, size_t>;

    bool OnRecord(uint32_t slot, const VisitedRecord& record) override;
    void OnLinkFollowed() override;
    void OnChainEnd(uint32_t slot, ChainEnd end) override;
    // The sound records that no chain reaches, with the keys of their entries;
    // counts the others in `unsound`.
    std::vector<UnreachedRecord> FindUnreachedRecords(std::vector<Key>& keys, int& unsound);
    // Which of the keys, by their places, a position placed before already has.
    std::vector<bool> Duplicates(std::vector<Key> keys);
    // The entries of `record` that are kept, from its place `entry` among the
    // keys on, one after the other in a record of its own; counts the entries
    // left out in `duplicates`. Raises the fatal error where the record no
    // longer holds the entries it held when it was found.
    std::vector<uint8_t> KeptEntries(const UnreachedRecord& record,
                                     const std::vector<bool>& duplicate, size_t& entry,
                                     int& duplicates);
    // Whether the walk goes on after the sink took the positions of record
    // `number`; where not, the message is written.
    bool GoesOnAfter(uint16_t number, const PositionSink::PlaceResult& placed);

    BookReader& m_book;
    ChainWalker& m_walker;
    PositionSink& m_sink;
    IConsole& m_messages;
    CopySettings m_settings;
    uint32_t m_visited = 0;
    uint32_t m_recordsHoldingPositions = 0;
    bool m_stopped = false;  // a position was too long, or the sink full
};

// The copy walk on its own: a pass over every chain of `book` into `sink`, then
// the recovery, all on the calling thread, which hands the sink the bytes of
// every record. Gives false as RecoverUnreachedRecords does.
bool CopyChains(BookReader& book, PositionSink& sink, IConsole& messages,
                const CopySettings& settings);

}  // namespace plinth
