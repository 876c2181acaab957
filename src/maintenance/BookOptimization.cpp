// The conversion of the open book, phase by phase, and the checks before it.

#include "maintenance/BookOptimization.h"

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

// One conversion of the open book, under its lock, phase by phase as the list in
// BookOptimization.h numbers them.
class Conversion {
  public:
    Conversion(BookReader& book, const OptimizeRequest& request)
        : m_book(book),
          m_console(book.Console()),
          m_files(book.Files()),
          m_request(request),
          m_sizes(ChosenSizes(request.recordSize, request.hashIndexSize, book.InputHeader())),
          m_paths(ConversionPaths(m_files, book.InputPath())) {}

    OptimizeResult Run() {
        m_console.ClearConsole();
        if (std::optional<std::string> refusal = CheckFit()) {
            return {OptimizeOutcome::Refused, std::move(*refusal)};
        }
        if (const auto problem =
                m_request.outputPath ? std::nullopt : InPlaceProblemOfOpenBook(m_book)) {
            PrintLog(m_console, "**Error** %s\nConversion stopped, the book was not changed\n",
                     problem->c_str());
            return {OptimizeOutcome::NotChanged, {}};
        }
        m_console.ShowProgress();
        const OptimizeOutcome outcome = ConvertUntilAFatalError();
        m_console.HideProgress();
        return {outcome, {}};
    }

  private:
    // 1. The fit checks: the refusal of the sizes, for a message box, or nothing.
    std::optional<std::string> CheckFit() const {
        if (!IsOfferedSize(kRecordSizeTable, m_sizes.recordSize) ||
            !IsOfferedSize(kHashIndexSizeTable, m_sizes.hashIndexSize) ||
            (m_request.inputRecordSize &&
             !IsOfferedSize(kRecordSizeTable, *m_request.inputRecordSize))) {
            return "**Error** The record size and the hash index size must be sizes offered by "
                   "the optimize settings";
        }
        return CheckNewGeometry(m_book.InputHeader(), m_sizes.recordSize, m_sizes.hashIndexSize);
    }

    // Phases 2 to 8. Memory that runs out, on the writer's thread as well, ends
    // the conversion as the fatal error does, so that no incomplete new book stays.
    OptimizeOutcome ConvertUntilAFatalError() {
        try {
            return m_book.WithinMemory([this] { return Convert(); });
        } catch (const BookFatalError&) {
            // The book is closed; an incomplete new book is of no use to anyone.
            if (m_writer && m_writer->OutputCreated() && !m_exchangeStarted) {
                m_writer->CloseOutputBook();
                m_files.Remove(m_writer->OutputPath());
            }
            return OptimizeOutcome::FatalError;
        }
    }

    OptimizeOutcome Convert() {
        ReportRecordSizeRead(m_console, m_book);
        Prediction counted = Count();
        if (const std::optional<OptimizeOutcome> stop = StopAfterCount(counted)) {
            return *stop;
        }
        if (!Create(std::move(counted.chains)) || !Copy() || !WriteOut() || !Flush()) {
            Abandon();
            return OptimizeOutcome::NotChanged;
        }
        const std::string output = m_writer->OutputPath();
        m_writer.reset();
        return m_request.outputPath ? Written(output) : Exchange(output);
    }

    // 2. The exact outcome first, counted without writing anything, so that a book
    // that does not fit the new sizes is refused before a file is created or the
    // new book takes memory. The walk's messages are kept for a stop.
    Prediction Count() {
        return PredictConversions(m_book, {&m_sizes, 1}, m_countText, m_request.threads).front();
    }

