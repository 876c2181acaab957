// plinth-screenshots.exe: the Windows program's windows as bitmaps, for
// scripts/screenshots-windows: the main window during the analysis of a book
// (the pass held at the book's middle), after it and after the book's
// conversion, the optimize settings with their prediction, the About box, and
// the book selection dialog with the book selected and described by the
// book-information component. Each window is taken from the screen, so wine
// needs a display.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/model/SettingsModel.h"
#include "app/win/PlinthDlg.h"
#include "app/win/resource.h"
#include "book/WideText.h"
#include "settings/DefaultDirectories.h"
#include "settings/WindowsDirectoryPlatform.h"

namespace plinth {
namespace {

std::string g_folder;
bool g_saved = true;

// Handles this thread's events for a while: wine puts what a window painted on
// the screen only as its thread handles events.
void Settle() {
    const ULONGLONG until = GetTickCount64() + 400;
    while (GetTickCount64() < until) {
        MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_ALLINPUT, 0);
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

// Writes the window as it is on the screen to FOLDER\NAME.bmp.
void Take(HWND window, const char* name) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Settle();
    RECT frame{};
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = -height;  // top row first
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    std::vector<char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    const int rows = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                               reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
    std::ofstream out(g_folder + "\\" + name + ".bmp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&info), sizeof(info));
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    if (rows != height || width <= 0 || !out) {
        std::fprintf(stderr, "plinth-screenshots: %s was not taken\n", name);
        g_saved = false;
    }
}

// The books' files, counting reads; the read numbered `holdAt` waits until the
// window's thread has taken the window with what the pass reported before.
class HeldAtMiddle final : public ForwardingFileSystem {
  public:
    int64_t ReadAt(int fd, void* buffer, size_t length, uint64_t offset) override {
        if (++reads == holdAt) {
            Look(window, 3);
            m_taken.wait(false);
        }
        return ForwardingFileSystem::ReadAt(fd, buffer, length, offset);
    }

    CPlinthDlg* window = nullptr;
    std::atomic<int> reads = 0;
    int holdAt = 0;

  private:
    // A few rounds of the window's events first, so that the model has handed
    // over what the pass reported.
    void Look(CPlinthDlg* shown, int rounds) {
        shown->Post([this, shown, rounds] {
            if (rounds > 0) {
                return Look(shown, rounds - 1);
            }
            Take(shown->Window(), "main-window-pass");
            m_taken = true;
            m_taken.notify_one();
        });
    }

    std::atomic<bool> m_taken = false;
};

// Runs `look` from a timer of this thread, also inside a modal dialog's loop,
// each 100 ms until it says it is done.
std::function<bool()> g_look;
void CALLBACK LookTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    // Taken out while it runs, since it handles events itself.
    std::function<bool()> look = std::exchange(g_look, nullptr);
    if (!look) {
        return;
    }
    if (look()) {
        KillTimer(nullptr, timer);
    } else {
        g_look = std::move(look);
    }
}
void LookSoon(std::function<bool()> look) {
    g_look = std::move(look);
    SetTimer(nullptr, 0, 100, LookTimer);
}

// The active dialog of this thread named `caption`.
HWND Dialog(const wchar_t* caption) { return FindWindowW(L"#32770", caption); }

// Selects the first file of the open-file dialog's list, as a click would.
bool SelectFirstFile(HWND open) {
    HWND view = FindWindowExW(open, nullptr, L"SHELLDLL_DefView", nullptr);
    HWND list = view != nullptr ? FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
    if (list == nullptr || ListView_GetItemCount(list) == 0) {
        return false;
    }
    SetFocus(list);
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    return true;
}

int Run(const std::string& book) {
    WindowsDirectoryPlatform platform("Quarnet", "Plinth");
    g_DefaultDirectories.Initialize(platform, "Quarnet", "Velmora 6.0");
    RememberBookFolder(book);
    const WindowDialogs system = SystemDialogs();
    HeldAtMiddle files;
    WindowDialogs dialogs = system;
    dialogs.chooseBook = [&book](HWND) { return book; };
    // The conversion into the book's own sizes, which repairs it.
    dialogs.askForSizes = [](HWND, SettingsModel&) { return true; };
    CPlinthDlg window(dialogs, files);
    window.Create();
    files.window = &window;
    SendMessageW(window.Window(), WM_COMMAND, MAKEWPARAM(IDC_OPEN_BOOK, BN_CLICKED), 0);
    // A first analysis counts its reads; the second is held halfway through them.
    const int before = files.reads;
    SendMessageW(window.Window(), WM_COMMAND, MAKEWPARAM(IDC_ANALYSE, BN_CLICKED), 0);
    files.holdAt = files.reads + (files.reads - before) / 2;
    SendMessageW(window.Window(), WM_COMMAND, MAKEWPARAM(IDC_ANALYSE, BN_CLICKED), 0);
    Take(window.Window(), "main-window");

    // The settings once the prediction is there; then cancelled. Then as after
    // an analysis that found the records fit another size better, that size
    // chosen.
    const int headerSize = window.Book().HeaderRecordSize();
    for (const auto& [name, likely] :
         {std::pair{"optimize-settings", std::optional<int>()},
          std::pair{"optimize-settings-read-as",
                    std::optional<int>(headerSize == 2048 ? 1024 : 2048)}}) {
        SettingsModel settings(
            window.Book(), [&window](std::function<void()> task) { window.Post(std::move(task)); },
            likely);
        settings.Measure();
        LookSoon([&settings, name = name, likely = likely] {
            HWND dialog = Dialog(L"Optimize settings");
            if (dialog == nullptr) {
                return false;
            }
            if (likely && !settings.ReadsAsLikelySize()) {
                SendDlgItemMessageW(dialog, IDC_READ_AS, BM_CLICK, 0, 0);
            }
            if (settings.PredictionLine().find(" records") == std::string::npos) {
                return false;
            }
            Take(dialog, name);
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return true;
        });
        system.askForSizes(window.Window(), settings);
    }

    LookSoon([] {
        HWND about = Dialog(L"About Plinth");
        if (about == nullptr) {
            return false;
        }
        Take(about, "about");
        PostMessageW(about, WM_COMMAND, IDOK, 0);
        return true;
    });
    SendMessageW(window.Window(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);

    SendMessageW(window.Window(), WM_COMMAND, MAKEWPARAM(IDC_OPTIMIZE, BN_CLICKED), 0);
    Take(window.Window(), "main-window-optimized");

    // The book selection in the book's folder, the book selected and described.
    int rounds = 0;
    LookSoon([&] {
        HWND open = Dialog(L"Open");
        if (open == nullptr || (rounds == 0 && !SelectFirstFile(open)) || ++rounds < 5) {
            return false;
        }
        Take(open, "book-selection");
        PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    system.chooseBook(window.Window());
    return g_saved ? 0 : 1;
}

}  // namespace
}  // namespace plinth

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: plinth-screenshots BOOK OUTPUT-FOLDER\n");
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 1;
    }
    const INITCOMMONCONTROLSEX controls{sizeof(controls),
                                        ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    plinth::g_folder = plinth::Utf8(argv[2]);
    const int status = plinth::Run(plinth::Utf8(argv[1]));
    CoUninitialize();
    return status;
}
