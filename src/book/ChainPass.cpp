#include "book/ChainPass.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "book/StoppableFileSystem.h"

namespace plinth {
namespace {

// The records a run of slots holds on average, the runs walked ahead of the
// calling thread, and the entries a run may hold before its worker leaves it to
// the calling thread: together they bound the memory of the pass.
constexpr uint64_t kRunBytes = uint64_t{1} << 20;
constexpr size_t kRunsAhead = 4;
constexpr size_t kMostRunEntries = size_t{1} << 17;
constexpr unsigned kMostWorkers = 4;
// Below this size a pass is over before a thread pays for its start.
constexpr uint64_t kSmallestBook = uint64_t{4} << 20;

struct WalkedChain {
    ChainEnd end = ChainEnd::Empty;
    uint16_t lastRecord = 0;
    uint16_t lastNext = 0;
    uint32_t records = 0;  // the run's records it passed, after those of the chain before
};

struct WalkedRecord {
    uint32_t firstEntry = 0;  // in the run's entries
    uint32_t entryCount = 0;
    bool sound = false;
    RecordContents contents;
};

// The digest of `record` that `digests` asks for: appends its entries to
// `entries` when they are asked for, tells what it holds in `contents`, and
// gives the record check's verdict.
bool Digest(std::span<const uint8_t> record, BookKind kind, RecordDigests digests,
            std::vector<DigestedEntry>& entries, RecordContents& contents) {
    contents = {HoldsPositions(record), 0, 0};
    const auto count = [&contents](const EntryExtent& entry) {
        ++contents.positions;
        contents.moves += static_cast<uint32_t>(entry.moveCount);
    };
    if (digests == RecordDigests::Verdicts) {
        return CheckEntries(record, kind, count);
    }
    const size_t first = entries.size();
    const bool sound = DigestRecord(record, kind, entries);
    for (size_t i = first; i < entries.size(); ++i) {
        ++contents.positions;
        contents.moves += entries[i].moveCount;
    }
    return sound;
}

// A run of consecutive slots, as a worker walked it.
struct Run {
    enum class State { Free, Walking, Walked, GivenUp };
    State state = State::Free;
    std::vector<WalkedChain> chains;
    std::vector<uint16_t> records;
    std::vector<WalkedRecord> digests;  // of the records, in their order
    std::vector<DigestedEntry> entries;
};

// The walk on the calling thread: the walker that keeps the marks of the pass,
// and the visitor, told of each chain in slot order.
class CallingThreadWalk {
  public:
    CallingThreadWalk(BookReader& book, ChainWalker& walker, ChainVisitor& visitor,
                      RecordDigests digests)
        : m_book(book), m_walker(walker), m_visitor(visitor), m_digests(digests) {}

    // Walks the chains of the slots from `first` to before `end`; false when the
    // visitor stopped.
    bool Walk(uint32_t first, uint32_t end) {
        for (uint32_t slot = first; slot < end; ++slot) {
            const ChainEnd chainEnd = m_walker.Walk(
                slot, [&](uint16_t record) { return Visit(slot, record); },
                [this]() { m_visitor.OnLinkFollowed(); });
            if (chainEnd == ChainEnd::Stopped) {
                return false;
            }
            m_visitor.OnChainEnd(slot, chainEnd);
        }
        return true;
    }

    // Takes over the chains of `run`, whose first slot is `first`, as long as
    // they went as this walk would; gives the slot of the first chain not taken,
    // or nothing when the visitor stopped.
    std::optional<uint32_t> Adopt(const Run& run, uint32_t first) {
        uint32_t slot = first;
        size_t next = 0;  // the run's first record of the chain of `slot`
        for (const WalkedChain& chain : run.chains) {
            const auto records = std::span(run.records).subspan(next, chain.records);
            if (!m_walker.Adopt(records, chain.end, chain.lastRecord, chain.lastNext)) {
                break;
            }
            for (size_t i = 0; i < records.size(); ++i) {
                const WalkedRecord& digest = run.digests[next + i];
                const VisitedRecord record{
                    records[i],
                    digest.sound,
                    digest.contents,
                    std::span(run.entries).subspan(digest.firstEntry, digest.entryCount),
                    {}};
                if (!m_visitor.OnRecord(slot, record)) {
                    return std::nullopt;
                }
                if (i + 1 < records.size() || chain.end == ChainEnd::Complete) {
                    m_visitor.OnLinkFollowed();
                }
            }
            m_visitor.OnChainEnd(slot, chain.end);
            next += records.size();
            ++slot;
        }
        return slot;
    }

