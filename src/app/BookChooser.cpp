#include "app/BookChooser.h"

#include <QFile>

#include "app/SelectBookDlg.h"

namespace plinth {

std::optional<std::string> ChooseBookInSelectBookDlg(QWidget* parent) {
    CSelectBookDlg dialog(FileDlgMode::Open, QString(), parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QString path = dialog.GetPathName();
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(path).toStdString();
}

}  // namespace plinth
