#pragma once

#include <QGuiApplication>

namespace plinth {

// Shows the wait cursor over every window of the program for as long as it lives,
// also when an exception passes through.
class WaitCursor {
  public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

}  // namespace plinth
