// SPDX-License-Identifier: MIT
#include "app/pictures.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOption>
#include <cmath>
#include <functional>

namespace {

constexpr int side = 16;

// Draws one picture on a 16 x 16 grid; the painter may be scaled to any resolution.
using Draw = std::function<void(QPainter&)>;

// The picture drawn at `pixels` x `pixels` device pixels, so it stays sharp at any scale.
QPixmap render(const Draw& draw, int pixels) {
    QPixmap picture(pixels, pixels);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.scale(qreal(pixels) / side, qreal(pixels) / side);
    draw(painter);
    return picture;
}

QPixmap renderAt(const Draw& draw, qreal devicePixelRatio) {
    QPixmap picture = render(draw, int(std::ceil(side * devicePixelRatio)));
    picture.setDevicePixelRatio(devicePixelRatio);
    return picture;
}

// An icon drawn afresh for each size and screen scale it is asked for.
class PictureEngine : public QIconEngine {
public:
    explicit PictureEngine(Draw draw) : m_draw(std::move(draw)) {}

    QIconEngine* clone() const override { return new PictureEngine(m_draw); }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1);
    }

    // `size` is in device pixels here.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal) override {
        const QPixmap picture = render(m_draw, std::min(size.width(), size.height()));
        // A selected row shows the same picture as any other; only a disabled one is dimmed.
        if (mode != QIcon::Disabled || !qobject_cast<QApplication*>(QCoreApplication::instance()))
            return picture;
        QStyleOption option;
        option.palette = QApplication::palette();
        return QApplication::style()->generatedIconPixmap(mode, picture, &option);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap picture = scaledPixmap(rect.size() * ratio, mode, state, ratio);
        picture.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, picture);
    }

private:
    Draw m_draw;
};

// An outlined box: one pixel of `edge` around `inside`, all on whole pixels.
void box(QPainter& painter, const QRect& outer, const QColor& edge, const QColor& inside) {
    painter.fillRect(outer, edge);
    painter.fillRect(outer.adjusted(1, 1, -1, -1), inside);
}

// A white sheet whose top right corner is folded over by `fold` pixels.
void foldedSheet(QPainter& painter, const QRect& sheet, int fold, const QColor& edge) {
    box(painter, sheet, edge, Qt::white);
    const int foldX = sheet.right() - fold;
    const int foldY = sheet.top() + fold;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int i = 0; i < fold; ++i) {
        const int y = sheet.top() + i;
        painter.fillRect(QRect(foldX + i + 1, y, fold - i, 1), Qt::transparent);
        painter.fillRect(QRect(foldX + i, y, 1, 1), edge);
        if (i > 1)
            painter.fillRect(QRect(foldX + 1, y, i - 1, 1), QColor(215, 215, 215));
    }
    painter.restore();
    painter.fillRect(QRect(foldX, sheet.top(), 1, fold + 1), edge);
    painter.fillRect(QRect(foldX, foldY, fold + 1, 1), edge);
}

void folder(QPainter& painter) {
    const QColor edge(140, 100, 0);
    const QColor fill(250, 210, 70);
    painter.fillRect(QRect(1, 2, 6, 3), edge); // tab
    painter.fillRect(QRect(2, 3, 4, 1), fill);
    box(painter, QRect(1, 4, 14, 10), edge, fill);
    painter.fillRect(QRect(2, 5, 12, 1), QColor(255, 240, 170));
    painter.fillRect(QRect(2, 12, 12, 1), QColor(225, 170, 30));
}

// A sign in the bottom right corner, outlined so it reads on the folder.
void sign(QPainter& painter, bool plus, const QColor& edge, const QColor& fill) {
    const QRect across(8, 10, 8, 4);
    const QRect down(10, 8, 4, 8);
    painter.fillRect(across, edge);
    if (plus)
        painter.fillRect(down, edge);
    painter.fillRect(across.adjusted(1, 1, -1, -1), fill);
    if (plus)
        painter.fillRect(down.adjusted(1, 1, -1, -1), fill);
}

void floppy(QPainter& painter) {
    box(painter, QRect(1, 1, 14, 14), QColor(10, 30, 90), QColor(40, 90, 200));
    painter.fillRect(QRect(2, 2, 12, 1), QColor(90, 140, 230));
    box(painter, QRect(3, 1, 10, 7), QColor(10, 30, 90), Qt::white); // label
    painter.fillRect(QRect(5, 3, 6, 1), QColor(170, 180, 200));
    painter.fillRect(QRect(5, 5, 6, 1), QColor(170, 180, 200));
    box(painter, QRect(4, 10, 8, 5), QColor(10, 30, 90), QColor(200, 205, 215)); // shutter
    painter.fillRect(QRect(9, 11, 2, 3), QColor(10, 30, 90));
}

