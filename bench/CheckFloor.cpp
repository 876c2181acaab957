// How fast the record check alone can go over a whole book on this machine: every
// record from the HashIndex on is checked, in file order, on every core (at most
// four), with no chain followed, nothing counted and nothing reported. The book
// is read into a buffer of each thread (`read`), as the passes read it, or
// looked at in place through a mapping (`mapped`), which saves the copy. The
// time it takes bounds from below what any pass that checks every record can
// take here.
//
//   plinth_check_floor BOOK read|mapped
//
// Prints the records found damaged, so that the check cannot be left out.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "book/AlignedBytes.h"
#include "book/BookFormat.h"

namespace plinth {
namespace {

constexpr uint64_t kChunkBytes = uint64_t{1} << 20;

// How the records reach the check: copied into a buffer, or looked at in place.
enum class Access { Read, Mapped };

class OpenFile {
  public:
    explicit OpenFile(const char* path) : m_fd(::open(path, O_RDONLY | O_CLOEXEC)) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int Get() const { return m_fd; }

  private:
    int m_fd;
};

class Mapping {
  public:
    Mapping(int fd, uint64_t size)
        : m_bytes(::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0)), m_size(size) {}
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    ~Mapping() {
        if (m_bytes != MAP_FAILED) {
            ::munmap(m_bytes, m_size);
        }
    }
    const uint8_t* Bytes() const {
        return m_bytes == MAP_FAILED ? nullptr : static_cast<const uint8_t*>(m_bytes);
    }

  private:
    void* m_bytes;
    uint64_t m_size;
};

int Run(const char* path, Access access) {
    const bool mapped = access == Access::Mapped;
    const OpenFile file(path);
    struct stat status {};
    std::array<uint8_t, layout::kHeaderSize> headerBytes{};
    if (file.Get() < 0 || ::fstat(file.Get(), &status) != 0 ||
        ::pread(file.Get(), headerBytes.data(), headerBytes.size(), 0) !=
            static_cast<ssize_t>(headerBytes.size())) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return 1;
    }
    const BookHeader header = DecodeHeader(headerBytes);
    const uint64_t recordSize = header.recordSize;
    const auto size = static_cast<uint64_t>(status.st_size);
    const uint64_t first = RecordOffset(header.hashIndexRecord, header.recordSize) +
                           HashIndexRecords(header.recordSize, header.hashIndexSize) * recordSize;
    if (recordSize == 0 || first >= size) {
        std::fprintf(stderr, "%s holds no chain records\n", path);
        return 1;
    }
    const uint64_t chunk = std::max(kChunkBytes / recordSize, uint64_t{1}) * recordSize;
    const Mapping mapping(file.Get(), mapped ? size : 0);
    if (mapped && mapping.Bytes() == nullptr) {
        std::fprintf(stderr, "cannot map %s\n", path);
        return 1;
    }
    std::atomic<uint64_t> next{first};
    std::atomic<uint64_t> damaged{0};
    std::atomic<bool> unreadable{false};
    auto work = [&] {
        const AlignedBytes buffer = AlignedBytes::Allocate(mapped ? 0 : chunk);
        uint64_t found = 0;
        for (uint64_t at = next.fetch_add(chunk); at + recordSize <= size;
             at = next.fetch_add(chunk)) {
            const uint64_t bytes = std::min(chunk, (size - at) / recordSize * recordSize);
            const uint8_t* records = mapped ? mapping.Bytes() + at : buffer.Data();
            if (!mapped && ::pread(file.Get(), buffer.Data(), bytes, static_cast<off_t>(at)) !=
                               static_cast<ssize_t>(bytes)) {
                unreadable = true;
                break;
            }
            for (uint64_t r = 0; r < bytes; r += recordSize) {
                found += CheckRecord({records + r, recordSize}, KindOf(header.magic)) ? 0 : 1;
            }
        }
        damaged += found;
    };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1U, 4U);
    std::vector<std::jthread> workers;
    for (unsigned i = 1; i < threads; ++i) {
        workers.emplace_back(work);
    }
    work();
    workers.clear();
    if (unreadable) {
        std::fprintf(stderr, "cannot read %s to its end\n", path);
        return 1;
    }
    std::printf("%llu damaged records\n", static_cast<unsigned long long>(damaged.load()));
    return 0;
}

}  // namespace
}  // namespace plinth

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[2], "read") != 0 && std::strcmp(argv[2], "mapped") != 0)) {
        std::fprintf(stderr, "usage: plinth_check_floor BOOK read|mapped\n");
        return 2;
    }
    return plinth::Run(argv[1], std::strcmp(argv[2], "mapped") == 0 ? plinth::Access::Mapped
                                                                    : plinth::Access::Read);
}
