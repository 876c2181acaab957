#pragma once

// The suite's directories on a Linux desktop: the XDG base and user folders, POSIX
// folder creation, and the user's settings through QSettings (organization
// "Quarnet", application "Plinth", group "Settings"; ~/.config/Quarnet/Plinth.conf).
// Linux has no Windows or system folder: those queries always fail.

#include "settings/DirectoryPlatform.h"

namespace plinth {

class LinuxDirectoryPlatform final : public IDirectoryPlatform {
  public:
    // Read through /proc/self/exe.
    std::string ExecutablePath() override;

    // UserData: $XDG_DATA_HOME, else ~/.local/share. CommonData: the first folder
    // of $XDG_DATA_DIRS, else /usr/local/share. Both are created when missing, and
    // a folder that cannot be created is not given. Documents: XDG_DOCUMENTS_DIR
    // of the user's user-dirs.dirs, else ~/Documents, given only when it exists.
    // Relative folders in the environment are ignored, as XDG asks.
    std::optional<std::string> SpecialFolderPath(SpecialFolder folder) override;

    std::string ReadSetting(const std::string& name, const std::string& defaultValue) override;

    // mkdir; a path that already exists counts as AlreadyExists.
    DirectoryCreation CreateDirectoryLevel(const std::string& path) override;

    // Only absolute paths are created: a relative one would land in whatever
    // folder the program was started from.
    void CreateDirectoryPath(const std::string& path) override;
};

}  // namespace plinth
