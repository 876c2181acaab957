#include "app/PlinthApp.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "app/AppNames.h"
#include "app/BookInfoLoader.h"
#include "app/HelpPage.h"
#include "app/PlinthDlg.h"
#include "app/SelectBookDlg.h"
#include "app/model/InstallationCheck.h"
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

    LinuxDirectoryPlatform platform(kMakerName, kApplicationName);
    g_DefaultDirectories.Initialize(platform, kMakerName, kProductName);

    std::optional<std::string> book;
    if (m_line.book) {
        std::error_code error;
        const std::filesystem::path given(*m_line.book);
        // Absolute, and without "." and ".." steps, as the window shows it.
        const std::filesystem::path absolute = std::filesystem::absolute(given, error);
        book = error ? given.string() : absolute.lexically_normal().string();
    }
    if (m_line.action == CommandLine::Action::Check) {
        const InstallationCheck check =
            CheckInstallation(book, CreateBookInfo() != nullptr,
                              FindHelpPage(QCoreApplication::applicationDirPath()).has_value());
        std::fputs(check.report.c_str(), stdout);
        m_exitCode = check.passed ? 0 : 1;
        return false;
    }
    CPlinthDlg dialog;
    if (book) {
        // "Open book ..." then starts in the book's folder, as after choosing it there.
        RememberBookFolder(*book);
        dialog.OpenBook(*book);
    }
    RunMainWindow(dialog);
    return false;
}

void CPlinthApp::RunMainWindow(CPlinthDlg& window) { window.exec(); }

}  // namespace plinth
