// The Linux platform layer on a machine of its own: HOME and the XDG variables
// point into a temporary folder, where the settings file is read from too.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "TempDir.h"
#include "settings/DefaultDirectories.h"
#include "settings/LinuxDirectoryPlatform.h"

namespace plinth {
namespace {

namespace fs = std::filesystem;

class LinuxDirectoryPlatformTest : public testing::Test {
  protected:
    LinuxDirectoryPlatformTest() {
        for (const auto& [name, folder] : std::map<std::string, std::string>{
                 {"HOME", "home"}, {"XDG_DATA_HOME", "data"}, {"XDG_CONFIG_HOME", "config"}}) {
            fs::create_directories(temp.File(folder));
            Set(name.c_str(), temp.File(folder));
        }
        Set("XDG_DATA_DIRS", temp.File("common") + ":/usr/share");
    }
    static void Set(const char* name, const std::string& value) {
        ::setenv(name, value.c_str(), 1);
    }
    void Write(const std::string& file, const std::string& text) {
        fs::create_directories(fs::path(temp.File(file)).parent_path());
        std::ofstream(temp.File(file)) << text;
    }
    std::string Folder(SpecialFolder folder) {
        return platform.SpecialFolderPath(folder).value_or("none");
    }

    test::TempDir temp;
    LinuxDirectoryPlatform platform{"Quarnet", "Plinth"};
};

TEST_F(LinuxDirectoryPlatformTest, SpecialFoldersFollowTheXdgFoldersAndExist) {
    Set("XDG_DATA_HOME", temp.File("data/deep/"));
    EXPECT_EQ(Folder(SpecialFolder::UserData), temp.File("data/deep"));
    // Relative, it falls back to the home folder's.
    Set("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(Folder(SpecialFolder::UserData), temp.File("home/.local/share"));
    Set("XDG_DATA_DIRS", ":relative:" + temp.File("common") + ":/usr/share");
    EXPECT_EQ(Folder(SpecialFolder::CommonData), temp.File("common"));
    // A folder that cannot be created is not given.
    Write("file", "");
    Set("XDG_DATA_DIRS", temp.File("file/common"));
    EXPECT_EQ(Folder(SpecialFolder::CommonData), "none");
    // The documents folder is given only when it exists, and never created.
    EXPECT_EQ(Folder(SpecialFolder::Documents) + Folder(SpecialFolder::Windows), "nonenone");
    Write("config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
    fs::create_directories(temp.File("home/Papers"));
    EXPECT_EQ(Folder(SpecialFolder::Documents), temp.File("home/Papers"));
}

TEST_F(LinuxDirectoryPlatformTest, ReadsTheSettingsFileAsItStands) {
    EXPECT_EQ(platform.ReadSetting("BookPath", "/default"), "/default");
    Write("config/Quarnet/Plinth.conf",
          "; the suite's folders\n[settings]\nbookpath=/data/My,Books\nLogPath=\n"
          "DbasePath = \"  /srv/d, e; f \"  \r\nBitmapPath=/first\n[Other]\n"
          "SoundPath=/not/this\n[SETTINGS]\nbitmapPATH=C:\\pictures\\\n");
    std::string values;
    for (const char* name : {"BookPath", "LogPath", "DbasePath", "BitmapPath", "SoundPath"}) {
        values += platform.ReadSetting(name, "-") + "|";
    }
    EXPECT_EQ(values, "/data/My,Books||  /srv/d, e; f |C:\\pictures\\|-|");
}

TEST_F(LinuxDirectoryPlatformTest, TheSuiteLivesInItsDataFolder) {
    const std::string data = temp.File("data/Quarnet/Velmora 6.0");
    CDefaultDirectories dirs;
    ASSERT_TRUE(dirs.Initialize(platform, "Quarnet", "Velmora 6.0"));
    // Without a documents folder, the documents' rows hang on the data folder too.
    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::None), data + "/books");
    for (const CDefaultDirectories::dirEntry& entry : dirs.Entries()) {
        EXPECT_TRUE(entry.m_strPath.starts_with(data) && fs::is_directory(entry.m_strPath))
            << entry.m_strName;
    }

    // What cannot be made is not: a level without its parent, and relative paths,
    // which would land in the folder the test runs in.
    EXPECT_EQ(platform.CreateDirectoryLevel(temp.File("missing/level")), DirectoryCreation::Failed);
    const std::string relative = "plinth-relative-" + fs::path(temp.Path()).filename().string();
    platform.CreateDirectoryPath(relative);
    EXPECT_FALSE(fs::exists(relative));
}

}  // namespace
}  // namespace plinth
