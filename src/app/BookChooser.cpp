#include "app/BookChooser.h"

#include "app/SelectBookDlg.h"

namespace plinth {

int RunModal(QDialog& dialog) { return dialog.exec(); }

std::optional<std::string> ChooseBookInSelectBookDlg(QWidget* parent, const ModalRunner& run) {
    CSelectBookDlg dialog(FileDlgMode::Open, QString(), parent);
    if (run(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    std::string path = dialog.ChosenPath();
    if (path.empty()) {
        return std::nullopt;
    }
    return path;
}

}  // namespace plinth
