#include "settings/LinuxDirectoryPlatform.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

namespace plinth {
namespace {

namespace fs = std::filesystem;

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

std::optional<std::string> UserDataFolder() {
    if (auto dataHome = AbsolutePathFromEnvironment("XDG_DATA_HOME")) {
        return dataHome;
    }
    if (auto home = HomeFolder()) {
        return *home + "/.local/share";
    }
    return std::nullopt;
}

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

std::string LinuxDirectoryPlatform::ExecutablePath() {
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
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
    QSettings settings(QStringLiteral("Quarnet"), QStringLiteral("Plinth"));
    settings.beginGroup(QStringLiteral("Settings"));
    const QString key = QString::fromStdString(name);
    if (!settings.contains(key)) {
        return defaultValue;
    }
    const QVariant value = settings.value(key);
    // An unquoted comma in the settings file makes the value a list; the pieces
    // are put back together rather than losing the path.
    if (value.typeId() == QMetaType::QStringList) {
        return QFile::encodeName(value.toStringList().join(QStringLiteral(", "))).toStdString();
    }
    return QFile::encodeName(value.toString()).toStdString();
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
