// SPDX-License-Identifier: MIT
#include "tests/support/mainwindowparts.h"
#include "tests/support/windowfixture.h"

#include "windows/frmclipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSignalSpy>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

class TestEditing : public QObject {
    Q_OBJECT
private slots:
    // Column and row in the status bar.
    void positionPanel_data();
    void positionPanel();
    void multiLineSelectionsInBothDirections();
    void positionInMegabyteText();
    void positionAfterEditThatKeepsCaretNumber();

    // Menu states kept by the tick.
    void selectionItemsFollowSelectionWithinOneTick();
    void pasteFollowsClipboardText();
    void alwaysEnabledItems();
    void menuBarEditMenuIsThePopUp();
    void lockPanelsDimmedWhereStateUnknown();

    // The editor's pop-up menu.
    void leftAndMiddleReleaseShowNothing();
    void rightReleaseShowsCurrentStates();

    // Clipboard commands and undo.
    void cutCopyDelete();
    void cutOrCopyWithNothingSelected();
    void paste_data();
    void paste();
    void pasteWithEmptyClipboardDeletesSelection();
    void pastedTextIsNotColoured();
    void undoTakesBackEachCommand();
    void undoNeverUndoesColouring();
    void undoWithNothingToUndo();
    void commandsLeaveCodeClipboardAlone();

    // Comment commands.
    void commentCommands_data();
    void commentCommands();
    void toEndOfLineTurnsGreen();
    void repeatedWholeLine();
    void eachCommentCommandIsOneUndoStep();

private:
    static void cleanClipboard() { QGuiApplication::clipboard()->setText(QString()); }
};

namespace {

void setEditor(frmMain& w, const QString& text, int start = 0, int length = 0) {
    ui(w).txtCodeFile->setText(text);
    ui(w).txtCodeFile->setSelectionStart(start);
    ui(w).txtCodeFile->setSelectionLength(length);
}

// Waits for the tick that follows the last change; a sleeping timer means it has already run.
bool nextTick(frmMain& w) {
    if (!ui(w).tmrEdit->isActive())
        return true;
    QSignalSpy tick(ui(w).tmrEdit, &QTimer::timeout);
    return tick.wait(2000);
}

void imageOnlyClipboard() {
    auto* data = new QMimeData;
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    data->setImageData(image);
    QGuiApplication::clipboard()->setMimeData(data);
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
}

QList<QAction*> selectionItems(const frmMain& w) {
    return {ui(w).mnuCut, ui(w).mnuCopy, ui(w).mnuDelete, ui(w).mnuCommentSelected};
}

void writeKeywords(WindowFixture& f) {
    f.writeWordList("Dim\r\nset\r\n");
}

} // namespace

// Column and row ---------------------------------------------------------------------------------

void TestEditing::positionPanel_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("panel");
    QTest::newRow("start of text")
        << QStringLiteral("abc\ndef") << 0 << QStringLiteral("COL: 0  ROW: 1");
    QTest::newRow("third line, column 3")
        << QStringLiteral("a\nbb\nccc\nd") << 8 << QStringLiteral("COL: 3  ROW: 3");
    QTest::newRow("TAB is one column")
        << QStringLiteral("x\n\tab") << 4 << QStringLiteral("COL: 2  ROW: 2");
    QTest::newRow("end of a text ending in a break")
        << QStringLiteral("a\nb\n") << 4 << QStringLiteral("COL: 0  ROW: 3");
    QTest::newRow("end of a line, before its break")
        << QStringLiteral("ab\ncd") << 2 << QStringLiteral("COL: 2  ROW: 1");
    QTest::newRow("empty lines") << QStringLiteral("\n\n\n") << 2
                                 << QStringLiteral("COL: 0  ROW: 3");
    QTest::newRow("empty editor") << QString() << 0 << QStringLiteral("COL: 0  ROW: 1");
    // Shown split into display lines, counted as the file has it.
    const QString split = QStringLiteral("a\n") + QString(70000, QLatin1Char('x'));
    QTest::newRow("in a line split for display")
        << split + "\nbc" << 10002 << QStringLiteral("COL: 10000  ROW: 2");
    QTest::newRow("after a line split for display")
        << split + "\nbc" << 70004 << QStringLiteral("COL: 1  ROW: 3");
}

