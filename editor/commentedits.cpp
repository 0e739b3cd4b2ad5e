// SPDX-License-Identifier: MIT
#include "editor/commentedits.h"

#include <algorithm>

namespace CommentEdits {

QString commentSelection(QStringView selected) {
    QString result;
    result.reserve(selected.size() + selected.count(QLatin1Char('\n')) + 1);
    result.append(QChar(Marker));
    qsizetype from = 0;
    for (;;) {
        const qsizetype lineBreak = selected.indexOf(QLatin1Char('\n'), from);
        if (lineBreak < 0)
            break;
        result.append(selected.sliced(from, lineBreak + 1 - from));
        result.append(QChar(Marker));
        from = lineBreak + 1;
    }
    result.append(selected.sliced(from));
    return result;
}

QString commentFromHere(QStringView selected) {
    return QChar(Marker) + selected.toString();
}

} // namespace CommentEdits
