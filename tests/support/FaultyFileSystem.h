#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "book/FileSystem.h"

namespace plinth::test {

// The operating system's files, with a log of every operation that changes a
// file, and the power to make exactly one of those operations fail, or to end
// the process right before it. Taking a lock makes its lock file; a lock that
// fails is refused, and a lock given up that fails keeps its lock file.
class FaultyFileSystem final : public ForwardingFileSystem {
  public:
    enum class Operation { Create, Write, Sync, Remove, Rename, Link, SyncDirectory, Lock, Unlock };

    struct Call {
        Operation operation;
        std::string path;  // the path, or the offset written at
    };

    // Makes the changing operation with this index (counted from 0) fail.
    void FailCall(size_t index) { m_failAt = index; }
    // Makes the `occurrence`-th call (counted from 0) of `operation` fail.
    void FailOperation(Operation operation, int occurrence) {
        m_failOperations.emplace_back(operation, occurrence);
    }
    // Runs `action` right before the changing operation with this index: ends the
    // process as a crash there would, or holds it there.
    void ActAtCall(size_t index, std::function<void()> action) {
        m_actAt = {index, std::move(action)};
    }
    // Every Link fails, as on a file system without hard links.
    void RefuseHardLinks() { m_refuseHardLinks = true; }
    const std::vector<Call>& Calls() const { return m_calls; }

    Opened CreateForWriting(const std::string& path) override;
    int64_t WriteAt(int fd, const void* buffer, size_t length, uint64_t offset) override;
    int64_t WriteAtGathered(int fd, std::span<const std::span<const uint8_t>> pieces,
                            uint64_t offset) override;
    FileError Sync(int fd) override;
    FileError Remove(const std::string& path) override;
    FileError Rename(const std::string& from, const std::string& to) override;
    FileError Link(const std::string& existing, const std::string& newName) override;
    FileError SyncDirectory(const std::string& folder) override;
    Opened TryLock(const std::string& path) override;
    void Unlock(int fd, const std::string& path) override;

  private:
    // Logs the call; true when it is the one to fail.
    bool Fails(Operation operation, const std::string& path);

    std::vector<Call> m_calls;
    size_t m_failAt = static_cast<size_t>(-1);
    std::pair<size_t, std::function<void()>> m_actAt{static_cast<size_t>(-1), nullptr};
    bool m_refuseHardLinks = false;
    std::vector<std::pair<Operation, int>> m_failOperations;
};

}  // namespace plinth::test
