#include "app/HelpPage.h"

#include <QDir>
#include <QFileInfo>
#include <array>

namespace plinth {

std::optional<QString> FindHelpPage(const QString& executableFolder) {
    const std::array<QString, 2> candidates = {
        QStringLiteral("help/index.html"),
        QStringLiteral("../share/plinth/help/index.html"),
    };
    const QDir folder(executableFolder);
    for (const QString& candidate : candidates) {
        const QFileInfo page(folder.filePath(candidate));
        if (page.isFile()) {
            return page.canonicalFilePath();
        }
    }
    return std::nullopt;
}

}  // namespace plinth
