#pragma once

// Text of the book code (paths, comments, messages) as the window shows it.

#include <QString>
#include <string>
#include <string_view>

#include "book/DisplayText.h"

namespace plinth {

// `bytes` as a string of the window: taken as UTF-8 where they are valid UTF-8,
// else as Windows-1252 (DisplayText).
inline QString ShownText(std::string_view bytes) {
    const std::string shown = DisplayText(bytes);
    return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

}  // namespace plinth
