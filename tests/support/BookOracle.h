#pragma once

// An independent reading of a book file, written apart from the program's reader
// and writer, to tell what an analysis must find and a conversion must carry over.

#include <cstdint>
#include <span>
#include <vector>

#include "BookBuilder.h"
#include "book/ChainLengths.h"

namespace plinth::test {

struct OracleReading {
    // What a conversion must carry over: the positions sound links reach (cut
    // entries end at their last whole move, equal-code moves but the last left
    // out), then, each position once, those of the sound one-slot records that
    // no chain reaches.
    std::vector<builder::Position> positions;
    // What an analysis must report: one finding per invalid link, loop, shared or
    // missing record, failed record check and unreached record that holds
    // something; chain lengths in records (empty and invalid slots count 0).
    int findings = 0;
    ChainLengths lengths;

    // Entries that do not lie in the chain of their own slot.
    size_t misplacedEntries = 0;
    // Chains not in consecutive records linked back to the one before (the first to none).
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
