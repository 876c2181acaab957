// fuzz-seeds: writes the seed corpus of a fuzz target into a folder.
//   fuzz-seeds book FOLDER
//   fuzz-seeds record FOLDER

#include <filesystem>
#include <iostream>
#include <string>

#include "SeedCorpus.h"
#include "TempDir.h"

int main(int argc, char** argv) {
    const std::string target = argc == 3 ? argv[1] : "";
    if (target != "book" && target != "record") {
        std::cerr << "usage: fuzz-seeds book|record FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[2];
    std::filesystem::create_directories(folder);
    const auto seeds = target == "book" ? plinth::fuzz::BookSeeds() : plinth::fuzz::RecordSeeds();
    for (const plinth::fuzz::Seed& seed : seeds) {
        plinth::test::WriteFileBytes((folder / seed.name).string(), seed.bytes);
    }
    return 0;
}
