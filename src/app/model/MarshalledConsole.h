#pragma once

// A console for book code that runs on a worker thread. The calls made on the
// thread that owns the console's widgets go straight to them; calls made on any
// other thread wait in a queue until the owning thread delivers them, in their
// order. The book code thus sees one console that it calls from one thread, and
// the widgets are only ever touched on theirs.

#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "book/Console.h"

namespace plinth {

class MarshalledConsole final : public IConsole {
  public:
    // `target` belongs to the thread that makes this console.
    explicit MarshalledConsole(IConsole& target)
        : m_target(target), m_owner(std::this_thread::get_id()) {}

    void AppendText(std::string_view text) override;
    void ClearConsole() override;
    void ShowProgress() override;
    void SetProgress(int position) override;
    void HideProgress() override;

    // Hands the waiting calls to the target. On the owning thread only. Text
    // appended in a row arrives as one piece, and of progress positions set in a
    // row only the last.
    void Deliver();

  private:
    // A call to the target: text appended, a progress position set, or one of
    // the calls without arguments.
    struct Call {
        enum class Kind { AppendText, SetProgress, Plain };
        Kind kind;
        std::string text;
        int position = 0;
        void (IConsole::*plain)() = nullptr;
    };

    void Post(Call call);
    void Apply(const Call& call);

    IConsole& m_target;
    const std::thread::id m_owner;
    std::mutex m_mutex;
    std::vector<Call> m_pending;  // guarded by m_mutex
};

}  // namespace plinth
