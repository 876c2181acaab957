// The Linux platform layer on a machine of its own: HOME and the XDG variables
// point into a temporary folder, and QSettings reads its file from there.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QSettings>
#include <QString>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "TempDir.h"
#include "settings/DefaultDirectories.h"
#include "settings/LinuxDirectoryPlatform.h"

namespace plinth {
namespace {

namespace fs = std::filesystem;

// Sets environment variables and puts the old values back at the end.
class ScopedEnvironment {
  public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (const auto& [name, value] : m_saved) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

    void Set(const std::string& name, const std::string& value) {
        Save(name);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    void Unset(const std::string& name) {
        Save(name);
        ::unsetenv(name.c_str());
    }

  private:
    void Save(const std::string& name) {
        if (!m_saved.contains(name)) {
            const char* value = std::getenv(name.c_str());
            m_saved[name] = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
        }
    }

    std::map<std::string, std::optional<std::string>> m_saved;
};

void WriteText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
}

class LinuxDirectoryPlatformTest : public testing::Test {
  protected:
    LinuxDirectoryPlatformTest() {
        env.Set("HOME", home);
        env.Set("XDG_DATA_HOME", temp.File("data"));
        env.Set("XDG_DATA_DIRS", temp.File("common") + ":/usr/share");
        env.Set("XDG_CONFIG_HOME", config);
        // QSettings keeps the folder of its files for the whole process, so it is
        // pointed at this test's folder explicitly.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(config));
        fs::create_directories(home);
    }

    void WriteSettings(const std::string& text) {
        WriteText(config + "/Quarnet/Plinth.conf", "[Settings]\n" + text);
    }

