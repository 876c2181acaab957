#include "ui/FileDlg.h"

#include <QFile>

#include "settings/DefaultDirectories.h"
#include "ui/Strings.h"

namespace plinth {
namespace {

// The name filters of a filter list of "description|pattern|" pairs, up to the
// first empty description; a pattern of several parts separated by ";" lists
// them all. Nothing after a line feed belongs to the list.
QStringList NameFiltersOf(const QString& filter) {
    const QStringList parts = filter.section(QLatin1Char('\n'), 0, 0).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size() && !parts.at(i).isEmpty(); i += 2) {
        const QString& description = parts.at(i);
        // Qt takes the patterns from the parentheses at the end of the text.
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString shown = QLatin1Char('(') + patterns + QLatin1Char(')');
        filters << (description.endsWith(shown) ? description
                                                : description + QLatin1Char(' ') + shown);
    }
    return filters;
}

}  // namespace

CFileDlg::CFileDlg(int directoryId, FileDlgMode mode, int defExtId, const QString& fileName,
                   QFileDialog::Options options, int filterId, QWidget* parent)
    : QFileDialog(parent) {
    // Qt's own dialog takes the program's controls; a desktop's does not.
    setOptions(options | QFileDialog::DontUseNativeDialog);
    if (mode == FileDlgMode::Open) {
        setAcceptMode(QFileDialog::AcceptOpen);
        setFileMode(QFileDialog::ExistingFile);
    } else {
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
    }

    if (filterId != 0) {
        const QString filter = ui::LoadString(filterId);
        const qsizetype lineFeed = filter.indexOf(QLatin1Char('\n'));
        if (lineFeed >= 0) {
            m_strDefExt = filter.mid(lineFeed + 1);
        }
        SetFilterList(filter);
    }
    if (defExtId != 0) {
        m_strDefExt = ui::LoadString(defExtId);
    }
    // Qt drops the period of ".bk" and adds "bk" to a name typed without one.
    setDefaultSuffix(m_strDefExt);

    m_strInitialDir =
        QFile::decodeName(g_DefaultDirectories.GetPath(directoryId, Separator::None).c_str());
    setDirectory(m_strInitialDir);
    if (!fileName.isEmpty()) {
        selectFile(fileName);
    }
}

CFileDlg::~CFileDlg() = default;

QString CFileDlg::GetPathName() const { return selectedFiles().value(0); }

void CFileDlg::SetFilterList(const QString& filter) {
    const QStringList filters = NameFiltersOf(filter);
    if (!filters.isEmpty()) {
        setNameFilters(filters);
    }
}

}  // namespace plinth
