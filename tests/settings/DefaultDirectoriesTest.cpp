// Working out the suite's directories on a fake machine: defaults, values from the
// user's settings, the fall-backs of the base folders, lookups and replacements,
// and the folders created at start-up, in their order.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <new>
#include <set>

#include "settings/DefaultDirectories.h"

namespace plinth {
namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using Entry = CDefaultDirectories::dirEntry;

// A machine whose folders, settings and folder creations are all in the test's
// hands. Every creation is recorded, in order.
class FakePlatform final : public IDirectoryPlatform {
  public:
    std::string ExecutablePath() override { return executable; }

    std::optional<std::string> SpecialFolderPath(SpecialFolder folder) override {
        const auto found = folders.find(folder);
        if (found == folders.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    std::string ReadSetting(const std::string& name, const std::string& defaultValue) override {
        if (name == outOfMemoryAt) {
            throw std::bad_alloc();
        }
        settingsRead.push_back(name);
        const auto found = settings.find(name);
        return found == settings.end() ? defaultValue : found->second;
    }

    DirectoryCreation CreateDirectoryLevel(const std::string& path) override {
        created.push_back("level " + path);
        if (failingLevels.contains(path)) {
            return DirectoryCreation::Failed;
        }
        return existingLevels.contains(path) ? DirectoryCreation::AlreadyExists
                                             : DirectoryCreation::Created;
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
    std::set<std::string> existingLevels;
    std::set<std::string> failingLevels;
    std::string outOfMemoryAt;

    std::vector<std::string> settingsRead;
    std::vector<std::string> created;
};

constexpr const char* kDocs = "/home/ann/Documents/Quarnet";

class DefaultDirectoriesTest : public testing::Test {
  protected:
    bool Initialize() { return dirs.Initialize(platform, "Quarnet", "Velmora 6.0"); }

    FakePlatform platform;
    CDefaultDirectories dirs;
};

// Field by field, so that a failure names the entry.
MATCHER_P3(IsEntry, path, name, fixed, "") {
    return arg.m_strPath == path && arg.m_strName == name && arg.m_bFixed == fixed &&
           !arg.m_bChanged;
}

TEST_F(DefaultDirectoriesTest, FifteenEntriesWithTheirDefaultsInIdentifierOrder) {
    ASSERT_TRUE(Initialize());

    const std::string docs = kDocs;
    EXPECT_THAT(
        dirs.Entries(),
        ElementsAre(
            IsEntry("/opt/velmora/bitmaps", "BitmapPath", true),
            IsEntry("/opt/velmora/sounds", "SoundPath", true),
            IsEntry("/opt/velmora/levels", "LevelRoot", true),
            IsEntry("/opt/velmora/layouts", "LayoutPath", true),
            IsEntry(docs + "/dbases", "DbasePath", false),
            IsEntry(docs + "/books", "BookPath", false), IsEntry(docs, "FicPath", false),
            IsEntry(docs, "LbsPath", false), IsEntry(docs + "/logs", "LogPath", false),
            IsEntry("/opt/velmora/devices", "DevicesPath", true),
            IsEntry("/opt/velmora/engines", "EnginesPath", false),
            IsEntry("/home/ann/.local/share/Quarnet/Velmora 6.0/learning", "LearningPath", false),
            IsEntry("/opt/velmora/timeseal", "TimesealDir", true),
            IsEntry(docs + "/levels", "CustomLevelRoot", false),
            IsEntry(docs + "/layouts", "CustomLayoutPath", false)));
    EXPECT_EQ(dirs.ProgramDir(), "/opt/velmora");
    EXPECT_EQ(dirs.CommonDataDir(), "/usr/local/share/Quarnet/Velmora 6.0");
    EXPECT_EQ(dirs.WindowsDir(), "");
    EXPECT_EQ(dirs.SystemDir(), "");

    // Every entry's name is read from the settings, the reserved one never.
    std::vector<std::string> names;
    names.reserve(kDirectoryIdCount - 1);
    for (int id = 0; id < kDirectoryIdCount - 1; ++id) {
        names.emplace_back(CDefaultDirectories::DirectoryName(id));
    }
    EXPECT_THAT(platform.settingsRead, ElementsAreArray(names));
    EXPECT_EQ(CDefaultDirectories::DirectoryName(15), "CommonAppSettings");
}

TEST_F(DefaultDirectoriesTest, CreatesTheBaseFoldersThenEveryEntryInOrder) {
    platform.existingLevels = {"/home/ann/.local/share/Quarnet", kDocs};
    ASSERT_TRUE(Initialize());

    std::vector<std::string> expected = {
        "level /home/ann/.local/share/Quarnet", "level /home/ann/.local/share/Quarnet/Velmora 6.0",
        "level /usr/local/share/Quarnet",       "level /usr/local/share/Quarnet/Velmora 6.0",
        std::string("level ") + kDocs,
    };
    for (const Entry& entry : dirs.Entries()) {
        expected.push_back("path " + entry.m_strPath);
    }
    EXPECT_THAT(platform.created, ElementsAreArray(expected));
    // Folders that were already there count as made.
    EXPECT_EQ(dirs.UserDataDir(), "/home/ann/.local/share/Quarnet/Velmora 6.0");
    EXPECT_EQ(dirs.DocumentsDir(), kDocs);
}

TEST_F(DefaultDirectoriesTest, SettingsValuesReplaceDefaultsAndAreCreated) {
    platform.settings = {{"BookPath", "/mnt/data/books"}, {"LogPath", ""}};
    ASSERT_TRUE(Initialize());

    EXPECT_EQ(dirs.GetPath("BookPath", Separator::None), "/mnt/data/books");
    EXPECT_THAT(platform.created, testing::Contains("path /mnt/data/books"));
    // A value that exists wins even when it is empty.
    EXPECT_EQ(dirs.GetPath("LogPath", Separator::None), "");
    EXPECT_EQ(dirs.GetPath("LogPath", Separator::Trailing), "/");
    // A fixed entry can be overridden through the settings as well.
    platform.settings = {{"BitmapPath", "/srv/bitmaps"}};
    ASSERT_TRUE(Initialize());
    EXPECT_EQ(dirs.GetPath(0, Separator::None), "/srv/bitmaps");
}

TEST_F(DefaultDirectoriesTest, LooksUpNamesWithoutRegardToCase) {
    ASSERT_TRUE(Initialize());

    const std::string books = std::string(kDocs) + "/books";
    EXPECT_EQ(dirs.GetPath("bookpath", Separator::Trailing), books + "/");
    EXPECT_EQ(dirs.GetPath("BOOKPATH", Separator::None), books);
    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::None), books);
    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::Trailing), books + "/");
    // Names that only share a prefix are different names.
    EXPECT_EQ(dirs.GetPath("Book", Separator::None), "/opt/velmora");
    EXPECT_EQ(dirs.GetPath("BookPaths", Separator::None), "/opt/velmora");
}

