#pragma once

// What the suite's default directories need of the operating system: the running
// executable, a few special folders, the user's settings and the creation of
// folders. Behind one small interface so that the directory logic stays free of
// any framework and tests can stand in for the machine.

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace plinth {

// Directory names, which are also the names of the settings values, are plain
// ASCII; they compare without regard to case.
inline bool SameSettingName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

// The special folders on which the suite's directories are built.
enum class SpecialFolder {
    UserData,    // the user's application data folder, created when missing
    CommonData,  // the application data folder of all users, created when missing
    Documents,   // the user's documents folder, never created
    Windows,     // the operating system's own folder
    System,      // the operating system's system folder
};

// Outcome of creating one folder level.
enum class DirectoryCreation { Created, AlreadyExists, Failed };

class IDirectoryPlatform {
  public:
    virtual ~IDirectoryPlatform() = default;

    // The program folder of the suite's table, without trailing separator: the
    // folder that the suite's own data (pictures, sounds, levels, engines) hangs
    // on. Where programs live in folders that their users may write, the running
    // executable's folder; elsewhere a folder of the suite's that the user may
    // write, named by the maker and the product. Empty when it cannot be had.
    virtual std::string ProgramFolder(const std::string& maker, const std::string& product) = 0;

    // Path of a special folder without trailing separator, or nothing when the
    // folder cannot be had.
    virtual std::optional<std::string> SpecialFolderPath(SpecialFolder folder) = 0;

    // A string value of the user's settings, group "Settings", the name found
    // without regard to case. A value that exists is given exactly as stored,
    // even when empty; a missing one gives the default.
    virtual std::string ReadSetting(const std::string& name, const std::string& defaultValue) = 0;

    // Creates one folder whose parent exists, and tells a folder that is already
    // there apart from every other failure.
    virtual DirectoryCreation CreateDirectoryLevel(const std::string& path) = 0;

    // Creates a folder with all its missing parents. Whatever goes wrong is
    // ignored: the caller has no use for the outcome.
    virtual void CreateDirectoryPath(const std::string& path) = 0;
};

}  // namespace plinth
