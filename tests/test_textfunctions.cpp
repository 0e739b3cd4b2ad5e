// SPDX-License-Identifier: MIT
#include "editor/commentedits.h"
#include "editor/textposition.h"

#include <QTest>

class TestTextFunctions : public QObject {
    Q_OBJECT
private slots:
    void panel_data();
    void panel();
    void commentSelection_data();
    void commentSelection();
    void commentFromHere();
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
    const QStringView before = QStringView(text).first(caret);
    const int line = int(before.count(QLatin1Char('\n')));
    const int column = TextPosition::column(caret, int(before.lastIndexOf(QLatin1Char('\n')) + 1));
    QCOMPARE(TextPosition::panelText(column, line), expected);
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

QTEST_APPLESS_MAIN(TestTextFunctions)
#include "test_textfunctions.moc"
