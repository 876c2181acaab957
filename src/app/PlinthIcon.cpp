#include "app/PlinthIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <array>

namespace plinth {

QIcon PlinthIcon() {
    QSvgRenderer renderer(QStringLiteral(":/plinth/plinth.svg"));
    QIcon icon;
    if (!renderer.isValid()) {
        return icon;
    }
    constexpr std::array kSizes = {16, 22, 24, 32, 48, 64, 128, 256};
    for (const int size : kSizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace plinth
