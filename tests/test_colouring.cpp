// SPDX-License-Identifier: MIT
#include "editor/colouring.h"
#include "editor/keywordlist.h"
#include "tests/colouringoracle.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

// One letter per character: '.' default, 'k' keyword, 'c' comment.
QString pattern(const QList<quint32>& colours) {
    QString result;
    for (quint32 colour : colours) {
        if (colour == Colours::Keyword)
            result += QLatin1Char('k');
        else if (colour == Colours::Comment)
            result += QLatin1Char('c');
        else if (colour == Colours::Default)
            result += QLatin1Char('.');
        else
            result += QLatin1Char('?');
    }
    return result;
}

// Sorted, non-overlapping, never default, neighbours of one colour merged.
bool wellFormed(const QList<ColourRun>& runs, qsizetype length) {
    int end = 0;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const ColourRun& run = runs[i];
        if (run.length <= 0 || run.start < end || run.start + run.length > length ||
            run.colour == Colours::Default)
            return false;
        if (i > 0 && run.start == end && runs[i - 1].colour == run.colour)
            return false;
        end = run.start + run.length;
    }
    return true;
}

QString randomString(QRandomGenerator& random, QStringView alphabet, int maxLength) {
    const int length = random.bounded(maxLength + 1);
    QString text;
    for (int i = 0; i < length; ++i)
        text += alphabet[random.bounded(int(alphabet.size()))];
    return text;
}

} // namespace

class TestColouring : public QObject {
    Q_OBJECT
private slots:
    void examples_data();
    void examples();
    void randomAgainstLiteralRules();
    void emptyKeywordColoursNothing();
    void largeKeywordList();
    void lowering();
    void parseKeywordList_data();
    void parseKeywordList();
};

void TestColouring::examples_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("keywords");
    QTest::addColumn<QString>("expected");

    const QStringList dimAsInteger{u"dim"_qs, u"as"_qs, u"integer"_qs};
    QTest::newRow("declaration") << u"Dim x As Integer"_qs << dimAsInteger
                                 << u"kkk...kk.kkkkkkk"_qs;
    QTest::newRow("parenthesis is no boundary")
        << u"If(x)"_qs << QStringList{u"if"_qs} << u"....."_qs;
    QTest::newRow("full stop is no boundary")
        << u"x.Text"_qs << QStringList{u"text"_qs} << u"......"_qs;
    QTest::newRow("case ignored") << u"IF if If"_qs << QStringList{u"if"_qs} << u"kk.kk.kk"_qs;
    QTest::newRow("start and end of text")
        << u"as x as"_qs << QStringList{u"as"_qs} << u"kk...kk"_qs;
    QTest::newRow("two words, one space")
        << u"End If"_qs << QStringList{u"end if"_qs} << u"kkkkkk"_qs;
    QTest::newRow("two words, two spaces")
        << u"End  If"_qs << QStringList{u"end if"_qs} << u"......."_qs;
    QTest::newRow("tab and line ends are boundaries")
        << u"\tdim\r\nx"_qs << QStringList{u"dim"_qs} << u".kkk..."_qs;
    QTest::newRow("no-break space is no boundary")
        << u"dim\u00a0x"_qs << QStringList{u"dim"_qs} << u"....."_qs;
    QTest::newRow("comment after code")
        << u"x = 1 ' set x\ny"_qs << QStringList{u"set"_qs, u"x"_qs} << u"k......ccccccc."_qs;
    QTest::newRow("comment on first line")
        << u"' note\nDim"_qs << QStringList{u"dim"_qs} << u".cccccckkk"_qs;
    QTest::newRow("keyword inside comment")
        << u"a 'dim b"_qs << QStringList{u"dim"_qs} << u"...ccccc"_qs;
    QTest::newRow("comment on last line") << u"x\n'abc"_qs << QStringList{} << u"...ccc"_qs;
    QTest::newRow("apostrophe in a word")
        << u"say it's fine\nok"_qs << QStringList{u"ok"_qs, u"fine"_qs} << u".......ccccccckk"_qs;
    QTest::newRow("apostrophe inside a keyword keeps navy")
        << u"it's x"_qs << QStringList{u"it's"_qs} << u"kkkccc"_qs;
    QTest::newRow("further apostrophes in a comment")
        << u"a'b'c\nd"_qs << QStringList{} << u"..cccc."_qs;
    QTest::newRow("apostrophe alone at the end") << u"x'"_qs << QStringList{} << u".."_qs;
    QTest::newRow("empty comment then next line")
        << u"'\n'\nif"_qs << QStringList{u"if"_qs} << u".c.ckk"_qs;
    QTest::newRow("empty text") << QString() << QStringList{u"if"_qs} << QString();
    QTest::newRow("rejected occurrence hides the next")
        << u"ba a a"_qs << QStringList{u"a a"_qs} << u"......"_qs;
    QTest::newRow("search resumes after a rejected occurrence")
        << u" aaa "_qs << QStringList{u"aa"_qs} << u"....."_qs;
    QTest::newRow("accepted occurrence hides an overlapping one")
        << u"a a a"_qs << QStringList{u"a a"_qs} << u"kkk.."_qs;
    QTest::newRow("occurrences of different keywords overlap")
        << u"a b c"_qs << QStringList{u"a b"_qs, u"b c"_qs} << u"kkkkk"_qs;
    QTest::newRow("keyword and its prefix")
        << u"end endif end"_qs << QStringList{u"end"_qs, u"endif"_qs} << u"kkk.kkkkk.kkk"_qs;
    QTest::newRow("duplicates harmless")
        << u"if x"_qs << QStringList{u"if"_qs, u"if"_qs, QString()} << u"kk.."_qs;
    QTest::newRow("non-ASCII letters lowered")
        << u"\u00c4rger \u00e4rger"_qs << QStringList{u"\u00e4rger"_qs} << u"kkkkk.kkkkk"_qs;
    QTest::newRow("upper-case keyword never matches")
        << u"IF if"_qs << QStringList{u"IF"_qs} << u"....."_qs;
}