void TestEditing::positionPanel() {
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(QString, panel);
    WindowFixture f;
    frmMain& w = f.open();
    // Something else first, so a stale panel cannot pass.
    setEditor(w, QStringLiteral("zz\nzz\nzz\nzz\nzzzzzzz"), 16);
    QTRY_COMPARE(ui(w).statusPanels[1]->text(), QStringLiteral("COL: 4  ROW: 5"));
    setEditor(w, text, caret);
    QTRY_COMPARE(ui(w).statusPanels[1]->text(), panel);
}

void TestEditing::multiLineSelectionsInBothDirections() {
    WindowFixture f;
    frmMain& w = f.open();
    const QString text = QStringLiteral("abcd\nefghijkl\nij\nmnop");
    setEditor(w, text, 2);
    ui(w).txtCodeFile->setFocus();
    // Downwards: the caret ends on the third line, column 2, far left of the start's column
    // counted from the third line's start.
    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), 2);
    QCOMPARE(ui(w).txtCodeFile->selectionLength(), 14);
    QTRY_COMPARE(ui(w).statusPanels[1]->text(), QStringLiteral("COL: 2  ROW: 1"));

    // Upwards from the second line's column 6: the selection starts on the first line.
    setEditor(w, text, 11);
    QTRY_COMPARE(ui(w).statusPanels[1]->text(), QStringLiteral("COL: 6  ROW: 2"));
    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), 4);
    QTRY_COMPARE(ui(w).statusPanels[1]->text(), QStringLiteral("COL: 4  ROW: 1"));

    // From the middle of a line across the next whole line.
    setEditor(w, text, 7, 10);
    QTRY_COMPARE(ui(w).statusPanels[1]->text(), QStringLiteral("COL: 2  ROW: 2"));
}

void TestEditing::positionInMegabyteText() {
    WindowFixture f;
    frmMain& w = f.open();
    QString text;
    const QString line = QStringLiteral("\tDim x As String ' note\n");
    while (text.size() < (1 << 20))
        text += line;
    text += QStringLiteral("last");
    const int lines = int(text.count(QLatin1Char('\n')));
    setEditor(w, text, int(text.size()) - 1);
    QTRY_COMPARE(ui(w).statusPanels[1]->text(), QStringLiteral("COL: 3  ROW: %1").arg(lines + 1));
    setEditor(w, text, int(text.size()) - 4 - int(line.size()) + 5);
    QTRY_COMPARE(ui(w).statusPanels[1]->text(), QStringLiteral("COL: 5  ROW: %1").arg(lines));
}

void TestEditing::positionAfterEditThatKeepsCaretNumber() {
    WindowFixture f;
    frmMain& w = f.open();
    setEditor(w, QStringLiteral("ab\ncd"), 5);
    QTRY_COMPARE(ui(w).statusPanels[1]->text(), QStringLiteral("COL: 2  ROW: 2"));
    // The first line's break is replaced in one edit, from outside the editor's own cursor:
    // the caret ends at the same number on another line.
    QTextCursor other(ui(w).txtCodeFile->document());
    other.setPosition(0);
    other.setPosition(3, QTextCursor::KeepAnchor);
    other.insertText(QStringLiteral("xyz"));
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), 5);
    QTRY_COMPARE(ui(w).statusPanels[1]->text(), QStringLiteral("COL: 5  ROW: 1"));
}

// Menu states ------------------------------------------------------------------------------------

