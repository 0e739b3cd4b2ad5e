// SPDX-License-Identifier: MIT
#include "windows/programicon.h"

#include <QPainter>
#include <QPainterPath>

// A notebook page of coloured code lines with a quill laid across it.
void paintProgramPicture(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);

    // Cover, then the page on it.
    painter.setPen(QPen(QColor(22, 44, 96), 1));
    painter.setBrush(QColor(40, 78, 160));
    painter.drawRoundedRect(QRectF(3.5, 2.5, 23, 27), 2, 2);
    painter.setPen(QPen(QColor(150, 150, 150), 1));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(7.5, 3.5, 18, 25));

    // Rings of the binding.
    painter.setPen(QPen(QColor(200, 200, 210), 1.5));
    for (int y = 6; y <= 26; y += 5)
        painter.drawLine(QPointF(2, y), QPointF(9, y));

    // Code lines: keywords in navy, a comment in green.
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor navy(0, 0, 128);
    const QColor green(0, 128, 0);
    const QColor black(60, 60, 60);
    struct Stroke {
        int x, y, width;
        QColor colour;
    };
    const Stroke strokes[] = {{10, 7, 6, navy},   {17, 7, 5, black},  {12, 11, 5, navy},
                              {18, 11, 5, black}, {12, 15, 9, green}, {10, 19, 6, navy},
                              {10, 23, 4, black}};
    for (const Stroke& stroke : strokes)
        painter.fillRect(stroke.x, stroke.y, stroke.width, 2, stroke.colour);

    // The quill: a feather from the top right down to a nib on the page.
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath feather;
    feather.moveTo(15, 27);
    feather.cubicTo(17, 19, 23, 7, 31, 1);
    feather.cubicTo(30, 9, 25, 19, 15, 27);
    painter.setPen(QPen(QColor(120, 90, 30), 1));
    painter.setBrush(QColor(250, 236, 190));
    painter.drawPath(feather);
    painter.setPen(QPen(QColor(150, 110, 40), 1));
    painter.drawLine(QPointF(16, 25.5), QPointF(29.5, 3));
    painter.setPen(QPen(QColor(30, 30, 30), 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(15.5, 26.5), QPointF(13, 30));
}

QImage programImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(size / 32.0, size / 32.0);
    paintProgramPicture(painter);
    return image;
}

QPixmap programPicture() {
    return QPixmap::fromImage(programImage(32));
}

QIcon programIcon() {
    // Large sizes too, for task bars and window switchers on dense screens.
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(programImage(size)));
    return icon;
}