  private:
    bool Visit(uint32_t slot, uint16_t record) {
        m_entries.clear();
        const std::span<const uint8_t> bytes = m_book.RecordArea();
        RecordContents contents;
        const bool sound = Digest(bytes, m_book.InputKind(), m_digests, m_entries, contents);
        return m_visitor.OnRecord(slot, {record, sound, contents, m_entries, bytes});
    }

    BookReader& m_book;
    ChainWalker& m_walker;
    ChainVisitor& m_visitor;
    RecordDigests m_digests;
    std::vector<DigestedEntry> m_entries;
};

// The worker threads and the runs they walk ahead of the calling thread. A
// worker reads the book with a reader of its own; whatever goes wrong in a
// worker only leaves its run to the calling thread.
class Workers {
  public:
    Workers(const BookReader& book, RecordDigests digests, Threads threads, uint32_t slotsPerRun,
            size_t runCount)
        : m_book(book), m_digests(digests), m_slotsPerRun(slotsPerRun), m_runCount(runCount) {
        const unsigned count =
            std::clamp(threads == Threads::All ? std::thread::hardware_concurrency()
                                               : static_cast<unsigned>(threads),
                       1U, kMostWorkers);
        try {
            for (unsigned i = 0; i < count; ++i) {
                m_threads.emplace_back([this](const std::stop_token& stop) { Work(stop); });
            }
        } catch (const std::system_error&) {
            // Fewer workers, or none: the calling thread walks what they do not.
        }
    }
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // The walk of run `index` by a worker, to be released after use; nothing
    // when no worker walked it and it is the calling thread's to walk. Runs are
    // taken in ascending order.
    const Run* Take(size_t index) {
        std::unique_lock lock(m_mutex);
        if (m_nextRun == index) {
            ++m_nextRun;  // no worker took it: the calling thread walks it
            return nullptr;
        }
        const Run& run = m_runs[index % kRunsAhead];
        m_changed.wait(lock, [&run] { return run.state != Run::State::Walking; });
        return run.state == Run::State::Walked ? &run : nullptr;
    }

    // Frees the place of run `index` for a run further on.
    void Release(size_t index) {
        {
            const std::scoped_lock lock(m_mutex);
            m_runs[index % kRunsAhead].state = Run::State::Free;
            m_released = index + 1;
        }
        m_changed.notify_all();
    }

  private:
    void Work(const std::stop_token& stop) {
        try {
            WalkRuns(stop);
        } catch (const std::exception&) {
            // A book that does not open here, or no memory for a reader or a
            // walker: the runs this worker did not take are walked by the others
            // and the calling thread.
        }
    }

    void WalkRuns(const std::stop_token& stop) {
        SilentConsole quiet;
        StoppableFileSystem files(m_book.Files(), stop);
        BookReader reader(quiet, files);
        reader.OpenInputBook(m_book.InputPath());
        if (reader.InputHeader().recordSize != m_book.InputHeader().recordSize) {
            reader.ReadAsRecordsOf(m_book.InputHeader().recordSize);  // as the book is read
        }
        // A book whose header or size changed since the calling thread opened it
        // is left to that thread, so that one view of the file is walked.
        if (!(reader.InputHeader() == m_book.InputHeader()) ||
            reader.FileSize() != m_book.FileSize()) {
            return;
        }
        ChainWalker walker(reader);
        while (const std::optional<size_t> index = Claim(stop)) {
            Run& run = m_runs[*index % kRunsAhead];
            bool walked = false;
            try {
                walked = WalkRun(reader, walker, *index, run, stop);
            } catch (const std::exception&) {
                // Unreadable here, out of memory, or the pass given up: the
                // calling thread walks the run, and meets the fault itself.
            }
            {
                const std::scoped_lock lock(m_mutex);
                run.state = walked ? Run::State::Walked : Run::State::GivenUp;
            }
            m_changed.notify_all();
        }
    }

    // The next run to walk, once its place is free; nothing when there is none
    // left or the pass is given up.
    std::optional<size_t> Claim(const std::stop_token& stop) {
        std::unique_lock lock(m_mutex);
        const bool go = m_changed.wait(lock, stop, [this] {
            return m_nextRun >= m_runCount || m_nextRun < m_released + kRunsAhead;
        });
        if (!go || m_nextRun >= m_runCount) {
            return std::nullopt;
        }
        m_runs[m_nextRun % kRunsAhead].state = Run::State::Walking;
        return m_nextRun++;
    }

