#include "textposition.h"

#include <algorithm>

LineStarts::LineStarts(QStringView text) {
    m_starts.push_back(0);
    const char16_t* units = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (units[i] == u'\n')
            m_starts.push_back(int(i + 1));
    }
}

int LineStarts::lineOf(int position) const {
    // A break's own position is below the start after it, so it stays with the line it ends.
    const auto after = std::upper_bound(m_starts.begin() + 1, m_starts.end(), position);
    return int(after - m_starts.begin()) - 1;
}

namespace TextPosition {

QString panelText(int column, int lineIndex) {
    return QStringLiteral("COL: ") + QString::number(column) + QStringLiteral("  ROW: ") +
           QString::number(lineIndex + 1);
}

} // namespace TextPosition
