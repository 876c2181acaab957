// Micro benchmarks of the inner pieces that every record of a book passes
// through: decoding the header, the record check, and placing the positions of
// one record into the chains of a new book.

#include <benchmark/benchmark.h>

#include <memory>

#include "BookBuilder.h"
#include "book/BookFormat.h"
#include "book/BookWriter.h"

namespace plinth {
namespace {

class NullConsole final : public IConsole {
  public:
    void AppendText(std::string_view) override {}
    void ClearConsole() override {}
    void ShowProgress() override {}
    void SetProgress(int) override {}
    void HideProgress() override {}
};

// Positions with short move lists, and with long ones as in the benchmark books.
constexpr builder::MoveRange kShortMoves{1, 12};
constexpr builder::MoveRange kLongMoves{20, 60};

// One full chain record of `recordSize` bytes, in a book of the given kind.
builder::BookImage OneFullRecord(BookKind kind, uint16_t recordSize,
                                 builder::MoveRange moves = kShortMoves) {
    builder::BookOptions options;
    options.kind = kind;
    options.recordSize = recordSize;
    return builder::BuildFilledBook(options, 1, 1, moves);
}

void BM_DecodeHeader(benchmark::State& state) {
    const builder::BookImage image = OneFullRecord(BookKind::Standard, 1024);
    const std::span<const uint8_t, layout::kHeaderSize> bytes(image.Bytes().data(),
                                                              layout::kHeaderSize);
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the loop only drives the timing
    for (auto _ : state) {
        benchmark::DoNotOptimize(DecodeHeader(bytes));
    }
}
BENCHMARK(BM_DecodeHeader);

void BM_CheckRecord(benchmark::State& state) {
    const auto kind = state.range(1) == 0 ? BookKind::Standard : BookKind::WithStatistics;
    const auto recordSize = static_cast<uint16_t>(state.range(0));
    builder::BookImage image =
        OneFullRecord(kind, recordSize, state.range(2) == 0 ? kShortMoves : kLongMoves);
    const std::span<const uint8_t> record = image.Record(image.RecordCount() - 1);
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the loop only drives the timing
    for (auto _ : state) {
        benchmark::DoNotOptimize(CheckRecord(record, kind));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * recordSize);
}
// Arguments: record size, kind (0 standard, 1 with statistics), move lists (0
// short, 1 long).
BENCHMARK(BM_CheckRecord)
    ->Args({1024, 0, 0})
    ->Args({16384, 0, 0})
    ->Args({16384, 1, 0})
    ->Args({16384, 0, 1});

// Digests one full record and places its positions again and again into a new
// book, as the copy of a conversion does with every record it reads; the
// writer starts afresh every so often. Its chains are counted at more records
// than a book holds, so the writer writes nothing: the digest and the placing
// alone are timed.
void BM_AddRecordPositions(benchmark::State& state) {
    const auto recordSize = static_cast<uint16_t>(state.range(0));
    builder::BookImage image = OneFullRecord(BookKind::Standard, recordSize);
    const std::span<const uint8_t> record = image.Record(image.RecordCount() - 1);
    NullConsole console;
    const auto newWriter = [&] {
        return std::make_unique<BookWriter>(console, SystemFileSystem(), image.Header(),
                                            image.Record(1), recordSize, 1024,
                                            std::vector<ChainFill>(1024, {UINT16_MAX, 0}));
    };
    std::unique_ptr<BookWriter> writer = newWriter();
    std::vector<DigestedEntry> entries;
    int placed = 0;
    // NOLINTNEXTLINE(clang-analyzer-deadcode.DeadStores): the loop only drives the timing
    for (auto _ : state) {
        entries.clear();
        DigestRecord(record, BookKind::Standard, entries);
        writer->AddRecordPositions(record, entries);
        if (++placed == 1000) {
            state.PauseTiming();
            writer = newWriter();
            placed = 0;
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * recordSize);
}
BENCHMARK(BM_AddRecordPositions)->Arg(1024)->Arg(16384);

}  // namespace
}  // namespace plinth

BENCHMARK_MAIN();
