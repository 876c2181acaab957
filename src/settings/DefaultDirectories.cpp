#include "settings/DefaultDirectories.h"

#include <algorithm>
#include <array>
#include <exception>
#include <optional>
#include <utility>

namespace plinth {

CDefaultDirectories g_DefaultDirectories;

namespace {

// The base folder a directory's default hangs on.
enum class DirectoryBase { Program, Documents, UserData, NoEntry };

// Whether SetPath may replace a directory during the run.
enum class Replacement { Fixed, Free };

struct DirectoryRow {
    std::string_view name;
    DirectoryBase base;
    std::string_view subfolder;  // below the base; empty for the base itself
    Replacement replacement;
};

// Identifier order. The last name is reserved: it has no entry and is never read.
constexpr std::array<DirectoryRow, kDirectoryIdCount> kDirectoryTable{{
    {"BitmapPath", DirectoryBase::Program, "bitmaps", Replacement::Fixed},
    {"SoundPath", DirectoryBase::Program, "sounds", Replacement::Fixed},
    {"LevelRoot", DirectoryBase::Program, "levels", Replacement::Fixed},
    {"LayoutPath", DirectoryBase::Program, "layouts", Replacement::Fixed},
    {"DbasePath", DirectoryBase::Documents, "dbases", Replacement::Free},
    {"BookPath", DirectoryBase::Documents, "books", Replacement::Free},
    {"FicPath", DirectoryBase::Documents, "", Replacement::Free},
    {"LbsPath", DirectoryBase::Documents, "", Replacement::Free},
    {"LogPath", DirectoryBase::Documents, "logs", Replacement::Free},
    {"DevicesPath", DirectoryBase::Program, "devices", Replacement::Fixed},
    {"EnginesPath", DirectoryBase::Program, "engines", Replacement::Free},
    {"LearningPath", DirectoryBase::UserData, "learning", Replacement::Free},
    {"TimesealDir", DirectoryBase::Program, "timeseal", Replacement::Fixed},
    {"CustomLevelRoot", DirectoryBase::Documents, "levels", Replacement::Free},
    {"CustomLayoutPath", DirectoryBase::Documents, "layouts", Replacement::Free},
    {"CommonAppSettings", DirectoryBase::NoEntry, "", Replacement::Free},
}};

std::string DefaultPath(const CDefaultDirectories& directories, const DirectoryRow& row) {
    std::string path;
    switch (row.base) {
        case DirectoryBase::Program:
            path = directories.ProgramDir();
            break;
        case DirectoryBase::Documents:
            path = directories.DocumentsDir();
            break;
        case DirectoryBase::UserData:
            path = directories.UserDataDir();
            break;
        case DirectoryBase::NoEntry:
            return {};
    }
    if (!row.subfolder.empty()) {
        path += kPathSeparator;
        path += row.subfolder;
    }
    return path;
}

}  // namespace

std::string_view CDefaultDirectories::DirectoryName(int id) {
    if (id < 0 || id >= kDirectoryIdCount) {
        return {};
    }
    return kDirectoryTable[static_cast<size_t>(id)].name;
}

bool CDefaultDirectories::Initialize(IDirectoryPlatform& platform, const std::string& maker,
                                     const std::string& product) {
    try {
        // A second set-up starts over instead of hiding behind the first one's entries.
        m_aEntries.clear();
        m_strProgramDir = platform.ProgramFolder(maker, product);
        if (m_strProgramDir.empty()) {
            m_strProgramDir.assign(1, '.');
        }
        m_strUserDataDir = BuildBase(platform, SpecialFolder::UserData, {maker, product});
        m_strCommonDataDir = BuildBase(platform, SpecialFolder::CommonData, {maker, product});
        m_strDocumentsDir = BuildBase(platform, SpecialFolder::Documents, {maker});
        m_strWindowsDir = platform.SpecialFolderPath(SpecialFolder::Windows).value_or("");
        m_strSystemDir = platform.SpecialFolderPath(SpecialFolder::System).value_or("");
        ReadEntries(platform);
        CreateEntryFolders(platform);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

// A special folder followed by one folder level per name, each created in turn.
// Without the special folder the base is the program folder. When a level cannot
// be created the base ends just after the separator that preceded it, so the
// directories below it hang on the folder that does exist.
std::string CDefaultDirectories::BuildBase(IDirectoryPlatform& platform, SpecialFolder folder,
                                           std::initializer_list<std::string_view> levels) const {
    std::optional<std::string> special = platform.SpecialFolderPath(folder);
    if (!special) {
        return m_strProgramDir;
    }
    std::string base = std::move(*special);
    for (const std::string_view level : levels) {
        base += kPathSeparator;
        const size_t cut = base.size();
        base += level;
        if (platform.CreateDirectoryLevel(base) == DirectoryCreation::Failed) {
            base.resize(cut);
            break;
        }
    }
    return base;
}

void CDefaultDirectories::ReadEntries(IDirectoryPlatform& platform) {
    for (const DirectoryRow& row : kDirectoryTable) {
        if (row.base == DirectoryBase::NoEntry) {
            continue;
        }
        const std::string name(row.name);
        m_aEntries.push_back(
            dirEntry{.m_strPath = platform.ReadSetting(name, DefaultPath(*this, row)),
                     .m_strName = name,
                     .m_bFixed = row.replacement == Replacement::Fixed});
    }
}

void CDefaultDirectories::CreateEntryFolders(IDirectoryPlatform& platform) const {
    for (const dirEntry& entry : m_aEntries) {
        platform.CreateDirectoryPath(entry.m_strPath);
    }
}

const CDefaultDirectories::dirEntry* CDefaultDirectories::FindEntry(std::string_view name) const {
    const auto found =
        std::find_if(m_aEntries.begin(), m_aEntries.end(),
                     [&](const dirEntry& entry) { return SameSettingName(entry.m_strName, name); });
    return found == m_aEntries.end() ? nullptr : &*found;
}

CDefaultDirectories::dirEntry* CDefaultDirectories::FindEntry(std::string_view name) {
    return const_cast<dirEntry*>(std::as_const(*this).FindEntry(name));
}

std::string CDefaultDirectories::GetPath(std::string_view name, Separator separator) const {
    const dirEntry* entry = FindEntry(name);
    std::string path = entry != nullptr ? entry->m_strPath : m_strProgramDir;
    if (separator == Separator::Trailing) {
        path += kPathSeparator;
    }
    return path;
}

std::string CDefaultDirectories::GetPath(int id, Separator separator) const {
    return GetPath(DirectoryName(id), separator);
}

bool CDefaultDirectories::SetPath(std::string_view name, const std::string& path) {
    dirEntry* entry = FindEntry(name);
    if (entry == nullptr || entry->m_bFixed) {
        return false;
    }
    entry->m_strPath = path;
    entry->m_bChanged = true;
    return true;
}

bool CDefaultDirectories::SetPath(int id, const std::string& path) {
    return SetPath(DirectoryName(id), path);
}

}  // namespace plinth
