// SPDX-License-Identifier: MIT
#pragma once

// Colouring by a grammar, on any text: the runs stay inside the text, sorted and apart, the text
// is never changed, and a tree edited to a shorter text (as a key press edits it) colours that text
// exactly as a fresh parse does.
//
// Input: one byte picking the language and the encoding, then the text.

#include "editor/languages.h"
#include "editor/syntaxcolouring.h"
#include "fuzz/fuzzinput.h"

#include <chrono>
#include <thread>

namespace FuzzChecks {

inline bool syntaxRunsWellFormed(const QList<ColourRun>& runs, qsizetype length) {
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const ColourRun& run = runs[i];
        if (run.start < 0 || run.length <= 0 || run.start + run.length > length ||
            run.colour == Colours::Default)
            return false;
        if (i > 0 && runs[i - 1].start + runs[i - 1].length > run.start)
            return false;
    }
    return true;
}

inline Verdict syntax(QByteArrayView bytes) {
    Verdict verdict;
    if (bytes.isEmpty())
        return verdict;
    const auto& languages = Languages::usable();
    const unsigned flag = quint8(bytes[0]);
    const CodeLanguage& language = *languages[flag % languages.size()];
    const QString text = FuzzInput::text(bytes.sliced(1), flag / unsigned(languages.size()));
    const QString copy = text;
    const QList<ColourRun> runs = SyntaxColouring::colourNow(language, text);
    FUZZ_EXPECT(verdict, syntaxRunsWellFormed(runs, text.size()),
                language.id + QStringLiteral(": runs outside the text or overlapping: ") +
                    FuzzInput::show(text));
    FUZZ_EXPECT(verdict, text == copy, QStringLiteral("the text changed"));

    // The same text cut short, the way the thread does it after an edit: from the last tree.
    const QString truncated = text.left(text.size() / 2);
    SyntaxColouring thread;
    thread.colour(&language, text, 1);
    thread.colour(&language, truncated, 2);
    std::optional<SyntaxColouring::Result> result;
    for (int i = 0; i < 20000 && (!result || result->generation != 2); ++i) {
        if (auto taken = thread.take(2))
            result = std::move(taken);
        else
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    FUZZ_EXPECT(verdict, result && result->generation == 2,
                QStringLiteral("no colours for the edited text"));
    // Nothing was taken before, so the colours are for the whole text.
    const QList<SyntaxColouring::Span> whole{{0, int(truncated.size())}};
    if (result && result->generation == 2)
        FUZZ_EXPECT(verdict,
                    result->spans == whole &&
                        result->runs == SyntaxColouring::colourNow(language, truncated),
                    language.id + QStringLiteral(": an edited tree colours unlike a new one: ") +
                        FuzzInput::show(truncated));
    return verdict;
}

} // namespace FuzzChecks
