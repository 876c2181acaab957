#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <tuple>
#include <utility>
#include <vector>

#include "book/FileSystem.h"
#include "book/Paths.h"

namespace plinth {
namespace {

#ifndef O_BINARY
constexpr int O_BINARY = 0;
#endif

constexpr int kMaxLinksFollowed = 40;

// No failure when the call succeeded, else the failure of errno.
FileError Outcome(bool succeeded) { return succeeded ? FileError() : FileError::FromErrno(errno); }

// A descriptor, or the failure of errno where there is none.
Opened Descriptor(int fd) { return {fd, fd < 0 ? FileError::FromErrno(errno) : FileError()}; }

bool SameFile(const struct stat& one, const struct stat& other) {
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// Repeats a positioned transfer from where the last one stopped until all of it is
// done, the file ends, or it fails for a reason other than an interruption.
// Returns the bytes transferred or -1.
template <typename Transfer>
int64_t TransferAll(size_t length, Transfer transfer) {
    size_t done = 0;
    while (done < length) {
        const ssize_t n = transfer(done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

class PosixFileSystem final : public IFileSystem {
  public:
    FileType TypeOf(const std::string& path) override {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0) {
            return FileType::Missing;
        }
        if (S_ISREG(status.st_mode)) {
            return FileType::Regular;
        }
        return S_ISDIR(status.st_mode) ? FileType::Folder : FileType::Other;
    }

    bool Permits(const std::string& path, Access access) override {
        return ::access(path.c_str(), access == Access::Read ? R_OK : W_OK) == 0;
    }

    int OpenForReading(const std::string& path) override {
        // Without waiting: opening a FIFO for reading would wait for a writer.
        return ::open(path.c_str(), O_RDONLY | O_BINARY | O_CLOEXEC | O_NONBLOCK);
    }

    Opened CreateForWriting(const std::string& path) override {
        return Descriptor(
            ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_BINARY | O_CLOEXEC, 0666));
    }

    void Close(int fd) override { ::close(fd); }

    int64_t SizeOf(int fd) override {
        struct stat status {};
        return ::fstat(fd, &status) == 0 ? static_cast<int64_t>(status.st_size) : -1;
    }

    int64_t ReadAt(int fd, void* buffer, size_t length, uint64_t offset) override {
        auto* bytes = static_cast<char*>(buffer);
        return TransferAll(length, [&](size_t done) {
            return ::pread(fd, bytes + done, length - done, static_cast<off_t>(offset + done));
        });
    }

    int64_t WriteAt(int fd, const void* buffer, size_t length, uint64_t offset) override {
        const auto* bytes = static_cast<const char*>(buffer);
        return TransferAll(length, [&](size_t done) {
            return ::pwrite(fd, bytes + done, length - done, static_cast<off_t>(offset + done));
        });
    }

    int64_t WriteAtGathered(int fd, std::span<const std::span<const uint8_t>> pieces,
                            uint64_t offset) override {
        std::vector<iovec> vectors;
        vectors.reserve(pieces.size());
        for (const std::span<const uint8_t> piece : pieces) {
            vectors.push_back({const_cast<uint8_t*>(piece.data()), piece.size()});
        }
        size_t length = 0;
        for (const iovec& vector : vectors) {
            length += vector.iov_len;
        }
        size_t first = 0;    // the first vector not written in full
        size_t skipped = 0;  // bytes already taken off the front of the vectors
        return TransferAll(length, [&](size_t done) {
            // Skip what the calls before wrote, also in the middle of a piece.
            for (size_t left = done - skipped; left > 0 || vectors[first].iov_len == 0;) {
                if (left >= vectors[first].iov_len) {
                    left -= vectors[first].iov_len;
                    ++first;
                } else {
                    vectors[first].iov_base = static_cast<char*>(vectors[first].iov_base) + left;
                    vectors[first].iov_len -= left;
                    left = 0;
                }
            }
            skipped = done;
            const int count = static_cast<int>(std::min<size_t>(vectors.size() - first, IOV_MAX));
            return ::pwritev(fd, &vectors[first], count, static_cast<off_t>(offset + done));
        });
    }

    // The kernel reads at most its read-ahead window for one hint and ignores
    // the rest, so the hint is given a window at a time; each call only queues
    // the reads.
    void WillRead(int fd, uint64_t offset, uint64_t length) override {
        constexpr uint64_t kWindow = uint64_t{1} << 20;
        for (uint64_t done = 0; done < length; done += kWindow) {
            (void)::posix_fadvise(fd, static_cast<off_t>(offset + done),
                                  static_cast<off_t>(std::min(kWindow, length - done)),
                                  POSIX_FADV_WILLNEED);
        }
    }

    FileError Sync(int fd) override { return Outcome(::fsync(fd) == 0); }

    FileError Remove(const std::string& path) override {
        return Outcome(::unlink(path.c_str()) == 0);
    }

    FileError Rename(const std::string& from, const std::string& to) override {
        return Outcome(std::rename(from.c_str(), to.c_str()) == 0);
    }

    FileError Link(const std::string& existing, const std::string& newName) override {
        return Outcome(::link(existing.c_str(), newName.c_str()) == 0);
    }

    FileError SyncDirectory(const std::string& folder) override {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            return FileError::FromErrno(errno);
        }
        FileError result = Outcome(::fsync(fd) == 0);
        ::close(fd);
        return result;
    }

    bool Exists(const std::string& path) override {
        struct stat status {};
        return ::lstat(path.c_str(), &status) == 0;
    }

    bool IsFileAt(int fd, const std::string& path) override {
        struct stat open {};
        struct stat named {};
        return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
               SameFile(open, named);
    }

    std::string FileBehind(const std::string& path) override {
        std::string file = path;
        // As many links as the system itself follows before it gives up (ELOOP).
        for (int links = 0; links < kMaxLinksFollowed; ++links) {
            struct stat status {};
            if (::lstat(file.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
                break;
            }
            std::vector<char> target(PATH_MAX);
            const ssize_t length = ::readlink(file.c_str(), target.data(), target.size());
            if (length <= 0 || static_cast<size_t>(length) >= target.size()) {
                break;
            }
            std::string next(target.data(), static_cast<size_t>(length));
            if (next.front() != kPathSeparator && file.find(kPathSeparator) != std::string::npos) {
                next.insert(0, FolderOf(file) + kPathSeparator);
            }
            file = std::move(next);
        }
        return file;
    }

    void TakeAccessOf(int fd, const std::string& path) override {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0) {
            return;
        }
        // The owner first: a change of owner may clear permission bits. Only the
        // superuser may give a file away; the group may be any of the user's own.
        if (::fchown(fd, status.st_uid, status.st_gid) != 0) {
            std::ignore = ::fchown(fd, static_cast<uid_t>(-1), status.st_gid);
        }
        (void)::fchmod(fd, status.st_mode & 0777);
    }

    // A flock lock belongs to the open file, so it also keeps two holders in one
    // process apart, and it goes with the last descriptor of that file: when the
    // process ends, however it ends. Reading rights suffice to take it.
    Opened TryLock(const std::string& path) override {
        for (;;) {
            const int fd = ::open(path.c_str(),
                                  O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
            if (fd < 0) {
                return Descriptor(fd);
            }
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                FileError error = FileError::FromErrno(errno);
                ::close(fd);
                return {-1, std::move(error)};
            }
            // The holder before may have given the lock up between the open and the
            // flock, removing the file on the way: that lock guards nothing any
            // more, so take the one of the file now at the path.
            struct stat held {};
            struct stat named {};
            errno = 0;
            const bool sameFile = ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
                                  SameFile(held, named);
            if (sameFile && (!S_ISREG(held.st_mode) || held.st_size != 0)) {
                // A lock file is empty; whatever else has its name is none, and
                // giving the lock up would remove it.
                ::close(fd);
                return {-1, FileError::FromErrno(EEXIST)};
            }
            if (sameFile) {
                return {fd, {}};
            }
            const int error = errno;
            ::close(fd);
            if (error != 0 && error != ENOENT) {
                return {-1, FileError::FromErrno(error)};
            }
        }
    }

    // The file goes while the lock still holds, so that whoever opened it before
    // sees, once it has the lock, that it is no longer the one at the path.
    void Unlock(int fd, const std::string& path) override {
        ::unlink(path.c_str());
        ::close(fd);
    }
};

}  // namespace

IFileSystem& SystemFileSystem() {
    static PosixFileSystem fileSystem;
    return fileSystem;
}

}  // namespace plinth
