// The reader: opening the input book, reading its records, and the fatal error
// with which it gives up.

#include "book/BookReader.h"

#include <algorithm>
#include <array>
#include <system_error>

namespace plinth {
namespace {

// Zero bytes between the record area and the HashIndex, so that text or u16 reads
// that run past the record's end see zeros.
constexpr size_t kZeroGuard = 10;

// How much of the book is hinted at once: a book closed before the hints are
// all given waits for one slice at most.
constexpr uint64_t kHintSlice = uint64_t{16} << 20;

// How much is read at once while records are read in file order.
constexpr size_t kReadAheadBytes = 256 << 10;

}  // namespace

BookReader::BookReader(IConsole& console, IFileSystem& files)
    : m_console(console), m_files(files) {}

BookReader::~BookReader() = default;

void BookReader::FatalError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = VFormatLog(format, args);
    va_end(args);
    CloseFile();
    RaiseFatalError(m_console, std::move(message));
}

void BookReader::MemoryError() { FatalError("**Error** Memory error\n"); }

void BookReader::OpenInputBook(const std::string& path) {
    CloseInputBook();
    m_strInputPath = path;
    // Only a regular file is read as a book: a folder cannot be, and a FIFO, a
    // socket or a device would wait or never end.
    switch (m_files.TypeOf(m_strInputPath)) {
        case FileType::Folder:
            FatalError("**Error** [%s] is not a book file: it is a folder\n",
                       m_strInputPath.c_str());
        case FileType::Other:
            FatalError("**Error** [%s] is not a book file: it is not a regular file\n",
                       m_strInputPath.c_str());
        case FileType::Missing:
        case FileType::Regular:
            break;
    }
    const int fd = m_files.OpenForReading(m_strInputPath);
    if (fd < 0) {
        FatalError("**Error** Can not open input file [%s]\n", m_strInputPath.c_str());
    }
    m_input = FileDescriptor(m_files, fd);
    m_fileSize = static_cast<uint64_t>(std::max<int64_t>(m_files.SizeOf(fd), 0));

    std::array<uint8_t, layout::kHeaderSize> headerBytes{};
    const int64_t got = m_files.ReadAt(fd, headerBytes.data(), headerBytes.size(), 0);
    const std::optional<BookHeader> header =
        BookHeaderOf(std::span(headerBytes).first(static_cast<size_t>(std::max<int64_t>(got, 0))));
    if (!header) {
        FatalError("**Error** [%s] is not a valid book file\n", m_strInputPath.c_str());
    }
    m_inputHeader = *header;
    m_headerRecordSize = header->recordSize;

    AllocateRecordBuffer();
    LoadHashIndex();
    m_headerRead = true;
    // A comment record outside the book is damage for the analysis to report; the
    // book is read without its comment.
    std::span<const uint8_t> comment;
    if (HoldsCommentRecord()) {
        ReadRecord(m_inputHeader.commentRecord);
        comment = CommentText(RecordArea());
    }
    m_comment.emplace(comment.begin(), comment.end());
}

void BookReader::ReadAsRecordsOf(uint16_t recordSize) {
    m_inputHeader.recordSize = recordSize;
    ForgetReadRecords();
    AllocateRecordBuffer();
    LoadHashIndex();
}

uint32_t BookReader::RecordsInFile() const {
    const uint32_t recordSize = m_inputHeader.recordSize;
    return recordSize == 0 ? 0
                           : static_cast<uint32_t>(
                                 std::min<uint64_t>(m_fileSize / recordSize, kMaxRecordCount));
}

void BookReader::AllocateRecordBuffer() {
    const size_t size =
        m_inputHeader.recordSize + kZeroGuard + layout::kSlotSize * m_inputHeader.hashIndexSize;
    m_recordBuffer = AlignedBytes::TryAllocate(size);
    if (m_recordBuffer.Size() != size) {
        MemoryError();
    }
}

uint8_t* BookReader::HashIndex() const {
    return m_recordBuffer.Data() + m_inputHeader.recordSize + kZeroGuard;
}

void BookReader::LoadHashIndex() {
    // A HashIndex that the file does not hold in full keeps zero (empty) slots
    // where nothing could be read; that is not an error.
    m_files.ReadAt(m_input.Get(), HashIndex(), layout::kSlotSize * m_inputHeader.hashIndexSize,
                   RecordOffset(m_inputHeader.hashIndexRecord, m_inputHeader.recordSize));
}

