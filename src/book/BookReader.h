#pragma once

// The open book: the reader opens the book the user chose, checks that it is a
// book, keeps its header and its whole HashIndex in memory, reads single records
// on request and lists the header in the console's attribute rows. A failure it
// cannot go on from ends in FatalError.

#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <utility>

#include "book/AlignedBytes.h"
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
    // book file and throws BookFatalError. The record buffer and the attribute
    // rows stay as they are.
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

    const std::string& InputPath() const { return m_strInputPath; }
    void SetInputPath(std::string path) { m_strInputPath = std::move(path); }

    // Closes the book that is open, clears the console and opens the book at
    // `path`. Gives false when the open ended in the fatal error (its message is
    // in the console).
    bool OpenBook(const std::string& path);

    // Opens the book at InputPath(), checks its magic, loads its HashIndex and
    // fills the attribute rows. Raises the fatal error on failure.
    void OpenInputBook();
    // The same, giving false instead of raising the fatal error.
    bool TryOpenInputBook();
    // Reads record `number` into the record area. Raises the fatal error on failure.
    void ReadRecord(uint16_t number);
    // Closes the input book, frees the record buffer and clears the attribute rows.
    void CloseInputBook();
    // Closes the book file as the fatal error does, keeping the rows: for a fatal
    // error that another part of the book code raised while this book was read.
    void CloseBookFile() { m_input.Close(); }

    bool IsInputOpen() const { return m_input.IsOpen(); }
    // The open book's descriptor, to compare it with the file at InputPath().
    int InputFile() const { return m_input.Get(); }
    const BookHeader& InputHeader() const { return m_inputHeader; }
    BookKind InputKind() const { return KindOf(m_inputHeader.magic); }

    // The size of the book file when it was opened.
    uint64_t FileSize() const { return m_fileSize; }
    // Whether the file holds record `number` in full.
    bool HoldsRecord(uint16_t number) const {
        return RecordOffset(number + 1u, m_inputHeader.recordSize) <= m_fileSize;
    }

    // The last record read, recordSize bytes.
    std::span<const uint8_t> RecordArea() const;
    // Slot `slot` of the HashIndex (slot < hashIndexSize).
    uint16_t HashIndexSlot(uint32_t slot) const;

  private:
    void AddAttributeRows();
    void AllocateRecordBuffer();
    void LoadHashIndex();
    void ForgetReadRecords();
    uint8_t* HashIndex() const;

    IConsole& m_console;
    IFileSystem& m_files;

    std::string m_strInputPath;
    FileDescriptor m_input;
    BookHeader m_inputHeader;
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
};

}  // namespace plinth
