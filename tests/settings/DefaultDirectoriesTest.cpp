// Working out the suite's directories on a fake machine: defaults, values from the
// user's settings, the fall-backs of the base folders, lookups and replacements,
// and the folders created at start-up, in their order.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <new>

#include "settings/DefaultDirectories.h"

namespace plinth {
namespace {

using testing::Contains;
using testing::Not;

// A machine whose folders, settings and folder creations are all in the test's
// hands. Every creation is recorded, in order.
class FakePlatform final : public IDirectoryPlatform {
  public:
    std::string ExecutablePath() override { return executable; }

    std::optional<std::string> SpecialFolderPath(SpecialFolder folder) override {
        const auto found = folders.find(folder);
        return found == folders.end() ? std::nullopt : std::optional(found->second);
    }

    std::string ReadSetting(const std::string& name, const std::string& defaultValue) override {
        if (name == outOfMemoryAt) {
            throw std::bad_alloc();
        }
        const auto found = settings.find(name);
        return found == settings.end() ? defaultValue : found->second;
    }

    DirectoryCreation CreateDirectoryLevel(const std::string& path) override {
        created.push_back("level " + path);
        const auto found = levels.find(path);
        return found == levels.end() ? DirectoryCreation::Created : found->second;
    }

    void CreateDirectoryPath(const std::string& path) override {
        created.push_back("path " + path);
    }

    std::string executable = "/opt/velmora/plinth";
    std::map<SpecialFolder, std::string> folders{
        {SpecialFolder::UserData, "/home/ann/.local/share"},
        {SpecialFolder::CommonData, "/usr/local/share"},
        {SpecialFolder::Documents, "/home/ann/Documents"},
    };
    std::map<std::string, std::string> settings;
    std::map<std::string, DirectoryCreation> levels;  // the others are created
    std::string outOfMemoryAt;
    std::vector<std::string> created;
};

constexpr const char* kDocs = "/home/ann/Documents/Quarnet";

class DefaultDirectoriesTest : public testing::Test {
  protected:
    bool Initialize() { return dirs.Initialize(platform, "Quarnet", "Velmora 6.0"); }
    std::string Path(std::string_view name) const { return dirs.GetPath(name, Separator::None); }

    FakePlatform platform;
    CDefaultDirectories dirs;
};

TEST_F(DefaultDirectoriesTest, FifteenDefaultsMadeAfterTheBaseFoldersInOrder) {
    // Folders that are already there count as made.
    platform.levels = {{"/home/ann/.local/share/Quarnet", DirectoryCreation::AlreadyExists},
                       {kDocs, DirectoryCreation::AlreadyExists}};
    ASSERT_TRUE(Initialize());

    std::vector<std::string> entries;
    for (const CDefaultDirectories::dirEntry& entry : dirs.Entries()) {
        entries.push_back(entry.m_strName + (entry.m_bFixed ? " fixed " : " ") + entry.m_strPath +
                          (entry.m_bChanged ? " changed" : ""));
    }
    const std::string docs = kDocs;
    EXPECT_EQ(entries,
              std::vector<std::string>(
                  {"BitmapPath fixed /opt/velmora/bitmaps", "SoundPath fixed /opt/velmora/sounds",
                   "LevelRoot fixed /opt/velmora/levels", "LayoutPath fixed /opt/velmora/layouts",
                   "DbasePath " + docs + "/dbases", "BookPath " + docs + "/books",
                   "FicPath " + docs, "LbsPath " + docs, "LogPath " + docs + "/logs",
                   "DevicesPath fixed /opt/velmora/devices", "EnginesPath /opt/velmora/engines",
                   "LearningPath /home/ann/.local/share/Quarnet/Velmora 6.0/learning",
                   "TimesealDir fixed /opt/velmora/timeseal", "CustomLevelRoot " + docs + "/levels",
                   "CustomLayoutPath " + docs + "/layouts"}));
    EXPECT_EQ(dirs.CommonDataDir(), "/usr/local/share/Quarnet/Velmora 6.0");
    EXPECT_EQ(dirs.WindowsDir() + dirs.SystemDir(), "");

    std::vector<std::string> expected = {
        "level /home/ann/.local/share/Quarnet", "level /home/ann/.local/share/Quarnet/Velmora 6.0",
        "level /usr/local/share/Quarnet", "level /usr/local/share/Quarnet/Velmora 6.0",
        std::string("level ") + kDocs};
    for (const CDefaultDirectories::dirEntry& entry : dirs.Entries()) {
        expected.push_back("path " + entry.m_strPath);
    }
    EXPECT_EQ(platform.created, expected);
}

TEST_F(DefaultDirectoriesTest, SettingsReplaceDefaultsUntilTheNextSetUp) {
    platform.settings = {
        {"BookPath", "/mnt/data/books"}, {"LogPath", ""}, {"BitmapPath", "/srv/bitmaps"}};
    ASSERT_TRUE(Initialize());
    EXPECT_EQ(Path("BookPath"), "/mnt/data/books");
    EXPECT_THAT(platform.created, Contains("path /mnt/data/books"));
    // A value that exists wins even when it is empty, and over a fixed entry too.
    EXPECT_EQ(Path("LogPath"), "");
    EXPECT_EQ(dirs.GetPath("LogPath", Separator::Trailing), "/");
    EXPECT_EQ(Path("BitmapPath"), "/srv/bitmaps");

    ASSERT_TRUE(dirs.SetPath(kBookDirectoryId, "/mnt/usb"));
    platform.settings = {{"BookPath", "/srv/books"}};
    ASSERT_TRUE(Initialize());
    EXPECT_EQ(dirs.Entries().size(), 15U);
    EXPECT_EQ(Path("BookPath"), "/srv/books");
    EXPECT_FALSE(dirs.Entries()[kBookDirectoryId].m_bChanged);
    EXPECT_EQ(Path("LogPath"), std::string(kDocs) + "/logs");
}

TEST_F(DefaultDirectoriesTest, LooksUpAndReplacesByNameAndIdentifier) {
    // Before the set-up everything is the empty program folder.
    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::None), "");
    EXPECT_EQ(dirs.GetPath("BitmapPath", Separator::Trailing), "/");
    EXPECT_FALSE(dirs.SetPath(kBookDirectoryId, "/elsewhere"));
    ASSERT_TRUE(Initialize());
    const size_t createdAtStart = platform.created.size();

