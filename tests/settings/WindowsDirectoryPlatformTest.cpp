// The Windows platform layer on the machine it runs on (under wine, the build's
// own fresh wine prefix): the shell's special folders, the registry settings of a
// key of the test's own, and the folders made.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TempDir.h"
#include "book/WideText.h"
#include "settings/DefaultDirectories.h"
#include "settings/WindowsDirectoryPlatform.h"

namespace plinth {
namespace {

namespace fs = std::filesystem;

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "(unset)";
}

class WindowsDirectoryPlatformTest : public testing::Test {
  protected:
    ~WindowsDirectoryPlatformTest() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, Wide("Software\\Quarnet\\" + kApplication).c_str());
    }
    void SetValue(const std::string& name, DWORD type, const std::wstring& value) {
        RegSetKeyValueW(HKEY_CURRENT_USER, Wide(platform.SettingsKey()).c_str(), Wide(name).c_str(),
                        type, value.c_str(),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    std::string Folder(SpecialFolder folder) {
        return platform.SpecialFolderPath(folder).value_or("none");
    }

    // A key of each test's own: CTest runs the tests side by side.
    const std::string kApplication =
        std::string("PlinthTest-") + testing::UnitTest::GetInstance()->current_test_info()->name();
    WindowsDirectoryPlatform platform{"Quarnet", kApplication};
};

TEST_F(WindowsDirectoryPlatformTest, SpecialFoldersAreTheSystemsOwn) {
    EXPECT_EQ(Folder(SpecialFolder::UserData), Variable("APPDATA"));
    EXPECT_EQ(Folder(SpecialFolder::CommonData), Variable("ProgramData"));
    EXPECT_EQ(Folder(SpecialFolder::Documents), Variable("USERPROFILE") + "\\Documents");
    EXPECT_TRUE(_stricmp(Folder(SpecialFolder::Windows).c_str(), Variable("SystemRoot").c_str()) ==
                0);
    EXPECT_TRUE(_stricmp(Folder(SpecialFolder::System).c_str(),
                         (Variable("SystemRoot") + "\\system32").c_str()) == 0);
}

TEST_F(WindowsDirectoryPlatformTest, RegistryValuesReplaceDefaultsExactlyAsStored) {
    EXPECT_EQ(platform.ReadSetting("BookPath", "default"), "default");
    SetValue("BookPath", REG_SZ, L"D:\\B\u00fccher, alt\\");
    SetValue("logpath", REG_SZ, L"");
    SetValue("DbasePath", REG_DWORD, L"\x1");
    std::string values;
    for (const char* name : {"BOOKPATH", "LogPath", "DbasePath", "SoundPath"}) {
        values += platform.ReadSetting(name, "-") + "|";
    }
    // A value of another type than a string counts as missing.
    EXPECT_EQ(values,
              "D:\\B\xc3\xbc"
              "cher, alt\\||-|-|");
}

TEST_F(WindowsDirectoryPlatformTest, TheSuiteHangsOnTheProgramAndTheUsersFolders) {
    test::TempDir temp;
    const std::string books = temp.Path() +
                              "\\\xc3\xa9"
                              "checs\\nested\\books";
    SetValue("BookPath", REG_SZ, Wide(books));
    CDefaultDirectories dirs;
    ASSERT_TRUE(dirs.Initialize(platform, "Quarnet", "Velmora 6.0"));
    const std::string program =
        fs::path(testing::internal::GetArgvs().front()).parent_path().string();
    EXPECT_TRUE(fs::equivalent(dirs.ProgramDir(), program)) << dirs.ProgramDir();
    EXPECT_EQ(dirs.GetPath("BitmapPath", Separator::Trailing), dirs.ProgramDir() + "\\bitmaps\\");
    EXPECT_EQ(dirs.GetPath("LearningPath", Separator::None),
              Variable("APPDATA") + "\\Quarnet\\Velmora 6.0\\learning");
    EXPECT_EQ(dirs.GetPath("LbsPath", Separator::None),
              Variable("USERPROFILE") + "\\Documents\\Quarnet");
    EXPECT_EQ(dirs.CommonDataDir(), Variable("ProgramData") + "\\Quarnet\\Velmora 6.0");
    // The registry's book folder, with its parents, is made.
    EXPECT_EQ(dirs.GetPath(kBookDirectoryId, Separator::None), books);
    for (const CDefaultDirectories::dirEntry& entry : dirs.Entries()) {
        EXPECT_TRUE(fs::is_directory(test::FsPath(entry.m_strPath))) << entry.m_strName;
    }

    EXPECT_EQ(platform.CreateDirectoryLevel(books), DirectoryCreation::AlreadyExists);
    EXPECT_EQ(platform.CreateDirectoryLevel(books + "\\level"), DirectoryCreation::Created);
    EXPECT_EQ(platform.CreateDirectoryLevel(temp.Path() + "\\missing\\level"),
              DirectoryCreation::Failed);
}

}  // namespace
}  // namespace plinth
