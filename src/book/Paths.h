#pragma once

// Folder parts of paths, the one rule for every part of the program. Header
// only, so that parts which do not link the book code can use it too.

#include <string>
#include <string_view>

namespace plinth {

inline constexpr char kPathSeparator = '/';

// The folder of `path`: the text before its last separator; "." when it has
// none, and the separator itself when that is the path's first character (the
// root folder).
inline std::string FolderOf(std::string_view path) {
    const size_t separator = path.rfind(kPathSeparator);
    if (separator == std::string_view::npos) {
        return ".";
    }
    return std::string(path.substr(0, separator == 0 ? 1 : separator));
}

}  // namespace plinth
