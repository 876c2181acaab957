#pragma once

// Opening the book that the user chose, in the window or for a conversion on the
// command line: the one open that puts back a book cut off in its exchange.

#include <string>

#include "book/BookReader.h"
#include "maintenance/ConversionLock.h"

namespace plinth {

// Opens the book at `path` as "Open book ..." does: closes the book that is open,
// clears the console, puts the book back from its backup where a conversion was
// cut off in the middle of its exchange (the console then says so), and opens it
// (BookReader::OpenInputBook). The put-back needs the book's conversion lock:
// `held` where the caller holds it, else it is taken for the put-back, which is
// left out while another conversion holds it. Gives false when the open ended in
// the fatal error, whose message is in the console.
bool OpenChosenBook(BookReader& book, const std::string& path,
                    const ConversionLock* held = nullptr);

}  // namespace plinth
