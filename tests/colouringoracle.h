// SPDX-License-Identifier: MIT
#pragma once

// The colouring rules followed literally, one keyword after another over a colour per character:
// slow, but obviously right, so the fast colouring can be checked against it.

#include "editor/colouring.h"
#include "editor/colours.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace ColouringOracle {

inline void highlightText(const QString& lowered, const QString& keyword, quint32 colour,
                          QList<quint32>& colours) {
    const qsizetype n = keyword.size();
    if (n == 0)
        return; // an empty keyword would be found at the same place forever
    qsizetype p = lowered.indexOf(keyword, 0);
    while (p >= 0) {
        const bool before = p == 0 || Colouring::isBoundary(lowered[p - 1].unicode());
        const bool after =
            p + n == lowered.size() || Colouring::isBoundary(lowered[p + n].unicode());
        if (before && after) {
            for (qsizetype i = p; i < p + n; ++i)
                colours[i] = colour;
        }
        p = lowered.indexOf(keyword, p + n);
    }
}

inline void commentPass(const QString& text, QList<quint32>& colours) {
    qsizetype a = text.indexOf(QLatin1Char('\''), 0);
    while (a >= 0) {
        const qsizetype lineBreak = text.indexOf(QLatin1Char('\n'), a);
        const qsizetype last = lineBreak < 0 ? text.size() - 1 : lineBreak;
        for (qsizetype i = a + 1; i <= last; ++i)
            colours[i] = Colours::Comment;
        a = text.indexOf(QLatin1Char('\''), a + 1);
    }
}

inline QList<quint32> colourCode(const QString& text, const QStringList& keywords) {
    QList<quint32> colours(text.size(), Colours::Default);
    const QString lowered = Colouring::lowered(text);
    for (const QString& keyword : keywords)
        highlightText(lowered, keyword, Colours::Keyword, colours);
    commentPass(text, colours);
    return colours;
}

inline QList<quint32> expand(const QList<ColourRun>& runs, qsizetype length) {
    QList<quint32> colours(length, Colours::Default);
    for (const ColourRun& run : runs) {
        for (int i = run.start; i < run.start + run.length && i < length; ++i)
            colours[i] = run.colour;
    }
    return colours;
}

} // namespace ColouringOracle
