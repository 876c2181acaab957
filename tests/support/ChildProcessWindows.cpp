// Child processes on Windows: CreateProcessW with the output captured in files.
// Windows has no signals and no user "nobody": a child is never stopped and runs
// with the test's own rights.

#include <windows.h>

#include <cwchar>
#include <stdexcept>
#include <utility>

#include "ChildProcess.h"
#include "book/WideText.h"

namespace plinth::test {
namespace {

// One argument of a command line as the C runtime splits it again.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

HANDLE Inheritable(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool RunningAsRoot() { return false; }

bool GiveToNobody(const std::string& /*path*/) { return false; }

Child::Child(const std::string& program, const std::vector<std::string>& arguments,
             const ChildOptions& options) {
    if (options.rights == Rights::Unprivileged) {
        throw std::runtime_error("no unprivileged user to run " + program + " as on Windows");
    }
    std::wstring commandLine = Quoted(Wide(program));
    for (const std::string& argument : arguments) {
        commandLine += L" " + Quoted(Wide(argument));
    }
    // The variables given first: a name is found at its first place in the block.
    std::wstring environment;
    for (const std::string& variable : options.environment) {
        environment += Wide(variable) + L'\0';
    }
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* variable = own; *variable != L'\0'; variable += wcslen(variable) + 1) {
        environment += std::wstring(variable) + L'\0';
    }
    FreeEnvironmentStringsW(own);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = Inheritable(m_captures.File("out"));
    if (HANDLE reading = nullptr; options.out == Output::ClosedPipe) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        CloseHandle(startup.hStdOutput);
        CreatePipe(&reading, &startup.hStdOutput, &inherit, 0);
        CloseHandle(reading);
    }
    startup.hStdError = Inheritable(m_captures.File("err"));
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup, &process);
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);
    if (!started) {
        throw std::runtime_error("cannot start " + program);
    }
    CloseHandle(process.hThread);
    m_process = process.hProcess;
}

Child::~Child() {
    if (!m_status) {
        TerminateProcess(m_process, 1);
        WaitForSingleObject(m_process, INFINITE);
    }
    CloseHandle(m_process);
}

bool Child::Reap(int /*waitOptions*/) {
    DWORD status = 0;
    if (WaitForSingleObject(m_process, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(m_process, &status)) {
        throw std::runtime_error("cannot wait for a child");
    }
    m_status = static_cast<int>(status);
    return false;
}

bool Child::WaitUntilStopped() { throw std::runtime_error("Windows stops no child"); }

void Child::Continue() const { throw std::runtime_error("Windows stops no child"); }

ChildResult Child::Wait() {
    if (!m_status) {
        Reap(0);
    }
    ChildResult result;
    result.exitStatus = m_status;
    ReadCaptures(result);
    return result;
}

}  // namespace plinth::test
