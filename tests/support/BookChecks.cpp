#include "BookChecks.h"

#include <filesystem>

#include "BookOracle.h"
#include "RecordingConsole.h"
#include "TempDir.h"
#include "maintenance/BookAnalysis.h"
#include "maintenance/BookOpening.h"

namespace plinth::test {
namespace {

template <typename T, typename U>
void ExpectEqual(std::vector<std::string>& problems, const char* what, T actual, U expected) {
    if (actual != expected) {
        problems.push_back(std::string(what) + " is " + std::to_string(actual) + ", expected " +
                           std::to_string(expected));
    }
}

size_t MoveCount(const std::vector<builder::Position>& positions, uint16_t magic) {
    size_t moves = 0;
    for (const builder::Position& position : positions) {
        moves += position.MoveCount(KindOf(magic));
    }
    return moves;
}

}  // namespace

bool PassesForABook(const std::vector<uint8_t>& bytes) {
    return bytes.size() >= 38 && bytes[0] == 'B' && (bytes[1] == 'K' || bytes[1] == 'X');
}

std::vector<std::string> ConvertedBookProblems(const std::vector<uint8_t>& bytes,
                                               const ExpectedBook& expected) {
    std::vector<std::string> problems;
    if (!PassesForABook(bytes)) {
        problems.push_back("the file of " + std::to_string(bytes.size()) + " bytes is no book");
        return problems;
    }
    const BookHeader header =
        DecodeHeader(std::span<const uint8_t, layout::kHeaderSize>(bytes.data(), 38));
    ExpectEqual(problems, "magic", header.magic, expected.magic);
    ExpectEqual(problems, "record size", header.recordSize, expected.recordSize);
    ExpectEqual(problems, "hash index size", header.hashIndexSize, expected.hashIndexSize);
    ExpectEqual(problems, "hash mask", header.hashMask,
                static_cast<uint32_t>(expected.hashIndexSize - 1));
    // A written book: the comment in record 1, the HashIndex from record 2,
    // word12 1 and the revision "30".
    ExpectEqual(problems, "comment record", header.commentRecord, 1);
    ExpectEqual(problems, "HashIndex record", header.hashIndexRecord, 2);
    ExpectEqual(problems, "word12", header.word12, 1);
    ExpectEqual(problems, "attributes", header.attributes, expected.attributes);
    ExpectEqual(problems, "word36", header.word36, expected.word36);
    if (header.revision != std::array<uint8_t, 2>{'3', '0'}) {
        problems.emplace_back("the revision is not the written one");
    }
    if (header.reserved8 != decltype(header.reserved8){} ||
        header.reserved18 != decltype(header.reserved18){}) {
        problems.emplace_back("the uninterpreted header bytes are not zero");
    }
    ExpectEqual(problems, "file size", bytes.size(),
                static_cast<size_t>(header.recordCount) * header.recordSize);

    const OracleReading reading = ReadAsOracle(bytes);
    ExpectEqual(problems, "damage found", reading.findings, 0);
    ExpectEqual(problems, "entries outside the chain of their slot", reading.misplacedEntries, 0u);
    ExpectEqual(problems, "chains not in consecutive records linked both ways",
                reading.scatteredChains, 0u);
    ExpectEqual(problems, "positions", reading.positions.size(), expected.positions.size());
    if (Sorted(reading.positions) != Sorted(expected.positions)) {
        problems.emplace_back("the positions differ from the expected ones");
    }
    ExpectEqual(problems, "totalPositions", header.totalPositions, reading.positions.size());
    ExpectEqual(problems, "totalMoves", header.totalMoves,
                MoveCount(reading.positions, header.magic));
    return problems;
}

std::vector<std::string> ConvertedBookProblems(const std::string& path,
                                               const ExpectedBook& expected) {
    if (!std::filesystem::is_regular_file(path)) {
        return {"no file at " + path};
    }
    std::vector<std::string> problems = ConvertedBookProblems(ReadFileBytes(path), expected);
    RecordingConsole console;
    BookReader book(console);
    const AnalysisResult result = OpenChosenBook(book, path) ? AnalyseBook(book) : AnalysisResult{};
    if (result.outcome != AnalyseOutcome::Completed) {
        problems.push_back("the program cannot analyse it: " + console.Text());
    } else if (result.report.errors != 0) {
        problems.push_back("the program's analysis finds damage: " + console.Text());
    }
    return problems;
}

std::string Describe(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& problem : problems) {
        text += problem + "\n";
    }
    return text;
}

builder::BookImage BookThatTheFitCheckRefusesAt1024() {
    builder::BookImage book =
        builder::BuildBook({.recordSize = 4096}, builder::MakePositions(BookKind::Standard, 9, 7));
    BookHeader header = book.Header();
    header.recordCount = 20000;
    book.SetHeader(header);
    return book;
}

}  // namespace plinth::test
