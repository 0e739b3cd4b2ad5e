// SPDX-License-Identifier: MIT
#pragma once

// KeywordList::parse on the bytes of a keyword file, decoded as the program decodes it.

#include "editor/colouring.h"
#include "editor/keywordlist.h"
#include "fuzz/fuzzinput.h"
#include "library/snippetcodec.h"

namespace FuzzChecks {

inline Verdict keywordList(QByteArrayView input) {
    Verdict verdict;
    const QString text = SnippetCodec::decodeText(input.toByteArray());
    const QStringList keywords = KeywordList::parse(text);
    const QString shown = FuzzInput::show(text);
    FUZZ_EXPECT(verdict, keywords.size() <= text.count(QLatin1Char('\n')) + 1,
                QStringLiteral("%1 keywords from \"%2\"").arg(keywords.size()).arg(shown));
    for (const QString& keyword : keywords) {
        FUZZ_EXPECT(verdict, !keyword.isEmpty(),
                    QStringLiteral("an empty keyword from \"%1\"").arg(shown));
        FUZZ_EXPECT(verdict, !keyword.contains(QLatin1Char('\n')),
                    QStringLiteral("keyword \"%1\" holds a break").arg(FuzzInput::show(keyword)));
        FUZZ_EXPECT(verdict, Colouring::lowered(keyword) == keyword,
                    QStringLiteral("keyword \"%1\" is not lowered").arg(FuzzInput::show(keyword)));
        if (verdict.failed())
            return verdict;
    }

    // Line by line: a CR belongs to the line end only right before an LF.
    QStringList lines = text.split(QLatin1Char('\n'));
    QStringList expected;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (i + 1 < lines.size() && line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!line.isEmpty())
            expected.append(Colouring::lowered(line));
    }
    FUZZ_EXPECT(verdict, keywords == expected,
                QStringLiteral("\"%1\" gave \"%2\"")
                    .arg(shown, FuzzInput::show(keywords.join(QChar(u'|')))));
    return verdict;
}

} // namespace FuzzChecks
