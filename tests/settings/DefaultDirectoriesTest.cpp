// The suite's directories on a fake machine: the defaults of each base, the
// user's settings, lookups and replacements, fall-backs, and the folders made.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "settings/DefaultDirectories.h"

namespace plinth {
namespace {

// The fake machine's paths are written with "/" and given with the system's
// separator, as the directories join them.
std::string operator""_p(const char* text, size_t size) {
    std::string path(text, size);
    std::replace(path.begin(), path.end(), '/', kPathSeparator);
    return path;
}

// A machine whose folders, settings and folder creations are in the test's hands;
// every creation is recorded, in order.
class FakePlatform final : public IDirectoryPlatform {
  public:
    std::string ProgramFolder(const std::string&, const std::string&) override { return program; }
    std::optional<std::string> SpecialFolderPath(SpecialFolder folder) override {
        return folders.contains(folder) ? std::optional(folders[folder]) : std::nullopt;
    }
    std::string ReadSetting(const std::string& name, const std::string& defaultValue) override {
        return settings.contains(name) ? settings[name] : defaultValue;
    }
    DirectoryCreation CreateDirectoryLevel(const std::string& path) override {
        created.push_back("level " + path);
        return levels.contains(path) ? levels[path] : DirectoryCreation::Created;
    }
    void CreateDirectoryPath(const std::string& path) override { created.push_back(path); }

    std::string program = "/opt/velmora"_p;
    std::map<SpecialFolder, std::string> folders{
        {SpecialFolder::UserData, "/home/ann/.local"_p},
        {SpecialFolder::CommonData, "/usr/share"_p},
        {SpecialFolder::Documents, "/home/ann/Documents"_p}};
    std::map<std::string, std::string> settings;
    std::map<std::string, DirectoryCreation> levels;  // the others are created
    std::vector<std::string> created;
};

const std::string kDocs = "/home/ann/Documents/Quarnet"_p;

class DefaultDirectoriesTest : public testing::Test {
  protected:
    bool Initialize() { return dirs.Initialize(platform, "Quarnet", "Velmora 6.0"); }
    std::string Path(std::string_view name) const { return dirs.GetPath(name, Separator::None); }

    FakePlatform platform;
    CDefaultDirectories dirs;
};

TEST_F(DefaultDirectoriesTest, EachBaseGivesItsDefaultsMadeAfterTheBasesInIdentifierOrder) {
    platform.levels[kDocs] = DirectoryCreation::AlreadyExists;  // counts as made
    ASSERT_TRUE(Initialize());
    // One row of each base, fixed and free.
    for (const auto& [id, expected] :
         std::map<int, std::string>{{0, "fixed /opt/velmora/bitmaps"_p},
                                    {10, "free /opt/velmora/engines"_p},
                                    {5, "free " + kDocs + "/books"_p},
                                    {6, "free " + kDocs},
                                    {11, "free /home/ann/.local/Quarnet/Velmora 6.0/learning"_p}}) {
        const CDefaultDirectories::dirEntry& entry = dirs.Entries().at(id);
        EXPECT_EQ((entry.m_bFixed ? "fixed " : "free ") + entry.m_strPath, expected) << id;
    }
    std::vector<std::string> expected = {
        "level /home/ann/.local/Quarnet"_p, "level /home/ann/.local/Quarnet/Velmora 6.0"_p,
        "level /usr/share/Quarnet"_p, "level /usr/share/Quarnet/Velmora 6.0"_p, "level " + kDocs};
    ASSERT_EQ(dirs.Entries().size(), 15U);
    for (int id = 0; id < 15; ++id) {
        expected.push_back(dirs.GetPath(id, Separator::None));
    }
    EXPECT_EQ(platform.created, expected);
}

TEST_F(DefaultDirectoriesTest, SettingsAndReplacementsLastUntilTheNextStart) {
    platform.settings = {{"BookPath", "/mnt/books"_p}, {"LogPath", ""}, {"BitmapPath", "/srv/b"_p}};
    ASSERT_TRUE(Initialize());
    // A value that exists wins even when it is empty, and over a fixed entry too.
    EXPECT_EQ(dirs.GetPath("bookpath", Separator::Trailing) + Path("BitmapPath"),
              "/mnt/books//srv/b"_p);
    EXPECT_EQ(Path("LogPath") + "|" + dirs.GetPath("LogPath", Separator::Trailing), "|/"_p);
    // Names without an entry, the reserved one among them, give the program folder.
    EXPECT_EQ(Path("BookPaths") + dirs.GetPath(15, Separator::Trailing),
              "/opt/velmora/opt/velmora/"_p);

    const size_t createdAtStart = platform.created.size();
    EXPECT_FALSE(dirs.SetPath("SoundPath", "/x"_p) || dirs.SetPath("CommonAppSettings", "/x"_p));
    EXPECT_TRUE(dirs.SetPath("BOOKPATH", "/mnt/usb"_p));
    EXPECT_EQ(Path("BookPath") + Path("SoundPath"), "/mnt/usb/opt/velmora/sounds"_p);
    EXPECT_TRUE(dirs.Entries()[kBookDirectoryId].m_bChanged && !dirs.Entries()[1].m_bChanged);
    EXPECT_EQ(platform.created.size(), createdAtStart);
    // The next start reads the settings again.
    ASSERT_TRUE(Initialize());
    EXPECT_EQ(Path("BookPath") + std::to_string(dirs.Entries().size()), "/mnt/books15"_p);
    EXPECT_FALSE(dirs.Entries()[kBookDirectoryId].m_bChanged);
}

TEST_F(DefaultDirectoriesTest, FoldersThatCannotBeHadFallBack) {
    // Without the special folders the bases are the program folder; without a
    // program folder that is ".", and nothing is made under what could not be had.
    platform.program = "";
    platform.folders.erase(SpecialFolder::Documents);
    platform.folders.erase(SpecialFolder::UserData);
    ASSERT_TRUE(Initialize());
    EXPECT_EQ(Path("BitmapPath") + Path("BookPath") + Path("LearningPath"),
              "./bitmaps./books./learning"_p);
    EXPECT_EQ(platform.created.at(2), "./bitmaps"_p);

    // A level that cannot be made ends its base just after the separator before it.
    platform = FakePlatform();
    platform.levels = {{kDocs, DirectoryCreation::Failed},
                       {"/home/ann/.local/Quarnet/Velmora 6.0"_p, DirectoryCreation::Failed},
                       {"/usr/share/Quarnet"_p, DirectoryCreation::Failed}};
    ASSERT_TRUE(Initialize());
    EXPECT_EQ(Path("BookPath") + " " + Path("LearningPath") + " " + dirs.CommonDataDir(),
              "/home/ann/Documents//books /home/ann/.local/Quarnet//learning /usr/share/"_p);
    EXPECT_EQ(std::count(platform.created.begin(), platform.created.end(),
                         "level /usr/share/Quarnet/Velmora 6.0"_p),
              0);
}

}  // namespace
}  // namespace plinth
