// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// Which lines two texts do not share, found by the shortest edit script (Myers). The work is
// bounded, so a huge or wholly rewritten text never stalls the window that asked: beyond the
// bound every line of both counts as differing.
namespace LineDiff {

// Lines as the editor splits them: at each '\n', so "a\n" is "a" and an empty last line.
QStringList lines(QStringView text);

struct Marks {
    QList<bool> onlyInOld; // per line of the old text: not found in the new one
    QList<bool> onlyInNew;
    bool exact = true; // false: the bound was reached and every line is marked
    int countOld() const { return int(onlyInOld.count(true)); }
    int countNew() const { return int(onlyInNew.count(true)); }
};

// About a tenth of a second of line comparisons on a desktop.
inline constexpr qint64 DefaultBound = 30'000'000;

// `bound` caps the comparisons and the steps remembered to trace the script back.
Marks compare(const QStringList& oldLines, const QStringList& newLines,
              qint64 bound = DefaultBound);

} // namespace LineDiff
