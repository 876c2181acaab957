#pragma once

// An independent reading of a book file, written apart from the program's reader
// and writer, to tell what an analysis must find and a conversion must carry over.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
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
    // What an analysis must report: a comment record outside the book, and one
    // finding per invalid link, loop, shared or missing record, failed record
    // check and unreached record that holds something, also past recordCount up
    // to the file's end; chain lengths in records (empty and invalid slots count 0).
    int findings = 0;
    ChainLengths lengths;
    // For the record size: the faults (unsound links, records that fail the
    // record check, reached or not) and the records that hold something and pass.
    int faults = 0;
    size_t soundRecords = 0;
    // Records of the file, outside the comment and the HashIndex, that hold
    // something: those a conversion must not leave out all at once.
    size_t recordsHoldingPositions = 0;

    // Entries that do not lie in the chain of their own slot.
    size_t misplacedEntries = 0;
    // Chains not in consecutive records linked back to the one before (the first to none).
    size_t scatteredChains = 0;
};

// The reading of `bytes` as a book, as records of `recordSize` bytes where that
// is given instead of the header's.
OracleReading ReadAsOracle(const std::vector<uint8_t>& bytes,
                           std::optional<int> recordSize = std::nullopt);

// The record size that an analysis must name for `bytes`: of the sizes 1024 to
// 16384 other than the header's, one whose reading puts the comment record
// (starting with four zero bytes) in the book and the HashIndex in the file, has
// fewer faults and more than twice as many sound records holding something as
// the header's; the one with most, then with the fewest faults, then the smallest.
std::optional<int> LikelyRecordSize(const std::vector<uint8_t>& bytes);

// The warning an analysis must give of header totals that differ from a book
// without damage, or "".
std::string TotalsWarning(const std::vector<uint8_t>& bytes);

// The positions of one chain record, read on their own terms (`moveSize` is 4 or
// 16), as a conversion copies them.
std::vector<builder::Position> PositionsOfRecord(std::span<const uint8_t> record, size_t moveSize);

// The record check, step by step as the format describes it, apart from the
// program's own entry walk: `moveSize` is 4 or 16, bytes past the end read as 0.
bool RecordPassesCheck(std::span<const uint8_t> record, size_t moveSize);

// The positions sorted, for comparing two books as multisets.
std::vector<builder::Position> Sorted(std::vector<builder::Position> positions);

}  // namespace plinth::test
