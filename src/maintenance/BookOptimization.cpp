#include "maintenance/BookOptimization.h"

#include <cerrno>
#include <cstring>

#include "book/BookWriter.h"
#include "book/ChainWalk.h"
#include "book/Paths.h"
#include "maintenance/BookExchange.h"
#include "maintenance/OptimizeSettings.h"

namespace plinth {
namespace {

using Duplicates = BookWriter::Duplicates;

// The fit checks estimate the new book's records against this bound, below the
// writer's own limit.
constexpr int64_t kFitBound = 65436;

ExchangePaths ConversionPaths(const std::string& book) {
    return {book, book + kNewBookSuffix, book + kBackupSuffix};
}

// Puts the book at `path` back from its backup where a conversion was cut off in
// the middle of its exchange; true when it did.
bool PutBackCutOffConversion(IFileSystem& files, IConsole& console, const std::string& path) {
    return RestoreInterruptedExchange(files, console, ConversionPaths(path));
}

// One conversion of the open book, from the creation of the new book to the
// opening of the converted one.
class Conversion {
  public:
    Conversion(BookReader& book, const OptimizeRequest& request)
        : m_book(book), m_request(request), m_walker(book) {}

    OptimizeOutcome Run() {
        try {
            return Convert();
        } catch (const BookFatalError&) {
            // The book is closed; an incomplete new book is of no use to anyone.
            m_book.CloseBookFile();
            if (m_writer && m_writer->OutputCreated() && !m_exchangeStarted) {
                m_writer->CloseOutputBook();
                m_book.Files().Remove(m_writer->OutputPath());
            }
            return OptimizeOutcome::FatalError;
        }
    }

  private:
    OptimizeOutcome Convert() {
        const BookHeader& input = m_book.InputHeader();
        m_book.ReadRecord(input.commentRecord);
        m_writer.emplace(m_book.Console(), m_book.Files(), input, m_book.RecordArea(),
                         static_cast<uint32_t>(m_request.recordSize),
                         static_cast<uint32_t>(m_request.hashIndexSize));
        m_writer->CreateOutputBook(
            m_request.outputPath.value_or(m_book.InputPath() + kNewBookSuffix));
        m_book.PrintLog("Converting....");
        if (!CopyChains() || !RecoverUnreachedRecords() || !WriteAndFlush()) {
            Abandon();
            return OptimizeOutcome::NotChanged;
        }
        const std::string output = m_writer->OutputPath();
        m_writer.reset();

        if (m_request.outputPath) {
            m_book.Files().SyncDirectory(FolderOf(output));
            m_book.PrintLog("Conversion completed\n");
            m_book.PrintLog("The converted book was written here:\n%s\n", output.c_str());
            return OptimizeOutcome::Converted;
        }

        m_book.CloseInputBook();
        const ExchangePaths paths = ConversionPaths(m_book.InputPath());
        m_exchangeStarted = true;
        if (!ExchangeBookFiles(m_book.Files(), m_book.Console(), paths)) {
            // Show whatever book is at the book's path again.
            if (m_book.Files().Exists(paths.book)) {
                m_book.OpenInputBook();
            }
            return OptimizeOutcome::ExchangeFailed;
        }
        m_book.OpenInputBook();
        m_book.PrintLog("Conversion completed\n");
        m_book.PrintLog("A backup copy of the original file can be found here:\r\n%s\n",
                        paths.backup.c_str());
        return OptimizeOutcome::Converted;
    }

    // Walks every chain of the book and hands each record it reaches to the
    // writer. Gives false when a position does not fit a record of the new size
    // (the message is in the console).
    bool CopyChains() {
        const uint32_t recordCount = m_book.InputHeader().recordCount;
        const uint32_t slots = m_book.InputHeader().hashIndexSize;
        uint32_t visited = 0;
        for (uint32_t slot = 0; slot < slots; ++slot) {
            const ChainEnd end = m_walker.Walk(
                slot,
                [&](uint16_t record) { return CopyRecord(record, Duplicates::Place).has_value(); },
                [&]() {
                    ++visited;
                    const uint32_t percent = visited * 50 / recordCount;
                    if (percent % 10 == 0) {
                        m_book.Console().SetProgress(static_cast<int>(percent));
                    }
                });
            if (end == ChainEnd::Stopped) {
                return false;
            }
            ReportChainEnd(m_book, slot, end, m_walker);
        }
        return true;
    }

