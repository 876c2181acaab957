#pragma once

// The lock that gives a conversion its book to itself: an advisory lock on the
// lock file BOOK.lock beside the book.

// From its start until the exchange and the reopening of the book are done, a
// conversion holds the book's lock: an exclusive advisory
// lock (flock) on the lock file BOOK.lock beside the book. A lock on the book file
// itself would not do, since after the exchange the book's path names another
// file (and, without hard links, for a moment none). The lock goes with the
// process that holds it, however that ends; the lock file is removed when the lock
// is given up, and one that a crash left behind is an empty file that stops no one.
//
// A second conversion of the book does not wait: it is refused and touches
// nothing. Readers take no lock, since the exchange keeps a complete book at the
// book's path.

#include <string>

#include "book/FileSystem.h"

namespace plinth {

// Appended to the book's full path, as the suffixes of the conversion's files are.
inline constexpr const char* kLockSuffix = ".lock";

struct ConversionLock {
    FileLock lock;
    // Why the conversion may not go on ("**Error** ...", with its line end);
    // empty when it may.
    std::string refusal;
};

// Takes the lock of the book at `book` for a conversion; where `book` is a
// symbolic link, that of the book behind it. Where this user may create no file
// (the folder is missing or not writable) a conversion goes on without it: it can
// change nothing there, only read the book. A lock file that exists but that this
// user may not open, or a file other than a lock file at its name, refuses it.
ConversionLock LockForConversion(IFileSystem& files, const std::string& book);

}  // namespace plinth
