#include "settings/WindowsDirectoryPlatform.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include "book/WideText.h"

namespace plinth {
namespace {

using GetFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);

// The shell's folder query, bound when it is first asked for; null where the
// shell's module or the function is missing, which makes every query fail
// instead of ending the program.
GetFolderPath ShellFolderQuery() {
    static const GetFolderPath query = [] {
        HMODULE shell = LoadLibraryW(L"shell32.dll");
        return shell != nullptr ? reinterpret_cast<GetFolderPath>(reinterpret_cast<void*>(
                                      GetProcAddress(shell, "SHGetFolderPathW")))
                                : nullptr;
    }();
    return query;
}

int FolderId(SpecialFolder folder) {
    switch (folder) {
        case SpecialFolder::UserData:
            return CSIDL_APPDATA | CSIDL_FLAG_CREATE;
        case SpecialFolder::CommonData:
            return CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE;
        case SpecialFolder::Documents:
            return CSIDL_PERSONAL;
        case SpecialFolder::Windows:
            return CSIDL_WINDOWS;
        case SpecialFolder::System:
            break;
    }
    return CSIDL_SYSTEM;
}

}  // namespace

std::string WindowsDirectoryPlatform::ProgramFolder(const std::string& /*maker*/,
                                                    const std::string& /*product*/) {
    // Long paths do not fit MAX_PATH: the buffer grows until the path fits.
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
           path.size()) {
        path.resize(path.size() * 2);
    }
    path.resize(length);
    const size_t separator = path.rfind(L'\\');
    return separator == std::wstring::npos ? std::string() : Utf8(path.substr(0, separator));
}

std::optional<std::string> WindowsDirectoryPlatform::SpecialFolderPath(SpecialFolder folder) {
    const GetFolderPath query = ShellFolderQuery();
    wchar_t path[MAX_PATH] = {};
    if (query == nullptr ||
        query(nullptr, FolderId(folder), nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) {
        return std::nullopt;
    }
    return Utf8(path);
}

std::string WindowsDirectoryPlatform::SettingsKey() const {
    return "Software\\" + m_maker + "\\" + m_application + "\\Settings";
}

std::string WindowsDirectoryPlatform::ReadSetting(const std::string& name,
                                                  const std::string& defaultValue) {
    const std::wstring key = Wide(SettingsKey());
    const std::wstring valueName = Wide(name);
    // The size first, then the value; a value that changes in between is read again.
    for (int tries = 0; tries < 3; ++tries) {
        DWORD bytes = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), valueName.c_str(), RRF_RT_REG_SZ, nullptr,
                         nullptr, &bytes) != ERROR_SUCCESS) {
            return defaultValue;
        }
        std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, key.c_str(), valueName.c_str(),
                                            RRF_RT_REG_SZ, nullptr, value.data(), &bytes);
        if (status == ERROR_SUCCESS) {
            // Up to the terminating zero, which RegGetValueW always writes.
            value.resize(value.find(L'\0'));
            return Utf8(value);
        }
        if (status != ERROR_MORE_DATA) {
            return defaultValue;
        }
    }
    return defaultValue;
}

DirectoryCreation WindowsDirectoryPlatform::CreateDirectoryLevel(const std::string& path) {
    if (CreateDirectoryW(Wide(path).c_str(), nullptr)) {
        return DirectoryCreation::Created;
    }
    return GetLastError() == ERROR_ALREADY_EXISTS ? DirectoryCreation::AlreadyExists
                                                  : DirectoryCreation::Failed;
}

void WindowsDirectoryPlatform::CreateDirectoryPath(const std::string& path) {
    SHCreateDirectoryExW(nullptr, Wide(path).c_str(), nullptr);
}

}  // namespace plinth
