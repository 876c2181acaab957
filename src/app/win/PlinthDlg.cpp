#include "app/win/PlinthDlg.h"

#include <PlinthVersion.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <tuple>
#include <utility>

#include "app/win/HelpPage.h"
#include "app/win/MessageData.h"
#include "app/win/resource.h"
#include "book/DisplayText.h"
#include "book/WideText.h"

namespace plinth {
namespace {

INT_PTR CALLBACK AboutProc(HWND window, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    if (message == WM_INITDIALOG) {
        SetDlgItemTextW(window, IDC_ABOUT_TEXT, Wide("Plinth, Version " PLINTH_VERSION).c_str());
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(window, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

// What the worker's reports and the settings' figures are posted as.
constexpr UINT kRunTasks = WM_APP + 1;
// Posted once the window has moved to a screen of another resolution.
constexpr UINT kRescaled = WM_APP + 2;

// The template's places, in dialog units.
constexpr RECT kTemplate{0, 0, 369, 240};
constexpr RECT kAttributeList{7, 29, 7 + 355, 29 + 96};
constexpr RECT kConsole{7, 132, 7 + 355, 132 + 101};
constexpr RECT kProgressBar{182, 7, 182 + 128, 7 + 15};
constexpr RECT kHelpButton{313, 7, 313 + 50, 7 + 14};
constexpr int kFieldColumnWidth = 100;
// Pixels a list leaves around the text of a label.
constexpr int kLabelMargins = 16;

// Input that a pass ignores and never replays: keys, clicks and the wheel,
// in the client area and on the frame. Moving the mouse still shows the wait
// cursor.
bool IsIgnoredInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message > WM_MOUSEMOVE && message <= WM_MOUSELAST) ||
           (message > WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

// Text of the book code as the console shows it: lone line feeds as the
// carriage return and line feed that the text box breaks lines at.
std::wstring ConsoleText(std::string_view text, bool& endedInReturn) {
    const std::wstring wide = Wide(DisplayText(text));
    std::wstring shown;
    shown.reserve(wide.size() + wide.size() / 16);
    for (const wchar_t c : wide) {
        if (c == L'\n' && !endedInReturn) {
            shown += L'\r';
        }
        shown += c;
        endedInReturn = c == L'\r';
    }
    return shown;
}

}  // namespace

CPlinthDlg::CPlinthDlg(WindowDialogs dialogs, IFileSystem& files)
    : m_dialogs(std::move(dialogs)), m_model(*this, files) {}

CPlinthDlg::~CPlinthDlg() {
    if (m_hWnd != nullptr && !m_modal) {
        DestroyWindow(m_hWnd);
    }
    for (HICON icon : {m_hIcon, m_hSmallIcon}) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
}

void CPlinthDlg::DoModal() {
    m_modal = true;
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr, DialogProc,
                    reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
}

HWND CPlinthDlg::Create() {
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                              DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CPlinthDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
        auto* dialog = PointerIn<CPlinthDlg>(lParam);
        dialog->m_hWnd = window;
    }
    auto* dialog = PointerIn<CPlinthDlg>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return dialog != nullptr ? dialog->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CPlinthDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                OnCommand(LOWORD(wParam));
            }
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
                if (m_model.Controls().about) {
                    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX),
                                    m_hWnd, AboutProc, 0);
                }
                return TRUE;
            }
            return FALSE;
        case WM_HELP:
            OnHelp();
            return TRUE;
        case WM_CLOSE:
            Close();
            return TRUE;
        case WM_SIZE:
            Layout();
            return TRUE;
        case WM_DPICHANGED:
            // The dialog manager scales the window and its controls to the new
            // resolution; the icons, the list's columns and rows follow after.
            PostMessageW(m_hWnd, kRescaled, 0, 0);
            return FALSE;
        case kRescaled:
            FitToScale();
            Layout();
            return TRUE;
        case WM_SETCURSOR:
            if (m_waitCursor) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        case kRunTasks:
            RunTasks();
            return TRUE;
        default:
            (void)lParam;
            return FALSE;
    }
}