    // The outcome of a conversion that the count stops, the console saying why:
    // the book does not fit, or the new book would hold none of the positions
    // that the book holds. Nothing when the conversion goes on.
    std::optional<OptimizeOutcome> StopAfterCount(const Prediction& prediction) {
        if (prediction.outcome == Prediction::Outcome::Fits) {
            return std::nullopt;
        }
        PrintLog(m_console, "Converting....");
        m_console.AppendText(m_countText.Text());
        if (prediction.outcome == Prediction::Outcome::Empty) {
            ReportNoPositionRead(m_console, m_book);
            return OptimizeOutcome::NothingRead;
        }
        // A new book too large is told where its writing would have begun.
        if (prediction.outcome == Prediction::Outcome::Full) {
            PrintLog(m_console, "\n*** Error *** Output book full\n%s\n",
                     RefusalOf(prediction).c_str());
        }
        PrintLog(m_console, "Conversion stopped, the book was not changed\n");
        return OptimizeOutcome::DoesNotFit;
    }

    // 3. The new book, its chains laid out as `chains` counted them; false when
    // it cannot be created.
    bool Create(std::vector<ChainFill> chains) {
        const BookHeader& input = m_book.InputHeader();
        // A comment record outside the book gives the new book an empty comment.
        std::span<const uint8_t> comment;
        if (m_book.HoldsCommentRecord()) {
            m_book.ReadRecord(input.commentRecord);
            comment = m_book.RecordArea();
        }
        m_writer.emplace(m_console, m_files, input, comment,
                         static_cast<uint32_t>(m_sizes.recordSize),
                         static_cast<uint32_t>(m_sizes.hashIndexSize), std::move(chains));
        const std::string newBook = m_request.outputPath.value_or(m_paths.next);
        // A new book left by a conversion that was cut off goes first: none is
        // writing it, as this one holds the book's lock.
        if (!m_request.outputPath && m_files.Exists(newBook)) {
            m_files.Remove(newBook);
        }
        if (!m_writer->CreateOutputBook(newBook)) {
            return false;
        }
        if (!m_request.outputPath) {
            m_writer->TakeAccessOf(m_paths.book);
        }
        return true;
    }

    // 4. The copy walk, moving the progress bar from 0 to 50.
    bool Copy() {
        PrintLog(m_console, "Converting....");
        return CopyChains(m_book, *m_writer, m_console, {m_sizes.recordSize, ProgressRange{0, 50}});
    }

    // 5. The write-out, moving the progress bar from 50 to 100; false when the
    // output file is no complete book.
    bool WriteOut() {
        return m_writer->WriteOutputBook({50, 100}) == BookWriter::WriteOutcome::Complete;
    }

    // 6. The flush of the new book to the disk, which then closes.
    bool Flush() {
        if (const FileError error = m_writer->SyncOutputBook()) {
            PrintLog(m_console, "**Error** Can not flush the new book to disk [%s]: %s\n",
                     m_writer->OutputPath().c_str(), error.Text().c_str());
            return false;
        }
        m_writer->CloseOutputBook();
        return true;
    }

    // The end of a conversion into a new file, after phase 6: the new book at
    // `output` stays where it is.
    OptimizeOutcome Written(const std::string& output) {
        m_files.SyncDirectory(FolderOf(output));
        PrintLog(m_console, "Conversion completed\n");
        PrintLog(m_console, "The converted book was written here:\n%s\n", output.c_str());
        return OptimizeOutcome::Converted;
    }

    // 7. The exchange of the book and the new book at `output`, when another
    // program has not put a book of its own in the book's place meanwhile.
    OptimizeOutcome Exchange(const std::string& output) {
        if (const auto problem = InPlaceProblemOfOpenBook(m_book)) {
            PrintLog(m_console, "**Error** %s\n", problem->c_str());
            StopWithoutNewBook(output);
            return OptimizeOutcome::NotChanged;
        }
        m_book.CloseInputBook();
        m_exchangeStarted = true;
        if (!ExchangeBookFiles(m_files, m_console, m_paths)) {
            // Show whatever book is at the book's path again.
            if (m_files.Exists(m_paths.book)) {
                m_book.OpenInputBook(m_book.InputPath());
            }
            return OptimizeOutcome::ExchangeFailed;
        }
        return Reopen();
    }

