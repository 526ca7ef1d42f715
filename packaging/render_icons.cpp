// SPDX-License-Identifier: MIT
// Build-time tool: renders the program's icon from Artwork, the one source of
// the picture, into the files that are installed into the desktop's icon
// theme: PNG at 16, 32 and 48 pixels and a scalable SVG; and into the Windows
// icon file with the sizes Windows picks from (16 to 256 pixels).
//
//     tarnvik_render_icons OUTPUT_DIR
//
// writes OUTPUT_DIR/tarnvik-16.png, -32.png, -48.png, tarnvik.svg and
// tarnvik.ico.
#include "artwork.h"
#include "ico_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>

namespace {

const int kDotsPerMeterAt96Dpi = 3780;

// Drawn as Artwork::iconPixmap draws it, into an image, which needs no
// window system.
QImage render(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDotsPerMeterX(kDotsPerMeterAt96Dpi);
    image.setDotsPerMeterY(kDotsPerMeterAt96Dpi);
    QPainter painter(&image);
    painter.scale(size / 32.0, size / 32.0);
    Artwork::drawIcon(painter);
    painter.end();
    return image;
}

bool writePng(const QDir &dir, int size)
{
    return render(size).save(dir.filePath(QStringLiteral("tarnvik-%1.png").arg(size)), "PNG");
}

bool writeIco(const QDir &dir)
{
    QList<QImage> pictures;
    for (int size : {16, 24, 32, 48, 64, 256})
        pictures << render(size);
    const QByteArray bytes = IcoFile::encode(pictures);
    QFile file(dir.filePath(QStringLiteral("tarnvik.ico")));
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size() && file.flush();
}

bool writeSvg(const QDir &dir)
{
    QSvgGenerator svg;
    svg.setFileName(dir.filePath(QStringLiteral("tarnvik.svg")));
    svg.setSize(QSize(32, 32));
    svg.setViewBox(QRect(0, 0, 32, 32));
    svg.setResolution(96);
    svg.setTitle(QStringLiteral("tarnvik"));
    svg.setDescription(QStringLiteral("Icon of tarnvik"));
    QPainter painter;
    if (!painter.begin(&svg))
        return false;
    Artwork::drawIcon(painter);
    return painter.end();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fputs("usage: tarnvik_render_icons OUTPUT_DIR\n", stderr);
        return 2;
    }
    const QDir dir(args.at(1));
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(dir.path()));
        return 1;
    }
    for (int size : {16, 32, 48}) {
        if (!writePng(dir, size)) {
            std::fprintf(stderr, "cannot write the %d pixel icon into %s\n", size,
                         qPrintable(dir.path()));
            return 1;
        }
    }
    if (!writeSvg(dir)) {
        std::fprintf(stderr, "cannot write the scalable icon into %s\n", qPrintable(dir.path()));
        return 1;
    }
    if (!writeIco(dir)) {
        std::fprintf(stderr, "cannot write the Windows icon into %s\n", qPrintable(dir.path()));
        return 1;
    }
    return 0;
}
