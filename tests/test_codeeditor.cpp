// SPDX-License-Identifier: MIT
#include "editor/codeeditor.h"

#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

namespace {
// Whether `pixel` is mostly ink of `colour` on the white page: each channel lightened from the
// colour by the same share, as text smoothing does, and at least half covered.
bool inkOf(const QColor& pixel, const QColor& colour) {
    const int p[3] = {pixel.red(), pixel.green(), pixel.blue()};
    const int c[3] = {colour.red(), colour.green(), colour.blue()};
    double least = 1, most = 0;
    for (int k = 0; k < 3; ++k) {
        if (c[k] == 255) {
            if (p[k] < 245)
                return false;
            continue;
        }
        const double share = (255.0 - p[k]) / (255 - c[k]);
        least = std::min(least, share);
        most = std::max(most, share);
    }
    return least >= 0.5 && most - least <= 0.15;
}

// Whether some pixel of the characters [start, start + length) of one line is ink of `colour`,
// as painted now.
bool paintedIn(CodeEditor& editor, int start, int length, const QColor& colour) {
    QTextCursor cursor(editor.document());
    cursor.setPosition(start);
    const QRect left = editor.cursorRect(cursor);
    cursor.setPosition(start + length);
    const QRect cell(left.topLeft(), QPoint(editor.cursorRect(cursor).left(), left.bottom()));
    const QImage image = editor.viewport()->grab().toImage();
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
            if (image.rect().contains(x, y) && inkOf(image.pixelColor(x, y), colour))
                return true;
    return false;
}

bool paintedIn(CodeEditor& editor, int start, int length, quint32 colour) {
    return paintedIn(editor, start, length, CodeEditor::colourOf(colour));
}

} // namespace

class TestCodeEditor : public QObject {
    Q_OBJECT
private slots:
    void textRoundTripIsExact_data();
    void textRoundTripIsExact();
    void setTextLeavesNothingSelectedAndDefaultColour();
    void selectionRules();
    void replaceSelectionIsOneUndoStep();
    void coloursNeverEnterUndoHistory();
    void typedTextTakesColourBefore();
    void lineStartAndLineIndex_data();
    void lineStartAndLineIndex();
    void insertTogglesOverwrite();
    void wordWrapOffAndFont();
    void mouseReleaseReportsButton();
    void bulkColoursMatchRuns();
    void typingInAPaintedLineKeepsItsColours();
    void paintsTheColoursInView();
    void textLoadedInPiecesIsExact_data();
    void textLoadedInPiecesIsExact();
    void aLineTooLongToLayOutIsShownInItsColours();
    void oneCaretOnEveryLine_data();
    void oneCaretOnEveryLine();
    void screenReaderReadsAroundAnOffset();
    void aLongTextReplacedLeavesAWorkingEditor_data();
    void aLongTextReplacedLeavesAWorkingEditor();
};

void TestCodeEditor::textRoundTripIsExact_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("lines") << QStringLiteral("a\nb\n\nc");
    QTest::newRow("final break") << QStringLiteral("x = 1\n");
    QTest::newRow("only breaks") << QStringLiteral("\n\n");
    QTest::newRow("nbsp and tabs") << QStringLiteral("a\u00A0b\tc\t\n\u00A0");
    QTest::newRow("beyond latin-1") << QStringLiteral("\u20AC \u4E2D\u6587 \U0001F600 \u0416");
    QTest::newRow("line separator kept") << QStringLiteral("a\u2028b");
}

void TestCodeEditor::textRoundTripIsExact() {
    QFETCH(QString, text);
    CodeEditor editor;
    editor.setText(text);
    QCOMPARE(editor.text(), text);
    QCOMPARE(editor.textLength(), text.size());
    editor.setSelectionStart(0);
    editor.setSelectionLength(int(text.size()));
    QCOMPARE(editor.selectedText(), text);
}

void TestCodeEditor::setTextLeavesNothingSelectedAndDefaultColour() {
    CodeEditor editor;
    editor.setText(QStringLiteral("abc def"));
    editor.applyColours({{0, 3, Colours::Keyword}});
    editor.setText(QStringLiteral("xyz uvw"));
    QCOMPARE(editor.selectionLength(), 0);
    QCOMPARE(editor.selectionStart(), 0);
    for (int i = 0; i < 7; ++i)
        QCOMPARE(editor.colourAt(i), Colours::Default);
}