void TestColouring::examples() {
    QFETCH(QString, text);
    QFETCH(QStringList, keywords);
    QFETCH(QString, expected);

    const QList<ColourRun> runs = Colouring::colour(text, keywords);
    QVERIFY(wellFormed(runs, text.size()));
    QCOMPARE(pattern(ColouringOracle::expand(runs, text.size())), expected);
    // The literal rules agree with the table, so the oracle itself is checked too.
    QCOMPARE(pattern(ColouringOracle::colourCode(text, keywords)), expected);
}

void TestColouring::randomAgainstLiteralRules() {
    // Kelvin sign and dotted capital I lower to ASCII letters.
    const QString textAlphabet = u"abcaabB \t\n'(.\u00c4\u00e4\u212a\u0130k"_qs;
    const QString keywordAlphabet = u"abck \u00e4i'"_qs;
    QRandomGenerator random(20240611);
    for (int round = 0; round < 6000; ++round) {
        const bool big = round % 10 == 0;
        const QString text = randomString(random, textAlphabet, big ? 2000 : 40);
        QStringList keywords;
        const int count = random.bounded(big ? 60 : 8);
        for (int k = 0; k < count; ++k) {
            switch (random.bounded(6)) {
            case 0: // a piece of the text itself, so that it occurs
                if (!text.isEmpty()) {
                    const int start = random.bounded(int(text.size()));
                    const int length = 1 + random.bounded(std::min<int>(6, text.size() - start));
                    keywords << Colouring::lowered(QStringView(text).sliced(start, length));
                }
                break;
            case 1: // self-overlapping
                keywords << (random.bounded(2) ? u"aa"_qs : u"aba"_qs);
                break;
            case 2: // prefix or suffix of an earlier one
                if (!keywords.isEmpty()) {
                    const QString& other = keywords[random.bounded(int(keywords.size()))];
                    const int length = random.bounded(int(other.size()) + 1);
                    keywords << (random.bounded(2) ? other.left(length) : other.right(length));
                }
                break;
            case 3: // duplicate
                if (!keywords.isEmpty())
                    keywords << keywords[random.bounded(int(keywords.size()))];
                break;
            default:
                keywords << randomString(random, keywordAlphabet, 5);
                break;
            }
        }
        const QList<ColourRun> runs = Colouring::colour(text, keywords);
        if (!wellFormed(runs, text.size()) || ColouringOracle::expand(runs, text.size()) !=
                                                  ColouringOracle::colourCode(text, keywords)) {
            qWarning() << "text" << text << "keywords" << keywords;
            QCOMPARE(pattern(ColouringOracle::expand(runs, text.size())),
                     pattern(ColouringOracle::colourCode(text, keywords)));
            QVERIFY(wellFormed(runs, text.size()));
        }
    }
}

