// Taking the book's lock for a conversion, and why it cannot be had.

#include "maintenance/ConversionLock.h"

#include <cerrno>
#include <cstring>

namespace plinth {

ConversionLock LockForConversion(IFileSystem& files, const std::string& book) {
    // One lock for the book, whichever symbolic link leads to it.
    ConversionLock taken{FileLock(files, files.FileBehind(book) + kLockSuffix), {}};
    const int error = taken.lock.Error();
    // Where this user can make no lock file no conversion of theirs can change
    // anything; a lock file that exists but that they may not open may be another
    // user's, held.
    const bool noLockToTake = error == ENOENT || error == ENOTDIR || error == EROFS ||
                              ((error == EACCES || error == EPERM) &&
                               files.TypeOf(taken.lock.Path()) == FileType::Missing);
    if (error == 0 || noLockToTake) {
        return taken;
    }
    if (error == EWOULDBLOCK) {
        taken.refusal = "**Error** [" + book + "] is being converted by another program\n";
    } else {
        const std::string reason = error == EEXIST ? "something other than a lock file has its name"
                                                   : std::strerror(error);
        taken.refusal = "**Error** Can not lock [" + taken.lock.Path() +
                        "] for the conversion: " + reason + "\n";
    }
    return taken;
}

}  // namespace plinth
