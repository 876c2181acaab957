#pragma once

// What the tests of the desktop program need around them: a machine of their own
// (no display, a fresh home folder) and a hand for the modal dialogs that the
// program opens.

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>

#include "TempDir.h"

namespace plinth::test {

// Points HOME and the XDG folders into a fresh temporary folder, and chooses the
// offscreen platform unless one is set. Made before the QApplication.
class HermeticEnvironment {
  public:
    HermeticEnvironment() {
        const std::filesystem::path root(m_root.Path());
        for (const auto& [variable, folder] : {std::pair{"HOME", "home"},
                                               {"XDG_CONFIG_HOME", "home/.config"},
                                               {"XDG_DATA_HOME", "home/.local/share"},
                                               {"XDG_CACHE_HOME", "home/.cache"},
                                               {"XDG_DATA_DIRS", "common"},
                                               {"XDG_RUNTIME_DIR", "runtime"}}) {
            std::filesystem::create_directories(root / folder);
            ::setenv(variable, (root / folder).c_str(), 1);
        }
        std::filesystem::create_directories(root / "home/Documents");
        std::filesystem::permissions(root / "runtime", std::filesystem::perms::owner_all);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }

  private:
    TempDir m_root;
};

// Acts on the modal dialogs opened while it lives, one action per dialog in the
// order in which they appear. A modal dialog that no action is left for, or that
// stays open for five seconds, is closed and counted as stray, so that a broken
// test fails instead of hanging.
class ModalDriver {
  public:
    using Action = std::function<void(QWidget* modal)>;

    ModalDriver() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start(10);
    }
    ModalDriver& Then(Action action) {
        m_actions.push_back(std::move(action));
        return *this;
    }
    // Every action taken, and no dialog left to itself.
    bool Done() const { return m_actions.empty() && m_stray == 0; }

  private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            return;
        }
        if (modal != m_current) {
            m_current = modal;
            m_ticksOpen = 0;
            if (!m_actions.empty()) {
                // From an event loop turn of its own, so that this timer still
                // watches the dialogs that the action opens.
                QTimer::singleShot(
                    0, modal, [action = std::move(m_actions.front()), modal] { action(modal); });
                m_actions.pop_front();
                return;
            }
        } else if (++m_ticksOpen <= 500) {
            return;
        }
        ++m_stray;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    }

    QTimer m_timer;
    std::deque<Action> m_actions;
    QPointer<QWidget> m_current;
    int m_ticksOpen = 0;
    int m_stray = 0;
};

template <typename Widget>
Widget* Child(const QObject& parent, const char* objectName) {
    return parent.findChild<Widget*>(QString::fromLatin1(objectName));
}

// Clicks the push button of `parent` that shows `text`.
inline void ClickButton(QWidget* parent, const QString& text) {
    for (QPushButton* button : parent->findChildren<QPushButton*>()) {
        if (button->text() == text) {
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no button \"%1\"").arg(text)));
}

}  // namespace plinth::test
