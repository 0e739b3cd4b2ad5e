// SPDX-License-Identifier: MIT
// Writes the installed icon files from the code that draws the window's icon, so they are one
// picture: <folder>/<name>.svg and <folder>/<size>/<name>.png for each size given.
// Usage: makeicons <folder> <name> <size>...

#include "windows/programicon.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgGenerator>

#include <cstdio>

namespace {

bool fail(const QString& file) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    return false;
}

bool writeSvg(const QString& file) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(32, 32));
    svg.setViewBox(QRectF(0, 0, 32, 32));
    svg.setTitle(QStringLiteral("Quillary"));
    {
        QPainter painter;
        if (!painter.begin(&svg))
            return fail(file);
        paintProgramPicture(painter);
    }
    // The generator gives the size in millimetres, where icon themes expect pixels, and font
    // attributes that a picture without text does not need (a size of -1 upsets renderers).
    QString text = QString::fromUtf8(buffer.data());
    text.replace(QRegularExpression(QStringLiteral(R"(<svg width="[^"]*" height="[^"]*")")),
                 QStringLiteral(R"(<svg width="32" height="32")"));
    text.remove(
        QRegularExpression(QStringLiteral(R"(\s*font-(family|size|weight|style)="[^"]*")")));
    QFile out(file);
    const QByteArray bytes = text.toUtf8();
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return fail(file);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <folder> <name> <size>...\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    if (!writeSvg(folder + QStringLiteral("/") + name + QStringLiteral(".svg")))
        return 1;
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        const QString sized = folder + QStringLiteral("/%1").arg(size);
        const QString file = sized + QStringLiteral("/") + name + QStringLiteral(".png");
        if (size <= 0 || !QDir().mkpath(sized) || !programImage(size).save(file))
            return fail(file) ? 0 : 1;
    }
    return 0;
}