void TestCodeEditor::selectionRules() {
    CodeEditor editor;
    editor.setText(QStringLiteral("one\ntwo\nthree"));
    editor.setSelectionStart(2);
    QVERIFY(editor.setSelectionLength(4));
    QCOMPARE(editor.selectionStart(), 2);
    QCOMPARE(editor.selectionLength(), 4);
    QCOMPARE(editor.selectedText(), QStringLiteral("e\ntw"));
    // Setting the start collapses the selection.
    editor.setSelectionStart(5);
    QCOMPARE(editor.selectionLength(), 0);
    QCOMPARE(editor.selectionStart(), 5);
    // A negative length is refused and changes nothing.
    editor.setSelectionLength(2);
    QVERIFY(!editor.setSelectionLength(-1));
    QCOMPARE(editor.selectionLength(), 2);
    // A selection made backwards still has its start at the lower end.
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(9);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
    QCOMPARE(editor.selectionStart(), 4);
    QCOMPARE(editor.selectionLength(), 5);
    // Out-of-range starts are clamped, not a crash.
    editor.setSelectionStart(1000);
    QCOMPARE(editor.selectionStart(), editor.textLength());
}

void TestCodeEditor::replaceSelectionIsOneUndoStep() {
    CodeEditor editor;
    editor.setText(QStringLiteral("xabcx"));
    editor.setSelectionStart(1);
    editor.setSelectionLength(3);
    editor.replaceSelection(QStringLiteral("1\n2"));
    QCOMPARE(editor.text(), QStringLiteral("x1\n2x"));
    QCOMPARE(editor.selectionLength(), 0);
    QCOMPARE(editor.selectionStart(), 4);
    editor.undo();
    QCOMPARE(editor.text(), QStringLiteral("xabcx"));
    // Typing right after it is a step of its own.
    editor.setSelectionStart(0);
    editor.replaceSelection(QStringLiteral("'"));
    QTest::keyClicks(&editor, QStringLiteral("z"));
    QCOMPARE(editor.text(), QStringLiteral("'zxabcx"));
    editor.undo();
    QCOMPARE(editor.text(), QStringLiteral("'xabcx"));
    editor.undo();
    QCOMPARE(editor.text(), QStringLiteral("xabcx"));
}

void TestCodeEditor::coloursNeverEnterUndoHistory() {
    CodeEditor editor;
    editor.setText(QStringLiteral("dim x"));
    editor.setSelectionStart(5);
    editor.replaceSelection(QStringLiteral(" as"));
    editor.applyColours({{0, 3, Colours::Keyword}, {6, 2, Colours::Keyword}});
    QVERIFY(editor.document()->isUndoAvailable());
    editor.undo(); // takes back the typing, not a colouring
    QCOMPARE(editor.text(), QStringLiteral("dim x"));
    editor.undo();
    QCOMPARE(editor.text(), QStringLiteral("dim x"));
    QVERIFY(!editor.document()->isUndoAvailable());
}

void TestCodeEditor::typedTextTakesColourBefore() {
    CodeEditor editor;
    editor.setText(QStringLiteral("ab cd"));
    editor.applyColours({{0, 2, Colours::Keyword}, {3, 2, Colours::Comment}});
    editor.setSelectionStart(2);
    editor.replaceSelection(QStringLiteral("XY"));
    QCOMPARE(editor.text(), QStringLiteral("abXY cd"));
    QCOMPARE(editor.colourAt(2), Colours::Keyword);
    QCOMPARE(editor.colourAt(3), Colours::Keyword);
    QCOMPARE(editor.colourAt(4), Colours::Default);
    QCOMPARE(editor.colourAt(5), Colours::Comment);
    // Typing through the keyboard behaves the same.
    editor.setSelectionStart(7);
    QTest::keyClicks(&editor, QStringLiteral("zz"));
    QCOMPARE(editor.colourAt(7), Colours::Comment);
    QCOMPARE(editor.colourAt(8), Colours::Comment);
    // Deleting shifts the colours that follow.
    editor.setSelectionStart(0);
    editor.setSelectionLength(2);
    editor.replaceSelection(QString());
    QCOMPARE(editor.text(), QStringLiteral("XY cdzz"));
    QCOMPARE(editor.colourAt(3), Colours::Comment);
    QCOMPARE(editor.colourAt(2), Colours::Default);
}

