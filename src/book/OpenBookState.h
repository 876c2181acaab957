#pragma once

// The open book: the input book being read and the output book being written,
// with the operations of the reader and the writer. Everything is reported through
// an IConsole; a failure the book code cannot go on from ends in FatalError.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "book/BookFormat.h"
#include "book/Console.h"
#include "book/FatalError.h"
#include "book/FileSystem.h"
#include "book/RecordArena.h"

namespace plinth {

class OpenBookState {
  public:
    explicit OpenBookState(IConsole& console, IFileSystem& fileSystem = SystemFileSystem());
    OpenBookState(const OpenBookState&) = delete;
    OpenBookState& operator=(const OpenBookState&) = delete;
    ~OpenBookState();

    IConsole& Console() { return m_console; }
    IFileSystem& Files() { return m_fileSystem; }

    // Appends a printf-style message to the console.
    void PrintLog(const char* format, ...) PLINTH_PRINTF_FORMAT(2, 3);

    // Formats the message, appends it to the console as plain text, closes both
    // book files and throws BookFatalError. The record buffer and the attribute
    // rows stay as they are.
    [[noreturn]] void FatalError(const char* format, ...) PLINTH_PRINTF_FORMAT(2, 3);

    // ---- Input side --------------------------------------------------------------

    const std::string& InputPath() const { return m_strInputPath; }
    void SetInputPath(std::string path) { m_strInputPath = std::move(path); }

    // Closes the book that is open, clears the console and opens the book at
    // `path`. Gives false when the open ended in the fatal error (its message is
    // in the console).
    bool OpenBook(const std::string& path);

    // Opens the book at InputPath(), checks its magic, loads its HashIndex and
    // fills the attribute rows. Raises the fatal error on failure.
    void OpenInputBook();
    // Reads record `number` into the record area. Raises the fatal error on failure.
    void ReadRecord(uint16_t number);
    // Closes the input book, frees the record buffer and clears the attribute rows.
    void CloseInputBook();

    bool IsInputOpen() const { return m_input.IsOpen(); }
    int InputDescriptor() const { return m_input.Get(); }
    bool HasRecordBuffer() const { return m_recordBuffer != nullptr; }
    const BookHeader& InputHeader() const { return m_inputHeader; }
    BookKind InputKind() const { return KindOf(m_inputHeader.magic); }

    // The last record read, recordSize bytes.
    std::span<const uint8_t> RecordArea() const;
    // nextRecord of the record in the record area.
    uint16_t RecordAreaNextRecord() const;
    // Slot `slot` of the input HashIndex (slot < hashIndexSize).
    uint16_t HashIndexSlot(uint32_t slot) const;

    // ---- Output side -------------------------------------------------------------

    const std::string& OutputPath() const { return m_strOutputPath; }
    void SetOutputPath(std::string path) { m_strOutputPath = std::move(path); }
    // The geometry of the book to write; -1 until a conversion sets it.
    int NewRecordSize() const { return m_nNewRecordSize; }
    int NewHashIndexSize() const { return m_nNewHashIndexSize; }
    void SetNewGeometry(int recordSize, int hashIndexSize) {
        m_nNewRecordSize = recordSize;
        m_nNewHashIndexSize = hashIndexSize;
    }

    // Creates the output book at OutputPath() with the new geometry: header,
    // comment and an empty HashIndex. Raises the fatal error when the file cannot
    // be created.
    void CreateOutputBook();

    // Places every position of the input record in the record area into the
    // chain of its slot. Gives EntryTooLong, placing nothing more, for a position
    // that no record of the new size can hold.
    enum class PlaceOutcome { Placed, EntryTooLong };
    struct PlaceResult {
        PlaceOutcome outcome = PlaceOutcome::Placed;
        size_t entrySize = 0;  // the size of the position that does not fit
    };
    PlaceResult AddRecordPositions();

