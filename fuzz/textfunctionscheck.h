// SPDX-License-Identifier: MIT
#pragma once

// The comment transforms and the line and column rules against what must hold for any text.
// Input: one flag byte picking the encoding, then the text.

#include "editor/commentedits.h"
#include "editor/textposition.h"
#include "fuzz/fuzzinput.h"

namespace FuzzChecks {

inline Verdict textFunctions(QByteArrayView input) {
    Verdict verdict;
    if (input.isEmpty())
        return verdict;
    const QString text = FuzzInput::text(input.sliced(1), quint8(input[0]));
    const QString shown = FuzzInput::show(text);
    const qsizetype breaks = text.count(QLatin1Char('\n'));
    const qsizetype markers = text.count(QChar(CommentEdits::Marker));

    // A marker before the first line and after every break, and nothing else.
    const QString commented = CommentEdits::commentSelection(text);
    FUZZ_EXPECT(verdict, commented.count(QChar(CommentEdits::Marker)) == markers + breaks + 1,
                QStringLiteral("commentSelection: wrong marker count for \"%1\"").arg(shown));
    QString restored;
    bool atLineStart = true;
    for (const QChar c : commented) {
        if (atLineStart) {
            if (!FUZZ_EXPECT(verdict, c == QChar(CommentEdits::Marker),
                             QStringLiteral("commentSelection: a line of \"%1\" does not start "
                                            "with a marker")
                                 .arg(shown)))
                return verdict;
            atLineStart = false;
            continue;
        }
        restored += c;
        atLineStart = c == QLatin1Char('\n');
    }
    FUZZ_EXPECT(
        verdict, !atLineStart,
        QStringLiteral("commentSelection: no marker on the last line of \"%1\"").arg(shown));
    FUZZ_EXPECT(verdict, restored == text,
                QStringLiteral("commentSelection: \"%1\" less its markers is \"%2\"")
                    .arg(shown, FuzzInput::show(restored)));

    const QString fromHere = CommentEdits::commentFromHere(text);
    FUZZ_EXPECT(verdict,
                fromHere.size() == text.size() + 1 &&
                    fromHere.front() == QChar(CommentEdits::Marker) &&
                    QStringView(fromHere).sliced(1) == text,
                QStringLiteral("commentFromHere: \"%1\" gave \"%2\"")
                    .arg(shown, FuzzInput::show(fromHere)));

    return verdict;
}

} // namespace FuzzChecks
