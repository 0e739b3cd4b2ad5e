#pragma once

// The comment transforms and the line and column rules against what must hold for any text.
// Input: one flag byte picking the encoding, then the text.

#include "commentedits.h"
#include "fuzzinput.h"
#include "textposition.h"

namespace FuzzChecks {

inline Verdict textFunctions(QByteArrayView input) {
    Verdict verdict;
    if (input.isEmpty())
        return verdict;
    const QString text = FuzzInput::text(input.sliced(1), quint8(input[0]));
    const int length = int(text.size());
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

    // Positions outside the text included: callers pass a caret that may be stale.
    for (int p = -2; p <= length + 2; ++p) {
        const int start = CommentEdits::lineStartBefore(text, p);
        const int limit = std::clamp(p, 0, length);
        const int lastBreak = int(QStringView(text).first(limit).lastIndexOf(QLatin1Char('\n')));
        if (!FUZZ_EXPECT(
                verdict,
                start >= 0 && start <= limit &&
                    (start == 0 || text[start - 1] == QLatin1Char('\n')) && start == lastBreak + 1,
                QStringLiteral("lineStartBefore(%1) = %2 in \"%3\"").arg(p).arg(start).arg(shown)))
            return verdict;
    }

    const LineStarts lines(text);
    if (!FUZZ_EXPECT(verdict, lines.lineCount() == breaks + 1,
                     QStringLiteral("LineStarts: %1 lines for %2 breaks in \"%3\"")
                         .arg(lines.lineCount())
                         .arg(breaks)
                         .arg(shown)))
        return verdict;
    int breaksBefore = 0;
    for (int p = 0; p <= length; ++p) {
        if (p > 0 && text[p - 1] == QLatin1Char('\n'))
            ++breaksBefore;
        const int row = lines.lineOf(p);
        if (!FUZZ_EXPECT(verdict, row == breaksBefore,
                         QStringLiteral("lineOf(%1) = %2 with %3 breaks before, in \"%4\"")
                             .arg(p)
                             .arg(row)
                             .arg(breaksBefore)
                             .arg(shown)))
            return verdict;
        const int start = lines.lineStart(row);
        const int column = TextPosition::column(p, start);
        if (!FUZZ_EXPECT(verdict,
                         start <= p && column >= 0 &&
                             start == CommentEdits::lineStartBefore(text, p),
                         QStringLiteral("position %1: line start %2, column %3, in \"%4\"")
                             .arg(p)
                             .arg(start)
                             .arg(column)
                             .arg(shown)))
            return verdict;
    }
    return verdict;
}

} // namespace FuzzChecks
