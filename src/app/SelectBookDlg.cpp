#include "app/SelectBookDlg.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QCompleter>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTreeView>
#include <exception>

#include "settings/DefaultDirectories.h"
#include "ui/DialogLayout.h"
#include "ui/Strings.h"

namespace plinth {
namespace {

// The preview below the file list, in dialog units: the area and its text.
constexpr QSize kPreviewTemplate(226, 47);
constexpr QRect kDescription(3, 3, 215, 38);
// The text takes the extra width when the dialog grows.
constexpr ui::Follow kDescriptionFollows{0.0, 1.0, 0.0, 0.0};

// The patterns of a name filter: "*.bk" of "Velmora books (*.bk)".
QStringList PatternsOf(const QString& filter) {
    static const QRegularExpression kPatterns(QStringLiteral("\\(([^()]*)\\)$"));
    const QRegularExpressionMatch match = kPatterns.match(filter);
    return (match.hasMatch() ? match.captured(1) : filter)
        .split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

}  // namespace

CSelectBookDlg::CSelectBookDlg(FileDlgMode mode, const QString& fileName, QWidget* parent,
                               const BookInfoFactory& createBookInfo)
    : CFileDlg(kBookDirectoryId, mode, 0, fileName, {}, ui::IDS_BOOK_FILTER, parent) {
    if (mode == FileDlgMode::Open) {
        AddPreview();
    }
    // Made whatever the mode; a component that cannot be had leaves the
    // reference empty, and every file is then not a recognised book.
    if (createBookInfo) {
        m_spBookInfo = createBookInfo();
    }
}

CSelectBookDlg::~CSelectBookDlg() = default;

void CSelectBookDlg::AddPreview() {
    auto* preview = new QWidget(this);
    preview->setObjectName(QStringLiteral("bookPreview"));
    m_stcDescription = new QLabel(preview);
    m_stcDescription->setObjectName(QStringLiteral("description"));
    // The description is text, never markup.
    m_stcDescription->setTextFormat(Qt::PlainText);
    m_stcDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* previewLayout = new ui::DialogLayout(preview, kPreviewTemplate);
    previewLayout->AddWidget(m_stcDescription, kDescription, ui::Sizing::Template,
                             kDescriptionFollows);

    // Below the dialog's own controls, across its whole width; the file list,
    // not the preview, takes the height the dialog grows by.
    preview->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(preview, grid->rowCount(), 0, 1, grid->columnCount());
    } else if (layout() != nullptr) {
        layout()->addWidget(preview);
    }
    // The columns of the detailed list as wide as their contents; the name
    // takes the width that they leave.
    if (auto* details = findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    m_allFiles = new AllFilesModel(this);
    setProxyModel(m_allFiles);
    connect(this, &QFileDialog::currentChanged, this, &CSelectBookDlg::OnCurrentChanged);
    if (const auto* files = qobject_cast<const QFileSystemModel*>(m_allFiles->sourceModel())) {
        connect(files, &QFileSystemModel::rootPathChanged, this, &CSelectBookDlg::OnFolderShown);
    }
    connect(this, &QFileDialog::filterSelected, this, &CSelectBookDlg::OnFolderShown);
    if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        connect(name, &QLineEdit::textChanged, this, &CSelectBookDlg::OnNameEdited);
    }
    OnFolderShown();
}

void CSelectBookDlg::OnFolderShown() {
    const auto* files = qobject_cast<const QFileSystemModel*>(m_allFiles->sourceModel());
    if (files != nullptr) {
        m_allFiles->ShowFolder(files->index(directory().absolutePath()),
                               PatternsOf(selectedNameFilter()));
    }
    const auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (name != nullptr && name->completer() != nullptr) {
        name->completer()->popup()->hide();
    }
}

void CSelectBookDlg::OnNameEdited(const QString& name) {
    if (const std::string path = m_allFiles->PathOfName(name); !path.empty()) {
        m_stcDescription->setText(DescriptionOfPath(path));
        return;
    }
    const QString path = directory().absoluteFilePath(name);
    const QString withExtension = path + DefaultExtension();
    OnCurrentChanged(name.isEmpty() || QFileInfo::exists(path) || !QFileInfo::exists(withExtension)
                         ? path
                         : withExtension);
}

void CSelectBookDlg::OnCurrentChanged(const QString& path) {
    // A file that Qt's model leaves out has no path there; the name field has
    // its name.
    const auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (const std::string left = name != nullptr ? m_allFiles->PathOfName(name->text()) : "";
        path.isEmpty() && !left.empty()) {
        m_stcDescription->setText(DescriptionOfPath(left));
        return;
    }
    const QFileInfo entry(path);
    // An empty selection, a folder, or an entry whose status cannot be had.
    if (path.isEmpty() || !entry.exists() || entry.isDir()) {
        m_stcDescription->clear();
        return;
    }
    m_stcDescription->setText(DescriptionOf(entry.absoluteFilePath()));
}

QString CSelectBookDlg::DescriptionOf(const QString& path) const {
    if (!m_spBookInfo) {
        return ui::LoadString(ui::IDS_NOT_A_BOOK);
    }
    // Whatever goes wrong in the component is a file it cannot describe.
    try {
        std::optional<QString> description;
        if (m_spBookInfo->GetDescription(path, description) < 0) {
            return ui::LoadString(ui::IDS_NOT_A_BOOK);
        }
        // Each line feed is a line break of the plain text.
        return description.value_or(QString());
    } catch (const std::exception&) {
        return ui::LoadString(ui::IDS_NOT_A_BOOK);
    }
}

QString CSelectBookDlg::DescriptionOfPath(const std::string& path) const {
    // The component takes the path as text, which cannot hold every name: it is
    // given the descriptor that has the file open, which names the same file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return ui::LoadString(ui::IDS_NOT_A_BOOK);
    }
    QString description = DescriptionOf(QStringLiteral("/proc/self/fd/%1").arg(fd));
    ::close(fd);
    return description;
}

void CSelectBookDlg::accept() {
    auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (m_allFiles != nullptr && name != nullptr) {
        // A folder's name opens the folder (Qt's dialog would add the default
        // extension to it and find no such file).
        if (const QFileInfo typed(directory(), name->text());
            !name->text().isEmpty() && typed.isDir()) {
            setDirectory(QDir::cleanPath(typed.absoluteFilePath()));
            name->clear();
            return OnFolderShown();
        }
        m_chosenPath = m_allFiles->PathOfName(name->text());
        if (!m_chosenPath.empty()) {
            return done(QDialog::Accepted);
        }
    }
    CFileDlg::accept();
}

std::string CSelectBookDlg::ChosenPath() const {
    return m_chosenPath.empty() ? QFile::encodeName(GetPathName()).toStdString() : m_chosenPath;
}

// A path whose only separator is its first character leaves the book folder
// as it is.
void RememberBookFolder(const std::string& path) {
    if (const std::string folder = FolderOf(path); folder != "." && folder != "/") {
        g_DefaultDirectories.SetPath(kBookDirectoryId, folder);
    }
}

void CSelectBookDlg::done(int result) {
    if (result == QDialog::Accepted) {
        RememberBookFolder(ChosenPath());
    }
    CFileDlg::done(result);
}

}  // namespace plinth