    const std::string books = std::string(kDocs) + "/books";
    EXPECT_EQ(dirs.GetPath("bookpath", Separator::Trailing), books + "/");
    EXPECT_EQ(Path("BOOKPATH"), books);
    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::Trailing), books + "/");
    // Names without an entry, the reserved one among them, give the program folder.
    for (const std::string_view name : {"Book", "BookPaths", "NoSuchPath", "CommonAppSettings"}) {
        EXPECT_EQ(Path(name), "/opt/velmora") << name;
    }
    EXPECT_EQ(dirs.GetPath(15, Separator::Trailing), "/opt/velmora/");
    EXPECT_EQ(dirs.GetPath(-1, Separator::None), "/opt/velmora");
    EXPECT_EQ(dirs.GetPath(kDirectoryIdCount, Separator::None), "/opt/velmora");

    for (const std::string_view fixed : {"BitmapPath", "TimesealDir", "CommonAppSettings"}) {
        EXPECT_FALSE(dirs.SetPath(fixed, "/elsewhere")) << fixed;
    }
    EXPECT_FALSE(dirs.SetPath(kDirectoryIdCount, "/elsewhere"));
    EXPECT_EQ(Path("BitmapPath"), "/opt/velmora/bitmaps");
    EXPECT_FALSE(dirs.Entries()[0].m_bChanged);
    EXPECT_TRUE(dirs.SetPath(kBookDirectoryId, "/mnt/usb/openings"));
    EXPECT_EQ(Path("BookPath"), "/mnt/usb/openings");
    EXPECT_TRUE(dirs.Entries()[kBookDirectoryId].m_bChanged);
    EXPECT_TRUE(dirs.SetPath("logpath", "relative/logs"));
    EXPECT_EQ(Path("LogPath"), "relative/logs");
    EXPECT_FALSE(dirs.Entries()[4].m_bChanged);
    // Replacements are not made on disk.
    EXPECT_EQ(platform.created.size(), createdAtStart);
}

TEST_F(DefaultDirectoriesTest, MissingFoldersFallBackToTheProgramFolder) {
    platform.executable = "plinth";
    platform.folders.erase(SpecialFolder::Documents);
    platform.folders.erase(SpecialFolder::UserData);
    ASSERT_TRUE(Initialize());
    EXPECT_EQ(Path("BitmapPath"), "./bitmaps");
    EXPECT_EQ(Path("BookPath"), "./books");
    EXPECT_EQ(Path("LbsPath"), ".");
    EXPECT_EQ(Path("LearningPath"), "./learning");
    // Nothing is made under a folder that could not be had.
    EXPECT_EQ(platform.created.front(), "level /usr/local/share/Quarnet");
    EXPECT_EQ(platform.created[2], "path ./bitmaps");

    platform.executable = "";
    ASSERT_TRUE(Initialize());
    EXPECT_EQ(Path("EnginesPath"), "./engines");
}

TEST_F(DefaultDirectoriesTest, FolderThatCannotBeMadeEndsTheBaseAtItsSeparator) {
    for (const char* level :
         {kDocs, "/home/ann/.local/share/Quarnet/Velmora 6.0", "/usr/local/share/Quarnet"}) {
        platform.levels[level] = DirectoryCreation::Failed;
    }
    ASSERT_TRUE(Initialize());
    EXPECT_EQ(Path("BookPath"), "/home/ann/Documents//books");
    EXPECT_EQ(Path("FicPath"), "/home/ann/Documents/");
    EXPECT_EQ(Path("LearningPath"), "/home/ann/.local/share/Quarnet//learning");
    // The product folder is not tried under a maker folder that could not be made.
    EXPECT_EQ(dirs.CommonDataDir(), "/usr/local/share/");
    EXPECT_THAT(platform.created, Not(Contains("level /usr/local/share/Quarnet/Velmora 6.0")));
}

TEST_F(DefaultDirectoriesTest, RunningOutOfMemoryKeepsTheEntriesMadeSoFar) {
    platform.outOfMemoryAt = "FicPath";
    EXPECT_FALSE(Initialize());
    ASSERT_EQ(dirs.Entries().size(), 6U);
    EXPECT_EQ(Path("BookPath"), std::string(kDocs) + "/books");
    EXPECT_EQ(Path("FicPath"), "/opt/velmora");
    // The set-up stopped before the entries' folders were made.
    EXPECT_EQ(platform.created.back(), std::string("level ") + kDocs);
}

}  // namespace
}  // namespace plinth
