#pragma once

#include "book/FileSystem.h"

namespace plinth::test {

// Hands every file operation on to the operating system's files; test file
// systems derive from it and change only the operations they watch.
class ForwardingFileSystem : public IFileSystem {
  public:
    int OpenForReading(const std::string& path) override { return m_system.OpenForReading(path); }
    int CreateForWriting(const std::string& path) override {
        return m_system.CreateForWriting(path);
    }
    void Close(int fd) override { m_system.Close(fd); }
    int64_t SizeOf(int fd) override { return m_system.SizeOf(fd); }
    int64_t ReadAt(int fd, void* buffer, size_t length, uint64_t offset) override {
        return m_system.ReadAt(fd, buffer, length, offset);
    }
    int64_t WriteAt(int fd, const void* buffer, size_t length, uint64_t offset) override {
        return m_system.WriteAt(fd, buffer, length, offset);
    }
    int64_t WriteAtGathered(int fd, std::span<const std::span<const uint8_t>> pieces,
                            uint64_t offset) override {
        return m_system.WriteAtGathered(fd, pieces, offset);
    }
    int Sync(int fd) override { return m_system.Sync(fd); }
    int Remove(const std::string& path) override { return m_system.Remove(path); }
    int Rename(const std::string& from, const std::string& to) override {
        return m_system.Rename(from, to);
    }
    int Link(const std::string& existing, const std::string& newName) override {
        return m_system.Link(existing, newName);
    }
    int SyncDirectory(const std::string& folder) override { return m_system.SyncDirectory(folder); }
    bool Exists(const std::string& path) override { return m_system.Exists(path); }

  private:
    IFileSystem& m_system = SystemFileSystem();
};

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
