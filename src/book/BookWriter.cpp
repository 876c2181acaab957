// The writer: builds a new book from the positions handed to it record by record.
// Every chain is held in memory until the write-out, so that each chain can be
// laid down in consecutive records, chains in slot order.

#include "book/BookWriter.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace plinth {
namespace {

// Consecutive chain records are written together, up to this many bytes at once.
constexpr size_t kBatchBytes = 1 << 20;

}  // namespace

BookWriter::BookWriter(IConsole& console, IFileSystem& files, const BookHeader& input,
                       std::span<const uint8_t> commentRecord, uint32_t recordSize,
                       uint32_t hashIndexSize)
    : m_console(console),
      m_files(files),
      m_outputHeader(NewBookHeader(input, recordSize, hashIndexSize)),
      m_commentRecord(recordSize, 0),
      m_chains(hashIndexSize) {
    // The text with its terminating zero, cut at the end of the new record.
    const std::span<const uint8_t> text = CommentText(commentRecord);
    if (recordSize > layout::kCommentText) {
        std::copy_n(text.begin(), std::min<size_t>(text.size(), recordSize - layout::kCommentText),
                    m_commentRecord.begin() + layout::kCommentText);
    }
    m_outputHashIndex.assign(
        static_cast<size_t>(HashIndexRecords(recordSize, hashIndexSize)) * recordSize, 0);
    m_arena.Reset(recordSize);
}

BookWriter::~BookWriter() = default;

void BookWriter::PrintLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    VPrintLog(m_console, format, args);
    va_end(args);
}

bool BookWriter::CreateOutputBook(const std::string& path) {
    m_strOutputPath = path;
    const int fd = m_files.CreateForWriting(m_strOutputPath);
    if (fd < 0) {
        const int error = errno;
        PrintLog("**Error** Creating output file [%s]: %s\n", m_strOutputPath.c_str(),
                 std::strerror(error));
        return false;
    }
    m_output = FileDescriptor(m_files, fd);
    m_outputCreated = true;

    const size_t recordSize = m_outputHeader.recordSize;
    std::vector<uint8_t> record(recordSize, 0);
    EncodeHeader(m_outputHeader,
                 std::span<uint8_t, layout::kHeaderSize>(record.data(), layout::kHeaderSize));
    // A failed write here leaves no complete book behind; the write-out reports it.
    m_outputFailed |= !WriteOutputRecord(0, record.data(), recordSize);
    m_outputFailed |=
        !WriteOutputRecord(written::kCommentRecord, m_commentRecord.data(), recordSize);
    m_outputFailed |= !WriteOutputRecord(written::kHashIndexRecord, m_outputHashIndex.data(),
                                         m_outputHashIndex.size());
    return true;
}

BookWriter::PlaceResult BookWriter::AddRecordPositions(std::span<const uint8_t> record,
                                                       BookKind kind) {
    PlaceResult result;
    ForEachCopiedEntry(record, kind, m_console, [&](const EntryExtent& entry, size_t size) {
        if (!EntryFitsInRecord(size, m_outputHeader.recordSize)) {
            result.outcome = PlaceOutcome::EntryTooLong;
            result.entrySize = size;
            return false;
        }
        if (!PlaceEntry(record, entry, kind, size)) {
            result.outcome = PlaceOutcome::OutOfMemory;
            return false;
        }
        ++result.placed;
        return true;
    });
    return result;
}

bool BookWriter::PlaceEntry(std::span<const uint8_t> record, const EntryExtent& entry,
                            BookKind kind, size_t size) {
    const uint32_t hashKey = DecodeU32(&record[entry.offset + layout::kHashKey]);
    OutputChain& chain = m_chains[SlotOf(hashKey, m_outputHeader.hashMask)];
    if (chain.fill.Place(size, m_outputHeader.recordSize)) {
        uint8_t* buffer = m_arena.Allocate();
        if (buffer == nullptr) {
            PrintLog("**Error** Out of memory\n");
            return false;
        }
        chain.records.push_back(buffer);
        ++m_records;
    }
    ++m_outputHeader.totalPositions;
    m_outputHeader.totalMoves += static_cast<uint32_t>(entry.moveCount - entry.equalCodeMoves);
    CopyEntry(record, entry, kind, chain.records.back() + chain.fill.used - size);
    return true;
}

