// The Windows main window made in the test's process and driven by messages, as
// a person's clicks and keys reach it; its list rows and console read back from
// the controls. The modal dialogs are answered by the test.

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>

#include "BookBuilder.h"
#include "TempDir.h"
#include "app/model/SettingsModel.h"
#include "app/win/PlinthDlg.h"
#include "app/win/resource.h"
#include "book/WideText.h"
#include "maintenance/BookAnalysis.h"
#include "maintenance/BookOpening.h"
#include "settings/DefaultDirectories.h"
#include "settings/WindowsDirectoryPlatform.h"

namespace plinth::test {
namespace {

// The system's files, where the first read after `Hold` waits half a second: a
// pass long enough for input to arrive during it.
class HeldFiles final : public ForwardingFileSystem {
  public:
    int64_t ReadAt(int fd, void* buffer, size_t length, uint64_t offset) override {
        if (m_hold.exchange(false)) {
            Sleep(500);
        }
        return ForwardingFileSystem::ReadAt(fd, buffer, length, offset);
    }
    void Hold() { m_hold = true; }

  private:
    std::atomic<bool> m_hold = false;
};

class PlinthDlgWinTest : public testing::Test {
  protected:
    PlinthDlgWinTest() {
        const INITCOMMONCONTROLSEX controls{sizeof(controls),
                                            ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        const builder::BookOptions options{.comment = "Test lines"};
        WriteFileBytes(
            book,
            builder::BuildBook(options, builder::MakePositions(options.kind, 300, 5)).Bytes());
        window.Create();
    }
    void SetUp() override {
        ASSERT_NE(window.Window(), nullptr)
            << "no window: wine needs a display (scripts/test-windows)";
    }

    void Click(int id) { SendMessageW(window.Window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(window.Window(), id)) != FALSE; }
    std::vector<AttributeRow> Rows() {
        HWND list = GetDlgItem(window.Window(), IDC_ATTRIBUTES);
        std::vector<AttributeRow> rows;
        for (int i = 0; i < ListView_GetItemCount(list); ++i) {
            wchar_t field[512] = {};
            wchar_t value[512] = {};
            ListView_GetItemText(list, i, 0, field, 512);
            ListView_GetItemText(list, i, 1, value, 512);
            rows.push_back({Utf8(field), Utf8(value)});
        }
        return rows;
    }
    // The console's text with the text box's line breaks as the book code's.
    std::string Console() {
        HWND console = GetDlgItem(window.Window(), IDC_CONSOLE);
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(console)) + 1, L'\0');
        text.resize(static_cast<size_t>(
            GetWindowTextW(console, text.data(), static_cast<int>(text.size()))));
        std::string shown = Utf8(text);
        for (size_t at = shown.find("\r\n"); at != std::string::npos; at = shown.find("\r\n", at)) {
            shown.erase(at, 1);
        }
        return shown;
    }
    // What the book code says of the book at `path`, and its rows, through a
    // reader of the test's own.
    std::pair<std::string, std::vector<AttributeRow>> Expected(void (*work)(BookReader&)) {
        TextConsole console;
        BookReader reader(console);
        OpenChosenBook(reader, book);
        console.ClearConsole();
        work(reader);
        return {console.Text(), AttributeRows(reader)};
    }

    TempDir dir;
    HeldFiles files;
    std::string book = dir.File("book.bk");
    std::vector<std::string> chosen;
    std::vector<std::wstring> messages;
    int sizesAsked = 0;
    CPlinthDlg window{
        {
            .chooseBook = [this](HWND) -> std::optional<std::string> { return chosen.at(0); },
            .askForSizes =
                [this](HWND, SettingsModel& settings) {
                    ++sizesAsked;
                    settings.SelectLines(1, 2);  // 2048-byte records, 4096 slots
                    return true;
                },
            .showMessage = [this](HWND, const std::wstring& text) { messages.push_back(text); },
            .showHelp = [](HWND, const std::wstring&) { return false; },
        },
        files};
};

TEST_F(PlinthDlgWinTest, OpensAnalysesAndOptimizesABookAsTheBookCodeReportsIt) {
    chosen = {book};
    EXPECT_FALSE(Enabled(IDC_ANALYSE));
    Click(IDC_OPEN_BOOK);
    EXPECT_EQ(Rows(), Expected([](BookReader&) {}).second);
    EXPECT_TRUE(Enabled(IDC_ANALYSE) && Enabled(IDC_OPTIMIZE));

    Click(IDC_ANALYSE);
    EXPECT_EQ(Console(), Expected([](BookReader& reader) { AnalyseBook(reader); }).first);
    EXPECT_NE(Console().find("Analisys completed\n"), std::string::npos);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window.Window(), IDC_PROGRESS)));

    Click(IDC_OPTIMIZE);
    EXPECT_EQ(sizesAsked, 1);
    EXPECT_NE(Console().find("Conversion completed\n"), std::string::npos) << Console();
    EXPECT_TRUE(std::filesystem::exists(FsPath(book + ".old.bk")));
    const std::vector<AttributeRow> rows = Rows();
    ASSERT_EQ(rows.size(), kAttributeFields.size());
    EXPECT_EQ(rows[4].value, "4096");
    EXPECT_EQ(rows[5].value, "2048");
    EXPECT_TRUE(messages.empty());
}

