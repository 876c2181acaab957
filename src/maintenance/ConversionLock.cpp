#include "maintenance/ConversionLock.h"

#include <cerrno>
#include <cstring>

namespace plinth {

ConversionLock LockForConversion(IFileSystem& files, const std::string& book) {
    ConversionLock taken{FileLock(files, book + kLockSuffix), {}};
    switch (taken.lock.Error()) {
        case 0:
        case ENOENT:
        case ENOTDIR:
        case EACCES:
        case EPERM:
        case EROFS:
            break;
        case EWOULDBLOCK:
            taken.refusal = "**Error** [" + book + "] is being converted by another program\n";
            break;
        default:
            taken.refusal = "**Error** Can not lock [" + taken.lock.Path() +
                            "] for the conversion: " + std::strerror(taken.lock.Error()) + "\n";
    }
    return taken;
}

}  // namespace plinth
