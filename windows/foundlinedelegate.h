// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QStringList>
#include <QStyledItemDelegate>
#include <utility>

// Paints the Line column of Find Snippets with the words looked for in bold.
class FoundLineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Where the line's own text starts in an item's text (after its number); 0 when unset.
    static constexpr int TextStartRole = Qt::UserRole;

    void setWords(const QStringList& words) { m_words = words; }
    const QStringList& words() const { return m_words; }

    // The stretches of `text` (start, length), from `from` on, that are one of `words` in any
    // case, by start; stretches that touch or overlap are joined.
    static QList<std::pair<int, int>> matches(const QString& text, const QStringList& words,
                                              int from = 0);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    QStringList m_words;
};
