#include "AppTestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace plinth::test {
namespace {

namespace fs = std::filesystem;

constexpr int kPollMilliseconds = 10;
// A modal dialog open this many polls (five seconds) is stray.
constexpr int kPollsUntilStray = 500;

void SetFolder(const char* variable, const fs::path& folder) {
    fs::create_directories(folder);
    ::setenv(variable, folder.c_str(), 1);
}

}  // namespace

HermeticEnvironment::HermeticEnvironment() {
    std::string pattern = (fs::temp_directory_path() / "plinth-app-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    m_root = pattern;
    const fs::path root(m_root);
    SetFolder("HOME", root / "home");
    fs::create_directories(root / "home" / "Documents");
    SetFolder("XDG_CONFIG_HOME", root / "home" / ".config");
    SetFolder("XDG_DATA_HOME", root / "home" / ".local" / "share");
    SetFolder("XDG_CACHE_HOME", root / "home" / ".cache");
    SetFolder("XDG_DATA_DIRS", root / "common");
    SetFolder("XDG_RUNTIME_DIR", root / "runtime");
    fs::permissions(root / "runtime", fs::perms::owner_all);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

HermeticEnvironment::~HermeticEnvironment() {
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

ModalDriver::ModalDriver() {
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
    m_timer.start(kPollMilliseconds);
}

ModalDriver::~ModalDriver() { m_timer.stop(); }

ModalDriver& ModalDriver::Then(Action action) {
    m_actions.push_back(std::move(action));
    return *this;
}

void ModalDriver::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
        return;
    }
    if (modal != m_current) {
        m_current = modal;
        m_ticksOpen = 0;
        if (!m_actions.empty()) {
            const Action action = std::move(m_actions.front());
            m_actions.pop_front();
            ++m_handled;
            action(modal);
            return;
        }
    } else if (++m_ticksOpen <= kPollsUntilStray) {
        return;
    }
    ++m_stray;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();
    } else {
        modal->close();
    }
}

void ClickButton(QWidget* parent, const QString& text) {
    for (QPushButton* button : parent->findChildren<QPushButton*>()) {
        if (button->text() == text) {
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no button \"%1\"").arg(text)));
}

}  // namespace plinth::test
