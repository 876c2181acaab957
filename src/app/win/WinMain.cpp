// plinth.exe: the desktop program on Windows, the main window as a dialog of the
// system's own over the window model. Its command line is the Linux program's.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/AppNames.h"
#include "app/CommandLine.h"
#include "app/model/InstallationCheck.h"
#include "app/win/HelpPage.h"
#include "app/win/PlinthDlg.h"
#include "book/WideText.h"
#include "bookinfo/BookInfoClient.h"
#include "settings/DefaultDirectories.h"
#include "settings/WindowsDirectoryPlatform.h"

namespace plinth {
namespace {

// The component services of the window's thread, for as long as it lives.
class ComponentServices {
  public:
    ComponentServices() : m_started(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ComponentServices(const ComponentServices&) = delete;
    ComponentServices& operator=(const ComponentServices&) = delete;
    ~ComponentServices() {
        if (m_started) {
            CoUninitialize();
        }
    }
    bool Started() const { return m_started; }

  private:
    bool m_started;
};

// Writes `text` where the program's output goes: a file or pipe it was given,
// else the console of the program that started it, if any. A program of the
// window subsystem has neither on its own.
bool Print(DWORD stream, const std::string& text) {
    HANDLE out = GetStdHandle(stream);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
            return false;
        }
        SetConsoleOutputCP(CP_UTF8);
        out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                          nullptr);
        if (out == INVALID_HANDLE_VALUE) {
            return false;
        }
    }
    DWORD written = 0;
    return WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

// The book as the window names it: its full path.
std::string FullPath(const std::string& book) {
    const std::wstring given = Wide(book);
    std::wstring full(GetFullPathNameW(given.c_str(), 0, nullptr, nullptr), L'\0');
    const DWORD length =
        GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    return length == 0 || length >= full.size() ? book : Utf8(full.substr(0, length));
}

std::vector<std::string> Words() {
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> result;
    for (int i = 1; i < count; ++i) {
        result.push_back(Utf8(words[i]));
    }
    LocalFree(words);
    return result;
}

int Run() {
    const CommandLine line = ReadCommandLine(Words());
    switch (line.action) {
        case CommandLine::Action::ShowHelp:
            return Print(STD_OUTPUT_HANDLE, UsageText()) ? 0 : 2;
        case CommandLine::Action::ShowVersion:
            return Print(STD_OUTPUT_HANDLE, VersionText()) ? 0 : 2;
        case CommandLine::Action::Refuse:
            Print(STD_ERROR_HANDLE, "plinth: " + line.problem + "\n" + UsageText());
            return 2;
        case CommandLine::Action::OpenWindow:
        case CommandLine::Action::Check:
            break;
    }
    const ComponentServices services;
    if (!services.Started()) {
        MessageBoxW(nullptr, L"Yo, you got a problem", Wide(kApplicationName).c_str(), MB_OK);
        return 1;
    }
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES |
                                                                          ICC_PROGRESS_CLASS |
                                                                          ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WindowsDirectoryPlatform platform(kMakerName, kApplicationName);
    g_DefaultDirectories.Initialize(platform, kMakerName, kProductName);

    const std::optional<std::string> book =
        line.book ? std::optional(FullPath(*line.book)) : std::nullopt;
    if (line.action == CommandLine::Action::Check) {
        const InstallationCheck check =
            CheckInstallation(book, CreateBookInfo() != nullptr, FindHelpPage().has_value());
        return Print(STD_OUTPUT_HANDLE, check.report) ? (check.passed ? 0 : 1) : 2;
    }
    CPlinthDlg window;
    if (book) {
        // "Open book ..." then starts in the book's folder, as after choosing it there.
        RememberBookFolder(*book);
        window.OpenAtStart(*book);
    }
    window.DoModal();
    return 0;
}

}  // namespace
}  // namespace plinth

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*line*/, int /*show*/) {
    return plinth::Run();
}