void TestCodeEditor::lineStartAndLineIndex_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("lineStart");
    QTest::addColumn<int>("line");
    // "ab\ncde\n" : lines start at 0, 3 and 7.
    QTest::newRow("start") << 0 << 0 << 0;
    QTest::newRow("end of first line") << 2 << 0 << 0;
    QTest::newRow("start of second") << 3 << 3 << 1;
    QTest::newRow("middle of second") << 5 << 3 << 1;
    QTest::newRow("before final break") << 6 << 3 << 1;
    QTest::newRow("after final break") << 7 << 7 << 2;
}

void TestCodeEditor::lineStartAndLineIndex() {
    QFETCH(int, position);
    QFETCH(int, lineStart);
    QFETCH(int, line);
    CodeEditor editor;
    editor.setText(QStringLiteral("ab\ncde\n"));
    editor.setSelectionStart(position);
    QCOMPARE(editor.lineStartOfCaret(), lineStart);
    QCOMPARE(editor.lineFromChar(position), line);
}

void TestCodeEditor::insertTogglesOverwrite() {
    CodeEditor editor;
    editor.setText(QStringLiteral("abc"));
    QVERIFY(!editor.overwriteMode());
    QTest::keyClick(&editor, Qt::Key_Insert);
    QVERIFY(editor.overwriteMode());
    editor.setSelectionStart(0);
    QTest::keyClicks(&editor, QStringLiteral("X"));
    QCOMPARE(editor.text(), QStringLiteral("Xbc"));
    QTest::keyClick(&editor, Qt::Key_Insert);
    QVERIFY(!editor.overwriteMode());
}

void TestCodeEditor::wordWrapOffAndFont() {
    CodeEditor editor;
    QVERIFY(!editor.wordWrapOff());
    editor.setWordWrapOff();
    QVERIFY(editor.wordWrapOff());
    editor.resize(200, 100);
    editor.setText(QString(500, QLatin1Char('x')));
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QCOMPARE(editor.document()->lineCount(), 1);
    QVERIFY(editor.horizontalScrollBar()->maximum() > 0);
    QCOMPARE(editor.font().family(), QStringLiteral("Courier"));
    QCOMPARE(editor.font().pointSizeF(), 9.75);
    QCOMPARE(editor.font().weight(), QFont::Normal);
    QVERIFY(!editor.font().italic());
}

void TestCodeEditor::mouseReleaseReportsButton() {
    CodeEditor editor;
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QList<Qt::MouseButton> buttons;
    connect(&editor, &CodeEditor::mouseButtonReleased, this,
            [&buttons](Qt::MouseButton button) { buttons.append(button); });
    QTest::mouseClick(editor.viewport(), Qt::LeftButton);
    QTest::mouseClick(editor.viewport(), Qt::RightButton);
    QTest::mouseClick(editor.viewport(), Qt::MiddleButton);
    QCOMPARE(buttons, (QList<Qt::MouseButton>{Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}));
}

void TestCodeEditor::bulkColoursMatchRuns() {
    // Many small runs over a large text, read back exactly.
    QString text;
    for (int i = 0; i < 20000; ++i)
        text += QStringLiteral("dim x ' c\n");
    CodeEditor editor;
    editor.setText(text);
    QList<ColourRun> runs;
    for (int i = 0; i < 20000; ++i) {
        runs.append({i * 10, 3, Colours::Keyword});
        runs.append({i * 10 + 7, 3, Colours::Comment});
    }
    editor.applyColours(runs);
    QCOMPARE(editor.colourRuns(0, editor.textLength()), runs);
    QCOMPARE(editor.colourAt(199990), Colours::Keyword);
    QCOMPARE(editor.colourAt(199995), Colours::Default);
    QCOMPARE(editor.colourAt(199999), Colours::Comment);
    // What is painted follows the map.
    editor.resize(400, 300);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QVERIFY(paintedIn(editor, 10, 3, Colours::Keyword));
    QVERIFY(!paintedIn(editor, 13, 4, Colours::Keyword));
    QVERIFY(paintedIn(editor, 17, 2, Colours::Comment));
}

