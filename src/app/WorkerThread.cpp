#include "app/WorkerThread.h"

#include <QEventLoop>
#include <QTimer>
#include <exception>
#include <thread>

namespace plinth {

void RunOnWorkerThread(const std::function<void()>& work, const std::function<void()>& deliver,
                       std::chrono::milliseconds interval) {
    QEventLoop loop;
    QTimer delivery;
    QObject::connect(&delivery, &QTimer::timeout, &loop, deliver);
    delivery.start(interval);

    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    // The loop also ends when the application quits; the work still runs to its end.
    worker.join();
    delivery.stop();
    deliver();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace plinth
