// The Linux platform layer on a machine of its own: HOME and the XDG variables
// point into a temporary folder, and QSettings reads its file from there.

#include <gtest/gtest.h>

#include <QSettings>
#include <QString>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "TempDir.h"
#include "settings/DefaultDirectories.h"
#include "settings/LinuxDirectoryPlatform.h"

namespace plinth {
namespace {

namespace fs = std::filesystem;

void WriteText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
}

class LinuxDirectoryPlatformTest : public testing::Test {
  protected:
    LinuxDirectoryPlatformTest() {
        Set("HOME", home);
        Set("XDG_DATA_HOME", temp.File("data"));
        Set("XDG_DATA_DIRS", temp.File("common") + ":/usr/share");
        Set("XDG_CONFIG_HOME", config);
        // QSettings keeps the folder of its files for the whole process, so it is
        // pointed at this test's folder explicitly.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(config));
        fs::create_directories(home);
    }

    static void Set(const char* name, const std::string& value) {
        ::setenv(name, value.c_str(), 1);
    }
    std::optional<std::string> Folder(SpecialFolder folder) {
        return platform.SpecialFolderPath(folder);
    }

    test::TempDir temp;
    std::string home = temp.File("home");
    std::string config = temp.File("config");
    LinuxDirectoryPlatform platform;
};

TEST_F(LinuxDirectoryPlatformTest, SpecialFoldersFollowTheXdgFolders) {
    Set("XDG_DATA_HOME", temp.File("data/deep/"));
    EXPECT_EQ(Folder(SpecialFolder::UserData), temp.File("data/deep"));
    EXPECT_TRUE(fs::is_directory(temp.File("data/deep")));
    // Unset or relative, it falls back to the home folder's.
    for (const char* value : {"", "relative/data"}) {
        Set("XDG_DATA_HOME", value);
        EXPECT_EQ(Folder(SpecialFolder::UserData), home + "/.local/share");
    }
    EXPECT_TRUE(fs::is_directory(home + "/.local/share"));

    Set("XDG_DATA_DIRS", ":relative:" + temp.File("common") + ":/usr/share");
    EXPECT_EQ(Folder(SpecialFolder::CommonData), temp.File("common"));
    EXPECT_TRUE(fs::is_directory(temp.File("common")));
    // A folder that cannot be created is not given.
    WriteText(temp.File("file"), "");
    Set("XDG_DATA_DIRS", temp.File("file/common"));
    EXPECT_EQ(Folder(SpecialFolder::CommonData), std::nullopt);

    // The documents folder is given only when it exists, and never created.
    EXPECT_EQ(Folder(SpecialFolder::Documents), std::nullopt);
    EXPECT_FALSE(fs::exists(home + "/Documents"));
    fs::create_directories(home + "/Documents");
    EXPECT_EQ(Folder(SpecialFolder::Documents), home + "/Documents");
    WriteText(config + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
    EXPECT_EQ(Folder(SpecialFolder::Documents), std::nullopt);
    fs::create_directories(home + "/Papers");
    EXPECT_EQ(Folder(SpecialFolder::Documents), home + "/Papers");

    EXPECT_EQ(Folder(SpecialFolder::Windows), std::nullopt);
    EXPECT_EQ(Folder(SpecialFolder::System), std::nullopt);
    const fs::path program = platform.ExecutablePath();
    EXPECT_TRUE(program.is_absolute() && program.filename() == "settings_linux_test") << program;
}

TEST_F(LinuxDirectoryPlatformTest, ReadsStringsOfTheSettingsGroup) {
    EXPECT_EQ(platform.ReadSetting("BookPath", "/default"), "/default");
    WriteText(config + "/Quarnet/Plinth.conf",
              "[Settings]\nBookPath=/mnt/data/books\nLogPath=\n"
              "DbasePath=/srv/a b, c\nLbsPath=\"/srv/d, e\"\n");
    EXPECT_EQ(platform.ReadSetting("BookPath", "/default"), "/mnt/data/books");
    EXPECT_EQ(platform.ReadSetting("LogPath", "/default"), "");
    EXPECT_EQ(platform.ReadSetting("DbasePath", "/default"), "/srv/a b, c");
    EXPECT_EQ(platform.ReadSetting("LbsPath", "/default"), "/srv/d, e");
    EXPECT_EQ(platform.ReadSetting("FicPath", "/default"), "/default");
}

TEST_F(LinuxDirectoryPlatformTest, InitializeMakesEveryFolderOfTheSuite) {
    fs::create_directories(home + "/Documents");
    // The folders beside the program go into the temporary folder through the settings.
    std::string settings = "[Settings]\n";
    for (const char* name : {"BitmapPath", "SoundPath", "LevelRoot", "LayoutPath", "DevicesPath",
                             "EnginesPath", "TimesealDir"}) {
        settings += std::string(name) + "=" + temp.File(name) + "\n";
    }
    WriteText(config + "/Quarnet/Plinth.conf", settings);
    CDefaultDirectories dirs;
    ASSERT_TRUE(dirs.Initialize(platform, "Quarnet", "Velmora 6.0"));

    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::None), home + "/Documents/Quarnet/books");
    EXPECT_EQ(dirs.GetPath("LearningPath", Separator::None),
              temp.File("data/Quarnet/Velmora 6.0/learning"));
    EXPECT_TRUE(fs::is_directory(temp.File("common/Quarnet/Velmora 6.0")));
    ASSERT_EQ(dirs.Entries().size(), 15U);
    for (const CDefaultDirectories::dirEntry& entry : dirs.Entries()) {
        EXPECT_TRUE(entry.m_strPath.starts_with(temp.Path()) && fs::is_directory(entry.m_strPath))
            << entry.m_strName;
    }
    // The next start finds the folders there, and uses them.
    ASSERT_TRUE(dirs.Initialize(platform, "Quarnet", "Velmora 6.0"));
    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::None), home + "/Documents/Quarnet/books");

    // What cannot be made is not: a level without its parent, and relative paths,
    // which would land in the folder the test runs in.
    EXPECT_EQ(platform.CreateDirectoryLevel(temp.File("missing/level")), DirectoryCreation::Failed);
    EXPECT_EQ(platform.CreateDirectoryLevel(""), DirectoryCreation::Failed);
    const std::string relative = "plinth-relative-" + fs::path(temp.Path()).filename().string();
    platform.CreateDirectoryPath(relative);
    EXPECT_FALSE(fs::exists(relative));
}

}  // namespace
}  // namespace plinth
