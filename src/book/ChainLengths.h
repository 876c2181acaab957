#pragma once

// The longest and the shortest chain of a book, in records, and the two lines
// that tell them: the analysis tells those of the book, the writer and the dry
// run those of the new book.

#include <algorithm>

#include "book/BookFormat.h"
#include "book/Console.h"

namespace plinth {

// Over the chains counted so far. Before any is counted the longest is 0 and the
// shortest 65535, the most records a book holds.
struct ChainLengths {
    int longest = 0;
    int shortest = static_cast<int>(kMaxRecordCount);

    void Count(int length) {
        longest = std::max(longest, length);
        shortest = std::min(shortest, length);
    }
    bool operator==(const ChainLengths&) const = default;
};

// "Longest chain:" and "Shortest chain:", a line each.
inline void PrintChainLengths(IConsole& console, const ChainLengths& lengths) {
    PrintLog(console, "Longest chain:\t\t%d\n", lengths.longest);
    PrintLog(console, "Shortest chain:\t\t%d\n", lengths.shortest);
}

}  // namespace plinth