TEST_F(DefaultDirectoriesTest, NamesWithoutEntryGiveTheProgramFolder) {
    ASSERT_TRUE(Initialize());

    EXPECT_EQ(dirs.GetPath(15, Separator::None), "/opt/velmora");
    EXPECT_EQ(dirs.GetPath("CommonAppSettings", Separator::Trailing), "/opt/velmora/");
    EXPECT_EQ(dirs.GetPath("NoSuchPath", Separator::None), "/opt/velmora");
    // Identifiers outside the table name no entry at all.
    EXPECT_EQ(dirs.GetPath(-1, Separator::None), "/opt/velmora");
    EXPECT_EQ(dirs.GetPath(kDirectoryIdCount, Separator::Trailing), "/opt/velmora/");
    EXPECT_FALSE(dirs.SetPath(kDirectoryIdCount, "/elsewhere"));
}

TEST_F(DefaultDirectoriesTest, BeforeSetUpEverythingIsTheEmptyProgramFolder) {
    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::None), "");
    EXPECT_EQ(dirs.GetPath("BitmapPath", Separator::Trailing), "/");
    EXPECT_FALSE(dirs.SetPath(kBookDirectoryId, "/elsewhere"));
}

TEST_F(DefaultDirectoriesTest, SetPathReplacesOnlyFreeEntries) {
    ASSERT_TRUE(Initialize());
    const size_t createdAtStart = platform.created.size();

    EXPECT_FALSE(dirs.SetPath("BitmapPath", "/elsewhere"));
    EXPECT_FALSE(dirs.SetPath(12, "/elsewhere"));
    EXPECT_FALSE(dirs.SetPath("CommonAppSettings", "/elsewhere"));
    EXPECT_EQ(dirs.GetPath("BitmapPath", Separator::None), "/opt/velmora/bitmaps");
    EXPECT_FALSE(dirs.Entries()[0].m_bChanged);

    EXPECT_TRUE(dirs.SetPath(kBookDirectoryId, "/mnt/usb/openings"));
    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::None), "/mnt/usb/openings");
    EXPECT_TRUE(dirs.Entries()[kBookDirectoryId].m_bChanged);
    EXPECT_TRUE(dirs.SetPath("logpath", "relative/logs"));
    EXPECT_EQ(dirs.GetPath("LogPath", Separator::None), "relative/logs");
    EXPECT_FALSE(dirs.Entries()[4].m_bChanged);
    // Replacements are not made on disk.
    EXPECT_EQ(platform.created.size(), createdAtStart);
}

