#pragma once

// The writer: builds a new book from the entries handed to it. Every chain is
// held in memory as a list of records until the write-out, so that each chain
// can be laid down in consecutive records, the chains in slot order.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "book/BookFormat.h"
#include "book/Console.h"
#include "book/FileSystem.h"
#include "book/RecordArena.h"

namespace plinth {

// The warning of the copy for a damaged entry: cut at the record's end, or with
// moves left out for their equal move codes.
inline constexpr const char* kIgnoringMovesWarning = "Warning, corrupt record, ignoring moves\n";

// Calls `onEntry(entry, size)` for every entry of `record`, a chain record of a
// book of `kind`, with the size of the entry as a new book takes it (CopyEntry).
// An entry that runs past the record's end, and one with moves left out for
// their equal move codes, first get a warning each in the console. `onEntry`
// gives false to stop.
template <typename OnEntry>
void ForEachCopiedEntry(std::span<const uint8_t> record, BookKind kind, IConsole& console,
                        OnEntry&& onEntry) {
    bool going = true;
    WalkEntries(record, kind, [&](const EntryExtent& entry) {
        if (!going) {
            return;
        }
        // The cut and the moves with equal codes are damage; the copy mends both.
        if (entry.cut) {
            console.AppendText(kIgnoringMovesWarning);
        }
        if (entry.equalCodeMoves != 0) {
            console.AppendText(kIgnoringMovesWarning);
        }
        going = onEntry(entry, CopiedEntrySize(entry, kind));
    });
}

// What a conversion hands the positions it takes to: the writer of the new book,
// or what predicts the new book without writing it.
class PositionSink {
  public:
    virtual ~PositionSink() = default;

    // Places every entry of `record`, a chain record of a book of `kind`, into the
    // chain of its slot, as ForEachCopiedEntry gives them. Gives EntryTooLong,
    // placing nothing more, for an entry that no record of the new size can hold,
    // and OutOfMemory (with its message written) when the new book cannot grow.
    enum class PlaceOutcome { Placed, EntryTooLong, OutOfMemory };
    struct PlaceResult {
        PlaceOutcome outcome = PlaceOutcome::Placed;
        size_t entrySize = 0;  // the size of the entry that does not fit
        size_t placed = 0;     // entries placed
    };
    virtual PlaceResult AddRecordPositions(std::span<const uint8_t> record, BookKind kind) = 0;
};

// A sink that needs no more of a record than its digest (DigestRecord), which the
// threads of a pass over the chains can make.
class DigestSink : public PositionSink {
  public:
    // Places the entries of a record as its digest gives them, with the warnings
    // of ForEachCopiedEntry, as AddRecordPositions does.
    virtual PlaceResult AddDigestedPositions(std::span<const DigestedEntry> entries) = 0;

    PlaceResult AddRecordPositions(std::span<const uint8_t> record, BookKind kind) final {
        m_entries.clear();
        DigestRecord(record, kind, m_entries);
        return AddDigestedPositions(m_entries);
    }

  private:
    std::vector<DigestedEntry> m_entries;
};

class BookWriter final : public PositionSink {
  public:
    // A new book of `recordSize`-byte records and `hashIndexSize` slots, of the
    // kind, attributes and word36 of `input`, the header of the book it is made
    // from, with the comment of `commentRecord`, that book's comment record.
    BookWriter(IConsole& console, IFileSystem& files, const BookHeader& input,
               std::span<const uint8_t> commentRecord, uint32_t recordSize, uint32_t hashIndexSize);
    BookWriter(const BookWriter&) = delete;
    BookWriter& operator=(const BookWriter&) = delete;
    ~BookWriter() override;

    const std::string& OutputPath() const { return m_strOutputPath; }
    // Whether CreateOutputBook created the file at OutputPath().
    bool OutputCreated() const { return m_outputCreated; }

    // Creates the file at `path` with the header, the comment and an empty
    // HashIndex. Gives false, the reason written to the console, when the file
    // cannot be created.
    bool CreateOutputBook(const std::string& path);

    PlaceResult AddRecordPositions(std::span<const uint8_t> record, BookKind kind) override;

    // Writes all chains as consecutive records, then the header and the HashIndex,
    // and prints the chain statistics. Gives Failed when a write failed or the
    // book became full: the output file is then no complete book.
    enum class WriteOutcome { Complete, Failed };
    WriteOutcome WriteOutputBook();

    // Flushes the output book to the disk; 0 or the errno of the failure.
    int SyncOutputBook();
    void CloseOutputBook() { m_output.Close(); }

  private:
    // One chain of the new book: its records in order, and how they are filled.
    struct OutputChain {
        std::vector<uint8_t*> records;
        ChainFill fill;
    };
    // Where the write-out stands.
    struct WriteOutState {
        uint32_t total = 0;  // records to write
        uint32_t written = 0;
        int longest = 0;
        int shortest = 65535;
        bool writing = true;
    };

    void PrintLog(const char* format, ...) PLINTH_PRINTF_FORMAT(2, 3);
    // False when memory for a new record ran out.
    bool PlaceEntry(std::span<const uint8_t> record, const EntryExtent& entry, BookKind kind,
                    size_t size);
    void WriteOutputChain(uint32_t slot, WriteOutState& state);
    // Writes `length` bytes at the start of output record `number`; false after a
    // reported failure.
    bool WriteOutputRecord(uint16_t number, const uint8_t* bytes, size_t length);
    // Chain records are written in batches of consecutive records.
    bool QueueOutputRecord(uint16_t number, const uint8_t* record);
    bool FlushOutputBatch();

    IConsole& m_console;
    IFileSystem& m_files;
    std::string m_strOutputPath;
    FileDescriptor m_output;
    BookHeader m_outputHeader;
    std::vector<uint8_t> m_commentRecord;           // record 1 of the new book
    std::vector<uint8_t> m_outputHashIndex;         // the HashIndex records of the new book
    std::vector<OutputChain> m_chains;              // one per slot of the new HashIndex
    uint32_t m_records = 0;                         // chain records held
    RecordArena m_arena;                            // the memory of the chain records
    std::vector<std::span<const uint8_t>> m_batch;  // records waiting to be written...
    uint16_t m_batchFirst = 0;                      // ...from this record on
    bool m_outputCreated = false;
    // A write of the creation or the write-out failed: the output is no book.
    bool m_outputFailed = false;
};

}  // namespace plinth