void TestCodeEditor::typingInAPaintedLineKeepsItsColours() {
    // Once a line has been painted in colour, an edit in it must shift its colours, not lose them.
    CodeEditor editor;
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.setText(QStringLiteral("dim x ' note\ny = 2"));
    editor.applyColours({{0, 3, Colours::Keyword}, {7, 6, Colours::Comment}});
    editor.viewport()->repaint();
    editor.setSelectionStart(12);
    QTest::keyClicks(&editor, QStringLiteral("ab"));
    editor.viewport()->repaint();
    QCOMPARE(editor.text(), QStringLiteral("dim x ' noteab\ny = 2"));
    QCOMPARE(editor.colourAt(0), Colours::Keyword);
    QCOMPARE(editor.colourAt(2), Colours::Keyword);
    QCOMPARE(editor.colourAt(3), Colours::Default);
    for (int i = 7; i < 15; ++i)
        QCOMPARE(editor.colourAt(i), Colours::Comment);
    editor.undo();
    QCOMPARE(editor.text(), QStringLiteral("dim x ' note\ny = 2"));
    QCOMPARE(editor.colourAt(0), Colours::Keyword);
    QCOMPARE(editor.colourAt(11), Colours::Comment);
    // What is painted matches the map.
    QVERIFY(paintedIn(editor, 0, 3, Colours::Keyword));
    QVERIFY(paintedIn(editor, 7, 5, Colours::Comment));
    QVERIFY(!paintedIn(editor, 3, 4, Colours::Comment));
}

void TestCodeEditor::paintsTheColoursInView() {
    CodeEditor editor;
    editor.setWordWrapOff();
    editor.resize(400, 200);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));

    // Two colours side by side: neither hides the other.
    editor.setText(QStringLiteral("Dim'note"));
    editor.applyColours({{0, 3, Colours::Keyword}, {3, 5, Colours::Comment}});
    QVERIFY(paintedIn(editor, 0, 3, Colours::Keyword));
    QVERIFY(paintedIn(editor, 3, 5, Colours::Comment));

    // A selected keyword shows as selected, and its colour comes back when unselected.
    editor.setSelectionStart(0);
    editor.setSelectionLength(3);
    QVERIFY(!paintedIn(editor, 0, 3, Colours::Keyword));
    QVERIFY(paintedIn(editor, 0, 3, editor.palette().highlight().color()));
    editor.setSelectionStart(5);
    QVERIFY(paintedIn(editor, 0, 3, Colours::Keyword));

    // The far end of a long line, scrolled into view, is coloured like its start.
    QString line;
    for (int i = 0; i < 4000; ++i)
        line += QStringLiteral("Dim x ");
    editor.setText(line + QStringLiteral("' end"));
    editor.colourAll({QStringLiteral("dim")});
    editor.horizontalScrollBar()->setValue(editor.horizontalScrollBar()->maximum());
    const int last = int(line.size()) - 6;
    QVERIFY(paintedIn(editor, last, 3, Colours::Keyword));
    QVERIFY(!paintedIn(editor, last + 3, 3, Colours::Keyword));
    QVERIFY(paintedIn(editor, int(line.size()), 5, Colours::Comment));
}

void TestCodeEditor::textLoadedInPiecesIsExact_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pieceLength");
    QTest::addColumn<bool>("colouredMidway");
    QTest::addColumn<int>("tooLong");
    QString longLine;
    for (int i = 0; i < 800; ++i)
        longLine += QStringLiteral("Dim x ' \u00E9\u20AC ");
    const QString tooLong = QStringLiteral("Dim x ").repeated(12000);
    QTest::newRow("one line, many pieces") << longLine << 7 << false << 0;
    QTest::newRow("one line, then a break") << longLine + QLatin1Char('\n') << 1000 << false << 0;
    QTest::newRow("breaks inside pieces")
        << QStringLiteral("a\nbb\nccc\n").repeated(100) << 5 << false << 0;
    QTest::newRow("pieces end at breaks") << QStringLiteral("ab\n").repeated(50) << 3 << false << 0;
    QTest::newRow("empty lines") << QStringLiteral("\n\nx\n\n") << 1 << false << 0;
    QTest::newRow("a line too long to lay out") << tooLong << 4096 << false << 72000;
    // Colours given meanwhile show the half line that has arrived; it still goes on too long.
    QTest::newRow("a line too long, coloured half way")
        << QStringLiteral("a\n") + tooLong + QStringLiteral("\nb") << 4096 << true << 72000;
}

