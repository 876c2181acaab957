#include "SeedCorpus.h"

#include "BookBuilder.h"
#include "FuzzChecks.h"

namespace plinth::fuzz {
namespace {

using builder::BookImage;

// Small geometries: seeds of a few hundred bytes with chains of several records.
builder::BookOptions Small(BookKind kind, uint16_t recordSize, uint16_t hashIndexSize) {
    return {.kind = kind,
            .recordSize = recordSize,
            .hashIndexSize = hashIndexSize,
            .comment = "Seed",
            .attributes = 0x2a,
            .word36 = 7};
}

BookImage SmallBook(uint64_t seed, BookKind kind = BookKind::Standard, uint16_t recordSize = 96,
                    uint16_t hashIndexSize = 4, size_t positions = 24) {
    return builder::BuildBook(Small(kind, recordSize, hashIndexSize), positions, seed, {2, 4});
}

// A choice byte of the book target for a record size and a hash index size,
// each given by its place in its table.
uint8_t Choose(int recordSize, int hashIndexSize) {
    return static_cast<uint8_t>(recordSize + 5 * hashIndexSize);
}

// Record 0 alone, as comment and HashIndex too, claiming many more records than
// the file holds: enough for the fit checks, which look at the header only.
std::vector<uint8_t> HeaderOnly(uint16_t recordSize, uint16_t recordCount, uint16_t slots) {
    BookImage image = SmallBook(1, BookKind::Standard, recordSize, 1, 0);
    image.Truncate(recordSize);
    BookHeader header = image.Header();
    header.recordCount = recordCount;
    header.commentRecord = header.hashIndexRecord = 0;
    header.hashIndexSize = slots;
    image.SetHeader(header);
    return image.Bytes();
}

}  // namespace

std::vector<Seed> BookSeeds() {
    std::vector<Seed> seeds;
    uint8_t choice = 0;
    for (const BookKind kind : {BookKind::Standard, BookKind::WithStatistics}) {
        for (const auto& [name, damage] : builder::Damages()) {
            BookImage image = SmallBook(11, kind);
            damage(image);
            // Spread the seeds over the geometries, growing and keeping the sizes.
            seeds.push_back(
                {std::string(kind == BookKind::Standard ? "bk-" : "bx-") + name,
                 JoinBookInput(image.Bytes(), choice, static_cast<uint8_t>(choice + 13))});
            choice = static_cast<uint8_t>(choice + 7);
        }
    }
    builder::Random random(5);
    // Shrinking to 1024 meets a position of 1018 bytes, which a record holds with its
    // 4 bytes of links, and one of 1022 bytes, which it does not; growing takes both.
    for (const size_t moves : {253, 254}) {
        const BookImage book =
            builder::BuildBook(Small(BookKind::Standard, 1100, 2),
                               {builder::MakePosition(BookKind::Standard, 1, moves, random)});
        seeds.push_back({"position-of-" + std::to_string(moves) + "-moves",
                         JoinBookInput(book.Bytes(), Choose(0, 0), Choose(2, 1))});
    }
    BookImage noRecordSize = SmallBook(6, BookKind::Standard, 1024, 4, 60);
    builder::ChangeHeader([](BookHeader& h) { h.recordSize = 0; })(noRecordSize);
    const BookImage longChain = builder::BuildBook(Small(BookKind::Standard, 64, 1), 60, 8, {1, 2});
    // Books, with geometries, that reach the rarer ends of a conversion and an analysis.
    const std::vector<Seed> rare = {
        // 4 x 20000 records is more than 65436: refused; the same size is not.
        {"fit-check-smaller-records",
         JoinBookInput(HeaderOnly(4096, 20000, 16), Choose(0, 0), Choose(2, 0))},
        // 65380 - 8 + 64 records reach 65436: refused; a HashIndex of 16384 is not.
        {"fit-check-larger-index",
         JoinBookInput(HeaderOnly(1024, 65380, 4096), Choose(0, 5), Choose(0, 4))},
        // A chain of more than eight records gets the recommendation.
        {"long-chain", JoinBookInput(longChain.Bytes(), Choose(0, 0), Choose(1, 0))},
        // A record size of 0: nothing read as the header says, all read in place
        // with the size the analysis names.
        {"record-size-0", JoinBookInput(noRecordSize.Bytes(), Choose(0, 0), Choose(1, 2))},
    };
    seeds.insert(seeds.end(), rare.begin(), rare.end());
    return seeds;
}

std::vector<Seed> RecordSeeds() {
    std::vector<Seed> seeds = {{"tiny", {0, 1, 2, 3, 4, 5}}, {"empty", {0}}};
    for (const BookKind kind : {BookKind::Standard, BookKind::WithStatistics}) {
        for (const auto& [name, damage] : builder::Damages()) {
            BookImage image = SmallBook(11, kind);
            damage(image);
            if (image.Bytes().size() >= 5u * image.RecordSize()) {
                std::vector<uint8_t> bytes = {kind == BookKind::Standard ? uint8_t{0} : uint8_t{1}};
                bytes.insert(bytes.end(), image.Record(4).begin(), image.Record(4).end());
                // Named by kind too: the corpus folder holds a file per name.
                seeds.push_back(
                    {(kind == BookKind::Standard ? "bk-" : "bx-") + std::string(name), bytes});
            }
        }
    }
    return seeds;
}

}  // namespace plinth::fuzz
