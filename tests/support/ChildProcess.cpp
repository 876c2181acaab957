#include "ChildProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <stdexcept>

#include "TempDir.h"

namespace plinth::test {
namespace {

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void StartChild(const std::string& program, std::vector<char*>& argv,
                             std::vector<char*>& envp, int out, int err, Rights rights) {
    if (::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0) {
        ::_exit(126);
    }
    if (rights == Rights::Unprivileged && ::geteuid() == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            ::_exit(126);
        }
    }
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
}

}  // namespace

bool RunningAsRoot() { return ::geteuid() == 0; }

Child::Child(const std::string& program, const std::vector<std::string>& arguments,
             const ChildOptions& options) {
    const int out = ::open(m_captures.File("out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const int err = ::open(m_captures.File("err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (out < 0 || err < 0) {
        throw std::runtime_error("cannot capture the output of " + program);
    }

    std::vector<std::string> strings = {program};
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(strings.size() + 1);
    for (std::string& text : strings) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environment = options.environment;
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (std::string& text : environment) {
        envp.push_back(text.data());
    }
    for (char** variable = environ; *variable != nullptr; ++variable) {
        envp.push_back(*variable);
    }
    envp.push_back(nullptr);

    m_pid = ::fork();
    if (m_pid < 0) {
        throw std::runtime_error("cannot start " + program);
    }
    if (m_pid == 0) {
        StartChild(program, argv, envp, out, err, options.rights);
    }
    ::close(out);
    ::close(err);
}

Child::~Child() {
    if (!m_status) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

bool Child::Reap(int waitOptions) {
    int status = 0;
    while (::waitpid(m_pid, &status, waitOptions) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("cannot wait for a child");
        }
    }
    if (WIFSTOPPED(status)) {
        return true;
    }
    m_status = status;
    return false;
}

bool Child::WaitUntilStopped() { return !m_status && Reap(WUNTRACED); }

void Child::Continue() const { ::kill(m_pid, SIGCONT); }

ChildResult Child::Wait() {
    if (!m_status) {
        Reap(0);
    }
    ChildResult result;
    if (WIFEXITED(*m_status)) {
        result.exitStatus = WEXITSTATUS(*m_status);
    } else if (WIFSIGNALED(*m_status)) {
        result.signal = WTERMSIG(*m_status);
    }
    const std::vector<uint8_t> outBytes = ReadFileBytes(m_captures.File("out"));
    const std::vector<uint8_t> errBytes = ReadFileBytes(m_captures.File("err"));
    result.out.assign(outBytes.begin(), outBytes.end());
    result.err.assign(errBytes.begin(), errBytes.end());
    return result;
}

ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const ChildOptions& options) {
    return Child(program, arguments, options).Wait();
}

}  // namespace plinth::test