void CPlinthDlg::OnInitDialog() {
    // The About entry below a separator in the window's menu.
    if (HMENU menu = GetSystemMenu(m_hWnd, FALSE)) {
        wchar_t text[64] = {};
        if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, text, 64) > 0) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text);
        }
    }
    HWND list = Item(IDC_ATTRIBUTES);
    ListView_SetExtendedListViewStyle(list,
                                      LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = kFieldColumnWidth;
    column.pszText = const_cast<wchar_t*>(L"Field");
    ListView_InsertColumn(list, 0, &column);
    column.iSubItem = 1;
    column.pszText = const_cast<wchar_t*>(L"Value");
    ListView_InsertColumn(list, 1, &column);
    // The console keeps everything it is given.
    SendMessageW(Item(IDC_CONSOLE), EM_SETLIMITTEXT, 0, 0);
    FitToScale();

    // Where every row would not fit the template's list, the window grows by
    // what the rows need, so that the console keeps its height.
    const RECT listRect = Pixels(kAttributeList);
    const int more = ListHeight() - (listRect.bottom - listRect.top);
    if (more > 0) {
        RECT frame{};
        GetWindowRect(m_hWnd, &frame);
        SetWindowPos(m_hWnd, nullptr, 0, 0, frame.right - frame.left,
                     frame.bottom - frame.top + more, SWP_NOMOVE | SWP_NOZORDER);
    }
    Layout();
    ShowControls(m_model.Controls());
    if (m_bookAtStart) {
        m_model.OpenBook(*m_bookAtStart);
    }
}

void CPlinthDlg::FitToScale() {
    HINSTANCE module = GetModuleHandleW(nullptr);
    const UINT dpi = GetDpiForWindow(m_hWnd);
    for (const auto& [icon, size, width, height] :
         {std::tuple{&m_hIcon, ICON_BIG, SM_CXICON, SM_CYICON},
          std::tuple{&m_hSmallIcon, ICON_SMALL, SM_CXSMICON, SM_CYSMICON}}) {
        auto* loaded = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                     IMAGE_ICON, GetSystemMetricsForDpi(width, dpi),
                                                     GetSystemMetricsForDpi(height, dpi), 0));
        SendMessageW(m_hWnd, WM_SETICON, static_cast<WPARAM>(size),
                     reinterpret_cast<LPARAM>(loaded));
        if (HICON old = std::exchange(*icon, loaded); old != nullptr) {
            DestroyIcon(old);
        }
    }

    // The Field column as wide as the longest label needs.
    HWND list = Item(IDC_ATTRIBUTES);
    int fieldWidth = kFieldColumnWidth;
    for (const std::string_view field : kAttributeFields) {
        fieldWidth = std::max(fieldWidth,
                              ListView_GetStringWidth(list, Wide(field).c_str()) + kLabelMargins);
    }
    ListView_SetColumnWidth(list, 0, fieldWidth);
    // The height of a row, from the first row or from one put in and taken out
    // again.
    const bool probe = ListView_GetItemCount(list) == 0;
    if (probe) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.pszText = const_cast<wchar_t*>(L"Field");
        ListView_InsertItem(list, &item);
    }
    RECT row{};
    ListView_GetItemRect(list, 0, &row, LVIR_BOUNDS);
    m_rowHeight = row.bottom - row.top;
    if (probe) {
        ListView_DeleteAllItems(list);
    }
}

void CPlinthDlg::OnCommand(int id) {
    switch (id) {
        case IDC_OPEN_BOOK:
            return m_model.OnOpenBook();
        case IDC_ANALYSE:
            return m_model.OnAnalyse();
        case IDC_OPTIMIZE:
            return m_model.OnOptimize();
        case ID_HELP_INDEX:
            return OnHelp();
        case IDOK:
        case IDCANCEL:
            return Close();
        default:
            return;
    }
}

