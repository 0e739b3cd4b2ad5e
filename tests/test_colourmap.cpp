// SPDX-License-Identifier: MIT
#include "editor/colourmap.h"

#include <QRandomGenerator>
#include <QTest>

// Compared against the simplest model: one colour per character.
class TestColourMap : public QObject {
    Q_OBJECT
private slots:
    void randomEditsMatchPerCharacterModel();
    void runsAreClippedAndMerged();
};

static QList<quint32> expand(const ColourMap& map) {
    QList<quint32> out;
    for (int i = 0; i < map.length(); ++i)
        out.append(map.colourAt(i));
    return out;
}

void TestColourMap::randomEditsMatchPerCharacterModel() {
    const quint32 palette[3] = {Colours::Default, Colours::Keyword, Colours::Comment};
    QRandomGenerator rng(1234);
    for (int round = 0; round < 300; ++round) {
        ColourMap map;
        QList<quint32> model(int(rng.bounded(40)), Colours::Default);
        map.assign(int(model.size()), {});
        for (int step = 0; step < 40; ++step) {
            const int length = int(model.size());
            const int op = int(rng.bounded(4));
            if (op == 3) {
                // Colours of a part of the text replaced, as a language's colouring does after
                // an edit.
                const int start = int(rng.bounded(length + 1));
                const int n = int(rng.bounded(length - start + 1));
                QList<ColourRun> runs;
                for (int at = start - 2; at < start + n + 2; at += 1 + int(rng.bounded(3))) {
                    const int runLength = 1 + int(rng.bounded(3));
                    runs.append({at, runLength, palette[rng.bounded(3)]});
                    at += runLength;
                }
                const auto [from, to] = map.replace(start, n, runs);
                const QList<quint32> before = model;
                for (int i = start; i < start + n; ++i)
                    model[i] = Colours::Default;
                for (const ColourRun& run : runs)
                    for (int i = std::max(run.start, start);
                         i < std::min(run.start + run.length, start + n); ++i)
                        model[i] = run.colour;
                // What it says changed is all the editor paints again: every character that took
                // another colour lies in it, and nothing changed means nothing to paint.
                bool changed = false;
                for (int i = 0; i < length; ++i) {
                    if (model[i] != before[i]) {
                        changed = true;
                        QVERIFY(i >= from && i < to);
                    }
                }
                QCOMPARE(from < to, changed);
            } else if (op == 0) {
                const int start = int(rng.bounded(length + 1));
                const int n = int(rng.bounded(length - start + 1));
                const quint32 c = palette[rng.bounded(3)];
                map.setRange(start, n, c);
                for (int i = start; i < start + n; ++i)
                    model[i] = c;
            } else {
                const int pos = int(rng.bounded(length + 1));
                const int removed = op == 1 ? int(rng.bounded(length - pos + 1)) : 0;
                const int added = int(rng.bounded(5));
                const quint32 atStart = palette[rng.bounded(3)];
                map.applyEdit(pos, removed, added, atStart);
                const quint32 c = pos > 0 ? model[pos - 1] : atStart;
                model.remove(pos, removed);
                model.insert(pos, added, c);
            }
            QCOMPARE(expand(map), model);
        }
        // runsIn over the whole text rebuilds the same map.
        ColourMap copy;
        const QList<ColourRun> runs = map.runsIn(0, map.length());
        copy.assign(map.length(), runs);
        QCOMPARE(expand(copy), model);
        // Kept merged: no two neighbouring runs of one colour.
        for (qsizetype i = 1; i < runs.size(); ++i)
            QVERIFY(runs[i - 1].start + runs[i - 1].length < runs[i].start ||
                    runs[i - 1].colour != runs[i].colour);
    }
}

void TestColourMap::runsAreClippedAndMerged() {
    ColourMap map;
    map.assign(10, {{2, 2, Colours::Keyword}, {4, 2, Colours::Keyword}, {8, 5, Colours::Comment}});
    QCOMPARE(map.length(), 10);
    QCOMPARE(map.runsIn(0, 10),
             (QList<ColourRun>{{2, 4, Colours::Keyword}, {8, 2, Colours::Comment}}));
    QCOMPARE(map.runsIn(3, 6),
             (QList<ColourRun>{{3, 3, Colours::Keyword}, {8, 1, Colours::Comment}}));
}

QTEST_APPLESS_MAIN(TestColourMap)
#include "test_colourmap.moc"
