#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <new>
#include <span>

#include "book/FileSystem.h"

namespace plinth::test {

// The operating system's files, watched by a test. Opens and reads are counted,
// so that a walk that reads more than it should, or on fewer readers, shows up.
// The test's hook runs before every read, write of records and flush, where it
// may throw as an allocation there would; reads from an offset on may fail or
// run out of memory, and what a read took in may be changed, as another
// program changing the book would. The hints that the book will be read are
// handed to the test, with whether the descriptor they name was still open.
class HookedFileSystem final : public ForwardingFileSystem {
  public:
    enum class Call { Read, Write, Sync };

    int OpenForReading(const std::string& path) override {
        ++opens;
        return ForwardingFileSystem::OpenForReading(path);
    }
    Opened CreateForWriting(const std::string& path) override {
        created = true;
        return ForwardingFileSystem::CreateForWriting(path);
    }
    int64_t ReadAt(int fd, void* buffer, size_t length, uint64_t offset) override {
        ++reads;
        Before(Call::Read, offset);
        if (offset >= failReadsFrom) {
            if (memoryRunsOut) {
                throw std::bad_alloc();
            }
            return -1;
        }
        const int64_t got = ForwardingFileSystem::ReadAt(fd, buffer, length, offset);
        if (afterRead && got > 0) {
            afterRead({static_cast<uint8_t*>(buffer), static_cast<size_t>(got)}, offset);
        }
        return got;
    }
    int64_t WriteAtGathered(int fd, std::span<const std::span<const uint8_t>> pieces,
                            uint64_t offset) override {
        Before(Call::Write, offset);  // on the writer's thread
        return ForwardingFileSystem::WriteAtGathered(fd, pieces, offset);
    }
    FileError Sync(int fd) override {
        Before(Call::Sync, 0);
        return ForwardingFileSystem::Sync(fd);
    }
    void Close(int fd) override {
        if (fd == watched) {
            watchedClosed = true;
        }
        ForwardingFileSystem::Close(fd);
    }
    void WillRead(int fd, uint64_t offset, uint64_t length) override {
        if (hint) {
            hint(offset, length, fd == watched && !watchedClosed);  // as the call starts
        }
    }

    std::atomic<uint64_t> opens = 0;
    std::atomic<uint64_t> reads = 0;
    std::atomic<bool> created = false;  // whether a new file was made
    std::function<void(Call call, uint64_t offset)> before;
    uint64_t failReadsFrom = UINT64_MAX;
    bool memoryRunsOut = false;  // at those reads, instead of their failing
    std::function<void(std::span<uint8_t> read, uint64_t offset)> afterRead;
    std::atomic<int> watched = -1;  // the descriptor whose Close is noted
    std::atomic<bool> watchedClosed = false;
    std::function<void(uint64_t offset, uint64_t length, bool watchedOpen)> hint;

  private:
    void Before(Call call, uint64_t offset) const {
        if (before) {
            before(call, offset);
        }
    }
};

}  // namespace plinth::test