void TestEditing::selectionItemsFollowSelectionWithinOneTick() {
    WindowFixture f;
    frmMain& w = f.open();
    setEditor(w, QStringLiteral("hello\nworld"), 3);
    QVERIFY(nextTick(w));
    for (QAction* item : selectionItems(w))
        QVERIFY2(!item->isEnabled(), qPrintable(item->objectName()));

    ui(w).txtCodeFile->setFocus();
    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_Right, Qt::ShiftModifier);
    QVERIFY(nextTick(w));
    for (QAction* item : selectionItems(w))
        QVERIFY2(item->isEnabled(), qPrintable(item->objectName()));

    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_Right);
    QCOMPARE(ui(w).txtCodeFile->selectionLength(), 0);
    QVERIFY(nextTick(w));
    for (QAction* item : selectionItems(w))
        QVERIFY2(!item->isEnabled(), qPrintable(item->objectName()));

    // A selection over a line break alone counts too.
    setEditor(w, QStringLiteral("a\nb"), 1, 1);
    QVERIFY(nextTick(w));
    for (QAction* item : selectionItems(w))
        QVERIFY2(item->isEnabled(), qPrintable(item->objectName()));
}

void TestEditing::pasteFollowsClipboardText() {
    WindowFixture f;
    frmMain& w = f.open();
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    QVERIFY(nextTick(w));
    QVERIFY(ui(w).mnuPaste->isEnabled());

    imageOnlyClipboard();
    QVERIFY(nextTick(w));
    QVERIFY(!ui(w).mnuPaste->isEnabled());

    // Copying text in the editor enables it within one tick.
    setEditor(w, QStringLiteral("abc"), 1, 1);
    QVERIFY(nextTick(w));
    ui(w).mnuCopy->trigger();
    QVERIFY(nextTick(w));
    QVERIFY(ui(w).mnuPaste->isEnabled());

    cleanClipboard();
    QVERIFY(nextTick(w));
    QVERIFY(!ui(w).mnuPaste->isEnabled());

    // A single space is text.
    QGuiApplication::clipboard()->setText(QStringLiteral(" "));
    QVERIFY(nextTick(w));
    QVERIFY(ui(w).mnuPaste->isEnabled());
    cleanClipboard();
}

void TestEditing::alwaysEnabledItems() {
    WindowFixture f;
    frmMain& w = f.open();
    cleanClipboard();
    QVERIFY(ui(w).txtCodeFile->text().isEmpty());
    // Everything the tick governs is off now, so the tick has run.
    QTRY_VERIFY(!ui(w).mnuPaste->isEnabled() && !ui(w).mnuCut->isEnabled());
    for (int i = 0; i < 3; ++i)
        QVERIFY(nextTick(w));
    for (QAction* item : {ui(w).mnuUndo, ui(w).mnuCommentWholeLine, ui(w).mnuCommentFromHere,
                          ui(w).mnuComment->menuAction(), ui(w).mnuEditPopup->menuAction()})
        QVERIFY2(item->isEnabled(), qPrintable(item->objectName()));
    // Used on an empty editor, they still are.
    ui(w).mnuCommentWholeLine->trigger();
    ui(w).mnuUndo->trigger();
    QVERIFY(nextTick(w));
    for (QAction* item : {ui(w).mnuUndo, ui(w).mnuCommentWholeLine, ui(w).mnuCommentFromHere})
        QVERIFY2(item->isEnabled(), qPrintable(item->objectName()));
}

void TestEditing::menuBarEditMenuIsThePopUp() {
    WindowFixture f;
    frmMain& w = f.open();
    QMenu* barEdit = nullptr;
    for (QAction* action : w.menuBar()->actions())
        if (action->text() == QStringLiteral("&Edit"))
            barEdit = action->menu();
    QCOMPARE(barEdit, ui(w).mnuEditPopup);

    QGuiApplication::clipboard()->setText(QStringLiteral("p"));
    setEditor(w, QStringLiteral("abc"), 0, 2);
    QVERIFY(nextTick(w));
    const QList<QAction*> items = barEdit->actions();
    for (QAction* item : {ui(w).mnuCut, ui(w).mnuCopy, ui(w).mnuDelete, ui(w).mnuPaste}) {
        QVERIFY(items.contains(item));
        QVERIFY(item->isEnabled());
    }
    cleanClipboard();
}

