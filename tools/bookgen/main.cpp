// bookgen: writes a book file made by the book builder, sound or with damage
// done to it, for examples, manual tests and benchmarks.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <iostream>
#include <stdexcept>

#include "BookBuilder.h"

namespace {

using plinth::BookKind;
using namespace plinth::builder;

// "A=B" option values: a place and the value to store there.
std::pair<std::string, uint32_t> ParseNamedPair(const std::string& text) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) {
        throw std::invalid_argument("expected PLACE=VALUE, got " + text);
    }
    return {text.substr(0, equals), static_cast<uint32_t>(std::stoul(text.substr(equals + 1)))};
}
std::pair<uint32_t, uint16_t> ParsePair(const std::string& text) {
    const auto [place, value] = ParseNamedPair(text);
    return {static_cast<uint32_t>(std::stoul(place)), static_cast<uint16_t>(value)};
}

// "FIELD=VALUE": stores VALUE in a header field, as a damaged header holds it.
void SetHeaderField(BookImage& image, const std::string& text) {
    const std::pair<std::string, uint32_t> parsed = ParseNamedPair(text);
    const std::string& field = parsed.first;
    const uint32_t value = parsed.second;
    plinth::BookHeader header = image.Header();
    const auto u16 = static_cast<uint16_t>(value);
    const std::vector<std::pair<std::string, std::function<void()>>> fields = {
        {"recordSize", [&] { header.recordSize = u16; }},
        {"recordCount", [&] { header.recordCount = u16; }},
        {"commentRecord", [&] { header.commentRecord = u16; }},
        {"hashIndexRecord", [&] { header.hashIndexRecord = u16; }},
        {"hashIndexSize", [&] { header.hashIndexSize = u16; }},
        {"hashMask", [&] { header.hashMask = value; }},
        {"totalPositions", [&] { header.totalPositions = value; }},
        {"totalMoves", [&] { header.totalMoves = value; }},
    };
    const auto found = std::find_if(fields.begin(), fields.end(),
                                    [&](const auto& entry) { return entry.first == field; });
    if (found == fields.end()) {
        throw std::invalid_argument("no header field " + field);
    }
    found->second();
    image.SetHeader(header);
}

int Run(int argc, char** argv) {
    CLI::App app{"Writes a book made by the book builder, sound or damaged."};
    std::string output;
    std::string kind = "BK";
    uint16_t recordSize = 1024;
    uint16_t hashSize = 1024;
    std::string comment = "Generated book";
    size_t positions = 0;
    uint32_t chainRecords = 0;
    uint64_t seed = 1;
    size_t fewestMoves = 1;
    size_t mostMoves = 6;
    std::vector<std::string> breakSlots;
    std::vector<std::string> breakNexts;
    std::vector<uint32_t> loops;
    std::vector<uint32_t> cuts;
    std::vector<uint32_t> equalCodes;
    std::vector<uint32_t> zeroRecords;
    std::vector<std::string> namedDamages;
    std::vector<std::string> headerFields;
    size_t truncate = 0;
    uint32_t padRecords = 0;
    bool scatter = false;

    app.add_option("output", output, "Book file to write")->required();
    app.add_option("--kind", kind, "BK (standard) or BX (with statistics)")
        ->check(CLI::IsMember({"BK", "BX"}));
    app.add_option("--record-size", recordSize, "Record size in bytes");
    app.add_option("--hash-size", hashSize, "Number of HashIndex slots (a power of two)");
    app.add_option("--comment", comment, "Comment text");
    auto* byPositions = app.add_option("--positions", positions, "Number of random positions");
    app.add_option("--chain-records", chainRecords, "Fill exactly this many chain records")
        ->excludes(byPositions);
    app.add_option("--seed", seed, "Seed of the generator");
    app.add_flag("--scatter", scatter,
                 "Put the chain records in a random order, links fixed, as in a book that "
                 "grew by appending records");
    app.add_option("--fewest-moves", fewestMoves, "Fewest moves per position")
        ->check(CLI::PositiveNumber);
    app.add_option("--most-moves", mostMoves, "Most moves per position")
        ->check(CLI::PositiveNumber);
    app.add_option("--break-slot", breakSlots, "SLOT=VALUE: store VALUE in a HashIndex slot");
    app.add_option("--break-next", breakNexts, "RECORD=VALUE: store VALUE as nextRecord");
    app.add_option("--loop", loops, "SLOT: make the chain of SLOT link back to its start");
    app.add_option("--cut", cuts, "RECORD: make the last entry run into the record's end");
    app.add_option("--equal-codes", equalCodes, "RECORD: equal move codes in the first entry");
    std::vector<std::string> names;
    for (const auto& [name, damage] : Damages()) {
        names.emplace_back(name);
    }
    app.add_option("--damage", namedDamages, "NAME: a damage of the builder's catalogue")
        ->check(CLI::IsMember(names));
    app.add_option("--zero-record", zeroRecords, "RECORD: overwrite a whole record with zeros");
    app.add_option("--set-header", headerFields,
                   "FIELD=VALUE: store VALUE in a header field (recordSize, recordCount, "
                   "commentRecord, hashIndexRecord, hashIndexSize, hashMask, totalPositions, "
                   "totalMoves), last");
    app.add_option("--pad-records", padRecords, "Append zero records up to this record count");
    app.add_option("--truncate", truncate, "Cut the file to this many bytes");
    CLI11_PARSE(app, argc, argv);

    try {
        BookOptions options;
        options.kind = kind == "BK" ? BookKind::Standard : BookKind::WithStatistics;
        options.recordSize = recordSize;
        options.hashIndexSize = hashSize;
        options.comment = comment;
        const MoveRange moves{fewestMoves, std::max(fewestMoves, mostMoves)};
        BookImage image = chainRecords > 0 ? BuildFilledBook(options, chainRecords, seed, moves)
                                           : BuildBook(options, positions, seed, moves);
        if (scatter) {
            image.ScatterChainRecords(seed);
        }
        for (const uint32_t slot : loops) {
            image.MakeLoop(slot);
        }
        for (const uint32_t record : cuts) {
            image.CutLastEntry(record);
        }
        for (const uint32_t record : equalCodes) {
            image.GiveEqualCodes(record);
        }
        for (const std::string& pair : breakSlots) {
            const auto [slot, value] = ParsePair(pair);
            image.SetSlot(slot, value);
        }
        for (const std::string& pair : breakNexts) {
            const auto [record, value] = ParsePair(pair);
            image.SetNextRecord(record, value);
        }
        for (const auto& [name, damage] : Damages()) {
            if (std::find(namedDamages.begin(), namedDamages.end(), name) != namedDamages.end()) {
                damage(image);
            }
        }
        for (const uint32_t record : zeroRecords) {
            image.FillRecord(record, 0);
        }
        if (padRecords > 0) {
            image.PadToRecordCount(padRecords);
        }
        if (truncate > 0) {
            image.Truncate(truncate);
        }
        for (const std::string& field : headerFields) {
            SetHeaderField(image, field);
        }
        image.WriteTo(output);
    } catch (const std::exception& error) {
        std::cerr << "bookgen: " << error.what() << '\n';
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "bookgen: " << error.what() << '\n';
        return 1;
    }
}
