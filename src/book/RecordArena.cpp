#include "book/RecordArena.h"

#include <cstdlib>

#if defined(__unix__)
#include <sys/mman.h>
#endif

namespace plinth {
namespace {

// Blocks are a whole number of every record size.
constexpr size_t kBlockSize = size_t{32} << 20;

#if defined(__unix__)
// A zero-filled block; null when memory runs out. Small pages: on a virtual
// machine whose host takes freed memory back, a large page of fresh memory
// costs several times what its small pages do.
void* MapBlock(size_t size) {
    void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void UnmapBlock(void* base, size_t size) { munmap(base, size); }
#else
void* MapBlock(size_t size) { return std::calloc(size, 1); }
void UnmapBlock(void* base, size_t /*size*/) { std::free(base); }
#endif

}  // namespace

void RecordArena::Reset(size_t recordSize) {
    ReleaseAll();
    m_recordSize = recordSize;
}

uint8_t* RecordArena::Allocate() {
    if (!m_released.empty()) {
        uint8_t* buffer = m_released.back();
        m_released.pop_back();
        return buffer;
    }
    if (m_next == m_end && !AddBlock()) {
        return nullptr;
    }
    uint8_t* buffer = m_next;
    m_next += m_recordSize;
    return buffer;
}

bool RecordArena::AddBlock() {
    // Whole records only; a record larger than a block gets a block of its own.
    const size_t records = kBlockSize / m_recordSize > 0 ? kBlockSize / m_recordSize : 1;
    const size_t size = records * m_recordSize;
    void* base = MapBlock(size);
    if (base == nullptr) {
        return false;
    }
    m_blocks.push_back({base, size});
    m_next = static_cast<uint8_t*>(base);
    m_end = m_next + size;
    return true;
}

void RecordArena::ReleaseAll() {
    for (const Block& block : m_blocks) {
        UnmapBlock(block.base, block.size);
    }
    m_blocks.clear();
    m_released.clear();
    m_next = nullptr;
    m_end = nullptr;
}

}  // namespace plinth