    // Writes all chains as consecutive records, then the header and the HashIndex,
    // and prints the chain statistics. Gives Failed when a write failed or the
    // book became full: the output file is then no complete book.
    enum class WriteOutcome { Complete, Failed };
    WriteOutcome WriteOutputBook();

    // Writes `length` bytes at the start of output record `number`; false after a
    // reported failure.
    bool WriteOutputRecord(uint16_t number, const uint8_t* bytes, uint32_t length);

    // A zero-filled buffer of the new record size, counted; raises the fatal
    // error when memory runs out.
    RecordBuffer AllocOutputRecord();
    // Gives a written buffer up and uncounts it; the memory of all buffers goes
    // back to the system with FreeOutputChains.
    void FreeOutputRecord(RecordBuffer buffer);
    // Releases every record buffer, the chain table and the output HashIndex.
    void FreeOutputChains();

    // Flushes the output book to the disk; 0 or the errno of the failure.
    int SyncOutputBook();
    void CloseOutputBook() { m_output.Close(); }

    bool IsOutputOpen() const { return m_output.IsOpen(); }
    // Whether the last CreateOutputBook created the file at OutputPath().
    bool OutputCreated() const { return m_bOutputCreated; }
    int OutputDescriptor() const { return m_output.Get(); }
    const BookHeader& OutputHeader() const { return m_outputHeader; }
    int RecordBuffersHeld() const { return m_nRecordBuffersHeld; }

  private:
    void AddAttributeRows();
    void AllocateRecordBuffer();
    void LoadHashIndex();
    void CloseBookFiles();
    void ForgetReadRecords();

    IConsole& m_console;
    IFileSystem& m_fileSystem;

    std::string m_strInputPath;
    FileDescriptor m_input;
    BookHeader m_inputHeader;
    // One block: the record area (recordSize bytes), kZeroGuard bytes that stay
    // zero, then the HashIndex (2 * hashIndexSize bytes).
    std::unique_ptr<uint8_t[]> m_recordBuffer;
    // Records read ahead while records are read in file order, as the chains of a
    // book lie when the writer laid them down.
    std::vector<uint8_t> m_readAhead;
    uint64_t m_readAheadOffset = 0;     // file offset of m_readAhead[0]
    size_t m_readAheadBytes = 0;        // bytes of m_readAhead read from the file
    const uint8_t* m_record = nullptr;  // the record area: the last record read
    uint32_t m_lastRead = UINT32_MAX;

    // One chain of the book being written: its record buffers in order, and the
    // bytes in use in the last one.
    struct OutputChain {
        std::vector<RecordBuffer> buffers;
        size_t used = 0;
    };

    // Where the write-out stands.
    struct WriteOutState {
        uint32_t total = 0;  // record buffers to write
        uint32_t written = 0;
        int longest = 0;
        int shortest = 65535;
        bool writing = true;
    };
    void WriteOutputChain(uint32_t slot, WriteOutState& state);
    // Chain records are written in batches of consecutive records.
    bool QueueOutputRecord(uint16_t number, RecordBuffer buffer);
    bool FlushOutputBatch();
    void CopyCommentRecord(std::span<uint8_t> record);

    std::string m_strOutputPath;
    int m_nNewRecordSize = -1;
    int m_nNewHashIndexSize = -1;
    FileDescriptor m_output;
    BookHeader m_outputHeader;
    std::vector<uint8_t> m_outputHashIndex;  // HashIndex records of the new book
    std::vector<OutputChain> m_chains;       // one per slot of the new HashIndex
    RecordArena m_arena;                     // the memory of the record buffers
    std::vector<RecordBuffer> m_batch;       // records waiting to be written...
    uint16_t m_batchFirst = 0;               // ...from this record on
    int m_nRecordBuffersHeld = 0;
    bool m_bOutputCreated = false;
    // A write of the creation or the write-out failed: the output is no book.
    bool m_bOutputFailed = false;
};

}  // namespace plinth
