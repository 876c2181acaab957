#pragma once

// The seed corpora of the two fuzz targets, made by the book builder: sound books
// of both kinds and books with every kind of damage, kept small, and single
// records taken from them.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "BookBuilder.h"

namespace plinth::fuzz {

// Every kind of damage the seeds hold, by name, done to a sound book.
using Damage = std::function<void(builder::BookImage&)>;
std::vector<std::pair<const char*, Damage>> Damages();

struct Seed {
    std::string name;
    std::vector<uint8_t> bytes;
};

std::vector<Seed> BookSeeds();
std::vector<Seed> RecordSeeds();

}  // namespace plinth::fuzz
