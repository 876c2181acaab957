#include "settings/LinuxDirectoryPlatform.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

namespace plinth {
namespace {

namespace fs = std::filesystem;

// The group of the settings file that holds the directories.
constexpr std::string_view kSettingsGroup = "Settings";

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The value of `name` in `group` of a settings file's text (see ReadSetting).
std::optional<std::string> SettingValue(std::string_view text, std::string_view group,
                                        std::string_view name) {
    std::optional<std::string> value;
    bool inGroup = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[' && line.back() == ']') {
            inGroup = SameSettingName(line.substr(1, line.size() - 2), group);
            continue;
        }
        const size_t equals = line.find('=');
        if (!inGroup || equals == std::string_view::npos ||
            !SameSettingName(Trimmed(line.substr(0, equals)), name)) {
            continue;
        }
        std::string_view found = Trimmed(line.substr(equals + 1));
        if (found.size() >= 2 && found.front() == '"' && found.back() == '"') {
            found = found.substr(1, found.size() - 2);
        }
        value = std::string(found);
    }
    return value;
}

bool IsAbsolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

// Folder paths carry no trailing separator; the root stays "/".
std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// An environment variable that holds an absolute path.
std::optional<std::string> AbsolutePathFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || !IsAbsolute(value)) {
        return std::nullopt;
    }
    return std::string(value);
}

std::optional<std::string> HomeFolder() {
    if (auto home = AbsolutePathFromEnvironment("HOME")) {
        return home;
    }
    // The suggested size is only a hint; a generous floor covers long entries.
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(std::max<size_t>(suggested > 0 ? suggested : 0, 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || !IsAbsolute(found->pw_dir)) {
        return std::nullopt;
    }
    return std::string(found->pw_dir);
}

// The folder, created with its parents when missing; nothing when it is not
// there afterwards.
std::optional<std::string> CreatedFolder(const std::optional<std::string>& path) {
    if (!path) {
        return std::nullopt;
    }
    std::error_code error;
    fs::create_directories(*path, error);
    if (!fs::is_directory(*path, error)) {
        return std::nullopt;
    }
    return WithoutTrailingSeparator(*path);
}

// The folder that the environment variable `name` names, else the folder
// `underHome` in the home folder.
std::optional<std::string> UserFolder(const char* name, const char* underHome) {
    if (auto folder = AbsolutePathFromEnvironment(name)) {
        return folder;
    }
    if (auto home = HomeFolder()) {
        return *home + underHome;
    }
    return std::nullopt;
}

std::optional<std::string> UserDataFolder() { return UserFolder("XDG_DATA_HOME", "/.local/share"); }

std::optional<std::string> ConfigFolder() { return UserFolder("XDG_CONFIG_HOME", "/.config"); }

std::string CommonDataFolder() {
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string_view rest = dataDirs != nullptr ? dataDirs : "";
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        if (IsAbsolute(folder)) {
            return std::string(folder);
        }
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
    }
    return "/usr/local/share";
}

// Qt reads the user's user-dirs.dirs under $XDG_CONFIG_HOME and falls back to
// ~/Documents. The documents folder is never created.
std::optional<std::string> DocumentsFolder() {
    const QString location = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    std::string path = QFile::encodeName(location).toStdString();
    std::error_code error;
    if (!IsAbsolute(path) || !fs::is_directory(path, error)) {
        return std::nullopt;
    }
    return WithoutTrailingSeparator(std::move(path));
}

}  // namespace

std::string LinuxDirectoryPlatform::ProgramFolder(const std::string& maker,
                                                  const std::string& product) {
    const std::optional<std::string> data = UserDataFolder();
    return data ? WithoutTrailingSeparator(*data) + "/" + maker + "/" + product : std::string();
}

std::optional<std::string> LinuxDirectoryPlatform::SpecialFolderPath(SpecialFolder folder) {
    switch (folder) {
        case SpecialFolder::UserData:
            return CreatedFolder(UserDataFolder());
        case SpecialFolder::CommonData:
            return CreatedFolder(CommonDataFolder());
        case SpecialFolder::Documents:
            return DocumentsFolder();
        case SpecialFolder::Windows:
        case SpecialFolder::System:
            break;
    }
    return std::nullopt;
}

std::string LinuxDirectoryPlatform::ReadSetting(const std::string& name,
                                                const std::string& defaultValue) {
    const std::optional<std::string> config = ConfigFolder();
    if (!config) {
        return defaultValue;
    }
    std::ifstream file(*config + "/" + m_maker + "/" + m_application + ".conf", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    return SettingValue(text, kSettingsGroup, name).value_or(defaultValue);
}

DirectoryCreation LinuxDirectoryPlatform::CreateDirectoryLevel(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) {
        return DirectoryCreation::Created;
    }
    return errno == EEXIST ? DirectoryCreation::AlreadyExists : DirectoryCreation::Failed;
}

void LinuxDirectoryPlatform::CreateDirectoryPath(const std::string& path) {
    if (!IsAbsolute(path)) {
        return;
    }
    std::error_code ignored;
    fs::create_directories(path, ignored);
}

}  // namespace plinth
