#pragma once

// The file operations of the book code, behind one small interface so that tests
// can make any single operation fail. Operations on paths give 0 on success and
// an errno value on failure.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace plinth {

// What a path names.
enum class FileType { Missing, Regular, Folder, Other };
// What a user may do with a file, or in a folder (make and remove files there).
enum class Access { Read, Write };

class IFileSystem {
  public:
    virtual ~IFileSystem() = default;

    // What is at `path`, links followed; Missing when nothing is there or the
    // path cannot be looked at.
    virtual FileType TypeOf(const std::string& path) = 0;
    // Whether this user may read or write the file at `path`, or make and remove
    // files in the folder at `path`.
    virtual bool Permits(const std::string& path, Access access) = 0;

    // Descriptors: -1 on failure. Opening never waits, not even for a FIFO.
    virtual int OpenForReading(const std::string& path) = 0;
    // Creates a new file for reading and writing; fails (EEXIST) where anything is
    // at the path already, so that no file is ever written by two at once.
    virtual int CreateForWriting(const std::string& path) = 0;
    virtual void Close(int fd) = 0;
    // The size of an open file in bytes; -1 on failure.
    virtual int64_t SizeOf(int fd) = 0;

    // Positional transfers; they go on after partial transfers and give the bytes
    // moved (fewer at the end of the file) or -1 on failure.
    virtual int64_t ReadAt(int fd, void* buffer, size_t length, uint64_t offset) = 0;
    virtual int64_t WriteAt(int fd, const void* buffer, size_t length, uint64_t offset) = 0;
    // Writes the pieces one after the other from `offset`, in as few system calls
    // as the system allows; gives the bytes written or -1.
    virtual int64_t WriteAtGathered(int fd, std::span<const std::span<const uint8_t>> pieces,
                                    uint64_t offset) = 0;
    // Flushes the file's data to the disk.
    virtual int Sync(int fd) = 0;

    virtual int Remove(const std::string& path) = 0;
    virtual int Rename(const std::string& from, const std::string& to) = 0;
    // A second name for an existing file.
    virtual int Link(const std::string& existing, const std::string& newName) = 0;
    // Makes the entries of a folder (created, renamed or removed files) durable.
    virtual int SyncDirectory(const std::string& folder) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // Whether the open file `fd` is the file at `path`, links followed: false once
    // another file took the name or none is there.
    virtual bool IsFileAt(int fd, const std::string& path) = 0;
    // The path of the file itself where `path` is a symbolic link (followed from
    // link to link, a relative target taken from the link's folder); `path` where
    // it is none.
    virtual std::string FileBehind(const std::string& path) = 0;
    // Gives the open file the permissions of the file at `path` and, where this
    // user may, its owner and group; as far as it can, without failing.
    virtual void TakeAccessOf(int fd, const std::string& path) = 0;

    // Exclusive advisory locks on lock files, taken without waiting. A lock holds
    // until it is given up or its process ends, however that ends. TryLock creates
    // the lock file where it is missing and gives a descriptor that holds the
    // lock, or -1 with errno set (EWOULDBLOCK while another holds the lock, EEXIST
    // where something other than an empty file has the lock file's name).
    virtual int TryLock(const std::string& path) = 0;
    // Gives up a lock of TryLock: the lock file goes, then the lock.
    virtual void Unlock(int fd, const std::string& path) = 0;
};

// The operating system's files.
IFileSystem& SystemFileSystem();

// Hands every file operation on to another file system, the operating system's
// files unless one is given; a file system that watches or changes a few
// operations (in the tests, in tools) derives from it and overrides only those.
class ForwardingFileSystem : public IFileSystem {
  public:
    explicit ForwardingFileSystem(IFileSystem& target = SystemFileSystem()) : m_system(target) {}

    FileType TypeOf(const std::string& path) override { return m_system.TypeOf(path); }
    bool Permits(const std::string& path, Access access) override {
        return m_system.Permits(path, access);
    }
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
    bool IsFileAt(int fd, const std::string& path) override { return m_system.IsFileAt(fd, path); }
    std::string FileBehind(const std::string& path) override { return m_system.FileBehind(path); }
    void TakeAccessOf(int fd, const std::string& path) override { m_system.TakeAccessOf(fd, path); }
    int TryLock(const std::string& path) override { return m_system.TryLock(path); }
    void Unlock(int fd, const std::string& path) override { m_system.Unlock(fd, path); }

  private:
    IFileSystem& m_system;
};

// Owns one open descriptor of an IFileSystem and closes it when it goes.
class FileDescriptor {
  public:
    FileDescriptor() = default;
    FileDescriptor(IFileSystem& fileSystem, int fd) : m_fileSystem(&fileSystem), m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept
        : m_fileSystem(other.m_fileSystem), m_fd(std::exchange(other.m_fd, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            Close();
            m_fileSystem = other.m_fileSystem;
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    ~FileDescriptor() { Close(); }

    bool IsOpen() const { return m_fd >= 0; }
    int Get() const { return m_fd; }
    void Close() {
        if (m_fd >= 0) {
            m_fileSystem->Close(std::exchange(m_fd, -1));
        }
    }

  private:
    IFileSystem* m_fileSystem = nullptr;
    int m_fd = -1;
};

// Owns one lock of an IFileSystem and gives it up when it goes.
class FileLock {
  public:
    FileLock() = default;
    // Tries to take the lock of the lock file at `path`; Held() tells whether it
    // did, Error() why not.
    FileLock(IFileSystem& fileSystem, std::string path)
        : m_fileSystem(&fileSystem), m_path(std::move(path)), m_fd(fileSystem.TryLock(m_path)) {
        m_error = m_fd < 0 ? errno : 0;
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    FileLock(FileLock&& other) noexcept
        : m_fileSystem(other.m_fileSystem),
          m_path(std::move(other.m_path)),
          m_fd(std::exchange(other.m_fd, -1)),
          m_error(other.m_error) {}
    FileLock& operator=(FileLock&& other) = delete;
    ~FileLock() { Release(); }

    bool Held() const { return m_fd >= 0; }
    int Error() const { return m_error; }
    const std::string& Path() const { return m_path; }
    void Release() {
        if (m_fd >= 0) {
            m_fileSystem->Unlock(std::exchange(m_fd, -1), m_path);
        }
    }

  private:
    IFileSystem* m_fileSystem = nullptr;
    std::string m_path;
    int m_fd = -1;
    int m_error = 0;
};

}  // namespace plinth
