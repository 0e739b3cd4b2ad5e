// SPDX-License-Identifier: MIT
#pragma once

// Colouring::colour against the literal rules of the oracle.
//
// Input: one flag byte, then text in the encoding the flag picks. Up to the first U+0000 come the
// keywords, separated by U+0001; the rest is the text to colour. Without a U+0000 the text colours
// itself with its own pieces as keywords. The large form adds thousands of keywords that start
// with a private-use character: over ten digits (flag bit 2 clear) they make an automaton too
// large for the narrow table, over many ASCII characters (bit 2 set) one too large for any table.
// It is a target of its own because building those automata is slow.

#include "editor/colouring.h"
#include "fuzz/fuzzinput.h"
#include "tests/colouringoracle.h"

namespace FuzzChecks {

namespace ColouringDetail {

inline QStringList fillers(int count, QStringView alphabet) {
    QStringList out;
    out.reserve(count);
    quint64 state = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < count; ++i) {
        QString keyword(21, Qt::Uninitialized);
        keyword[0] = QChar(u'\uE000');
        for (int d = 1; d < 21; ++d) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            keyword[d] = alphabet[qsizetype((state >> 40) % quint64(alphabet.size()))];
        }
        out.append(keyword);
    }
    return out;
}

inline QString describe(const QList<ColourRun>& runs) {
    QString out;
    for (const ColourRun& run : runs)
        out += QStringLiteral("[%1+%2 %3]").arg(run.start).arg(run.length).arg(run.colour, 0, 16);
    return out;
}

// Sorted, non-empty, inside the text, not default-coloured, and neighbours of one colour merged.
inline bool wellFormed(const QList<ColourRun>& runs, qsizetype length) {
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const ColourRun& run = runs[i];
        if (run.start < 0 || run.length <= 0 || run.start + run.length > length ||
            run.colour == Colours::Default)
            return false;
        if (i > 0) {
            const ColourRun& before = runs[i - 1];
            const int beforeEnd = before.start + before.length;
            if (beforeEnd > run.start || (beforeEnd == run.start && before.colour == run.colour))
                return false;
        }
    }
    return true;
}

} // namespace ColouringDetail

inline Verdict colouring(QByteArrayView input, bool large) {
    using namespace ColouringDetail;
    Verdict verdict;
    if (input.isEmpty())
        return verdict;
    const quint8 flags = quint8(input[0]);
    const QString whole = FuzzInput::text(input.sliced(1), flags);
    const qsizetype split = whole.indexOf(QChar(u'\0'));
    const QString text = split < 0 ? whole : whole.sliced(split + 1);
    QStringList keywords;
    for (const QString& piece : (split < 0 ? whole : whole.first(split)).split(QChar(u'\1')))
        keywords.append(Colouring::lowered(piece));

    QStringList all = keywords;
    QStringList oracleKeywords = keywords;
    if (large) {
        static const QStringList wide = fillers(2400, u"0123456789");
        static const QStringList sparse =
            fillers(2400, u"0123456789abcdefghijklmnopqrstuvwxyz!\"#$%&()*+,-./:;<=>?@[\\]^_`{|}~");
        const QStringList& extra = (flags & 4) ? sparse : wide;
        all += extra;
        // Only fillers that occur can colour anything, and the oracle is slow.
        const QString lowered = Colouring::lowered(text);
        if (lowered.contains(QChar(u'\uE000'))) {
            for (const QString& keyword : extra) {
                if (lowered.contains(keyword))
                    oracleKeywords.append(keyword);
            }
        }
    }

    const QList<ColourRun> runs = Colouring::colour(text, all);
    const QList<quint32> expected = ColouringOracle::colourCode(text, oracleKeywords);
    if (!FUZZ_EXPECT(verdict, wellFormed(runs, text.size()),
                     QStringLiteral("colour: malformed runs %1 for text \"%2\"")
                         .arg(describe(runs), FuzzInput::show(text))))
        return verdict;
    const QList<quint32> got = ColouringOracle::expand(runs, text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!FUZZ_EXPECT(
                verdict, got[i] == expected[i],
                QStringLiteral("colour: character %1 is %2, the rules give %3; text "
                               "\"%4\", keywords \"%5\"")
                    .arg(i)
                    .arg(got[i], 0, 16)
                    .arg(expected[i], 0, 16)
                    .arg(FuzzInput::show(text), FuzzInput::show(keywords.join(QChar(u'|'))))))
            return verdict;
    }

    return verdict;
}

inline Verdict colouring(QByteArrayView input) {
    return colouring(input, false);
}

inline Verdict colouringLarge(QByteArrayView input) {
    return colouring(input, true);
}

} // namespace FuzzChecks
