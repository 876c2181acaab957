// Working out the suite's directories on a fake machine: the defaults on each
// base, values from the user's settings, lookups and replacements, the
// fall-backs of the base folders, and the folders created at start-up in order.

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
    std::string ProgramFolder(const std::string&, const std::string&) override { return program; }
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

    std::string program = "/opt/velmora";
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

const std::string kDocs = "/home/ann/Documents/Quarnet";

class DefaultDirectoriesTest : public testing::Test {
  protected:
    bool Initialize() { return dirs.Initialize(platform, "Quarnet", "Velmora 6.0"); }
    std::string Path(std::string_view name) const { return dirs.GetPath(name, Separator::None); }

    FakePlatform platform;
    CDefaultDirectories dirs;
};

TEST_F(DefaultDirectoriesTest, EachBaseGivesItsDefaultsMadeAfterTheBasesInIdentifierOrder) {
    // Folders that are already there count as made.
    platform.levels[kDocs] = DirectoryCreation::AlreadyExists;
    ASSERT_TRUE(Initialize());
    // One row of each base, fixed and free.
    const std::map<int, std::string> rows = {
        {0, "fixed /opt/velmora/bitmaps"},
        {10, "free /opt/velmora/engines"},
        {5, "free " + kDocs + "/books"},
        {6, "free " + kDocs},
        {11, "free /home/ann/.local/share/Quarnet/Velmora 6.0/learning"}};
    for (const auto& [id, expected] : rows) {
        const CDefaultDirectories::dirEntry& entry = dirs.Entries().at(id);
        EXPECT_EQ((entry.m_bFixed ? "fixed " : "free ") + entry.m_strPath, expected) << id;
    }
    EXPECT_EQ(dirs.CommonDataDir(), "/usr/local/share/Quarnet/Velmora 6.0");
    EXPECT_EQ(dirs.WindowsDir() + dirs.SystemDir(), "");

    std::vector<std::string> expected = {
        "level /home/ann/.local/share/Quarnet", "level /home/ann/.local/share/Quarnet/Velmora 6.0",
        "level /usr/local/share/Quarnet", "level /usr/local/share/Quarnet/Velmora 6.0",
        "level " + kDocs};
    ASSERT_EQ(dirs.Entries().size(), 15U);
    for (int id = 0; id < 15; ++id) {
        EXPECT_EQ(dirs.Entries()[id].m_strName, CDefaultDirectories::DirectoryName(id));
        expected.push_back("path " + dirs.GetPath(id, Separator::None));
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
    EXPECT_EQ(Path("LogPath") + "|" + dirs.GetPath("LogPath", Separator::Trailing), "|/");
    EXPECT_EQ(Path("BitmapPath"), "/srv/bitmaps");

    ASSERT_TRUE(dirs.SetPath(kBookDirectoryId, "/mnt/usb"));
    platform.settings = {{"BookPath", "/srv/books"}};
    ASSERT_TRUE(Initialize());
    EXPECT_EQ(dirs.Entries().size(), 15U);
    EXPECT_EQ(Path("BookPath"), "/srv/books");
    EXPECT_FALSE(dirs.Entries()[kBookDirectoryId].m_bChanged);
    EXPECT_EQ(Path("LogPath"), kDocs + "/logs");
}

TEST_F(DefaultDirectoriesTest, LooksUpAndReplacesByNameAndIdentifier) {
    ASSERT_TRUE(Initialize());
    const size_t createdAtStart = platform.created.size();

    const std::string books = kDocs + "/books";
    EXPECT_EQ(dirs.GetPath("bookpath", Separator::Trailing), books + "/");
    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::None), books);
    // Names without an entry, the reserved one among them, give the program folder.
    EXPECT_EQ(Path("BookPaths") + Path("CommonAppSettings"), "/opt/velmora/opt/velmora");
    EXPECT_EQ(dirs.GetPath(15, Separator::Trailing), "/opt/velmora/");

    for (const std::string_view fixed : {"BitmapPath", "TimesealDir", "CommonAppSettings"}) {
        EXPECT_FALSE(dirs.SetPath(fixed, "/elsewhere")) << fixed;
    }
    EXPECT_EQ(Path("BitmapPath"), "/opt/velmora/bitmaps");
    EXPECT_TRUE(dirs.SetPath("BOOKPATH", "/mnt/usb/openings"));
    EXPECT_EQ(Path("BookPath"), "/mnt/usb/openings");
    EXPECT_TRUE(dirs.Entries()[kBookDirectoryId].m_bChanged);
    EXPECT_FALSE(dirs.Entries()[0].m_bChanged || dirs.Entries()[4].m_bChanged);
    // Replacements are not made on disk.
    EXPECT_EQ(platform.created.size(), createdAtStart);
}

TEST_F(DefaultDirectoriesTest, FoldersThatCannotBeHadFallBack) {
    // Without the special folders the bases are the program folder; without a
    // program folder that is ".", and nothing is made under what could not be had.
    platform.program = "";
    platform.folders.erase(SpecialFolder::Documents);
    platform.folders.erase(SpecialFolder::UserData);
    ASSERT_TRUE(Initialize());
    EXPECT_EQ(Path("BitmapPath") + " " + Path("BookPath") + " " + Path("LearningPath"),
              "./bitmaps ./books ./learning");
    EXPECT_EQ(platform.created.front(), "level /usr/local/share/Quarnet");
    EXPECT_EQ(platform.created[2], "path ./bitmaps");

    // A level that cannot be made ends its base just after the separator before it.
    platform = FakePlatform();
    for (const std::string& level :
         {kDocs, std::string("/home/ann/.local/share/Quarnet/Velmora 6.0"),
          std::string("/usr/local/share/Quarnet")}) {
        platform.levels[level] = DirectoryCreation::Failed;
    }
    ASSERT_TRUE(Initialize());
    EXPECT_EQ(Path("BookPath"), "/home/ann/Documents//books");
    EXPECT_EQ(Path("LearningPath"), "/home/ann/.local/share/Quarnet//learning");
    EXPECT_EQ(dirs.CommonDataDir(), "/usr/local/share/");
    EXPECT_THAT(platform.created, Not(Contains("level /usr/local/share/Quarnet/Velmora 6.0")));

    // Running out of memory keeps the entries made so far, and makes no folder.
    platform = FakePlatform();
    platform.outOfMemoryAt = "FicPath";
    EXPECT_FALSE(Initialize());
    ASSERT_EQ(dirs.Entries().size(), 6U);
    EXPECT_EQ(Path("FicPath"), "/opt/velmora");
    EXPECT_EQ(platform.created.back(), "level " + kDocs);
}

}  // namespace
}  // namespace plinth