    // 8. The new book opened again in the place of the old one.
    OptimizeOutcome Reopen() {
        m_book.OpenInputBook(m_book.InputPath());
        PrintLog(m_console, "Conversion completed\n");
        PrintLog(m_console, "A backup copy of the original file can be found here:\r\n%s\n",
                 m_paths.backup.c_str());
        return OptimizeOutcome::Converted;
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
        if (const FileError error = output ? m_files.Remove(*output) : FileError();
            error && error.GetKind() != FileError::Kind::Missing) {
            PrintLog(m_console, "**Error** Can not remove the incomplete new book [%s]: %s\n",
                     output->c_str(), error.Text().c_str());
        }
        PrintLog(m_console, "Conversion stopped, the book was not changed\n");
    }

    BookReader& m_book;
    IConsole& m_console;
    IFileSystem& m_files;
    const OptimizeRequest& m_request;
    const SizePair m_sizes;
    const ExchangePaths m_paths;
    std::optional<BookWriter> m_writer;
    TextConsole m_countText;  // the messages of the count's walk
    bool m_exchangeStarted = false;
};

// The open book read as records of the size a conversion asks for, for as long
// as the conversion runs; as its header says again afterwards, where it is still
// open and not the new book.
class RecordSizeRead {
  public:
    RecordSizeRead(BookReader& book, std::optional<int> recordSize) : m_book(book) {
        if (recordSize && IsOfferedSize(kRecordSizeTable, *recordSize) &&
            *recordSize != book.InputHeader().recordSize) {
            book.ReadAsRecordsOf(static_cast<uint16_t>(*recordSize));
        }
    }
    RecordSizeRead(const RecordSizeRead&) = delete;
    RecordSizeRead& operator=(const RecordSizeRead&) = delete;
    ~RecordSizeRead() {
        if (m_book.IsInputOpen() && m_book.InputHeader().recordSize != m_book.HeaderRecordSize()) {
            try {
                m_book.ReadAsRecordsOf(m_book.HeaderRecordSize());
            } catch (const BookFatalError&) {
                // No memory for the record buffer: the book is closed, as the message says.
            }
        }
    }

  private:
    BookReader& m_book;
};

OptimizeResult ConvertAsAsked(BookReader& book, const OptimizeRequest& request) {
    try {
        const RecordSizeRead readAs(book, request.inputRecordSize);
        return Conversion(book, request).Run();
    } catch (const BookFatalError&) {
        return {OptimizeOutcome::FatalError, {}};  // no memory to read the book so
    }
}

OptimizeResult NotLocked(BookReader& book, const ConversionLock& lock) {
    book.Console().ClearConsole();
    return {OptimizeOutcome::NotLocked, lock.refusal};
}

}  // namespace

void ReportRecordSizeRead(IConsole& console, const BookReader& book) {
    if (const int size = book.InputHeader().recordSize; size != book.HeaderRecordSize()) {
        PrintLog(console, "Reading the book as records of %d bytes; its header says %d\n", size,
                 int{book.HeaderRecordSize()});
    }
}

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

OptimizeResult OptimizeBook(BookReader& book, const OptimizeRequest& request) {
    if (!book.IsInputOpen()) {
        return {};
    }
    const ConversionLock lock = LockForConversion(book.Files(), book.InputPath());
    if (!lock.refusal.empty()) {
        return NotLocked(book, lock);
    }
    return ConvertAsAsked(book, request);
}

OptimizeResult OptimizeBookAt(BookReader& book, const std::string& path,
                              const OptimizeRequest& request) {
    const ConversionLock lock = LockForConversion(book.Files(), path);
    if (!lock.refusal.empty()) {
        return NotLocked(book, lock);
    }
    if (!OpenChosenBook(book, path, &lock)) {
        return {OptimizeOutcome::FatalError, {}};
    }
    return ConvertAsAsked(book, request);
}

}  // namespace plinth
