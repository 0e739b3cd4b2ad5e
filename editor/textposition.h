#pragma once

#include <QString>
#include <QStringView>
#include <vector>

// Line and column rules on a text whose line breaks are single '\n' characters.
class LineStarts {
public:
    explicit LineStarts(QStringView text);
    int lineCount() const { return int(m_starts.size()); }
    // Index from 0 of the line that holds `position`; a line's break belongs to the line it ends
    // and the position just past the end of the text belongs to the last line.
    int lineOf(int position) const;
    int lineStart(int line) const { return m_starts[std::size_t(line)]; }

private:
    std::vector<int> m_starts;
};

namespace TextPosition {
// The column shown in the status bar: the selection start less the start of its own line.
inline int column(int selectionStart, int lineStartOfSelectionStart) {
    return selectionStart - lineStartOfSelectionStart;
}
// The text of the position panel.
QString panelText(int column, int lineIndex);
} // namespace TextPosition