    test::TempDir temp;
    std::string home = temp.File("home");
    std::string config = temp.File("config");
    ScopedEnvironment env;
    LinuxDirectoryPlatform platform;
};

TEST_F(LinuxDirectoryPlatformTest, UserDataFolderIsXdgDataHomeAndIsCreated) {
    env.Set("XDG_DATA_HOME", temp.File("data/deep/"));
    EXPECT_EQ(platform.SpecialFolderPath(SpecialFolder::UserData), temp.File("data/deep"));
    EXPECT_TRUE(fs::is_directory(temp.File("data/deep")));

    // Unset or relative, it falls back to the home folder's.
    for (const char* value : {"", "relative/data"}) {
        env.Set("XDG_DATA_HOME", value);
        EXPECT_EQ(platform.SpecialFolderPath(SpecialFolder::UserData), home + "/.local/share");
    }
    EXPECT_TRUE(fs::is_directory(home + "/.local/share"));
}

TEST_F(LinuxDirectoryPlatformTest, CommonDataFolderIsTheFirstOfXdgDataDirs) {
    env.Set("XDG_DATA_DIRS", ":relative:" + temp.File("common") + ":/usr/share");
    EXPECT_EQ(platform.SpecialFolderPath(SpecialFolder::CommonData), temp.File("common"));
    EXPECT_TRUE(fs::is_directory(temp.File("common")));

    // A folder that cannot be created is not given.
    WriteText(temp.File("file"), "");
    env.Set("XDG_DATA_DIRS", temp.File("file/common"));
    EXPECT_EQ(platform.SpecialFolderPath(SpecialFolder::CommonData), std::nullopt);
}

TEST_F(LinuxDirectoryPlatformTest, DocumentsFolderIsGivenOnlyWhenItExists) {
    EXPECT_EQ(platform.SpecialFolderPath(SpecialFolder::Documents), std::nullopt);
    EXPECT_FALSE(fs::exists(home + "/Documents"));

    fs::create_directories(home + "/Documents");
    EXPECT_EQ(platform.SpecialFolderPath(SpecialFolder::Documents), home + "/Documents");

    WriteText(config + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
    EXPECT_EQ(platform.SpecialFolderPath(SpecialFolder::Documents), std::nullopt);
    fs::create_directories(home + "/Papers");
    EXPECT_EQ(platform.SpecialFolderPath(SpecialFolder::Documents), home + "/Papers");
}

TEST_F(LinuxDirectoryPlatformTest, LinuxHasNoWindowsOrSystemFolder) {
    EXPECT_EQ(platform.SpecialFolderPath(SpecialFolder::Windows), std::nullopt);
    EXPECT_EQ(platform.SpecialFolderPath(SpecialFolder::System), std::nullopt);
}

TEST_F(LinuxDirectoryPlatformTest, CreatesFolders) {
    const std::string level = temp.File("level");
    EXPECT_EQ(platform.CreateDirectoryLevel(level), DirectoryCreation::Created);
    EXPECT_EQ(platform.CreateDirectoryLevel(level), DirectoryCreation::AlreadyExists);
    EXPECT_EQ(platform.CreateDirectoryLevel(temp.File("missing/level")), DirectoryCreation::Failed);
    EXPECT_EQ(platform.CreateDirectoryLevel(""), DirectoryCreation::Failed);

    platform.CreateDirectoryPath(temp.File("a/b/c"));
    EXPECT_TRUE(fs::is_directory(temp.File("a/b/c")));
    platform.CreateDirectoryPath(temp.File("a/b/c"));
    platform.CreateDirectoryPath("");

    // Relative paths would land in the folder the test runs in; they are left alone.
    const std::string relative =
        "plinth-relative-folder-" + fs::path(temp.Path()).filename().string();
    platform.CreateDirectoryPath(relative);
    EXPECT_FALSE(fs::exists(relative));
}

TEST_F(LinuxDirectoryPlatformTest, ReadsStringsOfTheSettingsGroup) {
    EXPECT_EQ(platform.ReadSetting("BookPath", "/default"), "/default");

    WriteSettings(
        "BookPath=/mnt/data/books\n"
        "LogPath=\n"
        "DbasePath=/srv/a b, c\n"
        "LbsPath=\"/srv/d, e\"\n");
    EXPECT_EQ(platform.ReadSetting("BookPath", "/default"), "/mnt/data/books");
    EXPECT_EQ(platform.ReadSetting("LogPath", "/default"), "");
    EXPECT_EQ(platform.ReadSetting("DbasePath", "/default"), "/srv/a b, c");
    EXPECT_EQ(platform.ReadSetting("LbsPath", "/default"), "/srv/d, e");
    EXPECT_EQ(platform.ReadSetting("FicPath", "/default"), "/default");
}

TEST_F(LinuxDirectoryPlatformTest, ExecutablePathIsThisTest) {
    const std::string path = platform.ExecutablePath();
    EXPECT_EQ(fs::path(path).filename(), "settings_linux_test");
    EXPECT_TRUE(fs::path(path).is_absolute());
}

// The real layer with the executable moved into the temporary folder, so that
// the folders beside the program are made there too.
class ProgramInFolder final : public IDirectoryPlatform {
  public:
    ProgramInFolder(IDirectoryPlatform& platform, std::string executable)
        : m_platform(platform), m_executable(std::move(executable)) {}

    std::string ExecutablePath() override { return m_executable; }
    std::optional<std::string> SpecialFolderPath(SpecialFolder folder) override {
        return m_platform.SpecialFolderPath(folder);
    }
    std::string ReadSetting(const std::string& name, const std::string& defaultValue) override {
        return m_platform.ReadSetting(name, defaultValue);
    }
    DirectoryCreation CreateDirectoryLevel(const std::string& path) override {
        return m_platform.CreateDirectoryLevel(path);
    }
    void CreateDirectoryPath(const std::string& path) override {
        m_platform.CreateDirectoryPath(path);
    }

  private:
    IDirectoryPlatform& m_platform;
    std::string m_executable;
};

TEST_F(LinuxDirectoryPlatformTest, InitializeMakesEveryFolderOfTheSuite) {
    fs::create_directories(home + "/Documents");
    WriteSettings("LogPath=" + temp.File("logs/plinth") + "\n");
    ProgramInFolder machine(platform, temp.File("program/plinth"));

    CDefaultDirectories dirs;
    ASSERT_TRUE(dirs.Initialize(machine, "Quarnet", "Velmora 6.0"));

    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::None), home + "/Documents/Quarnet/books");
    EXPECT_EQ(dirs.GetPath("BitmapPath", Separator::None), temp.File("program/bitmaps"));
    EXPECT_EQ(dirs.GetPath("LogPath", Separator::None), temp.File("logs/plinth"));
    EXPECT_EQ(dirs.GetPath("LearningPath", Separator::None),
              temp.File("data/Quarnet/Velmora 6.0/learning"));
    EXPECT_TRUE(fs::is_directory(temp.File("common/Quarnet/Velmora 6.0")));
    ASSERT_EQ(dirs.Entries().size(), 15U);
    for (const CDefaultDirectories::dirEntry& entry : dirs.Entries()) {
        EXPECT_TRUE(fs::is_directory(entry.m_strPath)) << entry.m_strName;
    }
}

}  // namespace
}  // namespace plinth