// A long line arrives in pieces, each followed by a line break until loading ends: the text
// shown is exactly the text given, with nothing left to undo, and a line too long to lay out
// is split for display.
void TestCodeEditor::textLoadedInPiecesIsExact() {
    QFETCH(QString, text);
    QFETCH(int, pieceLength);
    QFETCH(bool, colouredMidway);
    QFETCH(int, tooLong);
    CodeEditor editor;
    editor.setWordWrapOff();
    editor.resize(300, 200);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.setText(QStringLiteral("before"));
    editor.beginLoading();
    for (qsizetype at = 0; at < text.size(); at += pieceLength) {
        editor.appendLoadedText(text.mid(at, pieceLength));
        if (colouredMidway && at < text.size() / 2 && at + pieceLength >= text.size() / 2)
            editor.applyColours({});
        QCoreApplication::processEvents();
    }
    QVERIFY(editor.isLoading());
    editor.finishLoading();
    QVERIFY(!editor.isLoading());
    QCOMPARE(editor.text(), text);
    QCOMPARE(editor.tooLongLine(), tooLong);
    QCOMPARE(editor.textLength(), text.size());
    QCOMPARE(editor.selectionStart(), 0);
    QVERIFY(!editor.document()->isUndoAvailable());
    QVERIFY(editor.colourRuns(0, editor.textLength()).isEmpty());
    editor.viewport()->repaint();
    // Laying out a line of 50 MB takes Qt a quarter of a minute: no line is that long for it.
    for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next())
        QVERIFY(block.length() - 1 <= (1 << 16));
}

// Such a line is shown a chunk per display line, in the colours the chunk takes in the whole
// line: a keyword where it is one, a comment that began chunks before.
void TestCodeEditor::aLineTooLongToLayOutIsShownInItsColours() {
    CodeEditor editor;
    editor.setWordWrapOff();
    editor.resize(400, 200);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    const QString code = QStringLiteral("Dim x ").repeated(12000);
    const QString text = QStringLiteral("a\n").repeated(100) + code + QStringLiteral("' end\n' ") +
                         code + QStringLiteral("\nb");
    // As the window opens a snippet: coloured before the pieces are joined.
    editor.beginLoading();
    for (qsizetype at = 0; at < text.size(); at += 10000)
        editor.appendLoadedText(text.mid(at, 10000));
    editor.colourAll({QStringLiteral("dim")});
    editor.finishLoading(1);
    QCOMPARE(editor.text(), text);
    QCOMPARE(editor.selectionStart(), 1);
    QVERIFY(editor.isReadOnly());
    for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next())
        QVERIFY(block.length() <= 4097);
    const int second = 200 + int(code.size()) + 6;
    for (const int at : {200 + 60000, second + 60000}) {
        editor.setSelectionStart(at);
        editor.centerCursor();
        QCoreApplication::processEvents();
        const int top = editor.cursorRect().top();
        const int height = editor.fontMetrics().height();
        QVERIFY(top >= 0 && top + height <= editor.viewport()->height());
        const QImage image = editor.viewport()->grab().toImage();
        bool keyword = false, plain = false, comment = false;
        for (int y = top; y < top + height; ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                keyword = keyword || inkOf(pixel, CodeEditor::colourOf(Colours::Keyword));
                plain = plain || inkOf(pixel, Qt::black);
                comment = comment || inkOf(pixel, CodeEditor::colourOf(Colours::Comment));
            }
        QCOMPARE(keyword, at < second);
        QCOMPARE(plain, at < second);
        QCOMPARE(comment, at > second);
        QCOMPARE(editor.colourAt(at + 4), at < second ? Colours::Default : Colours::Comment);
    }
}

namespace {
const QString LongLine = QStringLiteral("\t\u4E2D\U0001F600 ") + QString(200000, QLatin1Char('y'));
const QString Viewed = QStringLiteral("short one\n") + LongLine + QStringLiteral("\nshort two\n");
const int LongStart = 10;
const int AfterLong = LongStart + int(LongLine.size()) + 1;
const QString NearLimit(65535, QLatin1Char('n'));
} // namespace

