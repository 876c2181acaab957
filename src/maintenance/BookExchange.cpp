// The exchange of the book and the converted book, and the put-back of a book
// whose exchange a conversion did not finish.

#include "maintenance/BookExchange.h"

#include "book/Paths.h"

namespace plinth {
namespace {

void ReportFailure(IConsole& console, const char* what, const std::string& path,
                   const FileError& error) {
    PrintLog(console, "**Error** %s [%s]: %s\n", what, path.c_str(), error.Text().c_str());
}

void ReportWhereBooksAre(IConsole& console, const std::string& original,
                         const std::string& converted) {
    PrintLog(console, "The original book is at [%s]\n", original.c_str());
    PrintLog(console, "The converted book is at [%s]\n", converted.c_str());
}

}  // namespace

ExchangePaths ConversionPaths(IFileSystem& files, const std::string& path) {
    const std::string book = files.FileBehind(path);
    return {book, book + kNewBookSuffix, book + kBackupSuffix};
}

bool ExchangeBookFiles(IFileSystem& files, IConsole& console, const ExchangePaths& paths) {
    const std::string folder = FolderOf(paths.book);

    // An earlier backup of this book goes.
    if (const FileError error = files.Remove(paths.backup);
        error && error.GetKind() != FileError::Kind::Missing) {
        ReportFailure(console, "Can not remove the old backup", paths.backup, error);
        ReportWhereBooksAre(console, paths.book, paths.next);
        return false;
    }

    // The old book gets the backup's name, keeping its own where that is possible.
    bool bookStillInPlace = true;
    if (files.Link(paths.book, paths.backup)) {
        if (const FileError error = files.Rename(paths.book, paths.backup)) {
            ReportFailure(console, "Can not keep the book as its backup", paths.backup, error);
            ReportWhereBooksAre(console, paths.book, paths.next);
            return false;
        }
        bookStillInPlace = false;
    }
    // Durable before the book's own name changes hands. A folder that cannot be
    // flushed (some file systems refuse it) does not stop the exchange.
    files.SyncDirectory(folder);

    if (const FileError error = files.Rename(paths.next, paths.book)) {
        ReportFailure(console, "Can not put the converted book in place", paths.book, error);
        std::string original = paths.book;
        if (!bookStillInPlace) {
            if (const FileError back = files.Rename(paths.backup, paths.book)) {
                ReportFailure(console, "Can not put the book back", paths.book, back);
                original = paths.backup;
            }
        }
        ReportWhereBooksAre(console, original, paths.next);
        return false;
    }
    files.SyncDirectory(folder);
    return true;
}

void RestoreInterruptedExchange(IFileSystem& files, IConsole& console, const ExchangePaths& paths) {
    if (files.Exists(paths.book) || !files.Exists(paths.backup) || !files.Exists(paths.next)) {
        return;
    }
    if (const FileError error = files.Rename(paths.backup, paths.book)) {
        ReportFailure(console, "Can not put the book back from its backup", paths.backup, error);
        return;
    }
    files.SyncDirectory(FolderOf(paths.book));
    PrintLog(console,
             "Warning, a conversion of this book was cut off; the book was put back from [%s]\n",
             paths.backup.c_str());
}

}  // namespace plinth