    // Walks the chains of run `index` into `run`; false when it is left to the
    // calling thread: a slot that the worker's reader sees otherwise, too many
    // entries to hold, or the pass given up.
    bool WalkRun(const BookReader& reader, ChainWalker& walker, size_t index, Run& run,
                 const std::stop_token& stop) const {
        run.chains.clear();
        run.records.clear();
        run.digests.clear();
        run.entries.clear();
        const auto first = static_cast<uint32_t>(index * m_slotsPerRun);
        const uint32_t end =
            std::min<uint32_t>(first + m_slotsPerRun, m_book.InputHeader().hashIndexSize);
        const BookKind kind = reader.InputKind();
        for (uint32_t slot = first; slot < end; ++slot) {
            if (reader.HashIndexSlot(slot) != m_book.HashIndexSlot(slot)) {
                return false;
            }
            const size_t before = run.records.size();
            const ChainEnd chainEnd = walker.Walk(
                slot,
                [&](uint16_t record) {
                    const auto firstEntry = static_cast<uint32_t>(run.entries.size());
                    RecordContents contents;
                    const bool sound =
                        Digest(reader.RecordArea(), kind, m_digests, run.entries, contents);
                    run.records.push_back(record);
                    run.digests.push_back({firstEntry,
                                           static_cast<uint32_t>(run.entries.size()) - firstEntry,
                                           sound, contents});
                    return run.entries.size() <= kMostRunEntries && !stop.stop_requested();
                },
                [] {});
            if (chainEnd == ChainEnd::Stopped) {
                return false;
            }
            run.chains.push_back({chainEnd, walker.LastRecord(), walker.LastNext(),
                                  static_cast<uint32_t>(run.records.size() - before)});
        }
        return true;
    }

    const BookReader& m_book;
    const RecordDigests m_digests;
    const uint32_t m_slotsPerRun;
    const size_t m_runCount;
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::array<Run, kRunsAhead> m_runs;
    size_t m_nextRun = 0;                 // the first run no thread took
    size_t m_released = 0;                // runs the calling thread is done with
    std::vector<std::jthread> m_threads;  // last: stopped and joined first
};

bool RunOnWorkers(BookReader& book, RecordDigests digests, Threads threads,
                  CallingThreadWalk& here) {
    const BookHeader& header = book.InputHeader();
    const uint32_t slots = header.hashIndexSize;
    const uint64_t bookBytes = RecordOffset(header.recordCount, header.recordSize);
    const auto slotsPerRun =
        static_cast<uint32_t>(std::clamp<uint64_t>(slots * kRunBytes / bookBytes, 1, slots));
    const size_t runCount = (size_t{slots} + slotsPerRun - 1) / slotsPerRun;
    Workers workers(book, digests, threads, slotsPerRun, runCount);
    for (size_t index = 0; index < runCount; ++index) {
        const auto first = static_cast<uint32_t>(index * slotsPerRun);
        const uint32_t end = std::min(first + slotsPerRun, slots);
        uint32_t from = first;
        if (const Run* run = workers.Take(index)) {
            const std::optional<uint32_t> next = here.Adopt(*run, first);
            if (!next) {
                return false;
            }
            from = *next;
        }
        workers.Release(index);
        if (!here.Walk(from, end)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool WorthASecondThread(const BookHeader& header, Threads threads) {
    return threads != Threads::One &&
           (threads != Threads::All || std::thread::hardware_concurrency() > 1) &&
           RecordOffset(header.recordCount, header.recordSize) >= kSmallestBook;
}

bool RunChainPass(BookReader& book, ChainWalker& walker, ChainVisitor& visitor,
                  RecordDigests digests, Threads threads) {
    CallingThreadWalk here(book, walker, visitor, digests);
    if (book.FileSize() >= kSmallestBook) {
        book.WillReadAllRecords();
    }
    if (!WorthASecondThread(book.InputHeader(), threads) || book.InputHeader().hashIndexSize == 0) {
        return here.Walk(0, book.InputHeader().hashIndexSize);
    }
    return RunOnWorkers(book, digests, threads, here);
}

}  // namespace plinth
