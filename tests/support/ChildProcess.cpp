#include "ChildProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <utility>

#include "TempDir.h"

namespace plinth::test {

bool RunningAsRoot() { return ::geteuid() == 0; }

bool GiveToNobody(const std::string& path) { return ::chown(path.c_str(), kNobody, kNobody) == 0; }

Child::Child(const std::string& program, const std::vector<std::string>& arguments,
             const ChildOptions& options) {
    std::vector<std::string> strings;
    if (options.rights == Rights::Unprivileged && RunningAsRoot()) {
        const std::string nobody = std::to_string(kNobody);
        strings = {"/usr/bin/setpriv", "--reuid=" + nobody, "--regid=" + nobody, "--clear-groups"};
    }
    strings.push_back(program);
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

    posix_spawn_file_actions_t captures;
    ::posix_spawn_file_actions_init(&captures);
    for (const auto& [fd, name] : {std::pair{STDOUT_FILENO, "out"}, {STDERR_FILENO, "err"}}) {
        ::posix_spawn_file_actions_addopen(&captures, fd, m_captures.File(name).c_str(),
                                           O_WRONLY | O_CREAT, 0600);
    }
    std::array<int, 2> pipe = {-1, -1};
    if (options.out == Output::ClosedPipe && ::pipe(pipe.data()) == 0) {
        ::close(pipe[0]);
        ::posix_spawn_file_actions_adddup2(&captures, pipe[1], STDOUT_FILENO);
    }
    const int failed = ::posix_spawn(&m_pid, argv[0], &captures, nullptr, argv.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&captures);
    if (pipe[1] >= 0) {
        ::close(pipe[1]);
    }
    if (failed != 0) {
        throw std::runtime_error("cannot start " + program);
    }
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
    ReadCaptures(result);
    return result;
}

}  // namespace plinth::test
