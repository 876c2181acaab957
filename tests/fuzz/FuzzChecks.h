#pragma once

// The checks behind the two fuzz targets, apart from libFuzzer so that the normal
// test suite can run them over the seed corpus and over every input a fuzz run
// ever found. Each gives the broken invariants as text, empty when all hold.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "maintenance/ConversionPrediction.h"

namespace plinth::fuzz {

// An input of the book target: the bytes of a book file followed by two bytes
// that choose the geometries of the two conversions, one into a new file and
// one in place.
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

// Writes the book into `folder`, opens it, lists its attributes, analyses it,
// converts it into a new file and then in place, and checks every step against
// an independent reading of the bytes.
std::vector<std::string> CheckBookInput(std::span<const uint8_t> data, const std::string& folder);

// An input of the record target: a first byte whose lowest bit chooses the kind
// of book (0 standard, 1 with statistics), then the bytes of one chain record.
std::vector<std::string> CheckRecordInput(std::span<const uint8_t> data);

}  // namespace plinth::fuzz
