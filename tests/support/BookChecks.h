#pragma once

// What a complete converted book must be, checked from the outside: through the
// independent reading of BookOracle and through the program's own analysis.

#include <cstdint>
#include <string>
#include <vector>

#include "BookBuilder.h"

namespace plinth::test {

struct ExpectedBook {
    std::vector<builder::Position> positions;  // in any order
    uint16_t magic = kMagicStandard;
    int recordSize = 0;
    int hashIndexSize = 0;
    uint16_t attributes = 0;
    uint16_t word36 = 0;
};

// The ways in which the file at `path` falls short of a complete book holding
// exactly the expected positions in the expected geometry; empty when it is one.
std::vector<std::string> ConvertedBookProblems(const std::string& path,
                                               const ExpectedBook& expected);

// The same for a file already read, without the program's analysis.
std::vector<std::string> ConvertedBookProblems(const std::vector<uint8_t>& bytes,
                                               const ExpectedBook& expected);

// Whether `bytes` pass for a book: a whole header of 38 bytes starting "BK" or "BX".
bool PassesForABook(const std::vector<uint8_t>& bytes);

// One line per problem, for a test's failure message.
std::string Describe(const std::vector<std::string>& problems);

// A book of 4096-byte records whose header claims 20000 of them: as 80000
// records of 1024 bytes, which no book holds, the fit check refuses it.
builder::BookImage BookThatTheFitCheckRefusesAt1024();

}  // namespace plinth::test