void TestEditing::lockPanelsDimmedWhereStateUnknown() {
    if (QGuiApplication::platformName() != QStringLiteral("offscreen"))
        QSKIP("the lock states are known on this platform");
    WindowFixture f;
    frmMain& w = f.open();
    QVERIFY(nextTick(w));
    QCOMPARE(ui(w).statusPanels[2]->text(), QStringLiteral("CAPS"));
    QCOMPARE(ui(w).statusPanels[3]->text(), QStringLiteral("NUM"));
    QVERIFY(!ui(w).statusPanels[2]->isEnabled());
    QVERIFY(!ui(w).statusPanels[3]->isEnabled());
    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_CapsLock);
    QVERIFY(!ui(w).statusPanels[2]->isEnabled());
}

// Pop-up menu ------------------------------------------------------------------------------------

void TestEditing::leftAndMiddleReleaseShowNothing() {
    WindowFixture f;
    frmMain& w = f.open();
    setEditor(w, QStringLiteral("some text"), 0);
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton}) {
        QTest::mouseClick(ui(w).txtCodeFile->viewport(), button, {}, QPoint(20, 8));
        QCoreApplication::processEvents();
        QVERIFY(!ui(w).mnuEditPopup->isVisible());
        QVERIFY(!QApplication::activePopupWidget());
    }
}

void TestEditing::rightReleaseShowsCurrentStates() {
    WindowFixture f;
    frmMain& w = f.open();
    QGuiApplication::clipboard()->setText(QStringLiteral("text"));
    setEditor(w, QStringLiteral("abc def"), 2);
    QVERIFY(nextTick(w));
    QVERIFY(!ui(w).mnuCut->isEnabled());
    QVERIFY(ui(w).mnuPaste->isEnabled());
    ui(w).tmrEdit->stop();

    // Both turn over while no tick runs.
    ui(w).txtCodeFile->setSelectionLength(3);
    imageOnlyClipboard();
    QTest::mouseClick(ui(w).txtCodeFile->viewport(), Qt::RightButton, {}, QPoint(20, 8));
    QTRY_VERIFY(ui(w).mnuEditPopup->isVisible());
    QCOMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(ui(w).mnuEditPopup));
    QCOMPARE(ui(w).txtCodeFile->selectionLength(), 3);
    QVERIFY(ui(w).mnuCut->isEnabled());
    QVERIFY(ui(w).mnuCopy->isEnabled());
    QVERIFY(ui(w).mnuDelete->isEnabled());
    QVERIFY(!ui(w).mnuPaste->isEnabled());
    // "Selected Text" is the tick's alone.
    QVERIFY(!ui(w).mnuCommentSelected->isEnabled());
    ui(w).mnuEditPopup->close();
    QTRY_VERIFY(!ui(w).mnuEditPopup->isVisible());

    // And back: nothing selected, text on the clipboard.
    ui(w).txtCodeFile->setSelectionStart(1);
    QGuiApplication::clipboard()->setText(QStringLiteral("again"));
    QTest::mouseClick(ui(w).txtCodeFile->viewport(), Qt::RightButton, {}, QPoint(20, 8));
    QTRY_VERIFY(ui(w).mnuEditPopup->isVisible());
    QVERIFY(!ui(w).mnuCut->isEnabled());
    QVERIFY(!ui(w).mnuCopy->isEnabled());
    QVERIFY(!ui(w).mnuDelete->isEnabled());
    QVERIFY(ui(w).mnuPaste->isEnabled());
    ui(w).mnuEditPopup->close();
    cleanClipboard();
}

// Clipboard commands -----------------------------------------------------------------------------

