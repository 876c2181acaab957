#pragma once

#include <chrono>
#include <functional>

namespace plinth {

// Runs `work` on a thread of its own while the calling thread goes on with its
// events (painting, input, timers), and calls `deliver` on the calling thread
// every `interval` meanwhile and once more after the work. Returns when the work
// has ended; an exception that ended it is thrown again here.
void RunOnWorkerThread(const std::function<void()>& work, const std::function<void()>& deliver,
                       std::chrono::milliseconds interval);

}  // namespace plinth
