// SPDX-License-Identifier: MIT
#include "windows/foundlinedelegate.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>

namespace {
// A column never shows more than this; a found line may be megabytes long.
constexpr int ShownCharacters = 1000;
} // namespace

QList<std::pair<int, int>> FoundLineDelegate::matches(const QString& text, const QStringList& words,
                                                      int from) {
    QList<std::pair<int, int>> found;
    for (const QString& word : words) {
        if (word.isEmpty())
            continue;
        for (qsizetype at = text.indexOf(word, from, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(word, at + 1, Qt::CaseInsensitive))
            found.append({int(at), int(word.size())});
    }
    std::sort(found.begin(), found.end());
    QList<std::pair<int, int>> joined;
    for (const auto& [start, length] : found) {
        if (!joined.isEmpty() && start <= joined.last().first + joined.last().second) {
            auto& last = joined.last();
            last.second = std::max(last.second, start + length - last.first);
        } else {
            joined.append({start, length});
        }
    }
    return joined;
}

void FoundLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text.left(ShownCharacters);
    const QList<std::pair<int, int>> bold =
        matches(text, m_words, index.data(TextStartRole).toInt());
    if (bold.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The style draws the cell without its text; the text follows with the words in bold.
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect rect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget)
                           .adjusted(margin, 0, -margin, 0);

    QTextCharFormat strong;
    strong.setFontWeight(QFont::Bold);
    QList<QTextLayout::FormatRange> formats;
    for (const auto& [start, length] : bold)
        formats.append({start, length, strong});
    QString shown = text;
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    QTextLayout layout(shown, opt.font);
    layout.setFormats(formats);
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(wrap);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid())
        return;

    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                                            : QPalette::Inactive;
    const QPalette::ColorRole role =
        opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text;
    painter->save();
    painter->setPen(opt.palette.color(group, role));
    painter->setClipRect(rect);
    const QPointF origin(rect.left(), rect.top() + (rect.height() - line.height()) / 2);
    // What does not fit ends in an ellipsis, as in the other columns.
    const QString ellipsis(QChar(0x2026));
    const qreal ellipsisWidth = opt.fontMetrics.horizontalAdvance(ellipsis);
    if (line.naturalTextWidth() > rect.width()) {
        const qreal room = std::max<qreal>(0, rect.width() - ellipsisWidth);
        const int cut = line.xToCursor(room, QTextLine::CursorOnCharacter);
        const qreal cutX = line.cursorToX(cut);
        painter->save();
        painter->setClipRect(QRectF(rect.left(), rect.top(), cutX, rect.height()),
                             Qt::IntersectClip);
        layout.draw(painter, origin);
        painter->restore();
        painter->drawText(QPointF(rect.left() + cutX, origin.y() + line.ascent()), ellipsis);
    } else {
        layout.draw(painter, origin);
    }
    painter->restore();
}
