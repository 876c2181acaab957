#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace plinth {

// Asks the user for the book to open. Gives the book's full path, or nothing when
// the user cancels.
using BookChooser = std::function<std::optional<std::string>(QWidget* parent)>;

// The book selection dialog: the book folder, the books with their description,
// and the chosen book's folder remembered as the book folder.
std::optional<std::string> ChooseBookInSelectBookDlg(QWidget* parent);

}  // namespace plinth
