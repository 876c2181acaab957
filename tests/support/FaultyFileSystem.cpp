#include "FaultyFileSystem.h"

#include <cerrno>

namespace plinth::test {

bool FaultyFileSystem::Fails(Operation operation, const std::string& path) {
    if (m_calls.size() == m_actAt.first) {
        m_actAt.second();
    }
    int occurrence = 0;
    for (const Call& call : m_calls) {
        occurrence += call.operation == operation ? 1 : 0;
    }
    m_calls.push_back({operation, path});
    for (const auto& [failing, failingOccurrence] : m_failOperations) {
        if (failing == operation && failingOccurrence == occurrence) {
            return true;
        }
    }
    return m_calls.size() - 1 == m_failAt;
}

Opened FaultyFileSystem::CreateForWriting(const std::string& path) {
    if (Fails(Operation::Create, path)) {
        return {-1, FileError::FromErrno(EACCES)};
    }
    return ForwardingFileSystem::CreateForWriting(path);
}

int64_t FaultyFileSystem::WriteAt(int fd, const void* buffer, size_t length, uint64_t offset) {
    if (Fails(Operation::Write, std::to_string(offset))) {
        return -1;
    }
    return ForwardingFileSystem::WriteAt(fd, buffer, length, offset);
}

int64_t FaultyFileSystem::WriteAtGathered(int fd, std::span<const std::span<const uint8_t>> pieces,
                                          uint64_t offset) {
    if (Fails(Operation::Write, std::to_string(offset))) {
        return -1;
    }
    return ForwardingFileSystem::WriteAtGathered(fd, pieces, offset);
}

FileError FaultyFileSystem::Sync(int fd) {
    return Fails(Operation::Sync, "") ? FileError::FromErrno(EIO) : ForwardingFileSystem::Sync(fd);
}

FileError FaultyFileSystem::Remove(const std::string& path) {
    return Fails(Operation::Remove, path) ? FileError::FromErrno(EIO)
                                          : ForwardingFileSystem::Remove(path);
}

FileError FaultyFileSystem::Rename(const std::string& from, const std::string& to) {
    return Fails(Operation::Rename, from + " -> " + to) ? FileError::FromErrno(EIO)
                                                        : ForwardingFileSystem::Rename(from, to);
}

FileError FaultyFileSystem::Link(const std::string& existing, const std::string& newName) {
    return Fails(Operation::Link, existing + " -> " + newName) || m_refuseHardLinks
               ? FileError::FromErrno(EPERM)
               : ForwardingFileSystem::Link(existing, newName);
}

FileError FaultyFileSystem::SyncDirectory(const std::string& folder) {
    return Fails(Operation::SyncDirectory, folder) ? FileError::FromErrno(EIO)
                                                   : ForwardingFileSystem::SyncDirectory(folder);
}

Opened FaultyFileSystem::TryLock(const std::string& path) {
    if (Fails(Operation::Lock, path)) {
        return {-1, FileError::FromErrno(EIO)};
    }
    return ForwardingFileSystem::TryLock(path);
}

void FaultyFileSystem::Unlock(int fd, const std::string& path) {
    if (Fails(Operation::Unlock, path)) {
        Close(fd);
        return;
    }
    ForwardingFileSystem::Unlock(fd, path);
}

}  // namespace plinth::test
