#pragma once

// The suite's directories on Windows, through the system's own services: the
// running executable's folder, the shell's special folders, folder creation of
// the kernel and the shell, and the user's settings in the registry key
// HKEY_CURRENT_USER\Software\MAKER\APPLICATION\Settings. Every call is a
// wide-character one; the paths are UTF-8 inside Plinth.

#include <string>

#include "settings/DirectoryPlatform.h"

namespace plinth {

class WindowsDirectoryPlatform final : public IDirectoryPlatform {
  public:
    // `maker` and `application` name the settings key.
    WindowsDirectoryPlatform(std::string maker, std::string application)
        : m_maker(std::move(maker)), m_application(std::move(application)) {}

    // The folder of the running executable (GetModuleFileNameW).
    std::string ProgramFolder(const std::string& maker, const std::string& product) override;

    // SHGetFolderPathW: CSIDL_APPDATA and CSIDL_COMMON_APPDATA with
    // CSIDL_FLAG_CREATE, CSIDL_PERSONAL, CSIDL_WINDOWS, CSIDL_SYSTEM.
    std::optional<std::string> SpecialFolderPath(SpecialFolder folder) override;

    // A string value of the settings key, the name without regard to case (as the
    // registry compares names); a value of another type counts as missing.
    std::string ReadSetting(const std::string& name, const std::string& defaultValue) override;

    // CreateDirectoryW; ERROR_ALREADY_EXISTS (183) is AlreadyExists.
    DirectoryCreation CreateDirectoryLevel(const std::string& path) override;

    // SHCreateDirectoryExW, its outcome ignored.
    void CreateDirectoryPath(const std::string& path) override;

    // The settings key below HKEY_CURRENT_USER.
    std::string SettingsKey() const;

  private:
    std::string m_maker;
    std::string m_application;
};

}  // namespace plinth
