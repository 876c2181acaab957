#pragma once

// The reader: opens a book file, checks that it is a book, keeps its header, its
// comment and its whole HashIndex in memory and reads single records on request.
// A failure it cannot go on from ends in FatalError.

#include <cstdint>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "book/AlignedBytes.h"
#include "book/BookAttributes.h"
#include "book/BookFormat.h"
#include "book/Console.h"
#include "book/FatalError.h"
#include "book/FileSystem.h"

namespace plinth {

class BookReader {
  public:
    explicit BookReader(IConsole& console, IFileSystem& files = SystemFileSystem());
    BookReader(const BookReader&) = delete;
    BookReader& operator=(const BookReader&) = delete;
    ~BookReader();

    IConsole& Console() const { return m_console; }
    IFileSystem& Files() const { return m_files; }

    // Formats the message, appends it to the console as plain text, closes the
    // book file and throws BookFatalError. What was read of the book stays known
    // (AttributeRows).
    [[noreturn]] void FatalError(const char* format, ...) PLINTH_PRINTF_FORMAT(2, 3);
    // The fatal error for memory that the work on the book could not have.
    [[noreturn]] void MemoryError();
    // Gives what `work` gives; memory that runs out in it raises MemoryError. For
    // the passes over the book, whose memory can grow with the book.
    template <typename Work>
    auto WithinMemory(Work&& work) -> decltype(work()) {
        try {
            return std::forward<Work>(work)();
        } catch (const std::bad_alloc&) {
            MemoryError();
        }
    }

    // Opens the book at `path` in place of the book that was open: opens the file,
    // checks that it is a book, loads its HashIndex and reads its comment, where
    // the comment record lies in the book (else the comment is empty). Raises the
    // fatal error on failure.
    void OpenInputBook(const std::string& path);
    // Reads the open book as a book of `recordSize`-byte records from here on,
    // whatever its header says: for a header whose record size is damaged.
    // InputHeader() then gives that size; HeaderRecordSize() keeps the header's.
    // Reloads the HashIndex; raises the fatal error when memory runs out.
    void ReadAsRecordsOf(uint16_t recordSize);
    // Reads record `number` (below recordCount) into the record area. Raises the
    // fatal error on failure.
    void ReadRecord(uint16_t number);
    // Reads record `number`, which the file holds in full, into the record area,
    // also past recordCount: for the records that no chain reaches. Raises the
    // fatal error on failure.
    void ReadRecordInFile(uint16_t number);
    // Tells the system, on a thread of its own, that every record of the open
    // book will be read soon, in whatever order its chains take, so that it reads
    // the file in file order ahead of the records asked for: a book whose chains
    // lie all over the file then costs no read from the disk per record. Once per
    // opened book.
    void WillReadAllRecords();
    // Closes the book file and forgets the book, all but its path.
    void CloseInputBook();

    bool IsInputOpen() const { return m_input.IsOpen(); }
    const std::string& InputPath() const { return m_strInputPath; }
    // The open book's descriptor, to compare it with the file at InputPath().
    int InputFile() const { return m_input.Get(); }
    const BookHeader& InputHeader() const { return m_inputHeader; }
    // The record size that the book's header gives, also while the book is read
    // as records of another size (ReadAsRecordsOf).
    uint16_t HeaderRecordSize() const { return m_headerRecordSize; }
    BookKind InputKind() const { return KindOf(m_inputHeader.magic); }
    // Whether the header of the book at InputPath() passed the checks, and its
    // comment text once it has been read; both stay after a fatal error and go
    // when the book is closed.
    bool HeaderRead() const { return m_headerRead; }
    const std::optional<std::string>& Comment() const { return m_comment; }

    // The size of the book file when it was opened.
    uint64_t FileSize() const { return m_fileSize; }
    // Whether the file holds record `number` in full.
    bool HoldsRecord(uint16_t number) const {
        return RecordOffset(number + 1u, m_inputHeader.recordSize) <= m_fileSize;
    }
    // The whole records that the file holds, up to the most a book has (none
    // when records have no size): past recordCount too, where a program that
    // appended records did not count them in the header.
    uint32_t RecordsInFile() const;
    // Whether the comment record lies in the book: below recordCount and held
    // by the file in full.
    bool HoldsCommentRecord() const {
        return m_inputHeader.commentRecord < m_inputHeader.recordCount &&
               HoldsRecord(m_inputHeader.commentRecord);
    }

    // The last record read, recordSize bytes.
    std::span<const uint8_t> RecordArea() const;
    // Slot `slot` of the HashIndex (slot < hashIndexSize).
    uint16_t HashIndexSlot(uint32_t slot) const;

  private:
    void AllocateRecordBuffer();
    void LoadHashIndex();
    // Reads record `number`, below `end`, reading ahead up to `end` where records
    // are read in file order.
    void ReadRecordBelow(uint16_t number, uint32_t end);
    void ForgetReadRecords();
    // Closes the book file, once the hint of WillReadAllRecords is given up.
    void CloseFile();
    uint8_t* HashIndex() const;

    IConsole& m_console;
    IFileSystem& m_files;

    std::string m_strInputPath;
    FileDescriptor m_input;
    BookHeader m_inputHeader;
    uint16_t m_headerRecordSize = 0;
    bool m_headerRead = false;
    std::optional<std::string> m_comment;
    uint64_t m_fileSize = 0;
    // One block: the record area (recordSize bytes), zero bytes that stay zero,
    // then the HashIndex (hashIndexSize slots).
    AlignedBytes m_recordBuffer;
    // Records read ahead while records are read in file order, as the chains of a
    // book lie when the writer laid them down.
    AlignedBytes m_readAhead;
    uint64_t m_readAheadOffset = 0;     // file offset of m_readAhead[0]
    size_t m_readAheadBytes = 0;        // bytes of m_readAhead read from the file
    const uint8_t* m_record = nullptr;  // the record area: the last record read
    uint32_t m_lastRead = UINT32_MAX;
    // Gives the hint of WillReadAllRecords; stopped before the book file closes.
    std::jthread m_readHint;
};

// The attribute rows of the book that `book` has open, or, after a fatal error,
// of the book it had open or was opening, as far as it was read: none before its
// header passed the checks, and those before the comment when that could not be
// read. None once the book is closed.
std::vector<AttributeRow> AttributeRows(const BookReader& book);

}  // namespace plinth