void TestEditing::cutCopyDelete() {
    WindowFixture f;
    frmMain& w = f.open();
    QClipboard* clipboard = QGuiApplication::clipboard();

    setEditor(w, QStringLiteral("xabcx"), 1, 3);
    QVERIFY(nextTick(w));
    ui(w).mnuCut->trigger();
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("xx"));
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), 1);
    QCOMPARE(ui(w).txtCodeFile->selectionLength(), 0);
    QCOMPARE(clipboard->text(), QStringLiteral("abc"));

    setEditor(w, QStringLiteral("one\ntwo\nthree"), 2, 8);
    QVERIFY(nextTick(w));
    ui(w).mnuCopy->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("e\ntwo\nth"));
    QCOMPARE(clipboard->mimeData()->data(QStringLiteral("text/plain")), QByteArray("e\ntwo\nth"));
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("one\ntwo\nthree"));
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), 2);
    QCOMPARE(ui(w).txtCodeFile->selectionLength(), 8);

    clipboard->setText(QStringLiteral("kept"));
    setEditor(w, QStringLiteral("a\tb\u00e9c"), 1, 3);
    QVERIFY(nextTick(w));
    ui(w).mnuDelete->trigger();
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("ac"));
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), 1);
    QCOMPARE(clipboard->text(), QStringLiteral("kept"));
    cleanClipboard();
}

void TestEditing::cutOrCopyWithNothingSelected() {
    // The items are off then, so only the handlers can be run.
    WindowFixture f;
    frmMain& w = f.open();
    QClipboard* clipboard = QGuiApplication::clipboard();
    setEditor(w, QStringLiteral("abc"), 1);
    clipboard->setText(QStringLiteral("before"));
    w.mnuCopy_Click();
    QCOMPARE(clipboard->text(), QString());
    clipboard->setText(QStringLiteral("before"));
    w.mnuCut_Click();
    QCOMPARE(clipboard->text(), QString());
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("abc"));
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), 1);
    w.mnuDelete_Click();
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("abc"));
}

void TestEditing::paste_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("caret");
    QTest::newRow("over a selection")
        << QStringLiteral("xabcx") << 1 << 3 << QStringLiteral("YZ") << QStringLiteral("xYZx") << 3;
    QTest::newRow("at the caret") << QStringLiteral("xx") << 1 << 0 << QStringLiteral("abc")
                                  << QStringLiteral("xabcx") << 4;
    QTest::newRow("CR LF is one line break")
        << QStringLiteral("[]") << 1 << 0 << QStringLiteral("a\r\nb") << QStringLiteral("[a\nb]")
        << 4;
    QTest::newRow("lone CR is one line break")
        << QStringLiteral("") << 0 << 0 << QStringLiteral("a\rb\r\r\nc")
        << QStringLiteral("a\nb\n\nc") << 6;
    QTest::newRow("LF stays") << QStringLiteral("") << 0 << 0 << QStringLiteral("a\nb\n")
                              << QStringLiteral("a\nb\n") << 4;
    QTest::newRow("characters kept")
        << QStringLiteral("-") << 1 << 0 << QStringLiteral("\tx\u00a0\u20ac\U0001F600 ")
        << QStringLiteral("-\tx\u00a0\u20ac\U0001F600 ") << 8;
}

void TestEditing::paste() {
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, clipboard);
    QFETCH(QString, result);
    QFETCH(int, caret);
    WindowFixture f;
    frmMain& w = f.open();
    QGuiApplication::clipboard()->setText(clipboard);
    setEditor(w, text, start, length);
    QVERIFY(nextTick(w));
    ui(w).mnuPaste->trigger();
    QCOMPARE(ui(w).txtCodeFile->text(), result);
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), caret);
    QCOMPARE(ui(w).txtCodeFile->selectionLength(), 0);
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    cleanClipboard();
}

void TestEditing::pasteWithEmptyClipboardDeletesSelection() {
    WindowFixture f;
    frmMain& w = f.open();
    imageOnlyClipboard();
    setEditor(w, QStringLiteral("xabcx"), 1, 3);
    w.mnuPaste_Click(); // the item is off: only the handler can run
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("xx"));
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), 1);
    // The picture is still there.
    QVERIFY(QGuiApplication::clipboard()->mimeData()->hasImage());
    cleanClipboard();
}

