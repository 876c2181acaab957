#pragma once

// The files as a second reader of the open book sees them: the book's path
// opens the file that the book's reader has open, which the second reader
// borrows and never closes. So it reads the book that was opened, the one that
// an analysis reads and a conversion converts, even when another file has taken
// its path since, or none has.

#include <string>

#include "book/BookReader.h"
#include "book/FileSystem.h"

namespace plinth {

class OpenBookFiles final : public ForwardingFileSystem {
  public:
    // `book` keeps its book open while this serves.
    explicit OpenBookFiles(const BookReader& book)
        : ForwardingFileSystem(book.Files()), m_path(book.InputPath()), m_fd(book.InputFile()) {}

    FileType TypeOf(const std::string& path) override {
        return path == m_path ? FileType::Regular : ForwardingFileSystem::TypeOf(path);
    }
    int OpenForReading(const std::string& path) override {
        return path == m_path ? m_fd : ForwardingFileSystem::OpenForReading(path);
    }
    void Close(int fd) override {
        if (fd != m_fd) {
            ForwardingFileSystem::Close(fd);
        }
    }

  private:
    std::string m_path;
    int m_fd;
};

}  // namespace plinth
