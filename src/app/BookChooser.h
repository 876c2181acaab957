#pragma once

#include <functional>
#include <optional>
#include <string>

class QDialog;
class QWidget;

namespace plinth {

// Runs a modal dialog of the window and gives its result: QDialog::exec, or
// where the window is driven without a person, the answer that the dialog gives
// next.
using ModalRunner = std::function<int(QDialog& dialog)>;

// QDialog::exec.
int RunModal(QDialog& dialog);

// Asks the user for the book to open. Gives the bytes of the book's full path, or
// nothing when the user cancels.
using BookChooser = std::function<std::optional<std::string>(QWidget* parent)>;

// The book selection dialog, run by `run`: the book folder, the books with their
// description, and the chosen book's folder remembered as the book folder.
std::optional<std::string> ChooseBookInSelectBookDlg(QWidget* parent, const ModalRunner& run);

}  // namespace plinth
