#include "BookOracle.h"

#include <algorithm>

namespace plinth::test {
namespace {

uint16_t U16(std::span<const uint8_t> bytes, uint64_t offset) {
    const uint16_t low = offset < bytes.size() ? bytes[offset] : 0;
    const uint16_t high = offset + 1 < bytes.size() ? bytes[offset + 1] : 0;
    return static_cast<uint16_t>(low | (high << 8));
}

uint32_t U32(std::span<const uint8_t> bytes, uint64_t offset) {
    return U16(bytes, offset) | (static_cast<uint32_t>(U16(bytes, offset + 2)) << 16);
}

uint8_t Byte(std::span<const uint8_t> bytes, uint64_t offset) {
    return offset < bytes.size() ? bytes[offset] : 0;
}

// The positions of one record, read on their own terms.
void ReadRecordPositions(std::span<const uint8_t> record, size_t moveSize,
                         std::vector<builder::Position>& out, std::vector<uint32_t>& hashKeys) {
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
        hashKeys.push_back(U32(record, p + 2));
        p = m + moveSize;
    }
}

}  // namespace

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

OracleReading ReadAsOracle(const std::vector<uint8_t>& bytes) {
    OracleReading reading;
    if (bytes.size() < 38 || !(bytes[0] == 'B' && (bytes[1] == 'K' || bytes[1] == 'X'))) {
        return reading;
    }
    const size_t moveSize = bytes[1] == 'K' ? 4 : 16;
    const uint32_t recordSize = U16(bytes, 4);
    const uint32_t recordCount = U16(bytes, 6);
    const uint32_t hashIndexRecord = U16(bytes, 14);
    const uint32_t slots = U16(bytes, 16);
    const uint32_t mask = U32(bytes, 22);
    const uint64_t indexOffset = static_cast<uint64_t>(hashIndexRecord) * recordSize;
    for (uint32_t slot = 0; slot < slots; ++slot) {
        // A HashIndex that the file holds only in part reads as zeros past its end.
        uint32_t r = U16(bytes, indexOffset + 2 * slot);
        if (r >= recordCount) {
            ++reading.findings;
            r = 0;
        }
        std::vector<uint32_t> chain;
        while (r != 0) {
            const uint64_t offset = static_cast<uint64_t>(r) * recordSize;
            if (offset + recordSize > bytes.size()) {
                reading.unreadableRecord = true;
                return reading;
            }
            chain.push_back(r);
            const std::span<const uint8_t> record(bytes.data() + offset, recordSize);
            if (!RecordPassesCheck(record, moveSize)) {
                ++reading.findings;
            }
            std::vector<uint32_t> hashKeys;
            ReadRecordPositions(record, moveSize, reading.positions, hashKeys);
            for (const uint32_t hashKey : hashKeys) {
                if ((hashKey & mask) != slot) {
                    ++reading.misplacedEntries;
                }
            }
            r = U16(record, 0);
            const bool invalid = r >= recordCount;
            const bool loop = !invalid && std::find(chain.begin(), chain.end(), r) != chain.end();
            if (invalid || loop) {
                ++reading.findings;
                r = 0;
            }
        }
        const int length = static_cast<int>(chain.size());
        reading.longestChain = std::max(reading.longestChain, length);
        reading.shortestChain = std::min(reading.shortestChain, length);
        for (size_t i = 1; i < chain.size(); ++i) {
            if (chain[i] != chain[i - 1] + 1) {
                ++reading.scatteredChains;
                break;
            }
        }
    }
    return reading;
}

std::vector<builder::Position> Sorted(std::vector<builder::Position> positions) {
    std::sort(positions.begin(), positions.end());
    return positions;
}

}  // namespace plinth::test
