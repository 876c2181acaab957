#pragma once

// The entries of the file dialog's folder, all of them: Qt's file model leaves
// out the files whose names are not UTF-8 (a book named on another system in
// its own code page), though they are books that the program opens. This model
// shows Qt's entries and, after them, those files of the folder shown, with
// their names as the window shows such bytes (ShownText), and gives the bytes of
// their paths back.

#include <QDateTime>
#include <QIdentityProxyModel>
#include <QPersistentModelIndex>
#include <QStringList>
#include <string>
#include <vector>

class QFileSystemModel;

namespace plinth {

class AllFilesModel final : public QIdentityProxyModel {
    Q_OBJECT

  public:
    using QIdentityProxyModel::QIdentityProxyModel;

    // Reads the folder at `folder` again for the files whose names are not
    // UTF-8 and that match one of `patterns` ("*.bk"); `folder` is an index of
    // the source model.
    void ShowFolder(const QModelIndex& folder, const QStringList& patterns);

    // The bytes of the path of the file shown as `name` in the folder, among the
    // files that Qt's model leaves out; empty for any other name.
    std::string PathOfName(const QString& name) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& index) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    struct Entry {
        QString shown;
        std::string path;
        qint64 size = 0;
        QDateTime modified;
    };

    // The entry that `index` shows, or none for an entry of Qt's model.
    const Entry* EntryAt(const QModelIndex& index) const;
    int SourceRows() const;
    const QFileSystemModel* FileModel() const;

    QPersistentModelIndex m_folder;  // of the source model
    std::vector<Entry> m_entries;
    // What the indexes of these entries point at, to tell them from Qt's.
    char m_mark = 0;
};

}  // namespace plinth