void TestEditing::pastedTextIsNotColoured() {
    WindowFixture f;
    writeKeywords(f);
    frmMain& w = f.open();
    CodeEditor* editor = ui(w).txtCodeFile;
    setEditor(w, QStringLiteral("x = 1 ' note\ny = 2"));
    w.ColorCode();
    QCOMPARE(editor->colourAt(8), Colours::Comment);

    // Inside the comment: green, like the character before it.
    QGuiApplication::clipboard()->setText(QStringLiteral("Dim a"));
    editor->setSelectionStart(12);
    QVERIFY(nextTick(w));
    ui(w).mnuPaste->trigger();
    QCOMPARE(editor->text(), QStringLiteral("x = 1 ' noteDim a\ny = 2"));
    for (int i = 12; i < 17; ++i)
        QCOMPARE(editor->colourAt(i), Colours::Comment);

    // After plain text: black, not navy.
    editor->setSelectionStart(20);
    ui(w).mnuPaste->trigger();
    QCOMPARE(editor->text(), QStringLiteral("x = 1 ' noteDim a\ny Dim a= 2"));
    for (int i = 20; i < 25; ++i)
        QCOMPARE(editor->colourAt(i), Colours::Default);
    // The next colouring does colour it.
    w.ColorCode();
    QCOMPARE(editor->colourAt(20), Colours::Keyword);
    cleanClipboard();
}

void TestEditing::undoTakesBackEachCommand() {
    WindowFixture f;
    frmMain& w = f.open();
    const QString text = QStringLiteral("xabcx\nline");
    const QList<QAction*> commands = {ui(w).mnuCut, ui(w).mnuDelete, ui(w).mnuPaste};
    for (QAction* command : commands) {
        setEditor(w, text, 1, 3);
        // Another edit first, so that undo taking back too much shows.
        ui(w).txtCodeFile->setFocus();
        QTest::keyClicks(ui(w).txtCodeFile, QStringLiteral("Z"));
        QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("xZx\nline"));
        ui(w).txtCodeFile->setSelectionStart(0);
        ui(w).txtCodeFile->setSelectionLength(2);
        QGuiApplication::clipboard()->setText(QStringLiteral("P\r\nQ"));
        QVERIFY(nextTick(w));
        command->trigger();
        QVERIFY2(ui(w).txtCodeFile->text() != QStringLiteral("xZx\nline"),
                 qPrintable(command->objectName()));
        ui(w).mnuUndo->trigger();
        QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("xZx\nline"));
        ui(w).mnuUndo->trigger();
        QCOMPARE(ui(w).txtCodeFile->text(), text);
    }
    cleanClipboard();
}

void TestEditing::undoNeverUndoesColouring() {
    WindowFixture f;
    writeKeywords(f);
    frmMain& w = f.open();
    setEditor(w, QStringLiteral("Dim x"), 5);
    ui(w).txtCodeFile->setFocus();
    QTest::keyClicks(ui(w).txtCodeFile, QStringLiteral(" ' y"));
    QTextDocument* document = ui(w).txtCodeFile->document();
    const int steps = document->availableUndoSteps();
    w.ColorCode();
    QCOMPARE(document->availableUndoSteps(), steps);
    QCOMPARE(ui(w).txtCodeFile->colourAt(0), Colours::Keyword);
    // Undo takes back the typing; the colours stay on what is left.
    while (document->isUndoAvailable())
        ui(w).mnuUndo->trigger();
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("Dim x"));
    QCOMPARE(ui(w).txtCodeFile->colourAt(0), Colours::Keyword);
    QCOMPARE(ui(w).txtCodeFile->colourAt(4), Colours::Default);
}

void TestEditing::undoWithNothingToUndo() {
    WindowFixture f;
    frmMain& w = f.open();
    setEditor(w, QStringLiteral("abc\ndef"), 5, 2);
    QVERIFY(!ui(w).txtCodeFile->document()->isUndoAvailable());
    ui(w).mnuUndo->trigger();
    w.Undo();
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("abc\ndef"));
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), 5);
    QCOMPARE(ui(w).txtCodeFile->selectionLength(), 2);
    QVERIFY(f.dialogs->shown.isEmpty());
}