TEST_F(PlinthDlgWinTest, FileThatIsNoBookIsRefusedAndClosesTheOpenOne) {
    WriteFileBytes(dir.File("notes.bk"), {'n', 'o'});
    chosen = {book};
    Click(IDC_OPEN_BOOK);
    chosen = {dir.File("notes.bk")};
    Click(IDC_OPEN_BOOK);
    EXPECT_NE(Console().find("**Error**"), std::string::npos) << Console();
    EXPECT_FALSE(Enabled(IDC_ANALYSE) || Enabled(IDC_OPTIMIZE));
    EXPECT_TRUE(Enabled(IDC_OPEN_BOOK));
    EXPECT_NE(Rows().size(), kAttributeFields.size());
}

TEST_F(PlinthDlgWinTest, InputDuringAPassIsIgnoredAndNeverReplayed) {
    chosen = {book};
    Click(IDC_OPEN_BOOK);
    // The space bar on the focused "Help" (whose page the test has not), then
    // Escape and Enter, typed while the pass runs.
    chosen = {dir.File("missing.bk")};
    SetForegroundWindow(window.Window());
    SendMessageW(window.Window(), WM_NEXTDLGCTL,
                 reinterpret_cast<WPARAM>(GetDlgItem(window.Window(), ID_HELP_INDEX)), TRUE);
    std::vector<INPUT> keys;
    for (const int key : {VK_SPACE, VK_ESCAPE, VK_RETURN}) {
        for (const DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = static_cast<WORD>(key);
            input.ki.dwFlags = up;
            keys.push_back(input);
        }
    }
    SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
    files.Hold();
    Click(IDC_ANALYSE);
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(window.Window(), &message)) {
            DispatchMessageW(&message);
        }
    }
    EXPECT_TRUE(IsWindow(window.Window()));
    EXPECT_EQ(Rows(), Expected([](BookReader&) {}).second);
    EXPECT_NE(Console().find("Analisys completed\n"), std::string::npos);
    EXPECT_TRUE(Enabled(IDC_ANALYSE));
    EXPECT_TRUE(messages.empty());
}

// What the test does in the book selection dialog, run from a timer of the
// dialog's loop each 100 ms until it says it is done.
std::function<bool()> g_inDialog;
void CALLBACK InDialogTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    if (g_inDialog && g_inDialog()) {
        g_inDialog = nullptr;
        KillTimer(nullptr, timer);
    }
}

TEST_F(PlinthDlgWinTest, BookSelectionStartsInTheBookFolderPreviewsAndRemembersTheFolder) {
    WindowsDirectoryPlatform platform("Quarnet", "PlinthWindowTest");
    g_DefaultDirectories.Initialize(platform, "Quarnet", "Velmora 6.0");
    const std::string folder = std::filesystem::path(FsPath(dir.Path())).make_preferred().string();
    // The same folder named otherwise, which the choice names as it is.
    g_DefaultDirectories.SetPath(kBookDirectoryId, folder + "\\.");
    // Without the component every file is "Not a recognised book format !".
    std::wstring preview;
    g_inDialog = [&] {
        HWND open = FindWindowW(L"#32770", L"Open");
        HWND view = FindWindowExW(open, nullptr, L"SHELLDLL_DefView", nullptr);
        HWND list = FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr);
        if (list == nullptr || ListView_GetItemCount(list) == 0) {
            return false;
        }
        if (preview.empty()) {
            ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
            wchar_t text[128] = {};
            GetDlgItemTextW(FindWindowExW(open, nullptr, L"#32770", nullptr), IDC_DESCRIPTION, text,
                            128);
            preview = text;
            return false;
        }
        PostMessageW(open, WM_COMMAND, IDOK, 0);
        return true;
    };
    SetTimer(nullptr, 0, 100, InDialogTimer);
    const std::optional<std::string> picked = SystemDialogs().chooseBook(window.Window());
    EXPECT_EQ(preview, L"Not a recognised book format !");
    EXPECT_EQ(picked, folder + "\\book.bk");
    EXPECT_EQ(g_DefaultDirectories.GetPath(kBookDirectoryId, Separator::None), folder);
    g_DefaultDirectories.SetPath(kBookDirectoryId, "elsewhere");
    RememberBookFolder("\\book.bk");
    EXPECT_EQ(g_DefaultDirectories.GetPath(kBookDirectoryId, Separator::None), "elsewhere");
}

TEST_F(PlinthDlgWinTest, SettingsOfferToReadTheBookAsItsAnalysisNamedWithTheRestMovedDown) {
    chosen = {book};
    Click(IDC_OPEN_BOOK);
    for (const std::optional<int> likely : {std::optional<int>(), std::optional<int>(2048)}) {
        SettingsModel settings(
            window.Book(), [this](std::function<void()> task) { window.Post(std::move(task)); },
            likely);
        bool offered = false;
        RECT box{};
        RECT prediction{};
        g_inDialog = [&] {
            HWND dialog = FindWindowW(L"#32770", L"Optimize settings");
            if (dialog == nullptr) {
                return false;
            }
            offered = IsWindowVisible(GetDlgItem(dialog, IDC_READ_AS)) != FALSE;
            if (offered) {
                SendDlgItemMessageW(dialog, IDC_READ_AS, BM_CLICK, 0, 0);
            }
            GetWindowRect(GetDlgItem(dialog, IDC_READ_AS), &box);
            GetWindowRect(GetDlgItem(dialog, IDC_PREDICTION), &prediction);
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return true;
        };
        SetTimer(nullptr, 0, 100, InDialogTimer);
        EXPECT_TRUE(SystemDialogs().askForSizes(window.Window(), settings));
        EXPECT_EQ(offered, likely.has_value());
        EXPECT_EQ(settings.InputRecordSize(), likely);
        EXPECT_EQ(prediction.top >= box.bottom, likely.has_value());
    }
}

}  // namespace
}  // namespace plinth::test
