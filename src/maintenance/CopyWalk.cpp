#include "maintenance/CopyWalk.h"

#include <algorithm>
#include <vector>

namespace plinth {
namespace {

// A position's key: its keyWord and its hashKey.
uint64_t KeyOf(std::span<const uint8_t> record, const EntryExtent& entry) {
    return (uint64_t{DecodeU16(&record[entry.offset + layout::kKeyWord])} << 32) |
           DecodeU32(&record[entry.offset + layout::kHashKey]);
}

}  // namespace

CopyWalk::CopyWalk(BookReader& book, PositionSink& sink, IConsole& messages, int recordSize)
    : m_book(book),
      m_sink(sink),
      m_messages(messages),
      m_recordSize(recordSize),
      m_ownWalker(std::make_unique<ChainWalker>(book)),
      m_walker(*m_ownWalker) {}

CopyWalk::CopyWalk(BookReader& book, DigestSink& sink, IConsole& messages, int recordSize,
                   Threads threads)
    : CopyWalk(book, static_cast<PositionSink&>(sink), messages, recordSize) {
    m_digestSink = &sink;
    m_threads = threads;
}

CopyWalk::CopyWalk(BookReader& book, DigestSink& sink, IConsole& messages, int recordSize,
                   ChainWalker& walker)
    : m_book(book),
      m_sink(sink),
      m_digestSink(&sink),
      m_messages(messages),
      m_recordSize(recordSize),
      m_walker(walker) {}

CopyWalk::~CopyWalk() = default;

bool CopyWalk::Run(Progress progress) { return CopyChains(progress) && RecoverAfterChains(); }

bool CopyWalk::RecoverAfterChains() { return !m_stopped && RecoverUnreachedRecords(); }

bool CopyWalk::CopyChains(Progress progress) {
    m_progress = progress;
    const RecordDigests digests =
        m_digestSink != nullptr ? RecordDigests::Entries : RecordDigests::NotNeeded;
    return RunChainPass(m_book, m_walker, *this, digests, m_threads);
}

bool CopyWalk::OnRecord(uint32_t /*slot*/, uint16_t record, bool /*sound*/,
                        std::span<const DigestedEntry> entries) {
    if (m_stopped) {
        return false;  // a chain walked by another goes on
    }
    const PositionSink::PlaceResult placed =
        m_digestSink != nullptr
            ? m_digestSink->AddDigestedPositions(entries)
            : m_sink.AddRecordPositions(m_book.RecordArea(), m_book.InputKind());
    m_stopped = !Took(record, placed).has_value();
    return !m_stopped;
}

void CopyWalk::OnLinkFollowed() {
    ++m_visited;
    const uint32_t percent = m_visited * 50 / m_book.InputHeader().recordCount;
    if (m_progress == Progress::Shown && percent % 10 == 0) {
        m_book.Console().SetProgress(static_cast<int>(percent));
    }
}

void CopyWalk::OnChainEnd(uint32_t slot, ChainEnd end) {
    m_walker.ReportEnd(m_messages, slot, end);
}

bool CopyWalk::RecoverUnreachedRecords() {
    const BookKind kind = m_book.InputKind();
    struct SoundRecord {
        uint16_t number;
        size_t entriesEnd;  // the end of its entries' places in `keys`
    };
    std::vector<SoundRecord> sound;
    std::vector<std::pair<uint64_t, size_t>> keys;  // of their entries, with their place
    int unsound = 0;
    m_walker.ForEachUnreachedRecord([&](uint16_t number) {
        const std::span<const uint8_t> record = m_book.RecordArea();
        if (!IsRecoverableRecord(record, kind, m_book.InputHeader().hashMask)) {
            ++unsound;
            return true;
        }
        WalkEntries(record, kind, [&](const EntryExtent& entry) {
            keys.emplace_back(KeyOf(record, entry), keys.size());
        });
        sound.push_back({number, keys.size()});
        return true;
    });
    const std::vector<bool> duplicate = Duplicates(std::move(keys));
    bool fits = true;
    int positions = 0;
    int records = 0;
    int duplicates = 0;
    size_t entry = 0;
    for (const SoundRecord& recovered : sound) {
        const uint16_t number = recovered.number;
        const size_t end = recovered.entriesEnd;
        // The record's entries that are kept, one after the other, in a record of
        // its own.
        m_book.ReadRecord(number);
        const std::span<const uint8_t> record = m_book.RecordArea();
        std::vector<uint8_t> kept(record.size(), 0);
        size_t used = layout::kFirstEntry;
        bool changed = false;
        WalkEntries(record, kind, [&](const EntryExtent& extent) {
            if (entry == end) {
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
        if (changed || entry != end) {
            // The record no longer holds the entries found in it before.
            m_book.FatalError("**Error** The book changed while it was being read\n");
        }
        const std::optional<PositionSink::PlaceResult> placed =
            Took(number, m_sink.AddRecordPositions(kept, kind));
        if (!placed) {
            fits = false;
            break;
        }
        positions += static_cast<int>(placed->placed);
        records += placed->placed != 0 ? 1 : 0;
    }
    if (positions != 0) {
        PrintLog(m_messages, "Recovered %d positions from %d records that no chain reaches\n",
                 positions, records);
    }
    if (unsound != 0) {
        PrintLog(m_messages,
                 "Left out %d records that no chain reaches: they fail the record check or mix "
                 "slots\n",
                 unsound);
    }
    if (duplicates != 0) {
        PrintLog(m_messages, "Left out %d positions already in the book\n", duplicates);
    }
    return fits;
}

std::vector<bool> CopyWalk::Duplicates(std::vector<std::pair<uint64_t, size_t>> keys) {
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
            for (auto it = std::lower_bound(keys.begin(), keys.end(), std::pair{key, size_t{0}});
                 it != keys.end() && it->first == key; ++it) {
                duplicate[it->second] = true;
            }
        });
    }
    return duplicate;
}

std::optional<PositionSink::PlaceResult> CopyWalk::Took(uint16_t number,
                                                        const PositionSink::PlaceResult& placed) {
    if (placed.outcome == PositionSink::PlaceOutcome::Failed) {
        return std::nullopt;  // the sink has said so
    }
    if (placed.outcome == PositionSink::PlaceOutcome::EntryTooLong) {
        PrintLog(m_messages,
                 "**Error** A position of record #%d takes %d bytes, more than a record of %d "
                 "bytes holds. Choose a larger record size\n",
                 int{number}, static_cast<int>(placed.entrySize), m_recordSize);
        return std::nullopt;
    }
    return placed;
}

}  // namespace plinth
