#pragma once

// Folder parts of paths, the one rule for every part of the program. Header
// only, so that parts which do not link the book code can use it too.

#include <string>
#include <string_view>

namespace plinth {

#ifdef _WIN32
// Windows writes "\" and takes "/" as well.
inline constexpr char kPathSeparator = '\\';
inline constexpr std::string_view kPathSeparators = "\\/";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kPathSeparators = "/";
#endif

// The folder of `path`: the text before its last separator; "." when it has
// none, and the root folder with its separator when the path is in a root
// folder ("/", on Windows also "C:\").
inline std::string FolderOf(std::string_view path) {
    const size_t separator = path.find_last_of(kPathSeparators);
    if (separator == std::string_view::npos) {
        return ".";
    }
    bool inRoot = separator == 0;
#ifdef _WIN32
    inRoot = inRoot || (separator == 2 && path[1] == ':');
#endif
    return std::string(path.substr(0, inRoot ? separator + 1 : separator));
}

}  // namespace plinth
