#pragma once

// Zero-filled bytes that start on a page boundary, for the buffers a book is
// read into. The system copies a file into a buffer that does not start on a
// cache line several times more slowly than into one that does (every line it
// writes is then split in two): reading a warm 1 GiB book into buffers taken
// from the heap, 16 bytes past a line, took 0.5 s of system time where the same
// reads into page-aligned buffers took 0.08 s.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace plinth {

class AlignedBytes {
  public:
    // A page: a whole number of cache lines on every processor.
    static constexpr size_t kAlignment = 4096;

    AlignedBytes() = default;

    // `size` zero bytes; empty when the memory cannot be had.
    static AlignedBytes TryAllocate(size_t size) {
        AlignedBytes bytes;
        if (size == 0) {
            return bytes;
        }
        void* memory = ::operator new[](size, std::align_val_t{kAlignment}, std::nothrow);
        if (memory != nullptr) {
            std::memset(memory, 0, size);
            bytes.m_bytes.reset(static_cast<uint8_t*>(memory));
            bytes.m_size = size;
        }
        return bytes;
    }

    // `size` zero bytes; throws std::bad_alloc when the memory cannot be had.
    static AlignedBytes Allocate(size_t size) {
        AlignedBytes bytes = TryAllocate(size);
        if (bytes.Size() != size) {
            throw std::bad_alloc();
        }
        return bytes;
    }

    uint8_t* Data() const { return m_bytes.get(); }
    size_t Size() const { return m_size; }

  private:
    struct Free {
        void operator()(uint8_t* bytes) const {
            ::operator delete[](bytes, std::align_val_t{kAlignment});
        }
    };
    std::unique_ptr<uint8_t[], Free> m_bytes;
    size_t m_size = 0;
};

}  // namespace plinth
