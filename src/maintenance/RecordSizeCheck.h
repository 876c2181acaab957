#pragma once

// Whether a book's header gives the size of its records: a damaged record size
// makes every record read at the wrong place, so that the chains break and
// almost no record passes the record check. The analysis tells the record size
// that the file's records fit instead, and a conversion can read the book with
// it (OptimizeRequest::inputRecordSize).
//
// The rule: a record size of the settings' table, other than the header's, fits
// the file when, read with it,
//   - the comment record lies in the book and starts with four zero bytes, and
//     the HashIndex lies in the file, where the header puts them;
//   - fewer faults are found than read with the header's size: links of the
//     chains that are unsound, and records that fail the record check, whether
//     a chain reaches them or not;
//   - and more than twice as many records that hold positions pass the record
//     check.
// Of the sizes that fit, the one with the most records that pass (then the
// fewest faults, then the smaller size) is told. A book without damage never
// gets one: it has no fault.

#include <cstdint>
#include <optional>

#include "book/BookReader.h"
#include "book/ChainWalk.h"

namespace plinth {

// How the records of a book read with one record size: the faults (unsound
// links of the chains, and records that fail the record check), and the records
// that hold positions and pass the record check; over the records that the
// chains reach and those they do not, up to the end of the file.
struct RecordReading {
    int faults = 0;
    uint32_t soundRecords = 0;

    void CountRecord(bool sound, bool holdsPositions) {
        faults += sound ? 0 : 1;
        soundRecords += sound && holdsPositions ? 1 : 0;
    }
    void CountEnd(ChainEnd end) { faults += EndsAtUnsoundLink(end) ? 1 : 0; }
};

// The record size of the settings' table that the records of the book that
// `book` has open fit far better than the size its header gives, which reads
// as `asHeaderSays`; nothing when none does. Reads the book in a reader of its
// own; a book that can no longer be read has none.
std::optional<int> LikelyRecordSize(const BookReader& book, const RecordReading& asHeaderSays);

}  // namespace plinth
