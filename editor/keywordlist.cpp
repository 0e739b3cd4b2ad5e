// SPDX-License-Identifier: MIT
#include "editor/keywordlist.h"

#include "editor/colouring.h"

namespace KeywordList {

QStringList parse(QStringView text) {
    QStringList keywords;
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype lineFeed = text.indexOf(QLatin1Char('\n'), from);
        qsizetype next = lineFeed + 1;
        if (lineFeed < 0) {
            lineFeed = text.size();
            next = lineFeed;
        }
        qsizetype end = lineFeed;
        // Only a CR right before the LF belongs to the line end; a lone CR is part of the word.
        if (end > from && lineFeed < text.size() && text[end - 1] == QLatin1Char('\r'))
            --end;
        if (end > from)
            keywords.append(Colouring::lowered(text.sliced(from, end - from)));
        from = next;
    }
    return keywords;
}

} // namespace KeywordList
