#pragma once

// The named data directories of the suite: pictures, sounds, levels, books, logs,
// engines and the others. They are worked out once at start-up (under the program
// folder, the user's documents folder or the user's application data folder), a
// value in the user's settings may override each one, every one of them is
// created where missing, and the rest of the program then asks for them by name
// or by identifier.
//
// A directory identifier is a place in the table of directory names, 0 to 15;
// the identifier selects the name and the name selects the entry.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "book/Paths.h"
#include "settings/DirectoryPlatform.h"

namespace plinth {

// Number of directory identifiers, 0 to kDirectoryIdCount - 1. The last one,
// "CommonAppSettings", has no entry.
inline constexpr int kDirectoryIdCount = 16;

// The folder in which the book selection dialog opens ("BookPath").
inline constexpr int kBookDirectoryId = 5;

// Whether a path is given with a separator at its end.
enum class Separator { None, Trailing };

class CDefaultDirectories {
  public:
    // One directory: its path, its name (also the name of its settings value),
    // whether SetPath may replace it, and whether it has been replaced this run.
    struct dirEntry {
        std::string m_strPath;
        std::string m_strName;
        bool m_bFixed = true;
        bool m_bChanged = false;
    };

    CDefaultDirectories() = default;
    virtual ~CDefaultDirectories() = default;

    // Works out the base folders, reads every directory from the settings with
    // its default, and creates the folders. Gives false when running out of
    // memory (or any other standard exception) stopped the set-up; the entries
    // made until then stay. The platform is used only during the call.
    bool Initialize(IDirectoryPlatform& platform, const std::string& maker,
                    const std::string& product);

    // The path of the entry with this name, compared without regard to case; the
    // program folder when no entry has the name.
    std::string GetPath(std::string_view name, Separator separator) const;
    // The same for the name of a directory identifier. Identifiers outside the
    // table name no entry and give the program folder.
    std::string GetPath(int id, Separator separator) const;

    // Replaces the path of the entry with this name for the rest of the run and
    // marks it changed. Gives false, and changes nothing, when no entry has the
    // name or the entry is fixed. Nothing is saved and no folder is created.
    bool SetPath(std::string_view name, const std::string& path);
    bool SetPath(int id, const std::string& path);

    // The name of a directory identifier; empty outside the table.
    static std::string_view DirectoryName(int id);

    const std::string& ProgramDir() const { return m_strProgramDir; }
    const std::string& UserDataDir() const { return m_strUserDataDir; }
    const std::string& DocumentsDir() const { return m_strDocumentsDir; }
    const std::string& CommonDataDir() const { return m_strCommonDataDir; }
    const std::string& WindowsDir() const { return m_strWindowsDir; }
    const std::string& SystemDir() const { return m_strSystemDir; }
    const std::vector<dirEntry>& Entries() const { return m_aEntries; }

  private:
    std::string BuildBase(IDirectoryPlatform& platform, SpecialFolder folder,
                          std::initializer_list<std::string_view> levels) const;
    void ReadEntries(IDirectoryPlatform& platform);
    void CreateEntryFolders(IDirectoryPlatform& platform) const;
    const dirEntry* FindEntry(std::string_view name) const;
    dirEntry* FindEntry(std::string_view name);

    std::string m_strProgramDir;     // the platform's program folder, "." when unknown
    std::string m_strUserDataDir;    // user's application data + maker + product
    std::string m_strDocumentsDir;   // user's documents + maker
    std::string m_strCommonDataDir;  // all users' application data + maker + product
    std::string m_strWindowsDir;     // empty where the system has no such folder
    std::string m_strSystemDir;      // empty where the system has no such folder
    std::vector<dirEntry> m_aEntries;
};

// The one instance of the program.
extern CDefaultDirectories g_DefaultDirectories;

}  // namespace plinth
