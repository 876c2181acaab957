// The fuzz targets' checks over their seed corpora and over the inputs that fuzz
// runs found, kept in tests/fuzz/findings/<target>/, so that the normal test
// suite holds every invariant that the fuzzers check.

#include <gtest/gtest.h>

#include <filesystem>

#include "BookChecks.h"
#include "FuzzChecks.h"
#include "SeedCorpus.h"
#include "TempDir.h"

namespace plinth::fuzz {
namespace {

using test::Describe;

std::vector<Seed> Findings(const std::string& target) {
    std::vector<Seed> findings;
    const std::filesystem::path folder = std::filesystem::path(PLINTH_FUZZ_FINDINGS) / target;
    if (std::filesystem::is_directory(folder)) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            findings.push_back(
                {entry.path().filename().string(), test::ReadFileBytes(entry.path().string())});
        }
    }
    return findings;
}

TEST(FuzzReplayTest, BookSeedsKeepEveryInvariant) {
    test::TempDir dir;
    const std::vector<Seed> seeds = BookSeeds();
    ASSERT_GT(seeds.size(), 15u);
    for (const Seed& seed : seeds) {
        EXPECT_EQ(Describe(CheckBookInput(seed.bytes, dir.Path())), "") << seed.name;
    }
}

TEST(FuzzReplayTest, RecordSeedsKeepEveryInvariant) {
    for (const Seed& seed : RecordSeeds()) {
        EXPECT_EQ(Describe(CheckRecordInput(seed.bytes)), "") << seed.name;
    }
}

TEST(FuzzReplayTest, BookFindingsKeepEveryInvariant) {
    test::TempDir dir;
    for (const Seed& finding : Findings("book")) {
        EXPECT_EQ(Describe(CheckBookInput(finding.bytes, dir.Path())), "") << finding.name;
    }
}

TEST(FuzzReplayTest, RecordFindingsKeepEveryInvariant) {
    for (const Seed& finding : Findings("record")) {
        EXPECT_EQ(Describe(CheckRecordInput(finding.bytes)), "") << finding.name;
    }
}

}  // namespace
}  // namespace plinth::fuzz
