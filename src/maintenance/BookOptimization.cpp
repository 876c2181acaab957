#include "maintenance/BookOptimization.h"

#include <cerrno>
#include <cstring>

#include "book/BookWriter.h"
#include "book/Paths.h"
#include "maintenance/BookOpening.h"
#include "maintenance/ConversionLock.h"
#include "maintenance/ConversionPrediction.h"
#include "maintenance/CopyWalk.h"
#include "maintenance/OptimizeSettings.h"

namespace plinth {
namespace {

// Why the open book cannot be converted in place, or nothing. The conversion
// reads the file that was opened and puts the new book in the place of the file
// at the book's path: they must be one.
std::optional<std::string> InPlaceProblemOfOpenBook(BookReader& book) {
    if (!book.Files().IsFileAt(book.InputFile(), book.InputPath())) {
        return book.InputPath() +
               " is no longer the book that was opened: another program replaced or removed "
               "it; open the book again";
    }
    return InPlaceProblem(book.Files(), book.InputPath());
}

// One conversion of the open book, from the creation of the new book to the
// opening of the converted one.
class Conversion {
  public:
    Conversion(BookReader& book, const OptimizeRequest& request)
        : m_book(book), m_request(request) {}

    OptimizeOutcome Run() {
        try {
            // Memory that runs out, on the writer's thread as well, ends the
            // conversion as the fatal error does, so that no incomplete new book
            // stays.
            return m_book.WithinMemory([this] { return Convert(); });
        } catch (const BookFatalError&) {
            // The book is closed; an incomplete new book is of no use to anyone.
            if (m_writer && m_writer->OutputCreated() && !m_exchangeStarted) {
                m_writer->CloseOutputBook();
                m_book.Files().Remove(m_writer->OutputPath());
            }
            return OptimizeOutcome::FatalError;
        }
    }

  private:
    OptimizeOutcome Convert() {
        // The exact outcome first, counted without writing anything, so that a book
        // that does not fit the new sizes is refused before a file is created or the
        // new book takes memory.
        const SizePair sizes{m_request.recordSize, m_request.hashIndexSize};
        TextConsole walkText;
        Prediction prediction =
            PredictConversions(m_book, {&sizes, 1}, walkText, m_request.threads).front();
        if (prediction.outcome == Prediction::Outcome::TooLong) {
            PrintLog(m_book.Console(), "Converting....");
            m_book.Console().AppendText(walkText.Text());
            PrintLog(m_book.Console(), "Conversion stopped, the book was not changed\n");
            return OptimizeOutcome::DoesNotFit;
        }
        if (prediction.outcome == Prediction::Outcome::Full) {
            PrintLog(m_book.Console(), "Converting....");
            m_book.Console().AppendText(walkText.Text());
            PrintLog(m_book.Console(), "\nWriting output file\n*** Error *** Output book full\n");
            PrintLog(m_book.Console(),
                     "The new book would need %d records; a book holds at most %d. Choose a larger "
                     "record size or a smaller hash index size\n",
                     static_cast<int>(prediction.records),
                     static_cast<int>(kMaxWrittenRecordCount));
            PrintLog(m_book.Console(), "Conversion stopped, the book was not changed\n");
            return OptimizeOutcome::DoesNotFit;
        }

        const BookHeader& input = m_book.InputHeader();
        m_book.ReadRecord(input.commentRecord);
        m_writer.emplace(m_book.Console(), m_book.Files(), input, m_book.RecordArea(),
                         static_cast<uint32_t>(m_request.recordSize),
                         static_cast<uint32_t>(m_request.hashIndexSize),
                         std::move(prediction.chains));
        const ExchangePaths paths = ConversionPaths(m_book.Files(), m_book.InputPath());
        const std::string newBook = m_request.outputPath.value_or(paths.next);
        // A new book left by a conversion that was cut off goes first: none is
        // writing it, as this one holds the book's lock.
        if (!m_request.outputPath && m_book.Files().Exists(newBook)) {
            m_book.Files().Remove(newBook);
        }
        if (!m_writer->CreateOutputBook(newBook)) {
            Abandon();
            return OptimizeOutcome::NotChanged;
        }
        if (!m_request.outputPath) {
            m_writer->TakeAccessOf(paths.book);
        }
        PrintLog(m_book.Console(), "Converting....");
        if (!CopyChains(m_book, *m_writer, m_book.Console(),
                        {m_request.recordSize, ProgressRange{0, 50}}) ||
            !WriteAndFlush()) {
            Abandon();
            return OptimizeOutcome::NotChanged;
        }
        const std::string output = m_writer->OutputPath();
        m_writer.reset();

        if (m_request.outputPath) {
            m_book.Files().SyncDirectory(FolderOf(output));
            PrintLog(m_book.Console(), "Conversion completed\n");
            PrintLog(m_book.Console(), "The converted book was written here:\n%s\n",
                     output.c_str());
            return OptimizeOutcome::Converted;
        }

        // Another program may have put a book of its own in the book's place meanwhile.
        if (const auto problem = InPlaceProblemOfOpenBook(m_book)) {
            PrintLog(m_book.Console(), "**Error** %s\n", problem->c_str());
            StopWithoutNewBook(output);
            return OptimizeOutcome::NotChanged;
        }
        m_book.CloseInputBook();
        m_exchangeStarted = true;
        if (!ExchangeBookFiles(m_book.Files(), m_book.Console(), paths)) {
            // Show whatever book is at the book's path again.
            if (m_book.Files().Exists(paths.book)) {
                m_book.OpenInputBook(m_book.InputPath());
            }
            return OptimizeOutcome::ExchangeFailed;
        }
        m_book.OpenInputBook(m_book.InputPath());
        PrintLog(m_book.Console(), "Conversion completed\n");
        PrintLog(m_book.Console(), "A backup copy of the original file can be found here:\r\n%s\n",
                 paths.backup.c_str());
        return OptimizeOutcome::Converted;
    }

