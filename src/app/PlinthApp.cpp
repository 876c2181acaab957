#include "app/PlinthApp.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTextStream>
#include <filesystem>
#include <system_error>

#include "app/AppNames.h"
#include "app/BookInfoLoader.h"
#include "app/HelpPage.h"
#include "app/PlinthDlg.h"
#include "app/SelectBookDlg.h"
#include "book/DisplayText.h"
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

    const bool check = m_line.action == CommandLine::Action::Check;
    CPlinthDlg dialog;
    if (m_line.book) {
        std::error_code error;
        const std::filesystem::path given(*m_line.book);
        // Absolute, and without "." and ".." steps, as the window shows it.
        const std::filesystem::path absolute = std::filesystem::absolute(given, error);
        const std::string book = error ? given.string() : absolute.lexically_normal().string();
        // "Open book ..." then starts in the book's folder, as after choosing it there.
        RememberBookFolder(book);
        dialog.OpenBook(book);
    }
    if (check) {
        m_exitCode = ReportCheck(dialog, m_line.book.has_value());
        return false;
    }
    RunMainWindow(dialog);
    return false;
}

void CPlinthApp::RunMainWindow(CPlinthDlg& window) { window.exec(); }

int CPlinthApp::ReportCheck(const CPlinthDlg& dialog, bool bookGiven) const {
    QTextStream out(stdout);
    const bool opened = dialog.Book().IsInputOpen();
    if (bookGiven) {
        out << "Book: " << (opened ? "opened" : "not opened") << '\n';
        for (const auto& [field, value] : dialog.ListedAttributes()) {
            out << "  " << QString::fromStdString(field) << ": "
                << QString::fromStdString(OnOneLine(value)) << '\n';
        }
        out << QString::fromStdString(dialog.ConsoleText());
    }
    const bool component = CreateBookInfo() != nullptr;
    out << "Book information component: " << (component ? "found" : "missing") << '\n';
    const bool help = FindHelpPage(QCoreApplication::applicationDirPath()).has_value();
    out << "Help page: " << (help ? "found" : "missing") << '\n';
    return (opened || !bookGiven) && component && help ? 0 : 1;
}

}  // namespace plinth
