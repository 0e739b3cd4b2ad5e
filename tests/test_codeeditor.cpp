// SPDX-License-Identifier: MIT
#include "editor/codeeditor.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <malloc.h>

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

// Bytes the heap holds. When Qt works through a line for its caret, it keeps a copy of the line.
qint64 heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks) + qint64(info.hblkhd);
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
    void aLineTooLongToLayOutIsShownAndEdited();
    void keysInALongLineNeverWorkThroughIt_data();
    void keysInALongLineNeverWorkThroughIt();
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
    QString longLine;
    for (int i = 0; i < 800; ++i)
        longLine += QStringLiteral("Dim x ' \u00E9\u20AC ");
    QTest::newRow("one line, many pieces") << longLine << 7;
    QTest::newRow("one line, then a break") << longLine + QLatin1Char('\n') << 1000;
    QTest::newRow("breaks inside pieces") << QStringLiteral("a\nbb\nccc\n").repeated(100) << 5;
    QTest::newRow("pieces end at breaks") << QStringLiteral("ab\n").repeated(50) << 3;
    QTest::newRow("empty lines") << QStringLiteral("\n\nx\n\n") << 1;
    QTest::newRow("a line too long to lay out") << QStringLiteral("Dim x ").repeated(12000) << 4096;
}

// A long line arrives in pieces, each followed by a line break until loading ends: the text
// shown is exactly the text given, with nothing left to undo.
void TestCodeEditor::textLoadedInPiecesIsExact() {
    QFETCH(QString, text);
    QFETCH(int, pieceLength);
    CodeEditor editor;
    editor.setWordWrapOff();
    editor.resize(300, 200);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.setText(QStringLiteral("before"));
    editor.beginLoading();
    for (qsizetype at = 0; at < text.size(); at += pieceLength) {
        editor.appendLoadedText(text.mid(at, pieceLength));
        QCoreApplication::processEvents();
    }
    QVERIFY(editor.isLoading());
    editor.finishLoading();
    QVERIFY(!editor.isLoading());
    QCOMPARE(editor.text(), text);
    QCOMPARE(editor.textLength(), text.size());
    QCOMPARE(editor.selectionStart(), 0);
    QVERIFY(!editor.document()->isUndoAvailable());
    QVERIFY(editor.colourRuns(0, editor.textLength()).isEmpty());
    editor.viewport()->repaint();
    // Laying out a line of 50 MB takes Qt a quarter of a minute.
    if (text.size() > (1 << 16))
        QCOMPARE(editor.document()->firstBlock().layout()->lineCount(), 0);
}

