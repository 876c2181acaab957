#pragma once

// A file system for a pass that may be abandoned: once its stop token is
// stopped, no file opens and no read gets through, so the book code ends its pass
// at the next read with its fatal error.

#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <string>
#include <utility>

#include "book/FileSystem.h"

namespace plinth {

class StoppableFileSystem final : public ForwardingFileSystem {
  public:
    StoppableFileSystem(IFileSystem& target, std::stop_token stop)
        : ForwardingFileSystem(target), m_stop(std::move(stop)) {}

    int OpenForReading(const std::string& path) override {
        return m_stop.stop_requested() ? -1 : ForwardingFileSystem::OpenForReading(path);
    }
    int64_t ReadAt(int fd, void* buffer, size_t length, uint64_t offset) override {
        return m_stop.stop_requested() ? -1
                                       : ForwardingFileSystem::ReadAt(fd, buffer, length, offset);
    }

  private:
    std::stop_token m_stop;
};

}  // namespace plinth
