// SPDX-License-Identifier: MIT
#include "editor/textposition.h"

namespace TextPosition {

QString panelText(int column, int lineIndex) {
    return QStringLiteral("COL: ") + QString::number(column) + QStringLiteral("  ROW: ") +
           QString::number(lineIndex + 1);
}

} // namespace TextPosition
