#pragma once

// What `plinth --check` reports, on every system: whether the book given opens
// as the window would open it, its attribute rows and what opening it said, and
// whether the book-information component and the help page were found. A check
// of an installation, made without showing a window.

#include <optional>
#include <string>

#include "book/FileSystem.h"

namespace plinth {

struct InstallationCheck {
    std::string report;   // the lines to print, each ended by a line feed
    bool passed = false;  // the book (when one is given) opened and both were found
};

// The face finds the component and the help page in its system's own way and
// says whether it did; the book is opened through `files`.
InstallationCheck CheckInstallation(const std::optional<std::string>& book, bool componentFound,
                                    bool helpPageFound, IFileSystem& files = SystemFileSystem());

}  // namespace plinth
