#pragma once

// What the tests of the desktop program share: a machine of their own (no
// display, a fresh home folder), a hand for the modal dialogs that the program
// opens, and a file system that lets a test look at the window while the book
// code works.

#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <deque>
#include <functional>

#include <string>
#include "ForwardingFileSystem.h"

#include "book/FileSystem.h"

namespace plinth::test {

// Points HOME and the XDG folders into a fresh temporary folder, and chooses the
// offscreen platform unless one is set. Made before the QApplication, removed
// after it.
class HermeticEnvironment {
  public:
    HermeticEnvironment();
    HermeticEnvironment(const HermeticEnvironment&) = delete;
    HermeticEnvironment& operator=(const HermeticEnvironment&) = delete;
    ~HermeticEnvironment();

  private:
    std::string m_root;
};

// Acts on the modal dialogs opened while it lives, one action per dialog in the
// order in which they appear. A modal dialog that no action is left for, or that
// stays open for more than a few seconds, is closed and counted as stray, so a
// broken test fails instead of hanging.
class ModalDriver {
  public:
    using Action = std::function<void(QWidget* modal)>;

    ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;
    ~ModalDriver();

    ModalDriver& Then(Action action);
    int Handled() const { return m_handled; }
    int Stray() const { return m_stray; }
    bool Done() const { return m_actions.empty() && m_stray == 0; }

  private:
    void Poll();

    QTimer m_timer;
    std::deque<Action> m_actions;
    QPointer<QWidget> m_current;
    int m_ticksOpen = 0;
    int m_handled = 0;
    int m_stray = 0;
};

// Takes the URLs that the program asks the desktop to open
// (QDesktopServices::setUrlHandler with the method "Open").
class UrlCatcher : public QObject {
    Q_OBJECT

  public:
    Q_INVOKABLE void Open(const QUrl& url) { m_urls << url; }
    const QList<QUrl>& Urls() const { return m_urls; }

  private:
    QList<QUrl> m_urls;
};

// Clicks the push button of `parent` that shows `text`.
void ClickButton(QWidget* parent, const QString& text);

// The operating system's files, seen through a callback that runs before every
// read of a book.
class WatchedFileSystem final : public ForwardingFileSystem {
  public:
    explicit WatchedFileSystem(std::function<void()> onRead) : m_onRead(std::move(onRead)) {}

    int64_t ReadAt(int fd, void* buffer, size_t length, uint64_t offset) override {
        m_onRead();
        return ForwardingFileSystem::ReadAt(fd, buffer, length, offset);
    }

  private:
    std::function<void()> m_onRead;
};

}  // namespace plinth::test
