// The system's own dialogs of the Windows program: the book selection (the
// open-file dialog with the book-information component's description below
// its list), the optimize settings over a SettingsModel, message boxes and the
// help page.

#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>

#include <string>
#include <vector>

#include "app/AppNames.h"
#include "app/model/SettingsModel.h"
#include "app/win/MessageData.h"
#include "app/win/PlinthDlg.h"
#include "app/win/resource.h"
#include "book/DisplayText.h"
#include "book/WideText.h"
#include "bookinfo/BookInfoClient.h"
#include "settings/DefaultDirectories.h"

namespace plinth {
namespace {

HINSTANCE Module() { return GetModuleHandleW(nullptr); }

std::wstring LoadText(UINT id) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(Module(), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

// --- Optimize settings ---------------------------------------------------

// Dialog units between the check box's top and the prediction's.
constexpr int kReadAsRow = 14;

void ShowSettings(HWND dialog, const SettingsModel& settings) {
    CheckDlgButton(dialog, IDC_READ_AS, settings.ReadsAsLikelySize() ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageW(dialog, IDC_RECORD_SIZE, CB_SETCURSEL,
                        static_cast<WPARAM>(settings.RecordSizeLine()), 0);
    SendDlgItemMessageW(dialog, IDC_HASH_INDEX_SIZE, CB_SETCURSEL,
                        static_cast<WPARAM>(settings.HashIndexSizeLine()), 0);
    SetDlgItemTextW(dialog, IDC_PREDICTION, Wide(DisplayText(settings.PredictionLine())).c_str());
    SetDlgItemTextW(dialog, IDC_RECOMMENDATION,
                    Wide(DisplayText(settings.RecommendationLine())).c_str());
    EnableWindow(GetDlgItem(dialog, IDC_USE_RECOMMENDED), settings.CanUseRecommended());
}

void FillSizes(HWND dialog, int id, const std::vector<int>& sizes) {
    for (const int size : sizes) {
        SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(std::to_wstring(size).c_str()));
    }
}

// Shows the check box that reads the book as records of the size its analysis
// named, when the settings offer it, and moves what is below it down.
void OfferReadAs(HWND dialog, const SettingsModel& settings) {
    const std::string line = settings.ReadAsLine();
    if (line.empty()) {
        return;
    }
    SetDlgItemTextW(dialog, IDC_READ_AS, Wide(DisplayText(line)).c_str());
    ShowWindow(GetDlgItem(dialog, IDC_READ_AS), SW_SHOW);
    RECT row{0, 0, 0, kReadAsRow};
    MapDialogRect(dialog, &row);
    for (const int id : {IDOK, IDCANCEL, IDC_PREDICTION, IDC_RECOMMENDATION, IDC_USE_RECOMMENDED}) {
        HWND control = GetDlgItem(dialog, id);
        RECT place{};
        GetWindowRect(control, &place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        SetWindowPos(control, nullptr, place.left, place.top + row.bottom, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT frame{};
    GetWindowRect(dialog, &frame);
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left,
                 frame.bottom - frame.top + row.bottom, SWP_NOMOVE | SWP_NOZORDER);
}

int Selected(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

INT_PTR CALLBACK OptimizeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* settings = PointerIn<SettingsModel>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
            settings = PointerIn<SettingsModel>(lParam);
            FillSizes(dialog, IDC_RECORD_SIZE, SettingsModel::RecordSizes());
            FillSizes(dialog, IDC_HASH_INDEX_SIZE, SettingsModel::HashIndexSizes());
            OfferReadAs(dialog, *settings);
            settings->OnChange([dialog, settings] { ShowSettings(dialog, *settings); });
            ShowSettings(dialog, *settings);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                case IDCANCEL:
                    settings->OnChange({});
                    settings->Abandon();
                    EndDialog(dialog, LOWORD(wParam));
                    return TRUE;
                case IDC_READ_AS:
                    settings->ReadAsLikelySize(IsDlgButtonChecked(dialog, IDC_READ_AS) ==
                                               BST_CHECKED);
                    return TRUE;
                case IDC_USE_RECOMMENDED:
                    settings->UseRecommended();
                    return TRUE;
                case IDC_RECORD_SIZE:
                case IDC_HASH_INDEX_SIZE:
                    if (HIWORD(wParam) == CBN_SELCHANGE) {
                        settings->SelectLines(Selected(dialog, IDC_RECORD_SIZE),
                                              Selected(dialog, IDC_HASH_INDEX_SIZE));
                        ShowSettings(dialog, *settings);
                    }
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

// --- Book selection --------------------------------------------------------

// Paths as long as the system allows.
constexpr DWORD kPathCharacters = 32768;

// The preview of the selected file: its description, "Not a recognised book
// format !" when the component cannot give one, nothing for a folder or no
// selection.
void ShowDescription(HWND preview, IBookInfo* info) {
    std::wstring path(kPathCharacters, L'\0');
    const auto length =
        static_cast<int>(SendMessageW(GetParent(preview), CDM_GETFILEPATH, kPathCharacters,
                                      reinterpret_cast<LPARAM>(path.data())));
    std::wstring shown;
    if (length > 1) {
        path.resize(static_cast<size_t>(length) - 1);
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            const std::optional<std::string> description =
                info != nullptr ? DescribeThrough(*info, Utf8(path)) : std::nullopt;
            shown = description ? Wide(*description) : LoadText(IDS_NOT_A_BOOK);
        }
    }
    // The static text breaks lines at a carriage return and line feed.
    for (size_t at = shown.find(L'\n'); at != std::wstring::npos; at = shown.find(L'\n', at + 2)) {
        shown.insert(at, 1, L'\r');
    }
    SetDlgItemTextW(preview, IDC_DESCRIPTION, shown.c_str());
}

UINT_PTR CALLBACK PreviewHook(HWND preview, UINT message, WPARAM /*wParam*/, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* dialog = PointerIn<const OPENFILENAMEW>(lParam);
        SetWindowLongPtrW(preview, GWLP_USERDATA, dialog->lCustData);
    } else if (message == WM_NOTIFY &&
               PointerIn<const NMHDR>(lParam)->code == static_cast<UINT>(CDN_SELCHANGE)) {
        ShowDescription(preview, PointerIn<IBookInfo>(GetWindowLongPtrW(preview, GWLP_USERDATA)));
    }
    return 0;
}

std::optional<std::string> SelectBook(HWND owner) {
    // "description|pattern||\ndefault extension": the list before the line
    // feed, its bars as the terminators the dialog wants.
    std::wstring filter = LoadText(IDS_BOOK_FILTER);
    const size_t lineFeed = filter.find(L'\n');
    // The dialog adds the extension with its own period.
    std::wstring extension =
        lineFeed == std::wstring::npos ? std::wstring() : filter.substr(lineFeed + 1);
    if (!extension.empty() && extension.front() == L'.') {
        extension.erase(0, 1);
    }
    filter = filter.substr(0, lineFeed);
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    const std::wstring folder =
        Wide(g_DefaultDirectories.GetPath(kBookDirectoryId, Separator::None));

    const Microsoft::WRL::ComPtr<IBookInfo> info = CreateBookInfo();
    std::wstring file(kPathCharacters, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.hInstance = Module();
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kPathCharacters;
    dialog.lpstrInitialDir = folder.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_ENABLETEMPLATE |
                   OFN_ENABLEHOOK | OFN_ENABLESIZING;
    dialog.lpTemplateName = MAKEINTRESOURCEW(IDD_BOOK_PREVIEW);
    dialog.lpfnHook = PreviewHook;
    dialog.lCustData = reinterpret_cast<LPARAM>(info.Get());
    if (!GetOpenFileNameW(&dialog)) {
        return std::nullopt;
    }
    file.resize(file.find(L'\0'));
    const std::string book = Utf8(file);
    RememberBookFolder(book);
    return book;
}

}  // namespace

void RememberBookFolder(const std::string& book) {
    if (const size_t separator = book.find_last_of('\\');
        separator != std::string::npos && separator > 0) {
        g_DefaultDirectories.SetPath(kBookDirectoryId, book.substr(0, separator));
    }
}

WindowDialogs SystemDialogs() {
    return {
        .chooseBook = SelectBook,
        .askForSizes =
            [](HWND owner, SettingsModel& settings) {
                return DialogBoxParamW(Module(), MAKEINTRESOURCEW(IDD_OPTIMIZE), owner,
                                       OptimizeProc, reinterpret_cast<LPARAM>(&settings)) == IDOK;
            },
        .showMessage =
            [](HWND owner, const std::wstring& text) {
                MessageBoxW(owner, text.c_str(), Wide(kApplicationName).c_str(), MB_OK);
            },
        .showHelp =
            [](HWND owner, const std::wstring& page) {
                return reinterpret_cast<INT_PTR>(ShellExecuteW(
                           owner, L"open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
            },
    };
}

}  // namespace plinth