void TestEditing::commandsLeaveCodeClipboardAlone() {
    WindowFixture f;
    frmMain& w = f.open();
    w.ShowClipboard();
    QVERIFY(w.codeClipboard());
    CodeEditor* other = w.codeClipboard()->editor();
    const QString otherText = QStringLiteral("scratch\nline two");
    other->setText(otherText);
    other->setSelectionStart(2);
    other->setSelectionLength(6);
    other->setFocus();
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));

    const QList<QAction*> commands = {ui(w).mnuCopy,
                                      ui(w).mnuCut,
                                      ui(w).mnuPaste,
                                      ui(w).mnuDelete,
                                      ui(w).mnuCommentSelected,
                                      ui(w).mnuUndo,
                                      ui(w).mnuCommentWholeLine,
                                      ui(w).mnuCommentFromHere};
    for (QAction* command : commands) {
        setEditor(w, QStringLiteral("main text\nmore"), 1, 4);
        QVERIFY(nextTick(w));
        command->trigger();
        QCOMPARE(other->text(), otherText);
        QCOMPARE(other->selectionStart(), 2);
        QCOMPARE(other->selectionLength(), 6);
        QVERIFY(!other->document()->isUndoAvailable());
    }
    cleanClipboard();
}

// Comment commands -------------------------------------------------------------------------------

void TestEditing::commentCommands_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("result");

    const QString whole = QStringLiteral("mnuCommentWholeLine");
    const QString selected = QStringLiteral("mnuCommentSelected");
    const QString fromHere = QStringLiteral("mnuCommentFromHere");

    QTest::newRow("whole line, caret inside bc")
        << whole << QStringLiteral("a\nbc\nd") << 3 << 0 << QStringLiteral("a\n'bc\nd");
    QTest::newRow("whole line, caret at a line's end")
        << whole << QStringLiteral("ab\ncd\nef") << 5 << 0 << QStringLiteral("ab\n'cd\nef");
    QTest::newRow("whole line, caret at a line's start")
        << whole << QStringLiteral("ab\ncd\nef") << 3 << 0 << QStringLiteral("ab\n'cd\nef");
    QTest::newRow("whole line, first line")
        << whole << QStringLiteral("x = 1\ny") << 4 << 0 << QStringLiteral("'x = 1\ny");
    QTest::newRow("whole line, caret at 0")
        << whole << QStringLiteral("ab") << 0 << 0 << QStringLiteral("'ab");
    QTest::newRow("whole line, empty text") << whole << QString() << 0 << 0 << QStringLiteral("'");
    QTest::newRow("whole line, end of text after a break")
        << whole << QStringLiteral("ab\n") << 3 << 0 << QStringLiteral("ab\n'");
    QTest::newRow("whole line, selection over lines: one marker")
        << whole << QStringLiteral("ab\ncd\nef") << 4 << 4 << QStringLiteral("ab\n'cd\nef");

    QTest::newRow("selected, two whole lines") << selected << QStringLiteral("x = 1\ny = 2") << 0
                                               << 11 << QStringLiteral("'x = 1\n'y = 2");
    QTest::newRow("selected, ending in a break") << selected << QStringLiteral("x = 1\ny = 2\nz")
                                                 << 0 << 12 << QStringLiteral("'x = 1\n'y = 2\n'z");
    QTest::newRow("selected, whole text ending in a break")
        << selected << QStringLiteral("x = 1\ny = 2\n") << 0 << 12
        << QStringLiteral("'x = 1\n'y = 2\n'");
    QTest::newRow("selected, starting mid-line") << selected << QStringLiteral("ab = 1\ncd\nef")
                                                 << 3 << 7 << QStringLiteral("ab '= 1\n'cd\n'ef");
    QTest::newRow("selected, part of one line")
        << selected << QStringLiteral("abcdef") << 2 << 2 << QStringLiteral("ab'cdef");
    QTest::newRow("selected, empty lines inside")
        << selected << QStringLiteral("a\n\n\nb") << 0 << 5 << QStringLiteral("'a\n'\n'\n'b");

    QTest::newRow("to end of line, before set x")
        << fromHere << QStringLiteral("x = 1 set x") << 6 << 0 << QStringLiteral("x = 1 'set x");
    QTest::newRow("to end of line, selection over lines: one marker")
        << fromHere << QStringLiteral("ab\ncd\nef") << 1 << 5 << QStringLiteral("a'b\ncd\nef");
    QTest::newRow("to end of line, empty text")
        << fromHere << QString() << 0 << 0 << QStringLiteral("'");
}

