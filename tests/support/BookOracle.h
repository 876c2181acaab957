#pragma once

// An independent reading of a book file, written apart from the program's reader
// and writer, to tell what an analysis must find and a conversion must carry over.

#include <cstdint>
#include <span>
#include <vector>

#include "BookBuilder.h"

namespace plinth::test {

struct OracleReading {
    // The positions reachable from the HashIndex through sound links, as a
    // conversion must copy them: an entry running past its record's end cut after
    // its last whole move, and moves other than the last with two equal move codes
    // left out. A record reached by two chains counts twice; a chain that comes
    // back to one of its own records ends there.
    std::vector<builder::Position> positions;
    // A chain led to a record that the file does not hold in full. The program
    // gives up there with a read error, so the reading stops there too:
    // `positions` holds what was read before.
    bool unreadableRecord = false;

    // What an analysis must report: one finding per invalid HashIndex link,
    // invalid chain link, loop and record that fails the record check, and the
    // longest and shortest chain in records (empty and invalid slots count 0).
    int findings = 0;
    int longestChain = 0;
    int shortestChain = 65535;

    // Entries that do not lie in the chain of their own slot.
    size_t misplacedEntries = 0;
    // Chains that are not laid down in consecutive records.
    size_t scatteredChains = 0;
};

OracleReading ReadAsOracle(const std::vector<uint8_t>& bytes);

// The record check, step by step as the format describes it, apart from the
// program's own entry walk: `moveSize` is 4 or 16, bytes past the end read as 0.
bool RecordPassesCheck(std::span<const uint8_t> record, size_t moveSize);

// The positions sorted, for comparing two books as multisets.
std::vector<builder::Position> Sorted(std::vector<builder::Position> positions);

}  // namespace plinth::test
