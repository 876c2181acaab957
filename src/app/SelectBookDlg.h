#pragma once

// The book selection dialog of "Open book ...": the program's file dialog in the
// suite's book folder, listing the books, with a preview below the file list. Each
// time the current file changes, the book-information component describes it
// there; a file it cannot describe shows "Not a recognised book format !". The
// folder of the book chosen becomes the book folder for the rest of the run.

#include <memory>
#include <string>

#include "app/AllFilesModel.h"
#include "app/BookInfoLoader.h"
#include "ui/FileDlg.h"

class QLabel;

namespace plinth {

// Makes the folder of the book at `path` (a full path) the book folder of
// g_DefaultDirectories for the rest of the run, as choosing the book in the
// dialog does; a path whose only separator is its first character changes nothing.
void RememberBookFolder(const std::string& path);

class CSelectBookDlg final : public CFileDlg {
    Q_OBJECT

  public:
    // The component is made once, here, with `createBookInfo`; the preview is
    // added to an open dialog only.
    CSelectBookDlg(FileDlgMode mode, const QString& fileName, QWidget* parent,
                   const BookInfoFactory& createBookInfo = CreateBookInfo);
    CSelectBookDlg(const CSelectBookDlg&) = delete;
    CSelectBookDlg& operator=(const CSelectBookDlg&) = delete;
    ~CSelectBookDlg() override;

    // Takes a name that Qt's file model leaves out (AllFilesModel) as the
    // chosen file; any other name as the file dialog does.
    void accept() override;
    // Ends the dialog. After OK, the folder of the chosen file becomes the book
    // folder (RememberBookFolder).
    void done(int result) override;

    // The bytes of the chosen file's full path, once the dialog has ended with OK.
    std::string ChosenPath() const;

    bool HasBookInfo() const { return m_spBookInfo != nullptr; }

  private:
    void AddPreview();
    // The list of the folder now shown, the files whose names are not UTF-8
    // included, without a completion left over from the name typed.
    void OnFolderShown();
    // Shows what the preview says about the file or folder at `path`.
    void OnCurrentChanged(const QString& path);
    // Describes the file named, or typed, in the name field.
    void OnNameEdited(const QString& name);
    // The component's description of the file, or the not-a-book text when there
    // is no component or it fails.
    QString DescriptionOf(const QString& path) const;
    // The same for a file named by the bytes of its path.
    QString DescriptionOfPath(const std::string& path) const;

    std::shared_ptr<IBookInfo> m_spBookInfo;
    // Owned by the dialog, as its children.
    QLabel* m_stcDescription = nullptr;
    AllFilesModel* m_allFiles = nullptr;
    // A file chosen by a name that Qt's file model leaves out.
    std::string m_chosenPath;
};

}  // namespace plinth
