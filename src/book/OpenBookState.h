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
    std::span<uint8_t> MutableRecordArea();
    // nextRecord of the record in the record area.
    uint16_t RecordAreaNextRecord() const;
    // Slot `slot` of the input HashIndex (slot < hashIndexSize).
    uint16_t HashIndexSlot(uint32_t slot) const;

    // ---- Output side -------------------------------------------------------------

    int OutputDescriptor() const { return m_output.Get(); }

  private:
    void AddAttributeRows();
    void AllocateRecordBuffer();
    void LoadHashIndex();
    void CloseBookFiles();

    IConsole& m_console;
    IFileSystem& m_fileSystem;

    std::string m_strInputPath;
    FileDescriptor m_input;
    BookHeader m_inputHeader;
    // One block: the record area (recordSize bytes), kZeroGuard bytes that stay
    // zero, then the HashIndex (2 * hashIndexSize bytes).
    std::unique_ptr<uint8_t[]> m_recordBuffer;

    FileDescriptor m_output;
};

}  // namespace plinth
