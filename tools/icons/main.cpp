// plinth-icon-png: renders an SVG icon into a square PNG image, for the sizes of
// the icon theme that an installation carries.
//
//   plinth-icon-png SVG SIZE PNG

#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: plinth-icon-png SVG SIZE PNG\n", stderr);
        return 2;
    }
    const QString svg = QString::fromLocal8Bit(argv[1]);
    const QString png = QString::fromLocal8Bit(argv[3]);
    const int size = std::stoi(argv[2]);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid() || size <= 0) {
        std::fprintf(stderr, "plinth-icon-png: cannot render %s at %s pixels\n", argv[1], argv[2]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    if (!image.save(png, "PNG")) {
        std::fprintf(stderr, "plinth-icon-png: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
