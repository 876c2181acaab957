#include "BookOracle.h"

#include <algorithm>
#include <set>

namespace plinth::test {
namespace {

uint8_t Byte(std::span<const uint8_t> bytes, uint64_t offset) {
    return offset < bytes.size() ? bytes[offset] : 0;
}

uint16_t U16(std::span<const uint8_t> bytes, uint64_t offset) {
    return static_cast<uint16_t>(Byte(bytes, offset) | (Byte(bytes, offset + 1) << 8));
}

uint32_t U32(std::span<const uint8_t> bytes, uint64_t offset) {
    return U16(bytes, offset) | (static_cast<uint32_t>(U16(bytes, offset + 2)) << 16);
}

}  // namespace

std::vector<builder::Position> PositionsOfRecord(std::span<const uint8_t> record, size_t moveSize) {
    std::vector<builder::Position> out;
    const size_t size = record.size();
    size_t p = 4;
    while (p < size && U16(record, p) != 0 && p + 6 + moveSize <= size) {
        std::vector<size_t> moves;
        bool cut = false;
        size_t m = p + 6;
        for (;;) {
            moves.push_back(m);
            if ((record[m + 3] & 0x80) != 0) {
                break;
            }
            if (m + 2 * moveSize > size) {
                cut = true;
                break;
            }
            m += moveSize;
        }
        builder::Position position;
        position.keyWord = U16(record, p);
        position.hashKey = U32(record, p + 2);
        for (size_t i = 0; i < moves.size(); ++i) {
            const size_t at = moves[i];
            if (i + 1 != moves.size() && record[at] == record[at + 1]) {
                continue;
            }
            position.moves.insert(position.moves.end(), record.begin() + at,
                                  record.begin() + at + moveSize);
        }
        if (cut) {
            position.moves[position.moves.size() - moveSize + 3] |= 0x80;
        }
        out.push_back(std::move(position));
        p = m + moveSize;
    }
    return out;
}

bool RecordPassesCheck(std::span<const uint8_t> record, size_t moveSize) {
    const auto size = static_cast<int64_t>(record.size());
    const auto move = static_cast<int64_t>(moveSize);
    const int64_t smallestEntry = 6 + move;
    int64_t p = 4;
    for (;;) {
        if (p >= size || U16(record, p) == 0) {
            return true;
        }
        if (p > size - smallestEntry) {
            return false;
        }
        int64_t m = p + 6;
        while ((Byte(record, m + 3) & 0x80) == 0) {
            if (Byte(record, m) == Byte(record, m + 1)) {
                return false;
            }
            m += move;
            if (m > size - move) {
                return false;
            }
        }
        p = m + move;
    }
}

OracleReading ReadAsOracle(const std::vector<uint8_t>& bytes, std::optional<int> size) {
    OracleReading reading;
    if (bytes.size() < 38 || !(bytes[0] == 'B' && (bytes[1] == 'K' || bytes[1] == 'X'))) {
        return reading;
    }
    const size_t moveSize = bytes[1] == 'K' ? 4 : 16;
    const auto recordSize = static_cast<uint32_t>(size.value_or(U16(bytes, 4)));
    const uint32_t recordCount = U16(bytes, 6);
    const uint32_t commentRecord = U16(bytes, 10);
    const uint32_t hashIndexRecord = U16(bytes, 14);
    const uint32_t slots = U16(bytes, 16);
    const uint32_t mask = U32(bytes, 22);
    const uint32_t indexRecords = recordSize == 0 ? 0 : (recordSize + 2 * slots - 1) / recordSize;
    const auto isLayout = [&](uint32_t r) {
        return r == commentRecord || (r >= hashIndexRecord && r - hashIndexRecord < indexRecords);
    };
    const auto record = [&](uint32_t r) {
        return std::span<const uint8_t>(bytes.data() + static_cast<uint64_t>(r) * recordSize,
                                        recordSize);
    };
    const auto inFile = [&](uint32_t r) {
        return (static_cast<uint64_t>(r) + 1) * recordSize <= bytes.size();
    };
    // Whole records of the file, up to the most a book has.
    const uint32_t recordsInFile =
        recordSize == 0
            ? 0
            : static_cast<uint32_t>(std::min<uint64_t>(bytes.size() / recordSize, 65535));
    const uint32_t end = std::max(recordCount, recordsInFile);
    if (commentRecord >= recordCount || !inFile(commentRecord)) {
        ++reading.findings;
    }
    const uint64_t indexOffset = static_cast<uint64_t>(hashIndexRecord) * recordSize;
    std::vector<uint32_t> passedBy(recordCount, 0);  // 1 + the slot whose chain passed it
    for (uint32_t slot = 0; slot < slots; ++slot) {
        // A HashIndex that the file holds only in part reads as zeros past its end.
        uint32_t r = U16(bytes, indexOffset + 2 * slot);
        std::vector<uint32_t> chain;
        for (;;) {
            // An invalid link (0 is none, unless no record is below recordCount),
            // a loop or a record an earlier chain passed, or a record the file does
            // not hold in full.
            if (r >= recordCount || (r != 0 && (isLayout(r) || passedBy[r] != 0 || !inFile(r)))) {
                ++reading.faults;
                break;
            }
            if (r == 0) {
                break;
            }
            chain.push_back(r);
            passedBy[r] = slot + 1;
            if (!RecordPassesCheck(record(r), moveSize)) {
                ++reading.faults;
            } else if (U16(record(r), 4) != 0) {
                ++reading.soundRecords;
            }
            for (builder::Position& position : PositionsOfRecord(record(r), moveSize)) {
                reading.misplacedEntries += (position.hashKey & mask) != slot ? 1 : 0;
                reading.positions.push_back(std::move(position));
            }
            r = U16(record(r), 0);
        }
        const int length = static_cast<int>(chain.size());
        reading.lengths.Count(length);
        for (size_t i = 0; i < chain.size(); ++i) {
            const uint32_t before = i == 0 ? 0 : chain[i - 1];
            if ((i > 0 && chain[i] != before + 1) || U16(record(chain[i]), 2) != before) {
                ++reading.scatteredChains;
                break;
            }
        }
    }
    reading.findings += reading.faults;
    // Records no chain passed that hold something, up to the end of the file:
    // each a finding; the positions of the sound ones, all in one slot, are
    // recovered unless already held.
    std::set<std::pair<uint16_t, uint32_t>> held;
    for (const builder::Position& position : reading.positions) {
        held.emplace(position.keyWord, position.hashKey);
    }
    for (uint32_t r = 1; r < end; ++r) {
        if (isLayout(r) || !inFile(r) || U16(record(r), 4) == 0) {
            continue;
        }
        ++reading.recordsHoldingPositions;
        if (r < recordCount && passedBy[r] != 0) {
            continue;
        }
        ++reading.findings;
        std::vector<builder::Position> positions = PositionsOfRecord(record(r), moveSize);
        const bool oneSlot =
            std::all_of(positions.begin(), positions.end(), [&](const builder::Position& p) {
                return (p.hashKey & mask) == (positions[0].hashKey & mask);
            });
        const bool sound = RecordPassesCheck(record(r), moveSize);
        reading.faults += sound ? 0 : 1;
        reading.soundRecords += sound ? 1 : 0;
        if (!sound || !oneSlot) {
            continue;
        }
        for (builder::Position& position : positions) {
            if (held.emplace(position.keyWord, position.hashKey).second) {
                reading.positions.push_back(std::move(position));
            }
        }
    }
    return reading;
}

std::optional<int> LikelyRecordSize(const std::vector<uint8_t>& bytes) {
    const OracleReading asHeaderSays = ReadAsOracle(bytes);
    if (asHeaderSays.findings == 0) {
        return std::nullopt;
    }
    std::optional<int> likely;
    OracleReading best;
    for (const int size : {1024, 2048, 4096, 8192, 16384}) {
        const uint64_t commentRecord = U16(bytes, 10);
        const uint64_t index = uint64_t{U16(bytes, 14)} * size + 2 * uint64_t{U16(bytes, 16)};
        if (size == U16(bytes, 4) || commentRecord >= U16(bytes, 6) ||
            (commentRecord + 1) * size > bytes.size() || U32(bytes, commentRecord * size) != 0 ||
            index > bytes.size()) {
            continue;
        }
        const OracleReading reading = ReadAsOracle(bytes, size);
        if (reading.faults < asHeaderSays.faults &&
            reading.soundRecords > 2 * asHeaderSays.soundRecords &&
            (!likely || reading.soundRecords > best.soundRecords ||
             (reading.soundRecords == best.soundRecords && reading.faults < best.faults))) {
            likely = size;
            best = reading;
        }
    }
    return likely;
}

std::string TotalsWarning(const std::vector<uint8_t>& bytes) {
    const OracleReading reading = ReadAsOracle(bytes);
    if (bytes.size() < 38 || reading.findings != 0) {
        return "";
    }
    const size_t moveSize = bytes[1] == 'K' ? 4 : 16;
    uint32_t moves = 0;
    for (const builder::Position& position : reading.positions) {
        moves += static_cast<uint32_t>(position.moves.size() / moveSize);
    }
    const auto positions = static_cast<uint32_t>(reading.positions.size());
    if (positions == U32(bytes, 26) && moves == U32(bytes, 30)) {
        return "";
    }
    return "Warning - the header counts " + std::to_string(U32(bytes, 26)) + " positions and " +
           std::to_string(U32(bytes, 30)) + " moves; the book holds " + std::to_string(positions) +
           " and " + std::to_string(moves) + "\n";
}

std::vector<builder::Position> Sorted(std::vector<builder::Position> positions) {
    std::sort(positions.begin(), positions.end());
    return positions;
}

}  // namespace plinth::test
