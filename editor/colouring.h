// SPDX-License-Identifier: MIT
#pragma once

#include "editor/colours.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace Colouring {

// Lowers one UTF-16 unit; the same rule serves text and keywords, and never changes a length.
char16_t lowerUnit(char16_t unit);
QString lowered(QStringView text);

// Space, TAB, CR and LF.
inline bool isBoundary(char16_t unit) {
    return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n';
}

// The colour of every character of `text` as keyword and comment colouring leaves it, for
// keywords that are already lowered. Returns the runs that are not the default colour, sorted,
// non-overlapping, neighbours of one colour merged. One pass over the text for all keywords.
QList<ColourRun> colour(QStringView text, const QStringList& keywords);

} // namespace Colouring
