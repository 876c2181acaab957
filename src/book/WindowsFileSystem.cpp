// The file seam on Windows, in wide-character Win32 calls: the same promises as
// the POSIX one beside it (SystemFileSystem.cpp), operation for operation.
// Descriptors are the C runtime's, each owning one Win32 handle.

#include <io.h>
#include <windows.h>

#include <fcntl.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>
#include <string>
#include <utility>

#include "book/FileSystem.h"
#include "book/WideText.h"

namespace plinth {
namespace {

// Books are shared for reading, writing and deleting: a program that reads a book
// does not stop its conversion, and the exchange may rename a book that is open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// One transfer moves at most this much; ReadFile and WriteFile count in DWORDs.
constexpr size_t kMaxTransfer = size_t{1} << 30;
// FileDispositionInfoEx of Windows 10, which mingw-w64's headers hide behind a
// version test that no _WIN32_WINNT value passes.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

// The system's own words for an error, without the line end it ends in.
std::string SystemText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words(text != nullptr ? text : L"", length);
    LocalFree(text);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r')) {
        words.pop_back();
    }
    return words.empty() ? "error " + std::to_string(error) : Utf8(words);
}

FileError::Kind KindOf(DWORD error) {
    using Kind = FileError::Kind;
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_DRIVE:
            return Kind::Missing;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return Kind::Exists;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return Kind::NotPermitted;
        case ERROR_WRITE_PROTECT:
            return Kind::ReadOnlyVolume;
        case ERROR_LOCK_VIOLATION:
            return Kind::LockHeld;
        default:
            return Kind::Other;
    }
}

FileError ErrorOf(DWORD error) { return {KindOf(error), SystemText(error)}; }

// No failure when the call succeeded, else the failure of its last error.
FileError Outcome(BOOL succeeded) { return succeeded ? FileError() : ErrorOf(GetLastError()); }

// Owns one Win32 handle: closed once, movable, never copied.
class Handle {
  public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept
        : m_handle(std::exchange(other.m_handle, INVALID_HANDLE_VALUE)) {}
    Handle& operator=(Handle&&) = delete;
    ~Handle() {
        if (IsValid()) {
            CloseHandle(m_handle);
        }
    }

    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }
    // Hands the handle over to a C runtime descriptor, or gives the failure that
    // left no handle.
    Opened ToDescriptor() {
        if (!IsValid()) {
            return {-1, ErrorOf(GetLastError())};
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(m_handle), _O_BINARY);
        if (fd < 0) {
            return {-1, FileError::FromErrno(errno)};
        }
        m_handle = INVALID_HANDLE_VALUE;
        return {fd, {}};
    }

  private:
    HANDLE m_handle;
};

Handle Open(const std::string& path, DWORD access, DWORD disposition, DWORD flags = 0) {
    return Handle(CreateFileW(Wide(path).c_str(), access, kShareAll, nullptr, disposition,
                              flags | FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Whatever is at the path, links followed, folders too; opened without the right
// to read or write it, which looking at it needs none of.
Handle OpenToLookAt(const std::string& path) {
    return Open(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
}

// The C runtime keeps each descriptor's handle as an integer.
HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));  // NOLINT(performance-no-int-to-ptr)
}

// A file's identity: its volume and its index on that volume.
struct FileId {
    DWORD volume = 0;
    uint64_t index = 0;
    DWORD attributes = 0;
    bool operator==(const FileId& other) const {
        return volume == other.volume && index == other.index;
    }
};

std::optional<FileId> IdOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) {
        return std::nullopt;
    }
    return FileId{information.dwVolumeSerialNumber,
                  (uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow,
                  information.dwFileAttributes};
}

std::optional<FileId> IdOf(const std::string& path) {
    const Handle file = OpenToLookAt(path);
    return file.IsValid() ? IdOf(file.Get()) : std::nullopt;
}

// Repeats a positioned transfer from where the last one stopped until all of it
// is done or the file ends. Returns the bytes transferred or -1.
template <typename Transfer>
int64_t TransferAll(size_t length, uint64_t offset, Transfer transfer) {
    size_t done = 0;
    while (done < length) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        DWORD moved = 0;
        if (!transfer(done, static_cast<DWORD>(std::min(length - done, kMaxTransfer)), &moved,
                      &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) {
                break;
            }
            return -1;
        }
        if (moved == 0) {
            break;
        }
        done += moved;
    }
    return static_cast<int64_t>(done);
}

