#pragma once

// An independent reading of a book file, written apart from the program's reader
// and writer, to tell what an analysis must find and a conversion must carry over.

#include <cstdint>
#include <span>
#include <vector>

#include "BookBuilder.h"

namespace plinth::test {

struct OracleReading {
    // The positions a conversion must carry over: those reachable from the
    // HashIndex through sound links (an entry running past its record's end cut
    // after its last whole move, moves other than the last with two equal move
    // codes left out; a chain ends at a link into the comment or HashIndex records
    // and at a record that a chain passed before), then those of the records no
    // chain reaches that pass the record check and hold one slot only, each
    // position once.
    std::vector<builder::Position> positions;
    // What an analysis must report: one finding per invalid link, loop, shared
    // record, missing record (one the file does not hold in full), record that
    // fails the record check and record that no chain reaches but holds something, and the longest
    // and shortest chain in records (empty and invalid slots count 0).
    int findings = 0;
    int longestChain = 0;
    int shortestChain = 65535;

    // Entries that do not lie in the chain of their own slot.
    size_t misplacedEntries = 0;
    // Chains that are not laid down in consecutive records, each record linked
    // back to the one before it (the first to none).
    size_t scatteredChains = 0;
};

OracleReading ReadAsOracle(const std::vector<uint8_t>& bytes);

// The positions of one chain record, read on their own terms (`moveSize` is 4 or
// 16), as a conversion copies them.
std::vector<builder::Position> PositionsOfRecord(std::span<const uint8_t> record, size_t moveSize);

// The record check, step by step as the format describes it, apart from the
// program's own entry walk: `moveSize` is 4 or 16, bytes past the end read as 0.
bool RecordPassesCheck(std::span<const uint8_t> record, size_t moveSize);

// The positions sorted, for comparing two books as multisets.
std::vector<builder::Position> Sorted(std::vector<builder::Position> positions);

}  // namespace plinth::test
