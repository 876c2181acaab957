#include "app/BookChooser.h"

#include <QFile>
#include <QFileDialog>
#include <QStringList>

namespace plinth {

std::optional<std::string> ChooseBookInFileDialog(QWidget* parent, const std::string& folder) {
    QFileDialog dialog(parent, QString(), QFile::decodeName(folder.c_str()),
                       QStringLiteral("Velmora books (*.bk)"));
    // The same dialog on every desktop, and one that tests can drive.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(chosen.front()).toStdString();
}

}  // namespace plinth
