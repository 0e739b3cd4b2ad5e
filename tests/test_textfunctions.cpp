#include "commentedits.h"
#include "textposition.h"

#include <QRandomGenerator>
#include <QTest>

class TestTextFunctions : public QObject {
    Q_OBJECT
private slots:
    void panel_data();
    void panel();
    void lineOfLargeText();
    void commentSelection_data();
    void commentSelection();
    void commentFromHere();
    void lineStartBefore_data();
    void lineStartBefore();
};

void TestTextFunctions::panel_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("expected");
    QTest::newRow("start of text") << u"ab\ncd"_qs << 0 << u"COL: 0  ROW: 1"_qs;
    QTest::newRow("empty text") << QString() << 0 << u"COL: 0  ROW: 1"_qs;
    QTest::newRow("third line after three") << u"a\nbb\nxyz\nq"_qs << 8 << u"COL: 3  ROW: 3"_qs;
    QTest::newRow("tab counts one") << u"a\n\tb"_qs << 4 << u"COL: 2  ROW: 2"_qs;
    QTest::newRow("on the break, end of its line") << u"abc\nd"_qs << 3 << u"COL: 3  ROW: 1"_qs;
    QTest::newRow("just after a break") << u"abc\nd"_qs << 4 << u"COL: 0  ROW: 2"_qs;
    QTest::newRow("end of text ending in a break") << u"a\n\nb\n"_qs << 5 << u"COL: 0  ROW: 4"_qs;
    QTest::newRow("end of text without a break") << u"ab\ncd"_qs << 5 << u"COL: 2  ROW: 2"_qs;
}

void TestTextFunctions::panel() {
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(QString, expected);
    const LineStarts lines(text);
    const int line = lines.lineOf(caret);
    const int column = TextPosition::column(caret, lines.lineStart(line));
    QCOMPARE(TextPosition::panelText(column, line), expected);
}

void TestTextFunctions::lineOfLargeText() {
    QRandomGenerator random(99);
    QString text;
    text.reserve(1 << 20);
    while (text.size() < (1 << 20))
        text += QChar(random.bounded(12) == 0 ? u'\n' : char16_t(u'a' + random.bounded(26)));
    const LineStarts lines(text);
    QCOMPARE(lines.lineCount(), int(text.count(QLatin1Char('\n'))) + 1);
    for (int probe = 0; probe < 300; ++probe) {
        const int position = probe == 0 ? int(text.size()) : random.bounded(int(text.size()));
        const int breaksBefore = int(QStringView(text).first(position).count(QLatin1Char('\n')));
        QCOMPARE(lines.lineOf(position), breaksBefore);
        const int start = int(QStringView(text).first(position).lastIndexOf(QLatin1Char('\n'))) + 1;
        QCOMPARE(lines.lineStart(lines.lineOf(position)), start);
    }
}

void TestTextFunctions::commentSelection_data() {
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two lines") << u"x = 1\ny = 2"_qs << u"'x = 1\n'y = 2"_qs;
    QTest::newRow("ending in a break") << u"x = 1\ny = 2\n"_qs << u"'x = 1\n'y = 2\n'"_qs;
    QTest::newRow("empty lines count") << u"\n\n"_qs << u"'\n'\n'"_qs;
    QTest::newRow("part of one line") << u"= 1"_qs << u"'= 1"_qs;
    QTest::newRow("nothing selected") << QString() << u"'"_qs;
    QTest::newRow("CR is not a break") << u"a\rb"_qs << u"'a\rb"_qs;
}

void TestTextFunctions::commentSelection() {
    QFETCH(QString, selected);
    QFETCH(QString, expected);
    QCOMPARE(CommentEdits::commentSelection(selected), expected);
}

void TestTextFunctions::commentFromHere() {
    QCOMPARE(CommentEdits::commentFromHere(u"set x"), u"'set x"_qs);
    // Several lines still get one marker.
    QCOMPARE(CommentEdits::commentFromHere(u"a\nb"), u"'a\nb"_qs);
    QCOMPARE(CommentEdits::commentFromHere(u""), u"'"_qs);
}

void TestTextFunctions::lineStartBefore_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("commented");
    const QString abcd = u"a\nbc\nd"_qs;
    QTest::newRow("inside bc") << abcd << 3 << 2 << u"a\n'bc\nd"_qs;
    QTest::newRow("end of line, before its break") << abcd << 4 << 2 << u"a\n'bc\nd"_qs;
    QTest::newRow("start of a line") << abcd << 2 << 2 << u"a\n'bc\nd"_qs;
    QTest::newRow("last line") << abcd << 6 << 5 << u"a\nbc\n'd"_qs;
    QTest::newRow("first line") << abcd << 1 << 0 << u"'a\nbc\nd"_qs;
    QTest::newRow("position 0") << abcd << 0 << 0 << u"'a\nbc\nd"_qs;
    QTest::newRow("negative position") << abcd << -5 << 0 << u"'a\nbc\nd"_qs;
    QTest::newRow("past the end") << abcd << 99 << 5 << u"a\nbc\n'd"_qs;
    QTest::newRow("empty text") << QString() << 0 << 0 << u"'"_qs;
    QTest::newRow("after a final break") << u"x\n"_qs << 2 << 2 << u"x\n'"_qs;
}

void TestTextFunctions::lineStartBefore() {
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(int, expected);
    QFETCH(QString, commented);
    const int start = CommentEdits::lineStartBefore(text, position);
    QCOMPARE(start, expected);
    QCOMPARE(QString(text).insert(start, QChar(CommentEdits::Marker)), commented);
}

QTEST_APPLESS_MAIN(TestTextFunctions)
#include "test_textfunctions.moc"
