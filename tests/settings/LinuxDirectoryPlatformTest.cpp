// The Linux platform layer on a machine of its own: HOME and the XDG variables
// point into a temporary folder, where the settings file is read from too.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

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

std::set<fs::path> EntriesOf(const fs::path& folder) {
    return {fs::directory_iterator(folder), fs::directory_iterator()};
}

class LinuxDirectoryPlatformTest : public testing::Test {
  protected:
    LinuxDirectoryPlatformTest() {
        Set("HOME", home);
        Set("XDG_DATA_HOME", temp.File("data"));
        Set("XDG_DATA_DIRS", temp.File("common") + ":/usr/share");
        Set("XDG_CONFIG_HOME", temp.File("config"));
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
    LinuxDirectoryPlatform platform{"Quarnet", "Plinth"};
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
    WriteText(temp.File("config/user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
    fs::create_directories(home + "/Papers");
    EXPECT_EQ(Folder(SpecialFolder::Documents), home + "/Papers");
    EXPECT_EQ(
        Folder(SpecialFolder::Windows).value_or("") + Folder(SpecialFolder::System).value_or(""),
        "");
}

TEST_F(LinuxDirectoryPlatformTest, ReadsTheSettingsFileAsItStands) {
    EXPECT_EQ(platform.ReadSetting("BookPath", "/default"), "/default");
    WriteText(temp.File("config/Quarnet/Plinth.conf"),
              "; the suite's folders\n[settings]\nbookpath=/data/My,Books\nLogPath=\n"
              "DbasePath = \"  /srv/d, e; f \"  \r\nBitmapPath=/first\n[Other]\n"
              "SoundPath=/not/this\n[SETTINGS]\nbitmapPATH=C:\\pictures\\\n");
    for (const auto& [name, value] :
         std::map<std::string, std::string>{{"BookPath", "/data/My,Books"},
                                            {"LogPath", ""},
                                            {"DbasePath", "  /srv/d, e; f "},
                                            {"BitmapPath", "C:\\pictures\\"},
                                            {"SoundPath", "/default"},
                                            {"FicPath", "/default"}}) {
        EXPECT_EQ(platform.ReadSetting(name, "/default"), value) << name;
    }
}

TEST_F(LinuxDirectoryPlatformTest, TheSuiteLivesInItsDataFolderNotBesideTheProgram) {
    const fs::path program = fs::read_symlink("/proc/self/exe").parent_path();
    const std::set<fs::path> besideTheProgram = EntriesOf(program);
    const std::string data = temp.File("data/Quarnet/Velmora 6.0");
    CDefaultDirectories dirs;
    ASSERT_TRUE(dirs.Initialize(platform, "Quarnet", "Velmora 6.0"));
    // Without a documents folder, the documents' rows hang on the data folder too.
    EXPECT_EQ(dirs.GetPath("BitmapPath", Separator::None), data + "/bitmaps");
    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::None), data + "/books");
    EXPECT_EQ(dirs.GetPath("LearningPath", Separator::None), data + "/learning");
    EXPECT_TRUE(fs::is_directory(temp.File("common/Quarnet/Velmora 6.0")));
    ASSERT_EQ(dirs.Entries().size(), 15U);
    for (const CDefaultDirectories::dirEntry& entry : dirs.Entries()) {
        EXPECT_TRUE(entry.m_strPath.starts_with(data) && fs::is_directory(entry.m_strPath))
            << entry.m_strName;
    }
    EXPECT_EQ(EntriesOf(program), besideTheProgram);

    fs::create_directories(home + "/Documents");
    ASSERT_TRUE(dirs.Initialize(platform, "Quarnet", "Velmora 6.0"));
    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::None), home + "/Documents/Quarnet/books");
    EXPECT_TRUE(fs::is_directory(home + "/Documents/Quarnet/books"));

    // What cannot be made is not: a level without its parent, and relative paths,
    // which would land in the folder the test runs in.
    EXPECT_EQ(platform.CreateDirectoryLevel(temp.File("missing/level")), DirectoryCreation::Failed);
    const std::string relative = "plinth-relative-" + fs::path(temp.Path()).filename().string();
    platform.CreateDirectoryPath(relative);
    EXPECT_FALSE(fs::exists(relative));
}

}  // namespace
}  // namespace plinth
