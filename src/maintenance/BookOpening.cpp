// Opening the book that the user chose, with the put-back of an exchange that a
// conversion did not finish.

#include "maintenance/BookOpening.h"

#include <optional>

#include "maintenance/BookExchange.h"

namespace plinth {

bool OpenChosenBook(BookReader& book, const std::string& path, const ConversionLock* held) {
    book.CloseInputBook();
    book.Console().ClearConsole();
    IFileSystem& files = book.Files();
    const ExchangePaths paths = ConversionPaths(files, path);
    // Only a conversion that no longer holds the book's lock was cut off: in the
    // middle of another program's exchange the book's path is empty for a moment
    // as well. The lock is taken only then, so that opening a book leaves no lock
    // file behind, nor needs a folder it may write to.
    std::optional<FileLock> taken;
    if (held == nullptr && !files.Exists(paths.book)) {
        taken.emplace(files, paths.book + kLockSuffix);
    }
    if (held != nullptr || (taken && taken->Held())) {
        RestoreInterruptedExchange(files, book.Console(), paths);
    }
    try {
        book.OpenInputBook(path);
        return true;
    } catch (const BookFatalError&) {
        return false;
    }
}

}  // namespace plinth
