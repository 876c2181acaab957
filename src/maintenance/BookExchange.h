#pragma once

// The files of a conversion in place beside the book, and their exchange: the
// converted book takes the book's place, the old book becomes the backup.

#include <string>

#include "book/Console.h"
#include "book/FileSystem.h"

namespace plinth {

// Suffixes appended to the book's full path during and after a conversion.
inline constexpr const char* kNewBookSuffix = ".new.bk";
inline constexpr const char* kBackupSuffix = ".old.bk";

struct ExchangePaths {
    std::string book;    // the book, replaced by the converted book
    std::string next;    // the converted book, complete and flushed
    std::string backup;  // where the old book is kept
};

// The files of a conversion in place of the book at `path`. Where the path is a
// symbolic link, the book it leads to is converted, beside itself, and the link
// stays.
ExchangePaths ConversionPaths(IFileSystem& files, const std::string& path);

// Puts the converted book in the place of the book and keeps the old book as the
// backup, replacing an earlier backup. The book's path holds a complete book at
// every moment: the old book is first given the backup's name as a second name,
// then the converted book replaces it in one rename. Where the file system has no
// second names, the old book is renamed to the backup first.
//
// Gives false when a step failed; the console then says where each book is, and
// the old book is at the book's path wherever that could be kept.
bool ExchangeBookFiles(IFileSystem& files, IConsole& console, const ExchangePaths& paths);

// A conversion cut off (by a crash or a power cut) between the two renames of an
// exchange without second names leaves no book at the book's path, the old book
// at the backup path and the new book beside them. This puts the old book back
// in its place, so that the book opens and converts again as before, and
// touches nothing in any other case.
void RestoreInterruptedExchange(IFileSystem& files, IConsole& console, const ExchangePaths& paths);

}  // namespace plinth
