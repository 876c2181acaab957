#pragma once

// The conversion of the open book into a new geometry, which also repairs it:
// only what can be reached through sound links is carried over.

// The conversion runs in phases, each a step of its own (Conversion):
//   1. fit checks: refuse sizes that would overflow the new book, and a book
//      that cannot be converted in place; nothing touched
//   2. count: the exact outcome, counted without writing (PredictConversions): a
//      position too long for the new records, a new book too large for the
//      record numbers, or an empty new book of a book that holds positions stops
//      it here; nothing touched. The count gives the records of every new chain,
//      so every record's place is known from here on
//   3. create BOOK.new.bk with header, comment and an empty HashIndex
//   4. copy walk (CopyChains): every chain of the old book, record by record,
//      then the sound records no chain reaches, into the new chains; complete
//      records are written at their places, 64 MiB at a time on a thread of
//      their own (progress 0-50)
//   5. write-out of the records not yet written, the header and the HashIndex
//      (progress 50-100)
//   6. flush the new book to the disk
//   7. exchange, when the file at the book's path is still the one read: the old
//      book becomes BOOK.old.bk, the new book takes its place
//   8. open the new book again
// It holds the book's lock (ConversionLock) from before phase 1 to the end, so
// that a second conversion of the book is refused.
// Any failure before the exchange removes the new file and leaves the book as it
// was. Where the file system has hard links the exchange never leaves the book's
// path without a complete book; without them the book is for a moment only at
// the backup path, and the next open or conversion puts it back from there.

#include <optional>
#include <string>

#include "book/BookReader.h"
#include "book/ChainPass.h"
#include "maintenance/BookExchange.h"

namespace plinth {

struct OptimizeRequest {
    // The new sizes; where one is not given, the size preselected for the book
    // (ChosenSizes), as the settings dialog preselects it.
    std::optional<int> recordSize;
    std::optional<int> hashIndexSize;
    // Write the new book here instead of putting it in the place of the book.
    std::optional<std::string> outputPath;
    // The threads that the exact count before the copy may use.
    Threads threads = Threads::All;
    // Read the book as records of this size, whatever its header says: for a
    // header whose record size is damaged (AnalysisReport::likelyRecordSize).
    // One of the record sizes the settings offer.
    std::optional<int> inputRecordSize = std::nullopt;
};

enum class OptimizeOutcome {
    Converted,       // the new book is in place (or at the output path) and open
    Refused,         // the sizes do not fit; nothing was touched, the console is empty
    NotChanged,      // the conversion stopped early; the book is unchanged and open
    DoesNotFit,      // a position is too long for the new record size, or the new
                     // book would hold more records than a book can; the book is
                     // unchanged and open
    NothingRead,     // no position could be read from a book that holds positions;
                     // the book is unchanged and open
    ExchangeFailed,  // a file operation of the exchange failed; the console says
                     // where each file is
    FatalError,      // the fatal error ended it; the book is closed
    NoBookOpen,
    NotLocked,  // another program converts the book, or its lock could not be taken;
                // nothing was touched, `refusal` says which
};

struct OptimizeResult {
    OptimizeOutcome outcome = OptimizeOutcome::NoBookOpen;
    std::string refusal;  // the fit check's message, for a message box, or the lock's
};

// The Optimize pass over the open book, once the sizes are chosen: clears the
// console and converts the book under its lock, the progress shown while it
// runs.
OptimizeResult OptimizeBook(BookReader& book, const OptimizeRequest& request);

// The same pass over the book at `path`, under the book's lock taken before
// anything else: the book is opened as OpenChosenBook opens it (FatalError when
// it does not open), which puts it back where a conversion was cut off in its
// exchange, and converted. For the command line, which runs it again to finish
// such a conversion.
OptimizeResult OptimizeBookAt(BookReader& book, const std::string& path,
                              const OptimizeRequest& request);

// Tells, where `book` is read as records of another size than its header gives
// (OptimizeRequest::inputRecordSize), that it is: "Reading the book as records of
// 2048 bytes; its header says 1000".
void ReportRecordSizeRead(IConsole& console, const BookReader& book);

// Why the book at `book` cannot be converted in place, or nothing: a conversion
// in place replaces the book and writes the new book and the backup beside it,
// so the book and its folder must be writable and the names of those files must
// not be folders. A path that is no regular file is left to the reader. Where
// `path` is a symbolic link, these are the book's and its folder's behind it.
std::optional<std::string> InPlaceProblem(IFileSystem& files, const std::string& path);

}  // namespace plinth
