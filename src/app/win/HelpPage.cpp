#include "app/win/HelpPage.h"

#include <windows.h>

namespace plinth {

std::optional<std::wstring> FindHelpPage() {
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
           path.size()) {
        path.resize(path.size() * 2);
    }
    path.resize(length);
    path = path.substr(0, path.find_last_of(L'\\') + 1) + L"help\\index.html";
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (length == 0 || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return path;
}

}  // namespace plinth