void BookReader::ReadRecord(uint16_t number) {
    if (number >= m_inputHeader.recordCount) {
        FatalError("**Error** reading record, out of bounds: record #:%d\n", int{number});
    }
    ReadRecordBelow(number, m_inputHeader.recordCount);
}

void BookReader::ReadRecordInFile(uint16_t number) {
    ReadRecordBelow(number, std::max<uint32_t>(number + 1u, RecordsInFile()));
}

void BookReader::ReadRecordBelow(uint16_t number, uint32_t end) {
    const size_t recordSize = m_inputHeader.recordSize;
    const uint64_t offset = RecordOffset(number, m_inputHeader.recordSize);
    const bool sequential = number == m_lastRead + 1;
    m_lastRead = number;
    if (offset >= m_readAheadOffset &&
        offset + recordSize <= m_readAheadOffset + m_readAheadBytes) {
        m_record = m_readAhead.Data() + (offset - m_readAheadOffset);
        return;
    }
    m_record = nullptr;  // the record buffer, until a read succeeds
    if (sequential && recordSize > 0) {
        // Read the following records too, in one read.
        const size_t records =
            std::min<size_t>(std::max<size_t>(kReadAheadBytes / recordSize, 1), end - number);
        const size_t bytes = records * recordSize;
        if (m_readAhead.Size() < bytes) {
            AlignedBytes block = AlignedBytes::TryAllocate(bytes);
            if (block.Size() != bytes) {
                MemoryError();
            }
            m_readAhead = std::move(block);
        }
        const int64_t got = m_files.ReadAt(m_input.Get(), m_readAhead.Data(), bytes, offset);
        m_readAheadOffset = offset;
        m_readAheadBytes = static_cast<size_t>(std::max<int64_t>(got, 0));
        if (m_readAheadBytes < recordSize) {
            m_readAheadBytes = 0;
            FatalError("**Error** in _read reading record #:%d\n", int{number});
        }
        m_record = m_readAhead.Data();
        return;
    }
    if (m_files.ReadAt(m_input.Get(), m_recordBuffer.Data(), recordSize, offset) !=
        static_cast<int64_t>(recordSize)) {
        FatalError("**Error** in _read reading record #:%d\n", int{number});
    }
}

void BookReader::WillReadAllRecords() {
    if (!m_input.IsOpen() || m_readHint.joinable()) {
        return;
    }
    IFileSystem& files = m_files;
    const int fd = m_input.Get();
    const uint64_t size = m_fileSize;
    try {
        m_readHint = std::jthread([&files, fd, size](const std::stop_token& stop) {
            for (uint64_t offset = 0; offset < size && !stop.stop_requested();
                 offset += kHintSlice) {
                files.WillRead(fd, offset, std::min(kHintSlice, size - offset));
            }
        });
    } catch (const std::system_error&) {
        // No thread to give the hint: the records are read as they are asked for.
    }
}

void BookReader::CloseFile() {
    m_readHint = {};  // stopped and joined while the descriptor is still its book's
    m_input.Close();
}

void BookReader::CloseInputBook() {
    CloseFile();
    m_recordBuffer = {};
    ForgetReadRecords();
    m_inputHeader = {};
    m_headerRecordSize = 0;
    m_headerRead = false;
    m_comment.reset();
}

void BookReader::ForgetReadRecords() {
    m_readAhead = {};
    m_readAheadBytes = 0;
    m_record = nullptr;
    m_lastRead = UINT32_MAX;
}

std::span<const uint8_t> BookReader::RecordArea() const {
    return {m_record != nullptr ? m_record : m_recordBuffer.Data(), m_inputHeader.recordSize};
}

uint16_t BookReader::HashIndexSlot(uint32_t slot) const {
    return DecodeU16(HashIndex() + layout::kSlotSize * slot);
}

std::vector<AttributeRow> AttributeRows(const BookReader& book) {
    if (!book.HeaderRead()) {
        return {};
    }
    // The header as stored, also while the book is read as records of another size.
    BookHeader header = book.InputHeader();
    header.recordSize = book.HeaderRecordSize();
    return AttributeRows(book.InputPath(), header, book.Comment());
}

}  // namespace plinth