void TestCodeEditor::oneCaretOnEveryLine_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("steps"); // separated by '|'; see oneCaretOnEveryLine
    QTest::addColumn<QString>("wantText");
    QTest::addColumn<int>("wantStart");
    QTest::addColumn<int>("wantSelected");
    QTest::addColumn<QString>("wantCopied"); // what the clipboard holds; null: not looked at
    QTest::addColumn<int>("wantRefused");
    const QString notLooked;
    const QString s300 = QStringLiteral("s\n").repeated(300) + LongLine;
    QTest::newRow("click a short line, type")
        << Viewed << "caret 15|click 219000|type x" << Viewed << AfterLong << 0 << notLooked << 1;
    QTest::newRow("drop and middle click")
        << Viewed << "caret 15|middle 219000|drop 219000" << Viewed << 15 << 0 << notLooked << 0;
    QTest::newRow("Ctrl+End, Left, Down, drag, Copy")
        << Viewed << "key Ctrl+End|key Left|key Down|key PgDown|drag 0 5010|key Ctrl+C" << Viewed
        << 0 << 5010 << Viewed.left(5010) << 0;
    QTest::newRow("typing makes a line too long")
        << NearLimit + "\nb"
        << "caret 65535|type ab|key Ctrl+Z" << NearLimit + "\nb" << 65535 << 0 << notLooked << 1;
    QTest::newRow("pasting makes a line too long")
        << NearLimit + "\nb"
        << "caret 65535|clip xyz|key Ctrl+V|type q" << NearLimit + "q\nb" << 65536 << 0 << notLooked
        << 1;
    QTest::newRow("Backspace joins two lines")
        << NearLimit + "\nbb"
        << "caret 65536|key Backspace" << NearLimit + "\nbb" << 65536 << 0 << notLooked << 1;
    QTest::newRow("click among tabs and wide characters")
        << Viewed << "click 12|dclick 20|click 14" << Viewed << 14 << 0 << notLooked << 0;
    QTest::newRow("Ctrl+V of CR LF") << "ab"
                                     << "caret 1|clip x\r\ny\r\nz|key Ctrl+V"
                                     << "ax\ny\nzb" << 6 << 0 << notLooked << 0;
    QTest::newRow("no caret inside an emoji") << "a\U0001F600b"
                                              << "caret 1|key Right|type x"
                                              << "a\U0001F600xb" << 4 << 0 << notLooked << 0;
    QTest::newRow("typing is one undo step")
        << NearLimit.left(60000) << "caret 60000|type abc|key Ctrl+Z" << NearLimit.left(60000)
        << 60000 << 0 << notLooked << 0;
    QTest::newRow("view follows the caret")
        << s300 << "caret 100000|key Ctrl+End|key Ctrl+Home|caret 150000" << s300 << 150000 << 0
        << notLooked << 0;
    QTest::newRow("pop-up menu: Select All, Copy")
        << Viewed << "menu Select All|menu Copy" << Viewed << 0 << int(Viewed.size()) << Viewed
        << 0;
    QTest::newRow("emoji key, ZWNJ, word deletes")
        << Viewed
        << "caret 15|text \U0001F600|text \u200C|key Ctrl+Backspace|key Ctrl+Del|key Ctrl+Right"
        << Viewed << 15 << 0 << notLooked << 4;
    QTest::newRow("Cut, Undo, Paste by command")
        << Viewed << "caret 2|shift 15|replace z|undo|redo" << Viewed << 2 << 13 << notLooked << 3;
    QTest::newRow("Shift+click, then Copy")
        << Viewed << "caret 2|shift 219000|key Ctrl+C" << Viewed << 2 << AfterLong - 2
        << Viewed.mid(2, AfterLong - 2) << 0;
}

