#pragma once

// Fixed-width little-endian encoding and decoding. Every integer of a book file
// goes through these, byte by byte, so the code is independent of the host's byte
// order and never reads through a misaligned pointer.

#include <cstddef>
#include <cstdint>
#include <span>

namespace plinth {

inline uint16_t DecodeU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t DecodeU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void EncodeU16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

inline void EncodeU32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

// Reads a u16 at `offset` of `bytes`; bytes past the end read as zero. Chain
// records are read this way, since an entry may start at the record's last byte.
inline uint16_t DecodeU16Padded(std::span<const uint8_t> bytes, size_t offset) {
    const uint16_t low = offset < bytes.size() ? bytes[offset] : 0;
    const uint16_t high = offset + 1 < bytes.size() ? bytes[offset + 1] : 0;
    return static_cast<uint16_t>(low | (high << 8));
}

}  // namespace plinth