void TestEditing::commentCommands() {
    QFETCH(QString, command);
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, result);
    WindowFixture f;
    writeKeywords(f);
    frmMain& w = f.open();
    auto* action = w.findChild<QAction*>(command);
    QVERIFY(action);
    setEditor(w, text, start, length);
    QVERIFY(nextTick(w));
    QVERIFY(action->isEnabled());
    action->trigger();
    QCOMPARE(ui(w).txtCodeFile->text(), result);
    // Recoloured, caret at 1, nothing selected.
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), std::min(1, int(result.size())));
    QCOMPARE(ui(w).txtCodeFile->selectionLength(), 0);
    // The marker keeps its colour; what follows it on its line turns green.
    const int marker = int(result.indexOf(QLatin1Char('\'')));
    QCOMPARE(ui(w).txtCodeFile->colourAt(marker), Colours::Default);
    if (marker + 1 < result.size() && result[marker + 1] != QLatin1Char('\n'))
        QCOMPARE(ui(w).txtCodeFile->colourAt(marker + 1), Colours::Comment);
    // One undo takes the whole command back.
    ui(w).mnuUndo->trigger();
    QCOMPARE(ui(w).txtCodeFile->text(), text);
}

void TestEditing::toEndOfLineTurnsGreen() {
    WindowFixture f;
    writeKeywords(f);
    frmMain& w = f.open();
    setEditor(w, QStringLiteral("x = 1 set x\nset y"));
    w.ColorCode();
    QCOMPARE(ui(w).txtCodeFile->colourAt(6), Colours::Keyword);
    ui(w).txtCodeFile->setSelectionStart(6);
    ui(w).mnuCommentFromHere->trigger();
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("x = 1 'set x\nset y"));
    for (int i = 0; i <= 6; ++i)
        QCOMPARE(ui(w).txtCodeFile->colourAt(i), Colours::Default);
    for (int i = 7; i < 12; ++i)
        QCOMPARE(ui(w).txtCodeFile->colourAt(i), Colours::Comment);
    QCOMPARE(ui(w).txtCodeFile->colourAt(13), Colours::Keyword);
}

void TestEditing::repeatedWholeLine() {
    WindowFixture f;
    frmMain& w = f.open();
    setEditor(w, QStringLiteral("x"), 1);
    ui(w).mnuCommentWholeLine->trigger();
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("'x"));
    ui(w).mnuCommentWholeLine->trigger();
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("''x"));

    // The second choice takes the first line, wherever the first one was.
    setEditor(w, QStringLiteral("a\nb\nc"), 4);
    ui(w).mnuCommentWholeLine->trigger();
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("a\nb\n'c"));
    ui(w).mnuCommentWholeLine->trigger();
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("'a\nb\n'c"));
}

void TestEditing::eachCommentCommandIsOneUndoStep() {
    // Commands in a row, each at the place where the one before left the caret: undo must take
    // back one at a time, never two run together.
    WindowFixture f;
    frmMain& w = f.open();
    setEditor(w, QStringLiteral("ab\ncd"), 4);
    ui(w).mnuCommentWholeLine->trigger(); // ab | 'cd, caret at 1
    ui(w).mnuCommentWholeLine->trigger(); // 'ab | 'cd, marker at 0
    ui(w).mnuCommentFromHere->trigger();  // ''ab | 'cd, marker at 1, right after the last one
    ui(w).mnuCommentFromHere->trigger();  // '''ab | 'cd
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("'''ab\n'cd"));
    const QStringList back = {QStringLiteral("''ab\n'cd"), QStringLiteral("'ab\n'cd"),
                              QStringLiteral("ab\n'cd"), QStringLiteral("ab\ncd")};
    for (const QString& expected : back) {
        ui(w).mnuUndo->trigger();
        QCOMPARE(ui(w).txtCodeFile->text(), expected);
    }
}

QTEST_MAIN(TestEditing)
#include "test_editing.moc"
