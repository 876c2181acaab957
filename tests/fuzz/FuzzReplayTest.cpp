// The fuzz targets' checks in the normal test suite: over their seed corpora,
// and the record check over random records with a little damage now and then.

#include <gtest/gtest.h>

#include "BookChecks.h"
#include "FuzzChecks.h"
#include "SeedCorpus.h"
#include "TempDir.h"

namespace plinth::fuzz {
namespace {

using test::Describe;

TEST(FuzzReplayTest, BookSeedsKeepEveryInvariant) {
    test::TempDir dir;
    const std::vector<Seed> seeds = BookSeeds();
    ASSERT_GT(seeds.size(), 15u);
    for (const Seed& seed : seeds) {
        EXPECT_EQ(Describe(CheckBookInput(seed.bytes, dir.Path())), "") << seed.name;
    }
}

TEST(FuzzReplayTest, RecordSeedsKeepEveryInvariant) {
    const std::vector<Seed> seeds = RecordSeeds();
    ASSERT_GT(seeds.size(), 30u);
    for (const Seed& seed : seeds) {
        EXPECT_EQ(Describe(CheckRecordInput(seed.bytes)), "") << seed.name;
    }
}

// Records of entries of sound moves, then a lost last-move flag, equal move codes
// or a stray byte now and then; the first byte chooses the kind of book.
TEST(FuzzReplayTest, RandomRecordsKeepEveryInvariant) {
    uint64_t state = 12345;
    const auto next = [&state]() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state >> 33);
    };
    for (int round = 0; round < 20000; ++round) {
        const bool statistics = round % 3 == 0;
        const size_t moveSize = statistics ? 16 : 4;
        std::vector<uint8_t> input(1 + next() % 400);
        input[0] = statistics ? 1 : 0;
        const std::span<uint8_t> record = std::span(input).subspan(1);
        size_t p = 4;
        while (p + 6 + moveSize <= record.size() && next() % 8 != 0) {
            record[p] = static_cast<uint8_t>(1 + next() % 255);
            const size_t moves = 1 + next() % 12;
            size_t m = p + 6;
            for (size_t i = 0; i < moves && m + moveSize <= record.size(); ++i, m += moveSize) {
                record[m] = static_cast<uint8_t>(next() % 64);
                record[m + 1] = static_cast<uint8_t>(record[m] + 1 + next() % 60);
                record[m + 3] = i + 1 == moves ? 0x80 : 0x00;
            }
            record[m - moveSize + 3] |= 0x80;
            p = m;
        }
        const uint32_t damage = next() % 6;
        if (damage == 0 && p > 10) {
            record[p - moveSize + 3] = 0;
        } else if (damage == 1 && p > 10) {
            const size_t at = 10 + (next() % ((p - 10) / moveSize)) * moveSize;
            record[at + 1] = record[at];
        } else if (damage == 2 && p < record.size()) {
            record[p + next() % (record.size() - p)] = static_cast<uint8_t>(next());
        }
        ASSERT_EQ(Describe(CheckRecordInput(input)), "") << "round " << round;
    }
}

}  // namespace
}  // namespace plinth::fuzz
