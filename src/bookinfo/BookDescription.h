#pragma once

// What the book-information component says about a file: for a book, a few lines
// that tell a person choosing a book what it holds; for anything else, why it is
// not one. Only the header and the comment record are read, so describing a file
// costs two reads whatever its size. Standard library and book format only.

#include <cstdint>
#include <string>

#include "book/FileSystem.h"

namespace plinth::bookinfo {

// Outcome of a description; negative values are failures.
enum DescribeStatus : int32_t {
    kDescribed = 0,
    kCannotOpen = -1,         // the file cannot be opened
    kNotABook = -2,           // too short for a header, or not a book's magic
    kCommentUnreadable = -3,  // the comment record lies outside the book or the file
    kOutOfMemory = -4,        // the description could not be made for want of memory
    kNotAFile = -5,           // a folder, a FIFO, a socket or a device: never read
};

struct BookDescription {
    int32_t status = kDescribed;
    // Lines separated by "\n", UTF-8; empty unless the status is kDescribed.
    std::string text;
};

// Describes the file at `path`:
//
//   <comment>                      "(no comment)" when it is empty
//   <kind>, revision <revision>    "Standard book" or "Book with statistics"
//   <positions> positions, <moves> moves
//   <records> records of <size> bytes, hash index of <slots> slots
BookDescription DescribeBook(const std::string& path, IFileSystem& files = SystemFileSystem());

}  // namespace plinth::bookinfo
