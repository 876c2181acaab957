// The writer: builds a new book from the positions handed to it record by record.
// Every chain is held in memory as a list of record buffers until the write-out,
// so that each chain can be laid down in consecutive records, chains in slot order.

#include <algorithm>
#include <cstring>
#include <new>

#include "book/OpenBookState.h"

namespace plinth {
namespace {

// Records of the new book that come before its HashIndex: header and comment.
constexpr uint16_t kCommentRecord = 1;
constexpr uint16_t kHashIndexRecord = 2;

// Consecutive chain records are written together, up to this many bytes at once.
constexpr size_t kBatchBytes = 1 << 20;

}  // namespace

void OpenBookState::CreateOutputBook() {
    const auto recordSize = static_cast<uint32_t>(m_nNewRecordSize);
    const auto slots = static_cast<uint32_t>(m_nNewHashIndexSize);
    const uint32_t hashIndexRecords = HashIndexRecords(recordSize, slots);

    FreeOutputChains();
    m_arena.Reset(recordSize);
    m_bOutputCreated = false;
    const int fd = m_fileSystem.CreateForWriting(m_strOutputPath);
    if (fd < 0) {
        FatalError("**Error** Creating output file: [%s]\n", m_strOutputPath.c_str());
    }
    m_output = FileDescriptor(m_fileSystem, fd);
    m_bOutputCreated = true;
    m_bOutputFailed = false;

    BookHeader& h = m_outputHeader;
    h = BookHeader{};
    h.magic = m_inputHeader.magic;
    h.revision = {'3', '0'};
    h.recordSize = static_cast<uint16_t>(recordSize);
    h.recordCount = static_cast<uint16_t>(hashIndexRecords + 2);
    h.commentRecord = kCommentRecord;
    h.word12 = 1;
    h.hashIndexRecord = kHashIndexRecord;
    h.hashIndexSize = static_cast<uint16_t>(slots);
    h.hashMask = slots - 1;
    h.attributes = m_inputHeader.attributes;
    h.word36 = m_inputHeader.word36;

    std::vector<uint8_t> record(recordSize, 0);
    EncodeHeader(h, std::span<uint8_t, layout::kHeaderSize>(record.data(), layout::kHeaderSize));
    // A failed write here leaves no complete book behind; the write-out reports it.
    m_bOutputFailed |= !WriteOutputRecord(0, record.data(), recordSize);

    std::fill(record.begin(), record.end(), 0);
    CopyCommentRecord(record);
    m_bOutputFailed |= !WriteOutputRecord(kCommentRecord, record.data(), recordSize);

    m_outputHashIndex.assign(static_cast<size_t>(hashIndexRecords) * recordSize, 0);
    m_bOutputFailed |= !WriteOutputRecord(kHashIndexRecord, m_outputHashIndex.data(),
                                          static_cast<uint32_t>(m_outputHashIndex.size()));

    m_chains.resize(slots);
}

void OpenBookState::CopyCommentRecord(std::span<uint8_t> record) {
    ReadRecord(m_inputHeader.commentRecord);
    const std::span<const uint8_t> input = RecordArea();
    if (input.size() <= layout::kCommentText || record.size() <= layout::kCommentText) {
        return;
    }
    // The text with its terminating zero, cut at the end of either record.
    const auto text = input.subspan(layout::kCommentText);
    const size_t length = std::find(text.begin(), text.end(), uint8_t{0}) - text.begin();
    const size_t copied = std::min(length + 1, record.size() - layout::kCommentText);
    std::copy_n(text.begin(), std::min(copied, text.size()), record.begin() + layout::kCommentText);
}

OpenBookState::PlaceResult OpenBookState::AddRecordPositions() {
    const std::span<const uint8_t> record = RecordArea();
    const BookKind kind = InputKind();
    const size_t moveSize = MoveSize(kind);
    const size_t outputSize = m_outputHeader.recordSize;
    PlaceResult result;
    WalkEntries(record, kind, [&](const EntryExtent& entry) {
        if (result.outcome != PlaceOutcome::Placed) {
            return;
        }
        if (entry.cut) {
            PrintLog("Warning, corrupt record, ignoring moves\n");
        }
        // A move other than the last with two equal move codes is damage: it is
        // left out, so that the new book passes the record check.
        const uint8_t* moves = &record[entry.offset + layout::kEntryKeySize];
        const auto isKept = [&](size_t i) {
            return i + 1 == entry.moveCount || !HasEqualMoveCodes(moves + i * moveSize);
        };
        if (entry.equalCodeMoves != 0) {
            PrintLog("Warning, corrupt record, ignoring moves\n");
        }
        const size_t kept = entry.moveCount - entry.equalCodeMoves;
        const size_t size = layout::kEntryKeySize + kept * moveSize;
        if (size > outputSize - layout::kFirstEntry) {
            result = {PlaceOutcome::EntryTooLong, size};
            return;
        }

        OutputChain& chain = m_chains[SlotOf(DecodeU32(&record[entry.offset + layout::kHashKey]),
                                             m_outputHeader.hashMask)];
        if (chain.buffers.empty() || chain.used + size > outputSize) {
            chain.buffers.push_back(AllocOutputRecord());
            chain.used = layout::kFirstEntry;
        }
        ++m_outputHeader.totalPositions;
        m_outputHeader.totalMoves += static_cast<uint32_t>(kept);

        uint8_t* out = chain.buffers.back().get() + chain.used;
        if (entry.equalCodeMoves == 0) {
            std::memcpy(out, &record[entry.offset], size);
        } else {
            std::memcpy(out, &record[entry.offset], layout::kEntryKeySize);
            uint8_t* outMove = out + layout::kEntryKeySize;
            for (size_t i = 0; i < entry.moveCount; ++i) {
                if (isKept(i)) {
                    std::memcpy(outMove, moves + i * moveSize, moveSize);
                    outMove += moveSize;
                }
            }
        }
        // The last move kept ends the entry, also where the input entry was cut.
        out[size - moveSize + layout::kMoveFlags] |= layout::kLastMoveFlag;
        chain.used += size;
    });
    return result;
}

OpenBookState::WriteOutcome OpenBookState::WriteOutputBook() {
    PrintLog("\nWriting output file\n");
    WriteOutState state;
    state.total = static_cast<uint32_t>(m_nRecordBuffersHeld);
    state.writing = !m_bOutputFailed;
    const uint32_t slots = m_outputHeader.hashIndexSize;
    for (uint32_t slot = 0; slot < slots; ++slot) {
        if (m_outputHeader.recordCount > kMaxWrittenRecordCount) {
            break;
        }
        if (!m_chains[slot].buffers.empty()) {
            WriteOutputChain(slot, state);
        }
    }
    state.writing = state.writing && FlushOutputBatch();
    if (state.writing) {
        std::array<uint8_t, layout::kHeaderSize> header{};
        EncodeHeader(m_outputHeader, header);
        state.writing = WriteOutputRecord(0, header.data(), layout::kHeaderSize) &&
                        WriteOutputRecord(m_outputHeader.hashIndexRecord, m_outputHashIndex.data(),
                                          2u * m_outputHeader.hashIndexSize);
        PrintLog("Longest chain:\t\t%d\n", state.longest);
        PrintLog("Shortest chain:\t\t%d\n", state.shortest);
        PrintLog("Avg chain length:\t%1.1f\n",
                 static_cast<double>(m_outputHeader.recordCount) / m_outputHeader.hashIndexSize);
    }
    m_console.SetProgress(100);
    m_bOutputFailed |= !state.writing;
    return m_bOutputFailed ? WriteOutcome::Failed : WriteOutcome::Complete;
}

void OpenBookState::WriteOutputChain(uint32_t slot, WriteOutState& state) {
    // The chain leaves the table; its buffers are released as they are written.
    std::vector<RecordBuffer> buffers = std::move(m_chains[slot].buffers);
    m_chains[slot] = OutputChain{};
    EncodeU16(&m_outputHashIndex[2 * slot], m_outputHeader.recordCount);
    uint16_t previous = 0;
    for (size_t i = 0; i < buffers.size(); ++i) {
        const uint16_t number = m_outputHeader.recordCount;
        uint8_t* bytes = buffers[i].get();
        const bool last = i + 1 == buffers.size();
        EncodeU16(bytes + layout::kNextRecord, last ? uint16_t{0} : uint16_t(number + 1));
        EncodeU16(bytes + layout::kPreviousRecord, previous);
        if (state.writing) {
            ++m_outputHeader.recordCount;
            state.writing = QueueOutputRecord(number, std::move(buffers[i]));
        } else {
            FreeOutputRecord(std::move(buffers[i]));
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
    const int length = static_cast<int>(buffers.size());
    state.longest = std::max(state.longest, length);
    state.shortest = std::min(state.shortest, length);
}

bool OpenBookState::QueueOutputRecord(uint16_t number, RecordBuffer buffer) {
    const size_t batchRecords = std::max<size_t>(kBatchBytes / m_outputHeader.recordSize, 1);
    const bool follows = number == m_batchFirst + m_batch.size();
    if (!m_batch.empty() && (!follows || m_batch.size() >= batchRecords) && !FlushOutputBatch()) {
        FreeOutputRecord(std::move(buffer));
        return false;
    }
    if (m_batch.empty()) {
        m_batchFirst = number;
    }
    m_batch.push_back(std::move(buffer));
    return true;
}

bool OpenBookState::FlushOutputBatch() {
    if (m_batch.empty()) {
        return true;
    }
    const size_t recordSize = m_outputHeader.recordSize;
    std::vector<std::span<const uint8_t>> pieces;
    pieces.reserve(m_batch.size());
    for (const RecordBuffer& buffer : m_batch) {
        pieces.emplace_back(buffer.get(), recordSize);
    }
    const int64_t written = m_fileSystem.WriteAtGathered(
        m_output.Get(), pieces, RecordOffset(m_batchFirst, m_outputHeader.recordSize));
    for (RecordBuffer& buffer : m_batch) {
        FreeOutputRecord(std::move(buffer));
    }
    m_batch.clear();
    if (written != static_cast<int64_t>(pieces.size() * recordSize)) {
        PrintLog("**Error** in _write writing\n");
        return false;
    }
    return true;
}

bool OpenBookState::WriteOutputRecord(uint16_t number, const uint8_t* bytes, uint32_t length) {
    const int64_t written = m_fileSystem.WriteAt(m_output.Get(), bytes, length,
                                                 RecordOffset(number, m_outputHeader.recordSize));
    if (written != static_cast<int64_t>(length)) {
        PrintLog("**Error** in _write writing\n");
        return false;
    }
    return true;
}

RecordBuffer OpenBookState::AllocOutputRecord() {
    RecordBuffer buffer(m_arena.Allocate());
    if (!buffer) {
        FatalError("**Error** Out of memory\n");
    }
    ++m_nRecordBuffersHeld;
    return buffer;
}

void OpenBookState::FreeOutputRecord(RecordBuffer buffer) {
    if (buffer) {
        buffer.reset();
        --m_nRecordBuffersHeld;
    }
}

void OpenBookState::FreeOutputChains() {
    for (RecordBuffer& buffer : m_batch) {
        FreeOutputRecord(std::move(buffer));
    }
    m_batch.clear();
    for (OutputChain& chain : m_chains) {
        for (RecordBuffer& buffer : chain.buffers) {
            FreeOutputRecord(std::move(buffer));
        }
    }
    m_chains.clear();
    m_chains.shrink_to_fit();
    m_arena.ReleaseAll();
    m_outputHashIndex.clear();
    m_outputHashIndex.shrink_to_fit();
}

int OpenBookState::SyncOutputBook() { return m_fileSystem.Sync(m_output.Get()); }

}  // namespace plinth
