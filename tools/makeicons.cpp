// makeicons SOURCE.svg TARGET.png SIZE: draws one of our SVG icons into a PNG of SIZE x SIZE
// pixels (or WIDTHxHEIGHT), transparent around the drawing.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: makeicons SOURCE.svg TARGET.png SIZE|WIDTHxHEIGHT\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "makeicons: %s is no valid SVG file\n", argv[1]);
        return 1;
    }
    const QString size = QString::fromLatin1(argv[3]);
    const QStringList wh = size.split('x');
    const int w = wh.value(0).toInt();
    const int h = wh.size() > 1 ? wh.value(1).toInt() : w;
    if (w <= 0 || h <= 0) {
        std::fprintf(stderr, "makeicons: bad size %s\n", argv[3]);
        return 2;
    }
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "makeicons: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