void TestColouring::emptyKeywordColoursNothing() {
    // Searching for an empty keyword would find it at the same place forever.
    QVERIFY(Colouring::colour(u"a b", QStringList{QString()}).isEmpty());
}

void TestColouring::largeKeywordList() {
    // Far too many states for a dense table: the sparse automaton has to give the same result.
    QRandomGenerator random(4242);
    const QString letters = u"abcde\u00e4"_qs;
    QStringList keywords;
    while (keywords.size() < 100000) {
        QString word = randomString(random, letters, 9);
        if (random.bounded(20) == 0)
            word += u' ' + randomString(random, letters, 3);
        keywords << word;
    }
    QString text;
    while (text.size() < 600) {
        text += keywords[random.bounded(int(keywords.size()))].toUpper();
        text += QStringView(u" \n'a(")[random.bounded(5)];
    }
    const QList<ColourRun> runs = Colouring::colour(text, keywords);
    QVERIFY(wellFormed(runs, text.size()));
    const QList<quint32> expected = ColouringOracle::colourCode(text, keywords);
    QVERIFY(expected.contains(Colours::Keyword));
    QCOMPARE(pattern(ColouringOracle::expand(runs, text.size())), pattern(expected));
}

void TestColouring::lowering() {
    QCOMPARE(Colouring::lowered(u"ABC\u00c4\u212a"), u"abc\u00e4k"_qs);
    // A unit whose full lower case is longer than one unit still lowers to one unit.
    QCOMPARE(Colouring::lowered(u"\u0130x").size(), 2);
    QCOMPARE(Colouring::lowerUnit(u'\''), u'\'');
}

void TestColouring::parseKeywordList_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("CR LF") << u"Dim\r\nAs\r\n"_qs << QStringList{u"dim"_qs, u"as"_qs};
    QTest::newRow("LF, last line unterminated")
        << u"dim\nas"_qs << QStringList{u"dim"_qs, u"as"_qs};
    QTest::newRow("empty lines skipped")
        << u"\r\n\r\ndim\r\n\n\nas\n"_qs << QStringList{u"dim"_qs, u"as"_qs};
    QTest::newRow("lone CR is part of the word")
        << u"a\rb\r\nc\r"_qs << QStringList{u"a\rb"_qs, u"c\r"_qs};
    QTest::newRow("spaces kept") << u" end if \r\n"_qs << QStringList{u" end if "_qs};
    QTest::newRow("non-ASCII lowered") << u"\u00c4RGER\n"_qs << QStringList{u"\u00e4rger"_qs};
    QTest::newRow("empty file") << QString() << QStringList{};
    QTest::newRow("duplicates kept in order")
        << u"b\na\nB\n"_qs << QStringList{u"b"_qs, u"a"_qs, u"b"_qs};
}

void TestColouring::parseKeywordList() {
    QFETCH(QString, file);
    QFETCH(QStringList, expected);
    QCOMPARE(KeywordList::parse(file), expected);
}

QTEST_APPLESS_MAIN(TestColouring)
#include "test_colouring.moc"
