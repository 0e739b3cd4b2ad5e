// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

namespace TextPosition {
// The column shown in the status bar: the selection start less the start of its own line.
inline int column(int selectionStart, int lineStartOfSelectionStart) {
    return selectionStart - lineStartOfSelectionStart;
}
// The text of the position panel.
QString panelText(int column, int lineIndex);
} // namespace TextPosition