// The user's steps on a real editor: what it shows, what is selected, what it refuses, and that
// no line of the document is ever too long for Qt, which would then work through all of it at
// the caret's every move. The saved bytes are the text's UTF-8, which must decode to the text.
void TestCodeEditor::oneCaretOnEveryLine() {
    QFETCH(QString, text);
    QFETCH(QString, steps);
    QFETCH(QString, wantText);
    QFETCH(int, wantStart);
    QFETCH(int, wantSelected);
    QFETCH(QString, wantCopied);
    QFETCH(int, wantRefused);
    CodeEditor editor;
    editor.setWordWrapOff();
    editor.resize(400, 200);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.setText(text);
    editor.activateWindow();
    editor.setFocus();
    QSignalSpy refused(&editor, &CodeEditor::editRefused);
    QApplication::processEvents();
    // Where the character at a text offset is on screen, a pixel into it; 219000: the line after
    // the long one.
    const auto pointAt = [&editor](int offset) {
        if (offset == 219000)
            offset = AfterLong;
        const int at = editor.documentPosition(offset);
        QRect box = editor.cursorRect(editor.cursorAt(at, at));
        if (!editor.viewport()->rect().contains(box.center())) {
            // Scrolled to, as a user does before clicking.
            editor.verticalScrollBar()->setValue(editor.document()->findBlock(at).blockNumber() -
                                                 1);
            editor.horizontalScrollBar()->setValue(0);
            box = editor.cursorRect(editor.cursorAt(at, at));
        }
        return QPoint(box.left() + 1, box.center().y());
    };
    for (const QString& step : steps.split(QLatin1Char('|'))) {
        const QStringList words = step.split(QLatin1Char(' '));
        const QString rest = step.mid(words[0].size() + 1);
        const int number = words.value(1).toInt();
        if (words[0] == QLatin1String("caret")) {
            editor.setSelectionStart(number);
        } else if (words[0] == QLatin1String("click") || words[0] == QLatin1String("shift")) {
            QTest::mouseClick(editor.viewport(), Qt::LeftButton,
                              words[0] == QLatin1String("shift") ? Qt::ShiftModifier
                                                                 : Qt::NoModifier,
                              pointAt(number));
        } else if (words[0] == QLatin1String("dclick")) {
            QTest::mouseDClick(editor.viewport(), Qt::LeftButton, {}, pointAt(number));
        } else if (words[0] == QLatin1String("middle")) {
            QGuiApplication::clipboard()->setText(QStringLiteral("m"), QClipboard::Selection);
            QTest::mouseClick(editor.viewport(), Qt::MiddleButton, {}, pointAt(number));
        } else if (words[0] == QLatin1String("drop")) {
            QMimeData data;
            data.setText(QStringLiteral("dropped"));
            QDragEnterEvent enter(pointAt(number), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(editor.viewport(), &enter);
            QDropEvent drop(pointAt(number), Qt::CopyAction, &data, Qt::LeftButton, {});
            if (enter.isAccepted())
                QApplication::sendEvent(editor.viewport(), &drop);
        } else if (words[0] == QLatin1String("drag")) {
            const QPoint from = pointAt(number);
            // Down the chunks of the long line, then along the last one.
            QTest::mousePress(editor.viewport(), Qt::LeftButton, {}, from);
            for (int to = number + 4096; to <= words[2].toInt(); to += 4096) {
                const QPoint on = pointAt(std::min(to, words[2].toInt()));
                QMouseEvent move(QEvent::MouseMove, on, editor.viewport()->mapToGlobal(on),
                                 Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(editor.viewport(), &move);
            }
            const QPoint to = pointAt(words[2].toInt());
            QMouseEvent move(QEvent::MouseMove, to, editor.viewport()->mapToGlobal(to),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(editor.viewport(), &move);
            QTest::mouseRelease(editor.viewport(), Qt::LeftButton, {}, to);
        } else if (words[0] == QLatin1String("key")) {
            QTest::keySequence(&editor, QKeySequence(words[1]));
        } else if (words[0] == QLatin1String("type")) {
            QTest::keyClicks(&editor, rest);
        } else if (words[0] == QLatin1String("text")) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, rest);
            QApplication::sendEvent(&editor, &press);
        } else if (words[0] == QLatin1String("clip")) {
            QGuiApplication::clipboard()->setText(rest);
        } else if (words[0] == QLatin1String("menu")) {
            std::unique_ptr<QMenu> menu(editor.createStandardContextMenu());
            for (QAction* action : menu->actions())
                if (action->text().remove(QLatin1Char('&')).startsWith(rest))
                    action->trigger();
        } else if (words[0] == QLatin1String("replace")) {
            editor.replaceSelection(rest);
        } else if (words[0] == QLatin1String("undo")) {
            editor.undo();
        } else if (words[0] == QLatin1String("redo")) {
            editor.redo();
        }
        QApplication::processEvents();
    }
    editor.viewport()->repaint();
    for (QTextBlock line = editor.document()->begin(); line.isValid(); line = line.next())
        QVERIFY(line.length() - 1 <= (1 << 16));
    QCOMPARE(editor.text(), wantText);
    QCOMPARE(QString::fromUtf8(editor.text().toUtf8()), wantText);
    QCOMPARE(editor.selectionStart(), wantStart);
    QCOMPARE(editor.selectionLength(), wantSelected);
    if (!wantCopied.isNull())
        QCOMPARE(QGuiApplication::clipboard()->text(), wantCopied);
    QCOMPARE(refused.size(), wantRefused);
    // A screen reader reads the text as it is, a split line as one, and the caret is in view.
    QAccessibleTextInterface* reader =
        QAccessible::queryAccessibleInterface(&editor)->textInterface();
    QCOMPARE(reader->characterCount(), int(wantText.size()));
    QCOMPARE(reader->cursorPosition(), editor.textOffset(editor.textCursor().position()));
    int from = -1, to = -1;
    const QString line =
        reader->textAtOffset(reader->cursorPosition(), QAccessible::LineBoundary, &from, &to);
    QCOMPARE(line, wantText.mid(from, to - from));
    QVERIFY(!line.left(line.size() - 1).contains(QLatin1Char('\n')));
    const QRect caretBox = editor.cursorRect();
    const QString last = steps.section(QLatin1Char('|'), -1);
    if (last.startsWith(QLatin1String("click")) || last.startsWith(QLatin1String("caret")))
        QVERIFY(caretBox.top() >= 0 && caretBox.bottom() <= editor.viewport()->height());
}

// What a screen reader asks at the caret, on a text of 8 million characters: the line, the word
// and the character around an offset, as they are in the text.
void TestCodeEditor::screenReaderReadsAroundAnOffset() {
    QString text = QStringLiteral("Dim alpha As Integer\n").repeated(400000);
    const int at = int(text.size()) / 2 + 5; // inside "alpha" of a line in the middle
    CodeEditor editor;
    editor.setText(text);
    QAccessibleTextInterface* reader =
        QAccessible::queryAccessibleInterface(&editor)->textInterface();
    struct Ask {
        QAccessible::TextBoundaryType boundary;
        int offset;
        QString want;
    };
    const int lineStart = at - 5;
    for (const Ask& ask :
         {Ask{QAccessible::LineBoundary, at, "Dim alpha As Integer\n"},
          Ask{QAccessible::WordBoundary, at, "alpha"}, Ask{QAccessible::CharBoundary, at, "l"},
          Ask{QAccessible::LineBoundary, 0, "Dim alpha As Integer\n"}}) {
        int start = -1, end = -1;
        QCOMPARE(reader->textAtOffset(ask.offset, ask.boundary, &start, &end), ask.want);
        QCOMPARE(text.mid(start, end - start), ask.want);
    }
    int start = -1, end = -1;
    QCOMPARE(reader->textBeforeOffset(at, QAccessible::LineBoundary, &start, &end),
             QStringLiteral("Dim alpha As Integer\n"));
    QCOMPARE(start, lineStart - 21);
    QCOMPARE(reader->textAfterOffset(at, QAccessible::WordBoundary, &start, &end),
             QStringLiteral(" "));
    QCOMPARE(start, lineStart + 9);
}

void TestCodeEditor::aLongTextReplacedLeavesAWorkingEditor_data() {
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<bool>("doubleClicked");
    QTest::newRow("set") << false << false;
    QTest::newRow("loaded in pieces") << true << false;
    // The widget keeps the cursor of a double click in the old document.
    QTest::newRow("set after a double click") << false << true;
}

// A text of megabytes is let go of by swapping the document: the one that takes its place reads
// as the editor's own, in its font and tabs, with edits followed, coloured and undone, and the
// old one goes once nothing loads.
void TestCodeEditor::aLongTextReplacedLeavesAWorkingEditor() {
    QFETCH(bool, loaded);
    QFETCH(bool, doubleClicked);
    CodeEditor editor;
    editor.setWordWrapOff();
    editor.setTabStopDistance(33);
    editor.resize(300, 200);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.setText(QStringLiteral("Dim x ' note\n").repeated(100000));
    if (doubleClicked)
        QTest::mouseDClick(editor.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    const QPointer<QTextDocument> old = editor.document();
    const QString text = QStringLiteral("Dim a\nb");
    if (loaded) {
        editor.beginLoading();
        editor.appendLoadedText(text);
        editor.finishLoading();
    } else {
        editor.setText(text);
    }
    QCOMPARE(editor.text(), text);
    QCOMPARE(editor.document()->defaultFont(), editor.font());
    QCOMPARE(editor.tabStopDistance(), 33.0);
    QVERIFY(!editor.isEdited());
    QVERIFY(!editor.document()->isUndoAvailable());
    editor.colourAll({QStringLiteral("dim")});
    QSignalSpy changes(&editor, &CodeEditor::contentsChange);
    editor.setFocus();
    editor.setSelectionStart(3);
    QTest::keyClicks(&editor, QStringLiteral("\t"));
    QCOMPARE(changes.size(), 1);
    QVERIFY(editor.isEdited());
    QCOMPARE(editor.text(), QStringLiteral("Dim\t a\nb"));
    QCOMPARE(editor.colourAt(0), Colours::Keyword);
    QCOMPARE(editor.colourAt(5), Colours::Default);
    editor.undo();
    QCOMPARE(editor.text(), text);
    QTRY_VERIFY(old.isNull());
    QTest::mouseDClick(editor.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(editor.selectedText(), QStringLiteral("Dim"));
}

QTEST_MAIN(TestCodeEditor)
#include "test_codeeditor.moc"
