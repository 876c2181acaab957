#pragma once

// The system's files, where the first read at or past each gate waits until the
// window's thread has run `look`, once `ready` says so: a pass held at chosen
// places of the book, for looking at the window while it runs. One reading
// thread only. `look` runs from a timer of the window's thread: the window shows
// what the pass reported before the gate once its model has handed it over,
// which `ready` may wait for.

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>

#include "book/FileSystem.h"

namespace plinth {

class GatedFileSystem final : public ForwardingFileSystem {
  public:
    GatedFileSystem() {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            if (m_waiting && (!ready || ready())) {
                look();
                m_waiting = false;
                m_waiting.notify_one();
            }
        });
        m_poll.start(5);
    }
    int64_t ReadAt(int fd, void* buffer, size_t length, uint64_t offset) override {
        ++reads;
        if (!gates.empty() && offset >= gates.front()) {
            gates.pop_front();
            m_waiting = true;
            m_waiting.wait(true);
        }
        return ForwardingFileSystem::ReadAt(fd, buffer, length, offset);
    }

    std::deque<uint64_t> gates;  // offsets, in the order the pass reaches them
    std::function<void()> look;
    std::function<bool()> ready;
    std::atomic<int> reads = 0;

  private:
    QTimer m_poll;
    std::atomic<bool> m_waiting = false;
};

}  // namespace plinth
