// SPDX-License-Identifier: MIT
#include "editor/textposition.h"

#include <QCoreApplication>

namespace TextPosition {

QString panelText(int column, int lineIndex) {
    //: The status bar's position panel, kept short: %1 the column, %2 the line
    return QCoreApplication::translate("TextPosition", "COL: %1  ROW: %2")
        .arg(column)
        .arg(lineIndex + 1);
}

} // namespace TextPosition