    // Writes the new book out and flushes it; false when it is no complete book.
    bool WriteAndFlush() {
        if (m_writer->WriteOutputBook({50, 100}) != BookWriter::WriteOutcome::Complete) {
            return false;
        }
        if (const int error = m_writer->SyncOutputBook(); error != 0) {
            PrintLog(m_book.Console(), "**Error** Can not flush the new book to disk [%s]: %s\n",
                     m_writer->OutputPath().c_str(), std::strerror(error));
            return false;
        }
        m_writer->CloseOutputBook();
        return true;
    }

    // Gives up on a conversion before the exchange: the new file goes, the book
    // stays.
    void Abandon() {
        const std::optional<std::string> output =
            m_writer->OutputCreated() ? std::optional(m_writer->OutputPath()) : std::nullopt;
        m_writer.reset();
        StopWithoutNewBook(output);
    }

    // Ends the conversion before the exchange: the new book at `output`, where one
    // was made, goes; the book stays.
    void StopWithoutNewBook(const std::optional<std::string>& output) {
        if (const int error = output ? m_book.Files().Remove(*output) : 0;
            error != 0 && error != ENOENT) {
            PrintLog(m_book.Console(),
                     "**Error** Can not remove the incomplete new book [%s]: %s\n", output->c_str(),
                     std::strerror(error));
        }
        PrintLog(m_book.Console(), "Conversion stopped, the book was not changed\n");
    }

    BookReader& m_book;
    const OptimizeRequest& m_request;
    std::optional<BookWriter> m_writer;
    bool m_exchangeStarted = false;
};

}  // namespace

std::optional<std::string> InPlaceProblem(IFileSystem& files, const std::string& path) {
    const std::string book = files.FileBehind(path);
    for (const char* suffix : {kNewBookSuffix, kBackupSuffix}) {
        if (files.TypeOf(book + suffix) == FileType::Folder) {
            return book + suffix + " is a folder; the conversion needs that name for a file";
        }
    }
    if (files.TypeOf(book) != FileType::Regular) {
        return std::nullopt;
    }
    if (!files.Permits(book, Access::Write)) {
        return book + " is not writable; a conversion in place replaces it";
    }
    if (const std::string folder = FolderOf(book); !files.Permits(folder, Access::Write)) {
        return "the folder " + folder +
               " is not writable; a conversion in place writes the new book and the backup there";
    }
    return std::nullopt;
}

namespace {

// The conversion of the open book, under its lock.
OptimizeResult ConvertOpenBook(BookReader& book, const OptimizeRequest& request) {
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

    if (const auto problem = request.outputPath ? std::nullopt : InPlaceProblemOfOpenBook(book)) {
        PrintLog(book.Console(), "**Error** %s\nConversion stopped, the book was not changed\n",
                 problem->c_str());
        result.outcome = OptimizeOutcome::NotChanged;
        return result;
    }
    console.ShowProgress();
    result.outcome = Conversion(book, request).Run();
    console.HideProgress();
    return result;
}

OptimizeResult NotLocked(BookReader& book, const ConversionLock& lock) {
    book.Console().ClearConsole();
    return {OptimizeOutcome::NotLocked, lock.refusal};
}

}  // namespace

OptimizeResult OnOptimize(BookReader& book, const OptimizeRequest& request) {
    if (!book.IsInputOpen()) {
        return {};
    }
    const ConversionLock lock = LockForConversion(book.Files(), book.InputPath());
    if (!lock.refusal.empty()) {
        return NotLocked(book, lock);
    }
    return ConvertOpenBook(book, request);
}

OptimizeResult OptimizeBookAt(BookReader& book, const std::string& path,
                              const RequestForBook& request) {
    const ConversionLock lock = LockForConversion(book.Files(), path);
    if (!lock.refusal.empty()) {
        return NotLocked(book, lock);
    }
    // Converting again is how a user recovers from a conversion that was cut off
    // in the middle of its exchange: the lock held, the open puts the book back.
    if (!OpenChosenBook(book, path, &lock)) {
        return {OptimizeOutcome::FatalError, {}};
    }
    return ConvertOpenBook(book, request(book.InputHeader()));
}

}  // namespace plinth
