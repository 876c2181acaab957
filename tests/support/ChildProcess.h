#pragma once

// Runs a program in a child process, for tests that must see a real process end,
// or run it without the rights of root, or hold it stopped at a point of its run.

#ifndef _WIN32
#include <sys/types.h>
#endif

#include <csignal>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TempDir.h"

namespace plinth::test {

enum class Rights {
    Own,           // the rights of the test
    Unprivileged,  // as "nobody" when the test runs as root, so that permissions bite
};

enum class Output {
    Captured,    // into ChildResult::out
    ClosedPipe,  // a pipe whose reading end is closed, as after `| head`
};

struct ChildOptions {
    std::vector<std::string> environment;  // NAME=VALUE added to the test's own
    Rights rights = Rights::Own;
    Output out = Output::Captured;
};

// The exit status a child ends itself with as a crash would, where there are no
// signals (Windows).
inline constexpr unsigned kKilledStatus = 137;

struct ChildResult {
    std::optional<int> exitStatus;  // when it ended by itself
    std::optional<int> signal;      // when a signal ended it
    std::string out;
    std::string err;

    // Whether it ended as a crash ends it: by SIGKILL, on Windows with kKilledStatus.
    bool Crashed() const {
#ifdef _WIN32
        return exitStatus == static_cast<int>(kKilledStatus);
#else
        return signal == SIGKILL;
#endif
    }
};

// A child that runs on until the test waits for it; one that is never waited for
// is killed when this goes.
class Child {
  public:
    Child(const std::string& program, const std::vector<std::string>& arguments,
          const ChildOptions& options = {});
    ~Child();

    // Waits until the child stops itself (SIGSTOP) or ends; true when it stopped.
    // POSIX only, as Rights::Unprivileged is.
    bool WaitUntilStopped();
    void Continue() const;
    ChildResult Wait();

  private:
    bool Reap(int waitOptions);  // true when it stopped
    // The child's output, once it has ended.
    void ReadCaptures(ChildResult& result) const {
        for (auto [name, text] : {std::pair{"out", &result.out}, {"err", &result.err}}) {
            const std::vector<uint8_t> bytes = ReadFileBytes(m_captures.File(name));
            text->assign(bytes.begin(), bytes.end());
        }
    }

    TempDir m_captures;
#ifdef _WIN32
    void* m_process = nullptr;  // the child's process handle
#else
    pid_t m_pid = -1;
#endif
    std::optional<int> m_status;  // once it ended
};

inline ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                            const ChildOptions& options = {}) {
    return Child(program, arguments, options).Wait();
}

// Whether the tests run as root, where file permissions do not stop anything.
bool RunningAsRoot();

// The user that Rights::Unprivileged runs as.
inline constexpr unsigned kNobody = 65534;

// Gives the file at `path` to that user; false where it cannot (on Windows).
bool GiveToNobody(const std::string& path);

}  // namespace plinth::test
