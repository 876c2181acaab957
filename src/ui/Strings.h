#pragma once

// The program's string resources, by their numeric identifiers.

#include <QString>

namespace plinth::ui {

// The filter list of the book selection dialog, "description|pattern|" pairs
// ended by "|", then a line feed and the default extension.
inline constexpr int IDS_BOOK_FILTER = 135;
// The preview of a file that the book-information component cannot describe.
inline constexpr int IDS_NOT_A_BOOK = 1038;

// The text of string resource `id`; empty for an identifier without one.
QString LoadString(int id);

}  // namespace plinth::ui