class WindowsFileSystem final : public IFileSystem {
  public:
    FileType TypeOf(const std::string& path) override {
        const Handle file = OpenToLookAt(path);
        const std::optional<FileId> id = file.IsValid() ? IdOf(file.Get()) : std::nullopt;
        if (!id) {
            return FileType::Missing;
        }
        if ((id->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return FileType::Folder;
        }
        // Devices (NUL, CON) and pipes are no files.
        return GetFileType(file.Get()) == FILE_TYPE_DISK ? FileType::Regular : FileType::Other;
    }

    // The system decides by opening with the right asked for: a file for reading
    // or writing, a folder for adding files. A file that another program holds
    // without sharing may still be read or written once it lets go. A read-only
    // file is never written, not even where the open would pass (under wine, as
    // root).
    bool Permits(const std::string& path, Access access) override {
        const bool folder = TypeOf(path) == FileType::Folder;
        const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
        if (access == Access::Write && !folder && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return false;
        }
        const DWORD right = access == Access::Read ? GENERIC_READ
                            : folder               ? FILE_ADD_FILE
                                                   : GENERIC_WRITE;
        const Handle file =
            Open(path, right, OPEN_EXISTING, folder ? FILE_FLAG_BACKUP_SEMANTICS : 0);
        return file.IsValid() || GetLastError() == ERROR_SHARING_VIOLATION;
    }

    // Never waits: a pipe's name opens without a writer.
    int OpenForReading(const std::string& path) override {
        return Open(path, GENERIC_READ, OPEN_EXISTING).ToDescriptor().fd;
    }

    Opened CreateForWriting(const std::string& path) override {
        return Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW).ToDescriptor();
    }

    void Close(int fd) override { _close(fd); }

    int64_t SizeOf(int fd) override {
        LARGE_INTEGER size{};
        return GetFileSizeEx(HandleOf(fd), &size) ? size.QuadPart : -1;
    }

    int64_t ReadAt(int fd, void* buffer, size_t length, uint64_t offset) override {
        auto* bytes = static_cast<char*>(buffer);
        return TransferAll(length, offset,
                           [&](size_t done, DWORD size, DWORD* moved, OVERLAPPED* at) {
                               return ReadFile(HandleOf(fd), bytes + done, size, moved, at);
                           });
    }

    int64_t WriteAt(int fd, const void* buffer, size_t length, uint64_t offset) override {
        const auto* bytes = static_cast<const char*>(buffer);
        return TransferAll(length, offset,
                           [&](size_t done, DWORD size, DWORD* moved, OVERLAPPED* at) {
                               return WriteFile(HandleOf(fd), bytes + done, size, moved, at);
                           });
    }

    // Windows gathers only unbuffered writes of whole pages: one write per piece.
    int64_t WriteAtGathered(int fd, std::span<const std::span<const uint8_t>> pieces,
                            uint64_t offset) override {
        int64_t written = 0;
        for (const std::span<const uint8_t> piece : pieces) {
            const int64_t n = WriteAt(fd, piece.data(), piece.size(), offset + written);
            if (n < 0) {
                return -1;
            }
            written += n;
        }
        return written;
    }

    // Windows has no hint for a range of an open file that is read through
    // ReadFile; its cache manager reads ahead on its own where reads follow on.
    void WillRead(int /*fd*/, uint64_t /*offset*/, uint64_t /*length*/) override {}

    FileError Sync(int fd) override { return Outcome(FlushFileBuffers(HandleOf(fd))); }

    FileError Remove(const std::string& path) override {
        return Outcome(DeleteFileW(Wide(path).c_str()));
    }