// The folder with a plus or minus sign on it.
void signedFolder(QPainter& painter, bool plus, const QColor& edge, const QColor& fill) {
    folder(painter);
    sign(painter, plus, edge, fill);
}

void addFolder(QPainter& painter) {
    signedFolder(painter, true, QColor(0, 90, 0), QColor(40, 190, 40));
}

void clipboard(QPainter& painter) {
    box(painter, QRect(2, 1, 12, 15), QColor(90, 50, 10), QColor(170, 105, 50));
    painter.fillRect(QRect(4, 4, 8, 10), Qt::white);
    for (int y = 6; y <= 12; y += 2)
        painter.fillRect(QRect(5, y, y == 12 ? 4 : 6, 1), QColor(150, 150, 150));
    box(painter, QRect(5, 0, 6, 4), QColor(140, 100, 0), QColor(255, 210, 0)); // clip
    painter.fillRect(QRect(7, 1, 2, 1), QColor(140, 100, 0));
}

void colourCode(QPainter& painter) {
    const QColor blue(0, 60, 200);
    // A bold "C", pixel by pixel, so it stays sharp at this size.
    const char* const letter[] = {"..XXXX.", ".XXXXXX", "XXX..XX", "XX.....", "XX.....",
                                  "XX.....", "XX.....", "XXX..XX", ".XXXXXX", "..XXXX."};
    for (int row = 0; row < 10; ++row)
        for (int column = 0; column < 7; ++column)
            if (letter[row][column] == 'X')
                painter.fillRect(QRect(column, 4 + row, 1, 1), blue);

    // The pen, tilted, with its nib at the bottom left.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(11.5, 7.5);
    painter.rotate(25);
    painter.setPen(QPen(QColor(0, 30, 110), 1));
    painter.setBrush(QColor(50, 110, 230));
    painter.drawRect(QRectF(-1.75, -6, 3.5, 9));
    QPainterPath nib;
    nib.moveTo(-1.75, 3);
    nib.lineTo(1.75, 3);
    nib.lineTo(0, 6.5);
    nib.closeSubpath();
    painter.setBrush(QColor(150, 190, 255));
    painter.drawPath(nib);
}

void removeFolder(QPainter& painter) {
    signedFolder(painter, false, QColor(120, 0, 0), QColor(225, 30, 30));
}

void saveDiskAs(QPainter& painter) {
    floppy(painter);
    foldedSheet(painter, QRect(6, 0, 9, 10), 3, QColor(90, 90, 90));
    for (int y = 4; y <= 8; y += 2)
        painter.fillRect(QRect(8, y, 5, 1), QColor(120, 120, 120));
}

void page(QPainter& painter) {
    foldedSheet(painter, QRect(2, 0, 12, 16), 4, QColor(100, 100, 100));
}

const QList<Draw>& toolbarDrawings() {
    static const QList<Draw> drawings = {addFolder,    clipboard, colourCode,
                                         removeFolder, floppy,    saveDiskAs};
    return drawings;
}

const QList<Draw>& treeDrawings() {
    static const QList<Draw> drawings = {page, folder};
    return drawings;
}

QList<QPixmap> picturesAt(const QList<Draw>& drawings, qreal devicePixelRatio) {
    QList<QPixmap> pictures;
    for (const Draw& draw : drawings)
        pictures.append(renderAt(draw, devicePixelRatio));
    return pictures;
}

QList<QIcon> iconsOf(const QList<Draw>& drawings) {
    QList<QIcon> icons;
    for (const Draw& draw : drawings)
        icons.append(QIcon(new PictureEngine(draw)));
    return icons;
}

} // namespace

QList<QPixmap> Pictures::toolbarPictures(qreal devicePixelRatio) {
    return picturesAt(toolbarDrawings(), devicePixelRatio);
}

QList<QPixmap> Pictures::treePictures(qreal devicePixelRatio) {
    return picturesAt(treeDrawings(), devicePixelRatio);
}

QList<QIcon> Pictures::toolbarIcons() {
    return iconsOf(toolbarDrawings());
}

QList<QIcon> Pictures::treeIcons() {
    return iconsOf(treeDrawings());
}