// Such a line is painted a piece at a time: it shows in its colours where it is scrolled to, a
// click puts the caret under the mouse, a caret put into it brings it into view, and it edits.
void TestCodeEditor::aLineTooLongToLayOutIsShownAndEdited() {
    CodeEditor editor;
    editor.setWordWrapOff();
    editor.resize(400, 200);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    const QString line = QStringLiteral("Dim x ").repeated(12000) + QStringLiteral("' end");
    const QString text = QStringLiteral("a\n").repeated(100) + line + QStringLiteral("\n") +
                         QStringLiteral("b\n").repeated(100);
    editor.setText(text);
    editor.colourAll({QStringLiteral("dim")});
    const int lineStart = 200;
    editor.setSelectionStart(lineStart + 60000);
    QCoreApplication::processEvents();
    editor.viewport()->repaint();
    const QTextBlock block = editor.document()->findBlock(lineStart);
    QCOMPARE(block.layout()->lineCount(), 0);

    QTextCursor atLine(editor.document());
    atLine.setPosition(lineStart);
    const int top = editor.cursorRect(atLine).top();
    const int height = editor.fontMetrics().height();
    QVERIFY(top >= 0 && top + height <= editor.viewport()->height());
    const QImage image = editor.viewport()->grab().toImage();
    bool keyword = false, plain = false;
    for (int y = top; y < top + height; ++y)
        for (int x = 0; x < image.width(); ++x) {
            keyword =
                keyword || inkOf(image.pixelColor(x, y), CodeEditor::colourOf(Colours::Keyword));
            plain = plain || inkOf(image.pixelColor(x, y), Qt::black);
        }
    QVERIFY(keyword);
    QVERIFY(plain);

    const int advance = editor.fontMetrics().horizontalAdvance(QLatin1Char('x'));
    QTest::mouseClick(editor.viewport(), Qt::LeftButton, {}, QPoint(100, top + height / 2));
    const int clicked = editor.selectionStart();
    QVERIFY(clicked > lineStart + 50000 && clicked < lineStart + line.size());
    // Ten columns on, a double click selects the word there ("Dim x " repeats).
    QTest::mouseDClick(editor.viewport(), Qt::LeftButton, {},
                       QPoint(100 + 10 * advance, top + height / 2));
    const int word = editor.selectionStart();
    const int wordEnd = word + editor.selectionLength();
    QVERIFY(word <= clicked + 10 && clicked + 10 <= wordEnd);
    QVERIFY(editor.selectedText() == QLatin1String("Dim") ||
            editor.selectedText() == QLatin1String("x"));

    QTest::keyClick(&editor, Qt::Key_Right);
    QCOMPARE(editor.selectionStart(), wordEnd);
    QCOMPARE(editor.selectionLength(), 0);
    QTest::keyClick(&editor, Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(editor.selectedText(), text.mid(wordEnd - 1, 1));
    editor.setSelectionStart(word);
    editor.setSelectionLength(wordEnd - word);
    QTest::keyClicks(&editor, QStringLiteral("Q"));
    QCOMPARE(editor.text(), QString(text).replace(word, wordEnd - word, QStringLiteral("Q")));
    QCOMPARE(block.layout()->lineCount(), 0);
    editor.undo();
    QCOMPARE(editor.text(), text);
    editor.setText(line);
    editor.viewport()->repaint();
    QCOMPARE(editor.document()->firstBlock().layout()->lineCount(), 0);
}

void TestCodeEditor::keysInALongLineNeverWorkThroughIt_data() {
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("keys"); // letters typed; <, >, H, E, B, D, S stand for keys
    QTest::addColumn<int>("wantCaret");
    QTest::addColumn<int>("wantSelected");
    QTest::addColumn<QString>("wantInserted"); // at the first caret, after what was removed
    QTest::addColumn<int>("wantRemoved");
    QTest::newRow("typing") << 1000 << "abc" << 1003 << 0 << "abc" << 0;
    QTest::newRow("Backspace and Delete") << 1000 << "BD" << 999 << 0 << "" << 2;
    QTest::newRow("arrows, then typing") << 1000 << "<<<>>>x" << 1001 << 0 << "x" << 0;
    QTest::newRow("Home") << 1000 << "H" << 0 << 0 << "" << 0;
    QTest::newRow("End") << 1000 << "E" << (3 << 20) << 0 << "" << 0;
    QTest::newRow("Shift+Left selects") << 1000 << "SSS" << 997 << 3 << "" << 0;
    QTest::newRow("typed over a selection") << 1000 << "SSSq" << 998 << 0 << "q" << 3;
}

// Focus, blinking, keys and the input method's questions about a caret in a line of megabytes:
// the text and caret come out as typed, and Qt never makes a copy of the line to work through.
void TestCodeEditor::keysInALongLineNeverWorkThroughIt() {
    QFETCH(int, caret);
    QFETCH(QString, keys);
    QFETCH(int, wantCaret);
    QFETCH(int, wantSelected);
    QFETCH(QString, wantInserted);
    QFETCH(int, wantRemoved);
    const int length = 3 << 20;
    const QString line(length, QLatin1Char('y'));
    CodeEditor editor;
    editor.setWordWrapOff();
    editor.resize(400, 200);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.setText(line);
    editor.setSelectionStart(caret);
    // The document's buffer grows once on the first edit; it is not what is looked for.
    QTest::keyClick(&editor, Qt::Key_Z);
    QTest::keyClick(&editor, Qt::Key_Backspace);
    QApplication::processEvents();
    const qint64 before = heapInUse();
    editor.activateWindow();
    editor.setFocus();
    QApplication::processEvents();
    for (const QChar key : keys) {
        switch (key.unicode()) {
        case '<':
            QTest::keyClick(&editor, Qt::Key_Left);
            break;
        case '>':
            QTest::keyClick(&editor, Qt::Key_Right);
            break;
        case 'H':
            QTest::keyClick(&editor, Qt::Key_Home);
            break;
        case 'E':
            QTest::keyClick(&editor, Qt::Key_End);
            break;
        case 'B':
            QTest::keyClick(&editor, Qt::Key_Backspace);
            break;
        case 'D':
            QTest::keyClick(&editor, Qt::Key_Delete);
            break;
        case 'S':
            QTest::keyClick(&editor, Qt::Key_Left, Qt::ShiftModifier);
            break;
        default:
            QTest::keyClicks(&editor, QString(key));
            break;
        }
        QApplication::processEvents();
    }
    QInputMethodQueryEvent query(Qt::ImQueryAll);
    QApplication::sendEvent(&editor, &query);
    QVERIFY(query.value(Qt::ImCursorRectangle).toRectF().isValid());
    editor.clearFocus();
    editor.viewport()->repaint();
    QApplication::processEvents();
    QVERIFY2(heapInUse() - before < length, qPrintable(QString::number(heapInUse() - before)));
    QCOMPARE(editor.selectionStart(), wantCaret);
    QCOMPARE(editor.selectionLength(), wantSelected);
    const int from = caret - wantRemoved;
    QCOMPARE(editor.textLength(), length - wantRemoved + int(wantInserted.size()));
    QCOMPARE(editor.text().mid(from, wantInserted.size() + 1), wantInserted + QLatin1Char('y'));
    QCOMPARE(editor.document()->firstBlock().layout()->lineCount(), 0);
}

QTEST_MAIN(TestCodeEditor)
#include "test_codeeditor.moc"