    // Replaces the file at `to` in one step, as rename does on POSIX.
    FileError Rename(const std::string& from, const std::string& to) override {
        return Outcome(MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    }

    // Fails on volumes without hard links, FAT among them.
    FileError Link(const std::string& existing, const std::string& newName) override {
        return Outcome(CreateHardLinkW(Wide(newName).c_str(), Wide(existing).c_str(), nullptr));
    }

    // NTFS journals a folder's entries with the change itself: nothing to flush.
    FileError SyncDirectory(const std::string& /*folder*/) override { return {}; }

    bool Exists(const std::string& path) override {
        return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    bool IsFileAt(int fd, const std::string& path) override {
        const std::optional<FileId> open = IdOf(HandleOf(fd));
        return open && open == IdOf(path);
    }

    // Symbolic links and junctions lead to the final path of what they name.
    std::string FileBehind(const std::string& path) override {
        const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            return path;
        }
        const Handle file = OpenToLookAt(path);
        std::wstring target(MAX_PATH, L'\0');
        for (int tries = 0; file.IsValid() && tries < 2; ++tries) {
            const DWORD length = GetFinalPathNameByHandleW(file.Get(), target.data(),
                                                           static_cast<DWORD>(target.size()), 0);
            if (length == 0) {
                break;
            }
            if (length < target.size()) {
                target.resize(length);
                // Without the "\\?\" of the final path where the path needs none.
                const std::wstring_view prefix = L"\\\\?\\";
                if (target.starts_with(prefix) && target.size() - prefix.size() < MAX_PATH &&
                    target.compare(prefix.size(), 4, L"UNC\\") != 0) {
                    target.erase(0, prefix.size());
                }
                return Utf8(target);
            }
            target.resize(length);
        }
        return path;
    }

    // The read-only attribute is all the access a Windows file carries of its own.
    void TakeAccessOf(int fd, const std::string& path) override {
        const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
        FILE_BASIC_INFO information{};
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
            !GetFileInformationByHandleEx(HandleOf(fd), FileBasicInfo, &information,
                                          sizeof information)) {
            return;
        }
        information.FileAttributes |= FILE_ATTRIBUTE_READONLY;
        SetFileInformationByHandle(HandleOf(fd), FileBasicInfo, &information, sizeof information);
    }

    // A LockFileEx lock belongs to the handle, so it also keeps two holders in one
    // process apart, and the system lets it go when the handle closes: when the
    // process ends, however it ends.
    Opened TryLock(const std::string& path) override {
        for (;;) {
            Handle file =
                Open(path, GENERIC_READ | DELETE, OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT);
            if (!file.IsValid()) {
                return {-1, ErrorOf(GetLastError())};
            }
            OVERLAPPED whole{};
            if (!LockFileEx(file.Get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                            MAXDWORD, MAXDWORD, &whole)) {
                return {-1, ErrorOf(GetLastError())};
            }
            // A lock file is an empty file; whatever else has its name (a link, a
            // file with content) is none, and giving the lock up would remove it.
            const std::optional<FileId> held = IdOf(file.Get());
            LARGE_INTEGER size{};
            if (!held || !GetFileSizeEx(file.Get(), &size) || size.QuadPart != 0 ||
                (held->attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
                return {-1, ErrorOf(ERROR_FILE_EXISTS)};
            }
            // The holder before may have given the lock up between the open and the
            // lock, removing the file on the way: take the one now at the path.
            SetLastError(ERROR_SUCCESS);
            if (IdOf(path) == held) {
                return file.ToDescriptor();
            }
            const DWORD error = GetLastError();
            if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
                return {-1, ErrorOf(error)};
            }
        }
    }

    // The name goes at once, while the lock still holds, so that whoever opened the
    // file before sees, once it has the lock, that it is no longer the one at the
    // path; and nobody meets a file whose removal waits for its last handle.
    void Unlock(int fd, const std::string& path) override {
        FILE_DISPOSITION_INFO_EX removal{FILE_DISPOSITION_FLAG_DELETE |
                                         FILE_DISPOSITION_FLAG_POSIX_SEMANTICS};
        if (!SetFileInformationByHandle(HandleOf(fd), kFileDispositionInfoEx, &removal,
                                        sizeof removal)) {
            DeleteFileW(Wide(path).c_str());
        }
        _close(fd);
    }
};

}  // namespace

IFileSystem& SystemFileSystem() {
    static WindowsFileSystem fileSystem;
    return fileSystem;
}

}  // namespace plinth