    // Takes the positions of the records that no chain reaches, where the record
    // is sound, leaving out those the new book holds already. Gives false when a
    // position does not fit a record of the new size.
    bool RecoverUnreachedRecords() {
        const uint32_t hashMask = m_book.InputHeader().hashMask;
        bool fits = true;
        int positions = 0;
        int records = 0;
        int unsound = 0;
        int duplicates = 0;
        m_walker.ForEachUnreachedRecord([&](uint16_t record) {
            if (!IsRecoverableRecord(m_book.RecordArea(), m_book.InputKind(), hashMask)) {
                ++unsound;
                return true;
            }
            const std::optional<BookWriter::PlaceResult> placed =
                CopyRecord(record, Duplicates::LeaveOut);
            fits = placed.has_value();
            if (fits) {
                positions += static_cast<int>(placed->placed);
                records += placed->placed != 0 ? 1 : 0;
                duplicates += static_cast<int>(placed->leftOut);
            }
            return fits;
        });
        if (positions != 0) {
            m_book.PrintLog("Recovered %d positions from %d records that no chain reaches\n",
                            positions, records);
        }
        if (unsound != 0) {
            m_book.PrintLog(
                "Left out %d records that no chain reaches: they fail the record check or mix "
                "slots\n",
                unsound);
        }
        if (duplicates != 0) {
            m_book.PrintLog("Left out %d positions already in the book\n", duplicates);
        }
        return fits;
    }

    // Hands the record in the record area to the writer; nothing when one of its
    // positions does not fit a record of the new size (the message is in the
    // console).
    std::optional<BookWriter::PlaceResult> CopyRecord(uint16_t record, Duplicates duplicates) {
        const BookWriter::PlaceResult placed =
            m_writer->AddRecordPositions(m_book.RecordArea(), m_book.InputKind(), duplicates);
        if (placed.outcome == BookWriter::PlaceOutcome::EntryTooLong) {
            m_book.PrintLog(
                "**Error** A position of record #%d takes %d bytes, more than a record of %d "
                "bytes holds. Choose a larger record size\n",
                int{record}, static_cast<int>(placed.entrySize), m_request.recordSize);
            return std::nullopt;
        }
        return placed;
    }

    // Writes the new book out and flushes it; false when it is no complete book.
    bool WriteAndFlush() {
        if (m_writer->WriteOutputBook() != BookWriter::WriteOutcome::Complete) {
            return false;
        }
        if (const int error = m_writer->SyncOutputBook(); error != 0) {
            m_book.PrintLog("**Error** Can not flush the new book to disk [%s]: %s\n",
                            m_writer->OutputPath().c_str(), std::strerror(error));
            return false;
        }
        m_writer->CloseOutputBook();
        return true;
    }

    // Gives up on a conversion before the exchange: the new file goes, the book
    // stays.
    void Abandon() {
        const std::string output = m_writer->OutputPath();
        m_writer.reset();
        if (const int error = m_book.Files().Remove(output); error != 0 && error != ENOENT) {
            m_book.PrintLog("**Error** Can not remove the incomplete new book [%s]: %s\n",
                            output.c_str(), std::strerror(error));
        }
        m_book.PrintLog("Conversion stopped, the book was not changed\n");
    }

    BookReader& m_book;
    const OptimizeRequest& m_request;
    ChainWalker m_walker;
    std::optional<BookWriter> m_writer;
    bool m_exchangeStarted = false;
};

}  // namespace

std::optional<std::string> CheckNewGeometry(const BookHeader& input, int newRecordSize,
                                            int newHashIndexSize) {
    const int64_t oldRecordSize = input.recordSize;
    const int64_t records = input.recordCount;
    if (newRecordSize < oldRecordSize) {
        if (oldRecordSize / newRecordSize * records > kFitBound) {
            return "**Error** New Recordsize to small to fit in destination book. Try increasing "
                   "the record size";
        }
    } else if (newRecordSize == oldRecordSize && newHashIndexSize > input.hashIndexSize) {
        const int64_t oldIndexRecords = HashIndexRecords(input.recordSize, input.hashIndexSize);
        const int64_t newIndexRecords = HashIndexRecords(static_cast<uint32_t>(newRecordSize),
                                                         static_cast<uint32_t>(newHashIndexSize));
        if (records - oldIndexRecords + newIndexRecords >= kFitBound) {
            return "**Error** New HashIndex to big to fit in destination book. Try increasing the "
                   "record size";
        }
    }
    return std::nullopt;
}

OptimizeResult OnOptimize(BookReader& book, const OptimizeRequest& request) {
    OptimizeResult result;
    if (!book.IsInputOpen()) {
        return result;
    }
    IConsole& console = book.Console();
    console.ClearConsole();
    if (!IsOfferedSize(kRecordSizeTable, request.recordSize) ||
        !IsOfferedSize(kHashIndexSizeTable, request.hashIndexSize)) {
        result.outcome = OptimizeOutcome::Refused;
        result.refusal =
            "**Error** The record size and the hash index size must be sizes offered "
            "by the optimize settings";
        return result;
    }
    if (auto refusal =
            CheckNewGeometry(book.InputHeader(), request.recordSize, request.hashIndexSize)) {
        result.outcome = OptimizeOutcome::Refused;
        result.refusal = std::move(*refusal);
        return result;
    }

    console.ShowProgress();
    result.outcome = Conversion(book, request).Run();
    console.HideProgress();
    return result;
}

bool OpenBookPuttingBack(BookReader& book, const std::string& path) {
    book.CloseInputBook();
    book.SetInputPath(path);
    book.Console().ClearConsole();
    PutBackCutOffConversion(book.Files(), book.Console(), path);
    return book.TryOpenInputBook();
}

}  // namespace plinth
