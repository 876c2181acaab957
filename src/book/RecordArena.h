#pragma once

// The memory of the record buffers of a book being written: the record that each
// chain is filling and the filled records waiting to be written, up to 640 MiB
// in buffers of one size (32768 chains of 16 KiB records and 128 MiB), so the
// buffers are carved from large zero-filled blocks of their own rather than
// taken one by one from the heap: the system fills fresh blocks with zeros.
// Buffers given back are handed out again, as they are, before fresh memory is
// touched.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plinth {

class RecordArena {
  public:
    RecordArena() = default;
    RecordArena(const RecordArena&) = delete;
    RecordArena& operator=(const RecordArena&) = delete;
    ~RecordArena() { ReleaseAll(); }

    // Releases every block and hands out buffers of `recordSize` bytes from now on.
    void Reset(size_t recordSize);
    // A buffer of the record size, zero-filled unless it was given back before;
    // null when memory runs out.
    uint8_t* Allocate();
    // Takes back a buffer that Allocate handed out, to hand it out again.
    void Release(uint8_t* buffer) { m_released.push_back(buffer); }
    // Gives every block back to the system; the buffers handed out are gone.
    void ReleaseAll();

  private:
    struct Block {
        void* base = nullptr;
        size_t size = 0;
    };
    bool AddBlock();

    std::vector<Block> m_blocks;
    std::vector<uint8_t*> m_released;
    size_t m_recordSize = 0;
    uint8_t* m_next = nullptr;  // the next free buffer in the last block
    uint8_t* m_end = nullptr;   // the end of the last block
};

}  // namespace plinth
