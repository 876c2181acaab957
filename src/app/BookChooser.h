#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace plinth {

// Asks the user for the book to open, starting in `folder`. Gives the book's full
// path, or nothing when the user cancels.
using BookChooser =
    std::function<std::optional<std::string>(QWidget* parent, const std::string& folder)>;

// A plain open-file dialog that lists the books of the folder.
std::optional<std::string> ChooseBookInFileDialog(QWidget* parent, const std::string& folder);

}  // namespace plinth
