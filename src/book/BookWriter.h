#pragma once

// The writer: builds a new book from the entries handed to it. Each chain lies
// in consecutive records, the chains in slot order; the records each chain takes
// and how full the last is are known from the count made before
// (ConversionCount), so every record has its place in the file from the start,
// and a chain is known to be complete when its last entry comes. The writer
// holds the record that each chain is filling and, up to 64 MiB, the records
// completed since the last write; a thread of their own writes those, in runs of
// consecutive records, while the next 64 MiB are filled.

#include <cstdint>
#include <future>
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

// Writes the warnings of the copy of `entry`, one for each kind of its damage.
inline void WarnOfDamage(IConsole& console, const DigestedEntry& entry) {
    for (uint16_t i = 0; i < entry.warnings; ++i) {
        console.AppendText(kIgnoringMovesWarning);
    }
}

// What a conversion hands the positions it takes to: the writer of the new book,
// or the count that predicts the new book without writing it.
class PositionSink {
  public:
    virtual ~PositionSink() = default;

    // Places the entries of one record of the old book into the chains of their
    // slots: `entries` as DigestRecord gives them, and `record`, the record
    // itself, which a sink that copies them needs (a walk on worker threads hands
    // over no bytes: the count of a prediction takes none). Writes the warnings of
    // each damaged entry first (WarnOfDamage). Gives EntryTooLong, placing
    // nothing more, for an entry that no record of the new size can hold, and
    // Failed (with its message written) when the new book cannot be made: memory
    // ran out, a write failed, or the book no longer matches its count.
    enum class PlaceOutcome { Placed, EntryTooLong, Failed };
    struct PlaceResult {
        PlaceOutcome outcome = PlaceOutcome::Placed;
        size_t entrySize = 0;  // the size of the entry that does not fit
        size_t placed = 0;     // entries placed
    };
    virtual PlaceResult AddRecordPositions(std::span<const uint8_t> record,
                                           std::span<const DigestedEntry> entries) = 0;
};

class BookWriter final : public PositionSink {
  public:
    // A new book of `recordSize`-byte records and `hashIndexSize` slots, of the
    // kind, attributes and word36 of `input`, the header of the book it is made
    // from, with the comment of `commentRecord`, that book's comment record.
    // `chains` gives the fill of each chain once it has all its entries, slot by
    // slot, as the count of the same entries found it.
    BookWriter(IConsole& console, IFileSystem& files, const BookHeader& input,
               std::span<const uint8_t> commentRecord, uint32_t recordSize, uint32_t hashIndexSize,
               std::vector<ChainFill> chains);
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
    // Gives the created book the permissions, owner and group of `book`, the book
    // it is to replace, as far as this user may.
    void TakeAccessOf(const std::string& book) { m_files.TakeAccessOf(m_output.Get(), book); }

    PlaceResult AddRecordPositions(std::span<const uint8_t> record,
                                   std::span<const DigestedEntry> entries) override;

    // Writes the records not yet written, then the header and the HashIndex, and
    // prints the chain statistics, moving the progress bar through `progress`.
    // Gives Failed when a write failed, the chains are too many records for a
    // book, or they are not the records they were counted to be: the output file
    // is then no complete book.
    enum class WriteOutcome { Complete, Failed };
    WriteOutcome WriteOutputBook(ProgressRange progress);

    // Flushes the output book to the disk; the failure, if any.
    FileError SyncOutputBook();
    void CloseOutputBook();

  private:
    // One chain of the new book: the record it is filling, and how it is filled.
    struct OutputChain {
        uint8_t* record = nullptr;
        ChainFill fill;
    };
    // A record that is complete, and its number in the new book.
    struct HeldRecord {
        uint32_t number = 0;
        uint8_t* bytes = nullptr;
    };

    // False, the reason written, when the new book cannot be made.
    bool PlaceEntry(std::span<const uint8_t> record, const DigestedEntry& entry);
    // Holds the filled record of `slot`'s chain, whose entries end at
    // `filledUsed`, and gives the chain a fresh one.
    bool StartChainRecord(uint32_t slot, OutputChain& chain, uint32_t filledUsed);
    // Holds the last record of `slot`'s chain, which has all its entries.
    bool CompleteChain(uint32_t slot, OutputChain& chain);
    // Links the `index`-th record of `slot`'s chain, in `bytes` with its entries
    // ending at `used`, into its chain and holds it to be written; false after a
    // reported failure.
    bool HoldChainRecord(uint32_t slot, uint32_t index, uint8_t* bytes, uint32_t used);
    // Hands the held records to a thread that writes them at their places, once
    // the records handed to it before are written; false after a reported failure.
    bool WriteHeldRecords();
    // Waits until the records handed over are written and takes their memory
    // back; false after a reported failure.
    bool CollectWrittenRecords();
    // Writes `records`, sorted by number, one call per run of consecutive
    // records; false when a write failed.
    static bool WriteRecordRuns(IFileSystem& files, int fd, uint32_t recordSize,
                                std::span<const HeldRecord> records);
    // Reports that the chains are not the records they were counted to be: the
    // book changed since the count. Gives false.
    bool ReportChangedBook();
    // Writes `length` bytes at the start of output record `number`; false after a
    // reported failure.
    bool WriteOutputRecord(uint32_t number, const uint8_t* bytes, size_t length);

    IConsole& m_console;
    IFileSystem& m_files;
    std::string m_strOutputPath;
    FileDescriptor m_output;
    BookHeader m_outputHeader;
    std::vector<uint8_t> m_commentRecord;    // record 1 of the new book
    std::vector<uint8_t> m_outputHashIndex;  // the HashIndex records of the new book
    std::vector<ChainFill> m_counted;        // one per slot
    std::vector<uint32_t> m_firstRecords;    // the number of each chain's first record
    uint32_t m_records = 0;                  // of the new book, the chains' included
    std::vector<OutputChain> m_chains;       // one per slot of the new HashIndex
    RecordArena m_arena;                     // the memory of the records being filled
    std::vector<HeldRecord> m_held;          // complete, not yet handed over
    std::vector<HeldRecord> m_writing;       // handed over to be written...
    std::future<bool> m_written;             // ...and whether they were
    bool m_outputCreated = false;
    // A write failed, or the book does not match its count: the output is no book.
    bool m_outputFailed = false;
};

}  // namespace plinth
