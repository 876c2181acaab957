#include "SeedCorpus.h"

#include <algorithm>
#include <functional>

#include "BookBuilder.h"
#include "FuzzChecks.h"

namespace plinth::fuzz {
namespace {

using builder::BookImage;
using builder::BookOptions;
using builder::MoveRange;

// Small geometries keep the seeds to a few hundred bytes: a record holds a few
// positions, and a handful of slots makes chains of several records.
BookOptions Small(BookKind kind = BookKind::Standard, uint16_t recordSize = 96,
                  uint16_t hashIndexSize = 4) {
    BookOptions options;
    options.kind = kind;
    options.recordSize = recordSize;
    options.hashIndexSize = hashIndexSize;
    options.comment = "Seed";
    options.attributes = 0x2a;
    options.word36 = 7;
    return options;
}

BookImage SmallBook(uint64_t seed, BookKind kind = BookKind::Standard, uint16_t recordSize = 96,
                    uint16_t hashIndexSize = 4, size_t positions = 24) {
    return builder::BuildBook(Small(kind, recordSize, hashIndexSize),
                              builder::MakePositions(kind, positions, seed, MoveRange{2, 4}));
}

struct BookSeed {
    const char* name;
    std::function<BookImage()> make;
};

BookImage Damaged(const std::function<void(BookImage&)>& damage,
                  BookKind kind = BookKind::Standard) {
    BookImage image = SmallBook(11, kind);
    damage(image);
    return image;
}

std::vector<BookSeed> BookSeedList() {
    return {
        {"sound-bk", [] { return SmallBook(1); }},
        {"sound-bx", [] { return SmallBook(2, BookKind::WithStatistics, 160, 8, 12); }},
        {"sound-one-slot", [] { return SmallBook(3, BookKind::Standard, 64, 1, 20); }},
        {"empty", [] { return builder::BuildBook(Small(), {}); }},
        {"invalid-slot", [] { return Damaged([](BookImage& b) { b.SetSlot(1, 60000); }); }},
        {"slot-at-record-count",
         [] { return Damaged([](BookImage& b) { b.SetSlot(2, b.RecordCount()); }); }},
        {"invalid-next",
         [] {
             return Damaged([](BookImage& b) {
                 b.SetNextRecord(b.ChainRecords(b.SlotWithChainOf(2))[0], 65000);
             });
         }},
        {"loop", [] { return Damaged([](BookImage& b) { b.MakeLoop(b.SlotWithChainOf(2)); }); }},
        {"self-loop",
         [] {
             return Damaged([](BookImage& b) {
                 const uint16_t first = b.Slot(b.SlotWithChainOf(1));
                 b.SetNextRecord(first, first);
             });
         }},
        {"cut-entry",
         [] { return Damaged([](BookImage& b) { b.CutLastEntry(b.ChainRecords(0)[0]); }); }},
        {"cut-entry-bx",
         [] {
             return Damaged([](BookImage& b) { b.CutLastEntry(b.ChainRecords(0)[0]); },
                            BookKind::WithStatistics);
         }},
        {"equal-codes",
         [] { return Damaged([](BookImage& b) { b.GiveEqualCodes(b.ChainRecords(1)[0]); }); }},
        {"record-in-two-chains",
         [] { return Damaged([](BookImage& b) { b.SetSlot(3, b.Slot(2)); }); }},
        {"truncated",
         [] {
             return Damaged(
                 [](BookImage& b) { b.Truncate(b.Bytes().size() - b.RecordSize() / 2); });
         }},
        {"padded",
         [] { return Damaged([](BookImage& b) { b.PadToRecordCount(b.RecordCount() + 3); }); }},
        {"comment-out-of-range",
         [] {
             return Damaged([](BookImage& b) {
                 BookHeader header = b.Header();
                 header.commentRecord = header.recordCount;
                 b.SetHeader(header);
             });
         }},
        {"no-slots",
         [] {
             return Damaged([](BookImage& b) {
                 BookHeader header = b.Header();
                 header.hashIndexSize = 0;
                 b.SetHeader(header);
             });
         }},
        {"index-past-the-end",
         [] {
             return Damaged([](BookImage& b) {
                 BookHeader header = b.Header();
                 header.hashIndexRecord = static_cast<uint16_t>(header.recordCount - 1);
                 header.hashIndexSize = 200;
                 b.SetHeader(header);
             });
         }},
        {"all-at-once",
         [] {
             return Damaged([](BookImage& b) {
                 b.CutLastEntry(b.ChainRecords(0)[0]);
                 b.GiveEqualCodes(b.ChainRecords(1)[0]);
                 b.MakeLoop(2);
                 b.SetSlot(3, 60000);
             });
         }},
        {"wrong-magic",
         [] {
             return Damaged([](BookImage& b) {
                 BookHeader header = b.Header();
                 header.magic = 0x4B43;
                 b.SetHeader(header);
             });
         }},
        {"short", [] { return Damaged([](BookImage& b) { b.Truncate(37); }); }},
    };
}

// A choice byte of the book target for a record size and a hash index size,
// each given by its place in its table.
uint8_t Choose(int recordSize, int hashIndexSize) {
    return static_cast<uint8_t>(recordSize + 5 * hashIndexSize);
}

// Record 0 alone: the header, which serves as the comment record and the
// HashIndex too, and claims many more records than the file holds. Enough for
// the fit checks, which look at the header only.
std::vector<uint8_t> HeaderOnly(uint16_t recordSize, uint16_t recordCount, uint16_t slots) {
    std::vector<uint8_t> bytes(recordSize, 0);
    BookHeader header;
    header.magic = kMagicStandard;
    header.revision = {'3', '0'};
    header.recordSize = recordSize;
    header.recordCount = recordCount;
    header.hashIndexSize = slots;
    header.hashMask = slots - 1u;
    EncodeHeader(header, std::span<uint8_t, layout::kHeaderSize>(bytes.data(), 38));
    return bytes;
}

// Books that reach the rarer ends of a conversion and an analysis, each with the
// geometries that reach them.
std::vector<Seed> CraftedBookSeeds() {
    builder::Random random(5);
    const BookImage tooLong =
        builder::BuildBook(Small(BookKind::Standard, 1100, 2),
                           {builder::MakePosition(BookKind::Standard, 1, 260, random)});
    const BookImage longChain =
        builder::BuildBook(Small(BookKind::Standard, 64, 1),
                           builder::MakePositions(BookKind::Standard, 60, 8, MoveRange{1, 2}));
    return {
        // Shrinking to 1024 meets a position of 1046 bytes; growing takes it.
        {"book-position-too-long-for-1024",
         JoinBookInput(tooLong.Bytes(), Choose(0, 0), Choose(2, 1))},
        // 4 x 20000 records is more than 65436: refused; the same size is not.
        {"book-fit-check-smaller-records",
         JoinBookInput(HeaderOnly(4096, 20000, 16), Choose(0, 0), Choose(2, 0))},
        // 65380 - 8 + 64 records reach 65436: refused; a HashIndex of 16384 is not.
        {"book-fit-check-larger-index",
         JoinBookInput(HeaderOnly(1024, 65380, 4096), Choose(0, 5), Choose(0, 4))},
        // A chain of more than eight records gets the recommendation.
        {"book-long-chain", JoinBookInput(longChain.Bytes(), Choose(0, 0), Choose(1, 0))},
    };
}

std::vector<uint8_t> WithKind(BookKind kind, std::span<const uint8_t> record) {
    std::vector<uint8_t> bytes(record.size() + 1);
    bytes[0] = kind == BookKind::Standard ? 0 : 1;
    std::copy(record.begin(), record.end(), bytes.begin() + 1);
    return bytes;
}

}  // namespace

std::vector<Seed> BookSeeds() {
    std::vector<Seed> seeds;
    uint8_t choice = 0;
    for (const BookSeed& seed : BookSeedList()) {
        const BookImage image = seed.make();
        // Spread the seeds over the geometries, growing and keeping the sizes.
        seeds.push_back({std::string("book-") + seed.name,
                         JoinBookInput(image.Bytes(), choice, static_cast<uint8_t>(choice + 13))});
        choice = static_cast<uint8_t>(choice + 7);
    }
    for (Seed& seed : CraftedBookSeeds()) {
        seeds.push_back(std::move(seed));
    }
    return seeds;
}

std::vector<Seed> RecordSeeds() {
    std::vector<Seed> seeds;
    const std::vector<std::pair<const char*, std::function<BookImage()>>> books = {
        {"sound-bk", [] { return SmallBook(1); }},
        {"sound-bx", [] { return SmallBook(2, BookKind::WithStatistics, 160, 8, 12); }},
        {"cut", [] { return Damaged([](BookImage& b) { b.CutLastEntry(b.ChainRecords(0)[0]); }); }},
        {"equal-codes",
         [] { return Damaged([](BookImage& b) { b.GiveEqualCodes(b.ChainRecords(1)[0]); }); }},
    };
    for (const auto& [name, make] : books) {
        BookImage image = make();
        const BookKind kind = KindOf(image.Header().magic);
        const std::vector<uint16_t> chain = image.ChainRecords(image.SlotWithChainOf(1));
        seeds.push_back({std::string("record-") + name, WithKind(kind, image.Record(chain[0]))});
    }
    seeds.push_back({"record-tiny", {0, 1, 2, 3, 4, 5}});
    seeds.push_back({"record-empty", {0}});
    return seeds;
}

}  // namespace plinth::fuzz