TEST_F(DefaultDirectoriesTest, ExecutableWithoutFolderGivesTheCurrentFolder) {
    platform.executable = "plinth";
    ASSERT_TRUE(Initialize());
    EXPECT_EQ(dirs.ProgramDir(), ".");
    EXPECT_EQ(dirs.GetPath("BitmapPath", Separator::None), "./bitmaps");
    EXPECT_EQ(dirs.GetPath(15, Separator::Trailing), "./");

    platform.executable = "";
    ASSERT_TRUE(Initialize());
    EXPECT_EQ(dirs.GetPath("EnginesPath", Separator::None), "./engines");
}

TEST_F(DefaultDirectoriesTest, MakerFolderThatCannotBeMadeLeavesTheSeparator) {
    platform.failingLevels = {kDocs};
    ASSERT_TRUE(Initialize());

    EXPECT_EQ(dirs.DocumentsDir(), "/home/ann/Documents/");
    EXPECT_EQ(dirs.GetPath("BookPath", Separator::None), "/home/ann/Documents//books");
    EXPECT_EQ(dirs.GetPath("FicPath", Separator::None), "/home/ann/Documents/");
}

TEST_F(DefaultDirectoriesTest, FolderThatCannotBeMadeStopsTheBase) {
    platform.failingLevels = {"/home/ann/.local/share/Quarnet/Velmora 6.0",
                              "/usr/local/share/Quarnet"};
    ASSERT_TRUE(Initialize());

    EXPECT_EQ(dirs.UserDataDir(), "/home/ann/.local/share/Quarnet/");
    EXPECT_EQ(dirs.GetPath("LearningPath", Separator::None),
              "/home/ann/.local/share/Quarnet//learning");
    // The product folder is not tried under a maker folder that could not be made.
    EXPECT_EQ(dirs.CommonDataDir(), "/usr/local/share/");
    EXPECT_THAT(platform.created,
                testing::Not(testing::Contains("level /usr/local/share/Quarnet/Velmora 6.0")));
}

TEST_F(DefaultDirectoriesTest, MissingSpecialFoldersFallBackToTheProgramFolder) {
    platform.folders.erase(SpecialFolder::Documents);
    platform.folders.erase(SpecialFolder::UserData);
    ASSERT_TRUE(Initialize());

    EXPECT_EQ(dirs.DocumentsDir(), "/opt/velmora");
    EXPECT_EQ(dirs.GetPath("BookPath", Separator::None), "/opt/velmora/books");
    EXPECT_EQ(dirs.GetPath("LbsPath", Separator::None), "/opt/velmora");
    EXPECT_EQ(dirs.GetPath("LearningPath", Separator::None), "/opt/velmora/learning");
    // Nothing is made under a folder that could not be had.
    EXPECT_EQ(platform.created.front(), "level /usr/local/share/Quarnet");
    EXPECT_EQ(platform.created[2], "path /opt/velmora/bitmaps");
}

TEST_F(DefaultDirectoriesTest, RunningOutOfMemoryKeepsTheEntriesMadeSoFar) {
    platform.outOfMemoryAt = "FicPath";
    EXPECT_FALSE(Initialize());

    ASSERT_EQ(dirs.Entries().size(), 6U);
    EXPECT_EQ(dirs.GetPath("BookPath", Separator::None), std::string(kDocs) + "/books");
    EXPECT_EQ(dirs.GetPath("FicPath", Separator::None), "/opt/velmora");
    // The set-up stopped before the entries' folders were made.
    EXPECT_EQ(platform.created.back(), std::string("level ") + kDocs);
}

TEST_F(DefaultDirectoriesTest, SecondSetUpStartsOver) {
    ASSERT_TRUE(Initialize());
    ASSERT_TRUE(dirs.SetPath(kBookDirectoryId, "/mnt/usb"));
    platform.settings = {{"BookPath", "/srv/books"}};
    ASSERT_TRUE(Initialize());

    EXPECT_EQ(dirs.Entries().size(), 15U);
    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::None), "/srv/books");
    EXPECT_FALSE(dirs.Entries()[kBookDirectoryId].m_bChanged);
}

}  // namespace
}  // namespace plinth