void CPlinthDlg::OnHelp() {
    const std::optional<std::wstring> page = FindHelpPage();
    if (!page) {
        return m_model.HelpNotInstalled();
    }
    if (!m_dialogs.showHelp(m_hWnd, *page)) {
        m_model.HelpNotShown(Utf8(*page));
    }
}

void CPlinthDlg::Close() {
    if (!m_model.MayClose()) {
        return;
    }
    if (m_modal) {
        EndDialog(m_hWnd, IDCANCEL);
    } else {
        DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
}

RECT CPlinthDlg::Pixels(RECT units) const {
    MapDialogRect(m_hWnd, &units);
    return units;
}

int CPlinthDlg::ListHeight() const {
    HWND list = Item(IDC_ATTRIBUTES);
    RECT header{};
    GetWindowRect(ListView_GetHeader(list), &header);
    const RECT template_ = Pixels(kAttributeList);
    const auto rows = static_cast<int>(kAttributeFields.size());
    return std::max<int>(
        header.bottom - header.top + rows * m_rowHeight + 4 * GetSystemMetrics(SM_CYEDGE),
        template_.bottom - template_.top);
}

void CPlinthDlg::Layout() {
    if (m_hWnd == nullptr || IsIconic(m_hWnd)) {
        return;
    }
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const RECT list = Pixels(kAttributeList);
    const RECT console = Pixels(kConsole);
    const RECT progress = Pixels(kProgressBar);
    const RECT help = Pixels(kHelpButton);
    const RECT whole = Pixels(kTemplate);
    // Margins and gaps as in the template.
    const int margin = list.left;
    const int gap = console.top - list.bottom;
    const int extraWidth = std::max<int>(0, client.right - whole.right);
    const int width = std::max<int>(list.right - list.left, client.right - 2 * margin);
    const int listBottom = list.top + ListHeight();
    const int consoleHeight =
        std::max<int>(3 * (help.bottom - help.top), client.bottom - margin - listBottom - gap);

    const HDWP places = BeginDeferWindowPos(4);
    auto place = [&](int id, int x, int y, int w, int h) {
        DeferWindowPos(places, Item(id), nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(IDC_ATTRIBUTES, margin, list.top, width, listBottom - list.top);
    place(IDC_CONSOLE, margin, listBottom + gap, width, consoleHeight);
    place(IDC_PROGRESS, progress.left, progress.top, progress.right - progress.left + extraWidth,
          progress.bottom - progress.top);
    place(ID_HELP_INDEX, help.left + extraWidth, help.top, help.right - help.left,
          help.bottom - help.top);
    EndDeferWindowPos(places);
    // The Value column takes the width the Field column leaves.
    RECT listClient{};
    GetClientRect(Item(IDC_ATTRIBUTES), &listClient);
    const int fieldWidth = ListView_GetColumnWidth(Item(IDC_ATTRIBUTES), 0);
    ListView_SetColumnWidth(Item(IDC_ATTRIBUTES), 1,
                            std::max<int>(kFieldColumnWidth, listClient.right - fieldWidth));
}

void CPlinthDlg::AppendText(std::string_view text) {
    HWND console = Item(IDC_CONSOLE);
    const std::wstring shown = ConsoleText(text, m_endedInReturn);
    const auto end = static_cast<WPARAM>(GetWindowTextLengthW(console));
    SendMessageW(console, EM_SETSEL, end, static_cast<LPARAM>(end));
    SendMessageW(console, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(shown.c_str()));
    const auto after = static_cast<WPARAM>(GetWindowTextLengthW(console));
    SendMessageW(console, EM_SETSEL, after, static_cast<LPARAM>(after));
    SendMessageW(console, EM_SCROLLCARET, 0, 0);
}

void CPlinthDlg::ClearConsole() {
    SetWindowTextW(Item(IDC_CONSOLE), L"");
    m_endedInReturn = false;
}

void CPlinthDlg::ShowProgress() { ShowWindow(Item(IDC_PROGRESS), SW_SHOW); }

void CPlinthDlg::SetProgress(int position) {
    SendMessageW(Item(IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void CPlinthDlg::HideProgress() { ShowWindow(Item(IDC_PROGRESS), SW_HIDE); }

void CPlinthDlg::ShowAttributes(const std::vector<AttributeRow>& rows) {
    HWND list = Item(IDC_ATTRIBUTES);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    int index = 0;
    for (const AttributeRow& row : rows) {
        std::wstring field = Wide(row.field);
        std::wstring value = Wide(DisplayText(row.value));
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = index;
        item.pszText = field.data();
        ListView_InsertItem(list, &item);
        ListView_SetItemText(list, index, 1, value.data());
        ++index;
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void CPlinthDlg::ShowControls(const ControlStates& states) {
    // Disabling the control with the focus leaves the window without one: the
    // focus comes back to it after the pass.
    if (states.passRunning && m_focusBeforePass == nullptr) {
        m_focusBeforePass = GetFocus();
    }
    EnableWindow(Item(IDC_OPEN_BOOK), states.openBook);
    EnableWindow(Item(IDC_ANALYSE), states.analyse);
    EnableWindow(Item(IDC_OPTIMIZE), states.optimize);
    EnableMenuItem(GetSystemMenu(m_hWnd, FALSE), IDM_ABOUTBOX,
                   MF_BYCOMMAND | (states.about ? MF_ENABLED : MF_GRAYED));
    if (!states.passRunning) {
        DropInput();
    }
    if (!states.passRunning && m_focusBeforePass != nullptr) {
        HWND focus = std::exchange(m_focusBeforePass, nullptr);
        HWND next = IsWindowEnabled(focus) ? focus : Item(IDC_OPEN_BOOK);
        SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
    }
}

void CPlinthDlg::DropInput() {
    MSG message{};
    for (const auto& [first, last] : {std::pair<UINT, UINT>{WM_KEYFIRST, WM_KEYLAST},
                                      {WM_MOUSEFIRST, WM_MOUSELAST},
                                      {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}}) {
        while (PeekMessageW(&message, nullptr, first, last, PM_REMOVE)) {
        }
    }
}

void CPlinthDlg::FocusOpenBook() {
    m_focusBeforePass = nullptr;
    SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_OPEN_BOOK)), TRUE);
}

void CPlinthDlg::ShowWaitCursor(bool shown) {
    m_waitCursor = shown;
    SetCursor(LoadCursorW(nullptr, shown ? IDC_WAIT : IDC_ARROW));
}

std::optional<std::string> CPlinthDlg::ChooseBook() { return m_dialogs.chooseBook(m_hWnd); }

bool CPlinthDlg::AskForSizes(SettingsModel& settings) {
    return m_dialogs.askForSizes(m_hWnd, settings);
}

void CPlinthDlg::ShowMessage(const std::string& text) {
    m_dialogs.showMessage(m_hWnd, Wide(DisplayText(text)));
}

void CPlinthDlg::Post(std::function<void()> task) {
    {
        const std::lock_guard lock(m_tasksLock);
        m_tasks.push_back(std::move(task));
    }
    PostMessageW(m_hWnd, kRunTasks, 0, 0);
}

void CPlinthDlg::RunTasks() {
    std::vector<std::function<void()>> tasks;
    {
        const std::lock_guard lock(m_tasksLock);
        tasks.swap(m_tasks);
    }
    for (const std::function<void()>& task : tasks) {
        task();
    }
    m_taskRan = m_taskRan || !tasks.empty();
}

void CPlinthDlg::HandleEvents(std::chrono::milliseconds interval) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + interval;
    m_taskRan = false;
    for (;;) {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // For the loop that runs the window.
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            if (!IsIgnoredInput(message.message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            if (m_taskRan) {
                return;
            }
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) {
            return;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

}  // namespace plinth
