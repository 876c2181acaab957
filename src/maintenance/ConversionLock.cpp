// Taking the book's lock for a conversion, and why it cannot be had.

#include "maintenance/ConversionLock.h"

namespace plinth {

ConversionLock LockForConversion(IFileSystem& files, const std::string& book) {
    // One lock for the book, whichever symbolic link leads to it.
    ConversionLock taken{FileLock(files, files.FileBehind(book) + kLockSuffix), {}};
    using Kind = FileError::Kind;
    const Kind error = taken.lock.Error().GetKind();
    // Where this user can make no lock file no conversion of theirs can change
    // anything; a lock file that exists but that they may not open may be another
    // user's, held.
    const bool noLockToTake =
        error == Kind::Missing || error == Kind::ReadOnlyVolume ||
        (error == Kind::NotPermitted && files.TypeOf(taken.lock.Path()) == FileType::Missing);
    if (error == Kind::None || noLockToTake) {
        return taken;
    }
    if (error == Kind::LockHeld) {
        taken.refusal = "**Error** [" + book + "] is being converted by another program\n";
    } else {
        const std::string reason = error == Kind::Exists
                                       ? "something other than a lock file has its name"
                                       : taken.lock.Error().Text();
        taken.refusal = "**Error** Can not lock [" + taken.lock.Path() +
                        "] for the conversion: " + reason + "\n";
    }
    return taken;
}

}  // namespace plinth
