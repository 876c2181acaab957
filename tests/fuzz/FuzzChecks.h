#pragma once

// The checks behind the two fuzz targets, apart from libFuzzer so that the test
// suite runs them too. Each gives the broken invariants as text, none when all hold.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "maintenance/ConversionPrediction.h"

namespace plinth::fuzz {

// A book target input: a book file, then two bytes choosing the geometries of a
// conversion into a new file and one in place.
struct BookInput {
    std::span<const uint8_t> book;
    uint8_t toNewFile = 0;
    uint8_t inPlace = 0;
};
BookInput SplitBookInput(std::span<const uint8_t> data);
std::vector<uint8_t> JoinBookInput(std::span<const uint8_t> book, uint8_t toNewFile,
                                   uint8_t inPlace);

// The record size and hash index size a choice byte stands for.
SizePair GeometryOf(uint8_t choice);

// Writes the book into `folder`, opens, analyses and converts it twice, checking
// each step against an independent reading of the bytes.
std::vector<std::string> CheckBookInput(std::span<const uint8_t> data, const std::string& folder);

// An input of the record target: a first byte whose lowest bit chooses the kind
// of book (0 standard, 1 with statistics), then the bytes of one chain record.
std::vector<std::string> CheckRecordInput(std::span<const uint8_t> data);

}  // namespace plinth::fuzz