BookWriter::WriteOutcome BookWriter::WriteOutputBook() {
    PrintLog("\nWriting output file\n");
    WriteOutState state;
    state.total = m_records;
    state.writing = !m_outputFailed;
    const uint32_t slots = m_outputHeader.hashIndexSize;
    for (uint32_t slot = 0; slot < slots; ++slot) {
        if (m_outputHeader.recordCount > kMaxWrittenRecordCount) {
            break;
        }
        if (!m_chains[slot].records.empty()) {
            WriteOutputChain(slot, state);
        }
    }
    state.writing = state.writing && FlushOutputBatch();
    if (state.writing) {
        std::array<uint8_t, layout::kHeaderSize> header{};
        EncodeHeader(m_outputHeader, header);
        state.writing = WriteOutputRecord(0, header.data(), header.size()) &&
                        WriteOutputRecord(m_outputHeader.hashIndexRecord, m_outputHashIndex.data(),
                                          layout::kSlotSize * m_outputHeader.hashIndexSize);
        PrintLog("Longest chain:\t\t%d\n", state.longest);
        PrintLog("Shortest chain:\t\t%d\n", state.shortest);
        PrintLog("Avg chain length:\t%1.1f\n",
                 static_cast<double>(m_outputHeader.recordCount) / m_outputHeader.hashIndexSize);
    }
    m_console.SetProgress(100);
    m_outputFailed |= !state.writing;
    return m_outputFailed ? WriteOutcome::Failed : WriteOutcome::Complete;
}

void BookWriter::WriteOutputChain(uint32_t slot, WriteOutState& state) {
    const std::vector<uint8_t*> records = std::move(m_chains[slot].records);
    m_chains[slot] = OutputChain{};
    EncodeU16(&m_outputHashIndex[layout::kSlotSize * slot], m_outputHeader.recordCount);
    uint16_t previous = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const uint16_t number = m_outputHeader.recordCount;
        uint8_t* bytes = records[i];
        const bool last = i + 1 == records.size();
        EncodeU16(bytes + layout::kNextRecord, last ? uint16_t{0} : uint16_t(number + 1));
        EncodeU16(bytes + layout::kPreviousRecord, previous);
        if (state.writing) {
            ++m_outputHeader.recordCount;
            state.writing = QueueOutputRecord(number, bytes);
        }
        if (state.writing && m_outputHeader.recordCount > kMaxWrittenRecordCount) {
            state.writing = FlushOutputBatch();
            if (state.writing) {
                PrintLog("*** Error *** Output book full\n");
                state.writing = false;
            }
        }
        ++state.written;
        const uint32_t percent = state.written * 50 / state.total;
        if (percent % 10 == 0) {
            m_console.SetProgress(static_cast<int>(50 + percent));
        }
        previous = number;
    }
    const int length = static_cast<int>(records.size());
    state.longest = std::max(state.longest, length);
    state.shortest = std::min(state.shortest, length);
}

bool BookWriter::QueueOutputRecord(uint16_t number, const uint8_t* record) {
    const size_t recordSize = m_outputHeader.recordSize;
    const size_t batchRecords = std::max<size_t>(kBatchBytes / recordSize, 1);
    const bool follows = number == m_batchFirst + m_batch.size();
    if (!m_batch.empty() && (!follows || m_batch.size() >= batchRecords) && !FlushOutputBatch()) {
        return false;
    }
    if (m_batch.empty()) {
        m_batchFirst = number;
    }
    m_batch.emplace_back(record, recordSize);
    return true;
}

bool BookWriter::FlushOutputBatch() {
    if (m_batch.empty()) {
        return true;
    }
    const size_t bytes = m_batch.size() * m_outputHeader.recordSize;
    const int64_t written = m_files.WriteAtGathered(
        m_output.Get(), m_batch, RecordOffset(m_batchFirst, m_outputHeader.recordSize));
    m_batch.clear();
    if (written != static_cast<int64_t>(bytes)) {
        PrintLog("**Error** in _write writing\n");
        return false;
    }
    return true;
}

bool BookWriter::WriteOutputRecord(uint16_t number, const uint8_t* bytes, size_t length) {
    const int64_t written = m_files.WriteAt(m_output.Get(), bytes, length,
                                            RecordOffset(number, m_outputHeader.recordSize));
    if (written != static_cast<int64_t>(length)) {
        PrintLog("**Error** in _write writing\n");
        return false;
    }
    return true;
}

int BookWriter::SyncOutputBook() { return m_files.Sync(m_output.Get()); }

}  // namespace plinth
