#pragma once

#include <atomic>

#include "book/FileSystem.h"

namespace plinth::test {

// The operating system's files, counting the opens and the reads, so that a walk
// that reads more than it should, or on fewer readers, shows up.
class CountingFileSystem final : public ForwardingFileSystem {
  public:
    int OpenForReading(const std::string& path) override {
        ++opens;
        return ForwardingFileSystem::OpenForReading(path);
    }
    int64_t ReadAt(int fd, void* buffer, size_t length, uint64_t offset) override {
        ++reads;
        return ForwardingFileSystem::ReadAt(fd, buffer, length, offset);
    }

    std::atomic<uint64_t> opens = 0;
    std::atomic<uint64_t> reads = 0;
};

}  // namespace plinth::test
