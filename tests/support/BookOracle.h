#pragma once

// An independent reading of a book file, written apart from the program's reader
// and writer, to tell what a conversion must carry over.

#include <cstdint>
#include <vector>

#include "BookBuilder.h"

namespace plinth::test {

struct OracleReading {
    // The positions reachable from the HashIndex through sound links, as a
    // conversion must copy them: an entry running past its record's end cut after
    // its last whole move, and moves other than the last with two equal move codes
    // left out. A record reached by two chains counts twice.
    std::vector<builder::Position> positions;
    // Entries that do not lie in the chain of their own slot.
    size_t misplacedEntries = 0;
    // Chains that are not laid down in consecutive records.
    size_t scatteredChains = 0;
};

OracleReading ReadAsOracle(const std::vector<uint8_t>& bytes);

// The positions sorted, for comparing two books as multisets.
std::vector<builder::Position> Sorted(std::vector<builder::Position> positions);

}  // namespace plinth::test
