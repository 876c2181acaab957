#include "app/win/HelpPage.h"

#include <windows.h>

#include "book/WideText.h"
#include "settings/DefaultDirectories.h"

namespace plinth {

std::optional<std::wstring> FindHelpPage() {
    const std::string& folder = g_DefaultDirectories.ProgramDir();
    if (folder.empty()) {
        return std::nullopt;
    }
    const std::wstring page = Wide(folder) + L"\\help\\index.html";
    const DWORD attributes = GetFileAttributesW(page.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return page;
}

}  // namespace plinth
