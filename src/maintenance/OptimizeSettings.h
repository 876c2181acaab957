#pragma once

// The choices offered for the geometry of a converted book, and the rule that
// preselects them from the open book.

// The settings dialog and the command line offer exactly these.

#include <array>
#include <optional>
#include <span>
#include <vector>

#include "book/BookFormat.h"

namespace plinth {

// Each table ends with the mark -1.
inline constexpr std::array<int, 6> kRecordSizeTable = {1024, 2048, 4096, 8192, 16384, -1};
inline constexpr std::array<int, 7> kHashIndexSizeTable = {1024,  2048,  4096, 8192,
                                                           16384, 32768, -1};

// The sizes of a table, without its end mark.
std::vector<int> OfferedSizes(std::span<const int> table);

// The position of `size` in the table, the selection that shows it, or
// `otherwise` when the table does not hold it.
int SelectionOfSize(std::span<const int> table, int size, int otherwise);

// The size at position `selection`; -1 for a negative selection.
int SizeAtSelection(std::span<const int> table, int selection);

// Whether the table holds `size`.
bool IsOfferedSize(std::span<const int> table, int size);

// The size preselected for a book whose current size is `size`: that size when
// the table holds it, else the table's first size.
int PreselectedSize(std::span<const int> table, int size);

struct SizePair {
    int recordSize = 0;
    int hashIndexSize = 0;
    bool operator==(const SizePair&) const = default;
};

// Every pair of sizes that the tables offer, record size first.
std::vector<SizePair> OfferedPairs();

// The sizes asked for, and where one is not, the size preselected for the book
// of `header` (PreselectedSize).
SizePair ChosenSizes(std::optional<int> recordSize, std::optional<int> hashIndexSize,
                     const BookHeader& header);

}  // namespace plinth
