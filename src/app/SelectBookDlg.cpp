#include "app/SelectBookDlg.h"

#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
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

    // Below the dialog's own controls, across its whole width.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(preview, grid->rowCount(), 0, 1, grid->columnCount());
    } else if (layout() != nullptr) {
        layout()->addWidget(preview);
    }
    connect(this, &QFileDialog::currentChanged, this, &CSelectBookDlg::OnCurrentChanged);
}

void CSelectBookDlg::OnCurrentChanged(const QString& path) {
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

// A path whose only separator is its first character leaves the book folder
// as it is.
void RememberBookFolder(const std::string& path) {
    if (const std::string folder = FolderOf(path); folder != "." && folder != "/") {
        g_DefaultDirectories.SetPath(kBookDirectoryId, folder);
    }
}

void CSelectBookDlg::done(int result) {
    if (result == QDialog::Accepted) {
        RememberBookFolder(QFile::encodeName(GetPathName()).toStdString());
    }
    CFileDlg::done(result);
}

}  // namespace plinth
