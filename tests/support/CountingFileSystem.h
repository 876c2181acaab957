#pragma once

#include "book/FileSystem.h"

namespace plinth::test {

// The operating system's files, counting the reads, so that a walk that reads
// more than it should shows up.
class CountingFileSystem final : public ForwardingFileSystem {
  public:
    int64_t ReadAt(int fd, void* buffer, size_t length, uint64_t offset) override {
        ++reads;
        return ForwardingFileSystem::ReadAt(fd, buffer, length, offset);
    }

    uint64_t reads = 0;
};

}  // namespace plinth::test
