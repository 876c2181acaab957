#pragma once

// The suite's directories on a Linux desktop: the XDG base and user folders, POSIX
// folder creation, and the user's settings file
// $XDG_CONFIG_HOME/MAKER/APPLICATION.conf (~/.config/Quarnet/Plinth.conf).
// Linux has no Windows or system folder: those queries always fail.

#include <string>

#include "settings/DirectoryPlatform.h"

namespace plinth {

class LinuxDirectoryPlatform final : public IDirectoryPlatform {
  public:
    // `maker` and `application` name the settings file.
    LinuxDirectoryPlatform(std::string maker, std::string application)
        : m_maker(std::move(maker)), m_application(std::move(application)) {}

    // Programs are installed where their users may not write (/usr/bin), so the
    // suite's program folder is its data folder: $XDG_DATA_HOME/MAKER/PRODUCT,
    // else ~/.local/share/MAKER/PRODUCT. Not created here: it is the per-user
    // application data base, which the directories create first.
    std::string ProgramFolder(const std::string& maker, const std::string& product) override;

    // UserData: $XDG_DATA_HOME, else ~/.local/share. CommonData: the first folder
    // of $XDG_DATA_DIRS, else /usr/local/share. Both are created when missing, and
    // a folder that cannot be created is not given. Documents: XDG_DOCUMENTS_DIR
    // of the user's user-dirs.dirs, else ~/Documents, given only when it exists.
    // Relative folders in the environment are ignored, as XDG asks.
    std::optional<std::string> SpecialFolderPath(SpecialFolder folder) override;

    // The settings file is read as it stands: lines "Name=value" below a line
    // "[Settings]", group and name compared without regard to case; the value is
    // the rest of the line without the spaces around it, every character kept
    // (commas, backslashes, semicolons), or the text between double quotes when it
    // is enclosed in them. Where a name comes more than once, the last line counts.
    // Lines that begin with ";" or "#" are comments.
    std::string ReadSetting(const std::string& name, const std::string& defaultValue) override;

    // mkdir; a path that already exists counts as AlreadyExists.
    DirectoryCreation CreateDirectoryLevel(const std::string& path) override;

    // Only absolute paths are created: a relative one would land in whatever
    // folder the program was started from.
    void CreateDirectoryPath(const std::string& path) override;

  private:
    std::string m_maker;
    std::string m_application;
};

}  // namespace plinth
