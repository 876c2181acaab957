#pragma once

// The memory of the record buffers of a book being written. The whole new book
// is held in memory until its write-out, up to 1 GiB in buffers of one size, so
// the buffers are carved from large zero-filled blocks of their own rather than
// taken one by one from the heap: the system fills fresh blocks with zeros, and
// large pages spare it most of the work of mapping them.

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
    // A zero-filled buffer of the record size; null when memory runs out.
    uint8_t* Allocate();
    // Gives every block back to the system; the buffers handed out are gone.
    void ReleaseAll();

  private:
    struct Block {
        void* base = nullptr;
        size_t size = 0;
    };
    bool AddBlock();

    std::vector<Block> m_blocks;
    size_t m_recordSize = 0;
    uint8_t* m_next = nullptr;  // the next free buffer in the last block
    uint8_t* m_end = nullptr;   // the end of the last block
};

}  // namespace plinth
