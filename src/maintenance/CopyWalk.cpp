// The copy walk: the chains, the recovery of the records they do not reach, and
// the pass that runs them for a conversion.

#include "maintenance/CopyWalk.h"

#include <algorithm>

namespace plinth {
namespace {

// A position's key: its keyWord and its hashKey.
uint64_t KeyOf(std::span<const uint8_t> record, const EntryExtent& entry) {
    return (uint64_t{DecodeU16(&record[entry.offset + layout::kKeyWord])} << 32) |
           DecodeU32(&record[entry.offset + layout::kHashKey]);
}

}  // namespace

CopyWalk::CopyWalk(BookReader& book, ChainWalker& walker, PositionSink& sink, IConsole& messages,
                   CopySettings settings)
    : m_book(book), m_walker(walker), m_sink(sink), m_messages(messages), m_settings(settings) {}

bool CopyWalk::OnRecord(uint32_t /*slot*/, const VisitedRecord& record) {
    if (m_stopped) {
        return false;  // a chain walked by another goes on
    }
    m_recordsHoldingPositions += record.contents.holdsPositions ? 1 : 0;
    m_stopped =
        !GoesOnAfter(record.number, m_sink.AddRecordPositions(record.bytes, record.entries));
    return !m_stopped;
}

void CopyWalk::OnLinkFollowed() {
    ++m_visited;
    if (m_settings.progress) {
        m_settings.progress->Show(m_book.Console(), m_visited, m_book.InputHeader().recordCount);
    }
}

void CopyWalk::OnChainEnd(uint32_t slot, ChainEnd end) {
    m_walker.ReportEnd(m_messages, slot, end);
}

bool CopyWalk::RecoverUnreachedRecords() {
    if (m_stopped) {
        return false;
    }
    std::vector<Key> keys;
    int unsound = 0;
    const std::vector<UnreachedRecord> records = FindUnreachedRecords(keys, unsound);
    const std::vector<bool> duplicate = Duplicates(std::move(keys));
    std::vector<DigestedEntry> entries;
    int positions = 0;
    int recovered = 0;
    int duplicates = 0;
    size_t entry = 0;
    for (const UnreachedRecord& record : records) {
        const std::vector<uint8_t> kept = KeptEntries(record, duplicate, entry, duplicates);
        entries.clear();
        DigestRecord(kept, m_book.InputKind(), entries);
        const PositionSink::PlaceResult placed = m_sink.AddRecordPositions(kept, entries);
        if (!GoesOnAfter(record.number, placed)) {
            m_stopped = true;
            break;
        }
        positions += static_cast<int>(placed.placed);
        recovered += placed.placed != 0 ? 1 : 0;
    }
    if (positions != 0) {
        PrintLog(m_messages, "Recovered %d %s from %d %s that no chain reaches\n", positions,
                 positions == 1 ? "position" : "positions", recovered,
                 recovered == 1 ? "record" : "records");
    }
    if (unsound == 1) {
        PrintLog(m_messages,
                 "Left out 1 record that no chain reaches: it fails the record check or mixes "
                 "slots\n");
    } else if (unsound != 0) {
        PrintLog(m_messages,
                 "Left out %d records that no chain reaches: they fail the record check or mix "
                 "slots\n",
                 unsound);
    }
    if (duplicates != 0) {
        PrintLog(m_messages, "Left out %d %s already in the book\n", duplicates,
                 duplicates == 1 ? "position" : "positions");
    }
    return !m_stopped;
}

std::vector<CopyWalk::UnreachedRecord> CopyWalk::FindUnreachedRecords(std::vector<Key>& keys,
                                                                      int& unsound) {
    const BookKind kind = m_book.InputKind();
    std::vector<UnreachedRecord> records;
    m_walker.ForEachUnreachedRecord([&](uint16_t number) {
        ++m_recordsHoldingPositions;
        const std::span<const uint8_t> record = m_book.RecordArea();
        if (!IsRecoverableRecord(record, kind, m_book.InputHeader().hashMask)) {
            ++unsound;
            return true;
        }
        WalkEntries(record, kind, [&](const EntryExtent& entry) {
            keys.emplace_back(KeyOf(record, entry), keys.size());
        });
        records.push_back({number, keys.size()});
        return true;
    });
    return records;
}

std::vector<bool> CopyWalk::Duplicates(std::vector<Key> keys) {
    const BookKind kind = m_book.InputKind();
    std::vector<bool> duplicate(keys.size(), false);
    if (keys.empty()) {
        return duplicate;
    }
    // An entry is a duplicate when an earlier one of the recovery has its key...
    std::sort(keys.begin(), keys.end());
    for (size_t i = 1; i < keys.size(); ++i) {
        duplicate[keys[i].second] = keys[i].first == keys[i - 1].first;
    }
    // ...or a position that a chain took does.
    const uint32_t recordCount = m_book.InputHeader().recordCount;
    for (uint32_t number = 1; number < recordCount; ++number) {
        if (!m_walker.Passed(number)) {
            continue;
        }
        m_book.ReadRecord(static_cast<uint16_t>(number));
        const std::span<const uint8_t> record = m_book.RecordArea();
        WalkEntries(record, kind, [&](const EntryExtent& entry) {
            const uint64_t key = KeyOf(record, entry);
            for (auto it = std::lower_bound(keys.begin(), keys.end(), Key{key, 0});
                 it != keys.end() && it->first == key; ++it) {
                duplicate[it->second] = true;
            }
        });
    }
    return duplicate;
}

std::vector<uint8_t> CopyWalk::KeptEntries(const UnreachedRecord& unreached,
                                           const std::vector<bool>& duplicate, size_t& entry,
                                           int& duplicates) {
    m_book.ReadRecordInFile(unreached.number);
    const std::span<const uint8_t> record = m_book.RecordArea();
    std::vector<uint8_t> kept(record.size(), 0);
    size_t used = layout::kFirstEntry;
    bool changed = false;
    WalkEntries(record, m_book.InputKind(), [&](const EntryExtent& extent) {
        if (entry == unreached.keysEnd) {
            changed = true;  // more entries than before
            return;
        }
        if (duplicate[entry++]) {
            ++duplicates;
            return;
        }
        std::copy_n(record.begin() + static_cast<ptrdiff_t>(extent.offset), extent.size,
                    kept.begin() + static_cast<ptrdiff_t>(used));
        used += extent.size;
    });
    if (changed || entry != unreached.keysEnd) {
        // The record no longer holds the entries found in it before.
        m_book.FatalError("**Error** The book changed while it was being read\n");
    }
    return kept;
}

bool CopyWalk::GoesOnAfter(uint16_t number, const PositionSink::PlaceResult& placed) {
    if (placed.outcome == PositionSink::PlaceOutcome::EntryTooLong) {
        PrintLog(m_messages,
                 "**Error** A position of record #%d takes %d bytes, more than a record of %d "
                 "bytes holds. Choose a larger record size\n",
                 int{number}, static_cast<int>(placed.entrySize), m_settings.recordSize);
    }
    // A sink that failed has said so.
    return placed.outcome == PositionSink::PlaceOutcome::Placed;
}

bool CopyChains(BookReader& book, PositionSink& sink, IConsole& messages,
                const CopySettings& settings) {
    ChainWalker walker(book);
    CopyWalk walk(book, walker, sink, messages, settings);
    RunChainPass(book, walker, walk.Visitor(), RecordDigests::Entries, Threads::One);
    return walk.RecoverUnreachedRecords();
}

}  // namespace plinth
