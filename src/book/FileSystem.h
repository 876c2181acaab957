#pragma once

// The file operations of the book code, behind one small interface so that tests
// can make any single operation fail. An operation whose failure its callers
// tell apart or word gives its outcome and its error together, a FileError: no
// caller reads errno (or the system's last error) after a call, which may have
// passed through other code on the way.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <utility>

namespace plinth {

// The failure of a file operation: what kind of failure it was and the system's
// own words for it. A default-constructed FileError is no failure.
class FileError {
  public:
    enum class Kind {
        None,
        Missing,         // nothing at the path, or a part of it is no folder
        Exists,          // something is at the path already
        NotPermitted,    // the user may not
        ReadOnlyVolume,  // the volume takes no changes
        LockHeld,        // another holds the lock
        Other,
    };

    FileError() = default;
    FileError(Kind kind, std::string text) : m_kind(kind), m_text(std::move(text)) {}
    // The failure of an errno value, worded by the C library.
    static FileError FromErrno(int error) {
        switch (error) {
            case ENOENT:
            case ENOTDIR:
                return {Kind::Missing, std::strerror(error)};
            case EEXIST:
                return {Kind::Exists, std::strerror(error)};
            case EACCES:
            case EPERM:
                return {Kind::NotPermitted, std::strerror(error)};
            case EROFS:
                return {Kind::ReadOnlyVolume, std::strerror(error)};
            case EWOULDBLOCK:
                return {Kind::LockHeld, std::strerror(error)};
            default:
                return {Kind::Other, std::strerror(error)};
        }
    }

    // True when the operation failed.
    explicit operator bool() const { return m_kind != Kind::None; }
    Kind GetKind() const { return m_kind; }
    const std::string& Text() const { return m_text; }

  private:
    Kind m_kind = Kind::None;
    std::string m_text;
};

// A descriptor and the failure that left none: fd is -1 exactly when error is set.
struct Opened {
    int fd = -1;
    FileError error;
};

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
    // Creates a new file for reading and writing; fails (Exists) where anything is
    // at the path already, so that no file is ever written by two at once.
    virtual Opened CreateForWriting(const std::string& path) = 0;
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
    // A hint that `length` bytes from `offset` will be read soon, in no
    // particular order: the system may start reading them from the disk now, in
    // file order, without waiting for them. Does nothing where it cannot.
    virtual void WillRead(int fd, uint64_t offset, uint64_t length) = 0;
    // Flushes the file's data to the disk.
    virtual FileError Sync(int fd) = 0;

    virtual FileError Remove(const std::string& path) = 0;
    // Replaces whatever file is at `to`.
    virtual FileError Rename(const std::string& from, const std::string& to) = 0;
    // A second name for an existing file.
    virtual FileError Link(const std::string& existing, const std::string& newName) = 0;
    // Makes the entries of a folder (created, renamed or removed files) durable.
    virtual FileError SyncDirectory(const std::string& folder) = 0;
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
    // lock, or the failure (LockHeld while another holds the lock, Exists where
    // something other than an empty file has the lock file's name).
    virtual Opened TryLock(const std::string& path) = 0;
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
    Opened CreateForWriting(const std::string& path) override {
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
    void WillRead(int fd, uint64_t offset, uint64_t length) override {
        m_system.WillRead(fd, offset, length);
    }
    FileError Sync(int fd) override { return m_system.Sync(fd); }
    FileError Remove(const std::string& path) override { return m_system.Remove(path); }
    FileError Rename(const std::string& from, const std::string& to) override {
        return m_system.Rename(from, to);
    }
    FileError Link(const std::string& existing, const std::string& newName) override {
        return m_system.Link(existing, newName);
    }
    FileError SyncDirectory(const std::string& folder) override {
        return m_system.SyncDirectory(folder);
    }
    bool Exists(const std::string& path) override { return m_system.Exists(path); }
    bool IsFileAt(int fd, const std::string& path) override { return m_system.IsFileAt(fd, path); }
    std::string FileBehind(const std::string& path) override { return m_system.FileBehind(path); }
    void TakeAccessOf(int fd, const std::string& path) override { m_system.TakeAccessOf(fd, path); }
    Opened TryLock(const std::string& path) override { return m_system.TryLock(path); }
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
        : m_fileSystem(&fileSystem), m_path(std::move(path)) {
        Opened taken = fileSystem.TryLock(m_path);
        m_fd = taken.fd;
        m_error = std::move(taken.error);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    FileLock(FileLock&& other) noexcept
        : m_fileSystem(other.m_fileSystem),
          m_path(std::move(other.m_path)),
          m_fd(std::exchange(other.m_fd, -1)),
          m_error(std::move(other.m_error)) {}
    FileLock& operator=(FileLock&& other) = delete;
    ~FileLock() { Release(); }

    bool Held() const { return m_fd >= 0; }
    const FileError& Error() const { return m_error; }
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
    FileError m_error;
};

}  // namespace plinth
