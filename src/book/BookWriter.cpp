// The writer: builds a new book from the positions handed to it record by record.
// The records of every chain are counted before, so each record has its place
// from the start and is complete as soon as its chain moves on to the next one,
// or, for the last, takes its last entry.

#include "book/BookWriter.h"

#include "book/ChainLengths.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <system_error>

namespace plinth {
namespace {

// Complete records are held until they take this many bytes, then written
// sorted, so that consecutive records go to the file together; a book of 1 KiB
// records is written all at once. At most twice this is held: the records being
// written and those being filled.
constexpr size_t kHeldBytes = size_t{64} << 20;
// Consecutive records are written together up to this many bytes at once.
constexpr size_t kRunBytes = size_t{1} << 20;

}  // namespace

BookWriter::BookWriter(IConsole& console, IFileSystem& files, const BookHeader& input,
                       std::span<const uint8_t> commentRecord, uint32_t recordSize,
                       uint32_t hashIndexSize, std::vector<ChainFill> chains)
    : m_console(console),
      m_files(files),
      m_outputHeader(NewBookHeader(input, recordSize, hashIndexSize)),
      m_commentRecord(recordSize, 0),
      m_counted(std::move(chains)),
      m_firstRecords(hashIndexSize),
      m_chains(hashIndexSize) {
    // The text with its terminating zero, cut at the end of the new record.
    const std::span<const uint8_t> text = CommentText(commentRecord);
    if (recordSize > layout::kCommentText) {
        std::copy_n(text.begin(), std::min<size_t>(text.size(), recordSize - layout::kCommentText),
                    m_commentRecord.begin() + layout::kCommentText);
    }
    m_outputHashIndex.assign(
        static_cast<size_t>(HashIndexRecords(recordSize, hashIndexSize)) * recordSize, 0);
    // The chains follow the HashIndex, in slot order.
    m_counted.resize(hashIndexSize);
    m_records = m_outputHeader.recordCount;
    for (uint32_t slot = 0; slot < hashIndexSize; ++slot) {
        m_firstRecords[slot] = m_records;
        m_records += m_counted[slot].records;
    }
    m_arena.Reset(recordSize);
}

BookWriter::~BookWriter() {
    // The records being written, and the file, stay until the write is done.
    if (m_written.valid()) {
        m_written.wait();
    }
}

bool BookWriter::CreateOutputBook(const std::string& path) {
    m_strOutputPath = path;
    const Opened created = m_files.CreateForWriting(m_strOutputPath);
    if (created.error) {
        PrintLog(m_console, "**Error** Creating output file [%s]: %s\n", m_strOutputPath.c_str(),
                 created.error.Text().c_str());
        return false;
    }
    m_output = FileDescriptor(m_files, created.fd);
    m_outputCreated = true;

    // The header itself is written last, by the write-out: until then the file
    // carries no book's magic, so that one left behind by a program that was ended
    // in the middle does not pass for a book (an empty one).
    const size_t recordSize = m_outputHeader.recordSize;
    const std::vector<uint8_t> record(recordSize, 0);
    // A failed write here leaves no complete book behind; the next write of held
    // records, or the write-out, stops the conversion.
    static_cast<void>(
        WriteOutputRecord(0, record.data(), recordSize) &&
        WriteOutputRecord(written::kCommentRecord, m_commentRecord.data(), recordSize) &&
        WriteOutputRecord(written::kHashIndexRecord, m_outputHashIndex.data(),
                          m_outputHashIndex.size()));
    return true;
}

BookWriter::PlaceResult BookWriter::AddRecordPositions(std::span<const uint8_t> record,
                                                       std::span<const DigestedEntry> entries) {
    PlaceResult result;
    for (const DigestedEntry& entry : entries) {
        WarnOfDamage(m_console, entry);
        if (!EntryFitsInRecord(entry.copiedSize, m_outputHeader.recordSize)) {
            result.outcome = PlaceOutcome::EntryTooLong;
            result.entrySize = entry.copiedSize;
            break;
        }
        if (!PlaceEntry(record, entry)) {
            result.outcome = PlaceOutcome::Failed;
            break;
        }
        ++result.placed;
    }
    return result;
}

bool BookWriter::PlaceEntry(std::span<const uint8_t> record, const DigestedEntry& entry) {
    const size_t size = entry.copiedSize;
    const BookKind kind = KindOf(m_outputHeader.magic);
    const uint32_t slot = SlotOf(entry.hashKey, m_outputHeader.hashMask);
    OutputChain& chain = m_chains[slot];
    const ChainFill& counted = m_counted[slot];
    const uint32_t usedBefore = chain.fill.used;
    const bool starts = chain.fill.Place(size, m_outputHeader.recordSize);
    if (chain.fill.records > counted.records ||
        (chain.fill.records == counted.records && chain.fill.used > counted.used)) {
        return ReportChangedBook();
    }
    if (starts && !StartChainRecord(slot, chain, usedBefore)) {
        return false;
    }
    ++m_outputHeader.totalPositions;
    m_outputHeader.totalMoves +=
        static_cast<uint32_t>((size - layout::kEntryKeySize) / MoveSize(kind));
    CopyEntry(record, entry, kind, chain.record + chain.fill.used - size);
    return chain.fill.used != counted.used || chain.fill.records != counted.records ||
           CompleteChain(slot, chain);
}

bool BookWriter::StartChainRecord(uint32_t slot, OutputChain& chain, uint32_t filledUsed) {
    if (chain.record != nullptr &&
        !HoldChainRecord(slot, chain.fill.records - 2, chain.record, filledUsed)) {
        return false;
    }
    chain.record = m_arena.Allocate();
    if (chain.record == nullptr) {
        PrintLog(m_console, "**Error** Out of memory\n");
        return false;
    }
    return true;
}

bool BookWriter::CompleteChain(uint32_t slot, OutputChain& chain) {
    uint8_t* last = chain.record;
    chain.record = nullptr;
    return HoldChainRecord(slot, chain.fill.records - 1, last, chain.fill.used);
}

bool BookWriter::HoldChainRecord(uint32_t slot, uint32_t index, uint8_t* bytes, uint32_t used) {
    // A buffer handed out again still holds its last record past the entries.
    std::memset(bytes + used, 0, m_outputHeader.recordSize - used);
    const uint32_t number = m_firstRecords[slot] + index;
    const bool last = index + 1 == m_counted[slot].records;
    EncodeU16(bytes + layout::kNextRecord, last ? uint16_t{0} : static_cast<uint16_t>(number + 1));
    EncodeU16(bytes + layout::kPreviousRecord,
              index == 0 ? uint16_t{0} : static_cast<uint16_t>(number - 1));
    m_held.push_back({number, bytes});
    return m_held.size() * m_outputHeader.recordSize < kHeldBytes || WriteHeldRecords();
}

bool BookWriter::WriteHeldRecords() {
    if (!CollectWrittenRecords()) {
        return false;
    }
    std::sort(m_held.begin(), m_held.end(),
              [](const HeldRecord& a, const HeldRecord& b) { return a.number < b.number; });
    m_writing.swap(m_held);
    // A full book's records are never written: the write-out reports it.
    if (m_records > kMaxWrittenRecordCount) {
        return CollectWrittenRecords();
    }
    const auto write = [&files = m_files, fd = m_output.Get(),
                        recordSize = uint32_t{m_outputHeader.recordSize},
                        records = std::span<const HeldRecord>(m_writing)] {
        return WriteRecordRuns(files, fd, recordSize, records);
    };
    try {
        m_written = std::async(std::launch::async, write);
    } catch (const std::system_error&) {
        m_written = std::async(std::launch::deferred, write);  // no thread: written when collected
    }
    return true;
}

bool BookWriter::CollectWrittenRecords() {
    if (m_written.valid() && !m_written.get()) {
        PrintLog(m_console, "**Error** in _write writing\n");
        m_outputFailed = true;
    }
    for (const HeldRecord& held : m_writing) {
        m_arena.Release(held.bytes);
    }
    m_writing.clear();
    return !m_outputFailed;
}

bool BookWriter::WriteRecordRuns(IFileSystem& files, int fd, uint32_t recordSize,
                                 std::span<const HeldRecord> records) {
    const size_t runRecords = std::max<size_t>(kRunBytes / recordSize, 1);
    std::vector<std::span<const uint8_t>> run;
    for (size_t first = 0; first < records.size(); first += run.size()) {
        run.clear();
        while (first + run.size() < records.size() && run.size() < runRecords &&
               records[first + run.size()].number == records[first].number + run.size()) {
            run.emplace_back(records[first + run.size()].bytes, recordSize);
        }
        const int64_t written =
            files.WriteAtGathered(fd, run, RecordOffset(records[first].number, recordSize));
        if (written != static_cast<int64_t>(run.size()) * recordSize) {
            return false;
        }
    }
    return true;
}

bool BookWriter::ReportChangedBook() {
    PrintLog(m_console, "**Error** The book changed while it was being converted\n");
    m_outputFailed = true;
    return false;
}

BookWriter::WriteOutcome BookWriter::WriteOutputBook(ProgressRange progress) {
    PrintLog(m_console, "\nWriting output file\n");
    bool writing = !m_outputFailed;
    if (writing && m_records > kMaxWrittenRecordCount) {
        PrintLog(m_console, "*** Error *** Output book full\n");
        writing = false;
    }
    ChainLengths lengths;
    const uint32_t slots = m_outputHeader.hashIndexSize;
    for (uint32_t slot = 0; writing && slot < slots; ++slot) {
        const ChainFill& chain = m_chains[slot].fill;
        if (chain != m_counted[slot]) {
            writing = ReportChangedBook();
        } else if (chain.records != 0) {
            EncodeU16(&m_outputHashIndex[layout::kSlotSize * slot],
                      static_cast<uint16_t>(m_firstRecords[slot]));
            lengths.Count(static_cast<int>(chain.records));
        }
        if (const int part = progress.Part(slot + 1, slots);
            part % 10 == 0 && part != progress.Part(slot, slots)) {
            m_console.SetProgress(progress.from + part);
        }
    }
    writing = writing && WriteHeldRecords() && CollectWrittenRecords();
    if (writing) {
        m_outputHeader.recordCount = static_cast<uint16_t>(m_records);
        std::array<uint8_t, layout::kHeaderSize> header{};
        EncodeHeader(m_outputHeader, header);
        // The header last: a file left by a program ended before it carries no
        // book's magic, and so does not pass for a book without its HashIndex.
        writing = WriteOutputRecord(m_outputHeader.hashIndexRecord, m_outputHashIndex.data(),
                                    layout::kSlotSize * m_outputHeader.hashIndexSize) &&
                  WriteOutputRecord(0, header.data(), header.size());
        PrintChainLengths(m_console, lengths);
        PrintLog(m_console, "Avg chain length:\t%1.1f\n",
                 static_cast<double>(m_outputHeader.recordCount) / m_outputHeader.hashIndexSize);
    }
    m_console.SetProgress(progress.to);
    m_outputFailed |= !writing;
    return m_outputFailed ? WriteOutcome::Failed : WriteOutcome::Complete;
}

bool BookWriter::WriteOutputRecord(uint32_t number, const uint8_t* bytes, size_t length) {
    const int64_t written = m_files.WriteAt(m_output.Get(), bytes, length,
                                            RecordOffset(number, m_outputHeader.recordSize));
    if (written != static_cast<int64_t>(length)) {
        PrintLog(m_console, "**Error** in _write writing\n");
        m_outputFailed = true;
        return false;
    }
    return true;
}

FileError BookWriter::SyncOutputBook() { return m_files.Sync(m_output.Get()); }

void BookWriter::CloseOutputBook() {
    if (m_written.valid()) {
        m_written.wait();  // the file stays open until its last write is done
    }
    m_output.Close();
}

}  // namespace plinth
