#pragma once

// The seed corpora of the two fuzz targets, made by the book builder: sound books
// of both kinds and books with every kind of damage, kept small, and single
// records taken from them.

#include <cstdint>
#include <string>
#include <vector>

namespace plinth::fuzz {

struct Seed {
    std::string name;
    std::vector<uint8_t> bytes;
};

std::vector<Seed> BookSeeds();
std::vector<Seed> RecordSeeds();

}  // namespace plinth::fuzz
