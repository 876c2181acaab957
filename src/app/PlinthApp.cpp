#include "app/PlinthApp.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include "app/AppNames.h"
#include "app/PlinthDlg.h"
#include "settings/DefaultDirectories.h"
#include "settings/LinuxDirectoryPlatform.h"

namespace plinth {

bool CPlinthApp::InitInstance() {
    if (!InitializeComponentServices()) {
        QMessageBox::warning(nullptr, QString::fromLatin1(kApplicationName),
                             QStringLiteral("Yo, you got a problem"));
        return false;
    }

    // The user's settings live under the maker's name: ~/.config/Quarnet/Plinth.conf.
    QCoreApplication::setOrganizationName(QString::fromLatin1(kMakerName));
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationName));

    LinuxDirectoryPlatform platform;
    g_DefaultDirectories.Initialize(platform, kMakerName, kProductName);

    CPlinthDlg dialog;
    if (m_arguments.size() > 1) {
        const QString book = QFileInfo(m_arguments.at(1)).absoluteFilePath();
        dialog.OpenBook(QFile::encodeName(book).toStdString());
    }
    dialog.exec();
    return false;
}

}  // namespace plinth
