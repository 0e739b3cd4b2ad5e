// SPDX-License-Identifier: MIT
// Replays every fuzzing seed and every input that once broke a rule through the same checks the
// fuzz targets run, so the ordinary suite (plain and sanitized) keeps them fixed.

#include "fuzz/codeccheck.h"
#include "fuzz/colouringcheck.h"
#include "fuzz/keywordlistcheck.h"
#include "fuzz/syntaxcheck.h"
#include "fuzz/textfunctionscheck.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <utility>

namespace {

using Check = Verdict (*)(QByteArrayView);

const std::pair<const char*, Check> Targets[] = {
    {"colouring", FuzzChecks::colouring},         {"colouringlarge", FuzzChecks::colouringLarge},
    {"textfunctions", FuzzChecks::textFunctions}, {"codec", FuzzChecks::codec},
    {"keywordlist", FuzzChecks::keywordList},     {"syntax", FuzzChecks::syntax},
};

QString fuzzDir() {
    return QStringLiteral(QUILLARY_SOURCE_DIR "/fuzz");
}

QStringList filesIn(const QString& folder) {
    QStringList paths;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
        paths.append(dir.filePath(name));
    return paths;
}

Verdict runCheck(const QString& target, const QByteArray& input) {
    for (const auto& [name, check] : Targets) {
        if (target == QLatin1String(name))
            return check(input);
    }
    Verdict unknown;
    unknown.fail(QStringLiteral("no check named %1").arg(target));
    return unknown;
}

} // namespace

class TestRegressions : public QObject {
    Q_OBJECT
private slots:
    void replay_data();
    void replay();
    void everyTargetHasSeeds();
    void leadingZeroWidthNoBreakSpaceSurvivesSaving_data();
    void leadingZeroWidthNoBreakSpaceSurvivesSaving();
    void malformedRunsAreRefused_data();
    void malformedRunsAreRefused();
    void verdictKeepsTheFirstFailureAndBuildsNoMessageForPasses();
};

void TestRegressions::replay_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("path");
    for (const auto& [name, check] : Targets) {
        const QString target = QLatin1String(name);
        for (const QString& kind : {QStringLiteral("corpus"), QStringLiteral("regressions")}) {
            for (const QString& path : filesIn(fuzzDir() + u'/' + kind + u'/' + target)) {
                const QString row = kind + u'/' + target + u'/' + QFileInfo(path).fileName();
                QTest::newRow(qPrintable(row)) << target << path;
            }
        }
    }
}

void TestRegressions::replay() {
    QFETCH(QString, target);
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const Verdict verdict = runCheck(target, file.readAll());
    QVERIFY2(!verdict.failed(), qPrintable(verdict.message()));
}

void TestRegressions::everyTargetHasSeeds() {
    // An empty or moved corpus would make the replay pass without checking anything.
    for (const auto& [name, check] : Targets) {
        const QStringList seeds = filesIn(fuzzDir() + QStringLiteral("/corpus/") + name);
        QVERIFY2(seeds.size() >= 3, name);
    }
}

Q_DECLARE_METATYPE(SnippetCodec::Encoding)

// U+FEFF at the start of a text looks like a byte-order mark once written as UTF-8, and reading
// dropped it: saved and reopened, the text had lost a character.
void TestRegressions::leadingZeroWidthNoBreakSpaceSurvivesSaving_data() {
    using SnippetCodec::Encoding;
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QString>("text");
    QTest::newRow("utf-8") << Encoding::Utf8 << u"\uFEFFDim x\n"_qs;
    QTest::newRow("utf-8, two of them") << Encoding::Utf8 << u"\uFEFF\uFEFFx"_qs;
    QTest::newRow("utf-8 with mark") << Encoding::Utf8Bom << u"\uFEFFx"_qs;
    QTest::newRow("windows-1252 falls back to utf-8")
        << Encoding::Windows1252 << u"\uFEFF\u00E9"_qs;
    QTest::newRow("alone") << Encoding::Utf8 << u"\uFEFF"_qs;
}

void TestRegressions::leadingZeroWidthNoBreakSpaceSurvivesSaving() {
    QFETCH(SnippetCodec::Encoding, encoding);
    QFETCH(QString, text);
    for (const auto lineEnd : {SnippetCodec::LineEnd::Lf, SnippetCodec::LineEnd::CrLf}) {
        const QByteArray written = SnippetCodec::encode(text, encoding, lineEnd);
        QCOMPARE(SnippetCodec::decode(written).text, text);
    }
}

// A green replay means something only if the checks notice wrong answers: the colouring check
// must refuse every kind of malformed run list.
void TestRegressions::malformedRunsAreRefused_data() {
    QTest::addColumn<QList<ColourRun>>("runs");
    QTest::addColumn<bool>("accepted");
    const quint32 k = Colours::Keyword;
    const quint32 c = Colours::Comment;
    QTest::newRow("none") << QList<ColourRun>{} << true;
    QTest::newRow("two colours touching") << QList<ColourRun>{{0, 2, k}, {2, 3, c}} << true;
    QTest::newRow("up to the end") << QList<ColourRun>{{6, 4, k}} << true;
    QTest::newRow("same colour not merged") << QList<ColourRun>{{0, 2, k}, {2, 3, k}} << false;
    QTest::newRow("overlapping") << QList<ColourRun>{{0, 3, k}, {2, 3, c}} << false;
    QTest::newRow("unsorted") << QList<ColourRun>{{5, 1, k}, {0, 1, c}} << false;
    QTest::newRow("empty run") << QList<ColourRun>{{1, 0, k}} << false;
    QTest::newRow("past the end") << QList<ColourRun>{{8, 3, k}} << false;
    QTest::newRow("before the start") << QList<ColourRun>{{-1, 2, k}} << false;
    QTest::newRow("default colour") << QList<ColourRun>{{0, 2, Colours::Default}} << false;
}

void TestRegressions::malformedRunsAreRefused() {
    QFETCH(QList<ColourRun>, runs);
    QFETCH(bool, accepted);
    QCOMPARE(FuzzChecks::ColouringDetail::wellFormed(runs, 10), accepted);
}

void TestRegressions::verdictKeepsTheFirstFailureAndBuildsNoMessageForPasses() {
    int built = 0;
    auto message = [&built](const char* text) {
        ++built;
        return QString::fromLatin1(text);
    };
    Verdict verdict;
    QVERIFY(FUZZ_EXPECT(verdict, true, message("passes")));
    QVERIFY(!verdict.failed());
    QVERIFY(!FUZZ_EXPECT(verdict, false, message("first")));
    QVERIFY(!FUZZ_EXPECT(verdict, false, message("second")));
    QVERIFY(verdict.failed());
    QCOMPARE(verdict.message(), QStringLiteral("first"));
    QCOMPARE(built, 2);
}

QTEST_GUILESS_MAIN(TestRegressions)
#include "test_regressions.moc"
