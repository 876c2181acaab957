#pragma once

// The program's file dialog: Qt's own file dialog (the same on every desktop, and
// one that can be extended with controls of the program's), opening in a folder
// of the suite's default directories, with its filter list and default extension
// taken from string resources.

#include <QFileDialog>
#include <QString>

namespace plinth {

enum class FileDlgMode { Open, Save };

class CFileDlg : public QFileDialog {
    Q_OBJECT

  public:
    // `directoryId`: the folder of g_DefaultDirectories to open in. `defExtId`: the
    // string resource of the default extension, 0 for none. `filterId`: the string
    // resource of the filter list, 0 for none; a line feed in it is followed by a
    // default extension, which `defExtId` overrides. `fileName`: the file to
    // select at first, empty for none.
    CFileDlg(int directoryId, FileDlgMode mode, int defExtId, const QString& fileName,
             QFileDialog::Options options, int filterId, QWidget* parent);
    CFileDlg(const CFileDlg&) = delete;
    CFileDlg& operator=(const CFileDlg&) = delete;
    ~CFileDlg() override;

    // The default extension with its period (".bk"), empty for none. Qt keeps it
    // as its default suffix without the period ("bk").
    const QString& DefaultExtension() const { return m_strDefExt; }
    const QString& InitialDir() const { return m_strInitialDir; }

    // The full path of the chosen file, once the dialog has ended with OK.
    QString GetPathName() const;

  private:
    void SetFilterList(const QString& filter);

    QString m_strInitialDir;
    QString m_strDefExt;
};

}  // namespace plinth
