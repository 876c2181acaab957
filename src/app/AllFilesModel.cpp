#include "app/AllFilesModel.h"

#include <sys/stat.h>

#include <QAbstractFileIconProvider>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLocale>
#include <QStringDecoder>
#include <filesystem>
#include <system_error>

#include "app/ShownText.h"

namespace plinth {
namespace {

namespace fs = std::filesystem;

enum Column { kName, kSize, kType, kModified, kColumns };

bool IsUtf8(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded =
        utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !utf8.hasError();
}

}  // namespace

void AllFilesModel::ShowFolder(const QModelIndex& folder, const QStringList& patterns) {
    const QFileSystemModel* files = FileModel();
    if (!m_entries.empty()) {
        const int first = SourceRows();
        beginRemoveRows(mapFromSource(m_folder), first,
                        first + static_cast<int>(m_entries.size()) - 1);
        m_entries.clear();
        endRemoveRows();
    }
    m_folder = folder;
    if (files == nullptr || !folder.isValid()) {
        return;
    }
    std::vector<Entry> found;
    std::error_code error;
    for (fs::directory_iterator it(QFile::encodeName(files->filePath(folder)).toStdString(), error);
         !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().native();
        std::error_code status;
        if (IsUtf8(name) || !it->is_regular_file(status)) {
            continue;
        }
        const QString shown = ShownText(name);
        struct stat file {};
        if (QDir::match(patterns, shown) && ::stat(it->path().c_str(), &file) == 0) {
            found.push_back({shown, it->path().native(), static_cast<qint64>(file.st_size),
                             QDateTime::fromSecsSinceEpoch(file.st_mtim.tv_sec)});
        }
    }
    if (found.empty()) {
        return;
    }
    const int first = SourceRows();
    beginInsertRows(mapFromSource(m_folder), first, first + static_cast<int>(found.size()) - 1);
    m_entries = std::move(found);
    endInsertRows();
}

std::string AllFilesModel::PathOfName(const QString& name) const {
    for (const Entry& entry : m_entries) {
        if (entry.shown == name) {
            return entry.path;
        }
    }
    return {};
}

const QFileSystemModel* AllFilesModel::FileModel() const {
    return qobject_cast<const QFileSystemModel*>(sourceModel());
}

int AllFilesModel::SourceRows() const {
    return m_folder.isValid() ? sourceModel()->rowCount(m_folder) : 0;
}

const AllFilesModel::Entry* AllFilesModel::EntryAt(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this || index.internalPointer() != &m_mark) {
        return nullptr;
    }
    const int at = index.row() - SourceRows();
    return at >= 0 && at < static_cast<int>(m_entries.size()) ? &m_entries[static_cast<size_t>(at)]
                                                              : nullptr;
}

int AllFilesModel::rowCount(const QModelIndex& parent) const {
    if (EntryAt(parent) != nullptr) {
        return 0;
    }
    const int extra = m_folder.isValid() && mapToSource(parent) == m_folder
                          ? static_cast<int>(m_entries.size())
                          : 0;
    return QIdentityProxyModel::rowCount(parent) + extra;
}

bool AllFilesModel::hasChildren(const QModelIndex& parent) const {
    return EntryAt(parent) == nullptr &&
           (QIdentityProxyModel::hasChildren(parent) || rowCount(parent) > 0);
}

QModelIndex AllFilesModel::index(int row, int column, const QModelIndex& parent) const {
    if (m_folder.isValid() && EntryAt(parent) == nullptr && mapToSource(parent) == m_folder &&
        row >= SourceRows() && row < rowCount(parent) && column >= 0 && column < kColumns) {
        return createIndex(row, column, const_cast<char*>(&m_mark));
    }
    return QIdentityProxyModel::index(row, column, parent);
}

QModelIndex AllFilesModel::parent(const QModelIndex& child) const {
    if (EntryAt(child) != nullptr) {
        return mapFromSource(m_folder);
    }
    return QIdentityProxyModel::parent(child);
}

QModelIndex AllFilesModel::sibling(int row, int column, const QModelIndex& index) const {
    return this->index(row, column, parent(index));
}

QModelIndex AllFilesModel::mapToSource(const QModelIndex& proxyIndex) const {
    if (proxyIndex.isValid() && proxyIndex.internalPointer() == &m_mark) {
        return {};
    }
    return QIdentityProxyModel::mapToSource(proxyIndex);
}

QVariant AllFilesModel::data(const QModelIndex& index, int role) const {
    const Entry* entry = EntryAt(index);
    if (entry == nullptr) {
        return QIdentityProxyModel::data(index, role);
    }
    const bool shown = role == Qt::DisplayRole || role == Qt::EditRole;
    switch (index.column()) {
        case kName:
            if (shown || role == QFileSystemModel::FileNameRole) {
                return entry->shown;
            }
            if (role == Qt::DecorationRole) {
                return FileModel()->iconProvider()->icon(QAbstractFileIconProvider::File);
            }
            break;
        case kSize:
            if (role == Qt::TextAlignmentRole) {
                return QVariant(Qt::AlignRight | Qt::AlignVCenter);
            }
            return shown ? QLocale().formattedDataSize(entry->size) : QVariant();
        case kType:
            // What Qt's model says of a file of that name.
            return shown ? FileModel()->iconProvider()->type(QFileInfo(entry->shown)) : QVariant();
        case kModified:
            return shown ? QLocale().toString(entry->modified, QLocale::ShortFormat) : QVariant();
        default:
            break;
    }
    return {};
}

Qt::ItemFlags AllFilesModel::flags(const QModelIndex& index) const {
    if (EntryAt(index) != nullptr) {
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    }
    return QIdentityProxyModel::flags(index);
}

}  // namespace plinth
