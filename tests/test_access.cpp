// SPDX-License-Identifier: MIT
// Keyboard-only use, what a screen reader is told, desktop themes and screen scales.
#include "tests/support/mainwindowparts.h"
#include "tests/support/windowfixture.h"

#include "app/pictures.h"
#include "windows/frmclipboard.h"

#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QToolBar>

class TestAccess : public QObject {
    Q_OBJECT
private slots:
    void keyboardPopUps_data();
    void keyboardPopUps();
    void deleteKeyInListAsksFirst();
    void toolbarCommandKeys();
    void statusPanelsReadTheirValues();
    void editorCharacterBoxes_data();
    void editorCharacterBoxes();
    void darkThemeAndLargeFont_data();
    void darkThemeAndLargeFont();
    void picturesAtTwiceTheScale();
};

namespace {

enum class Where { Tree, List, Editor };
enum class How { Request, ShiftF10, MenuKey };

bool nextTick(frmMain& w) {
    if (!ui(w).tmrEdit->isActive())
        return true;
    QSignalSpy tick(ui(w).tmrEdit, &QTimer::timeout);
    return tick.wait(2000);
}

QString enabledItems(const QMenu* menu) {
    QStringList out;
    for (const QAction* action : menu->actions())
        if (!action->isSeparator() && !action->menu())
            out.append(action->objectName() + (action->isEnabled() ? "+" : "-"));
    return out.join(' ');
}

} // namespace

// The Menu key and Shift+F10 open each pop-up next to what it acts on, with the right-click states.
void TestAccess::keyboardPopUps_data() {
    QTest::addColumn<int>("where");
    QTest::addColumn<int>("how");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("states");
    const auto tree = int(Where::Tree), list = int(Where::List), editor = int(Where::Editor);
    QTest::newRow("tree root") << tree << int(How::Request) << "root"
                               << "mnuAddCategory+ mnuRemoveCategory-";
    QTest::newRow("tree category, Shift+F10") << tree << int(How::ShiftF10) << "category"
                                              << "mnuAddCategory+ mnuRemoveCategory+";
    QTest::newRow("tree category, Menu key") << tree << int(How::MenuKey) << "category"
                                             << "mnuAddCategory+ mnuRemoveCategory+";
    QTest::newRow("empty list") << list << int(How::Request) << "root"
                                << "mnuDeleteFile- mnuCodeHistory+ mnuCodeDeletedSnippets+";
    QTest::newRow("list entry, Shift+F10")
        << list << int(How::ShiftF10) << "entry"
        << "mnuDeleteFile+ mnuCodeHistory+ mnuCodeDeletedSnippets+";
    QTest::newRow("editor caret, nothing to paste")
        << editor << int(How::Request) << "caret"
        << "mnuUndo+ mnuDelete- mnuCut- mnuCopy- mnuPaste- mnuFind+ mnuHistory+ "
           "mnuDeletedSnippets+ mnuSyncSettings+ mnuSyncNow+";
    QTest::newRow("editor selection, text to paste, Menu key")
        << editor << int(How::MenuKey) << "selection"
        << "mnuUndo+ mnuDelete+ mnuCut+ mnuCopy+ mnuPaste+ mnuFind+ mnuHistory+ "
           "mnuDeletedSnippets+ mnuSyncSettings+ mnuSyncNow+";
}

void TestAccess::keyboardPopUps() {
    QFETCH(int, where);
    QFETCH(int, how);
    QFETCH(QString, setup);
    QFETCH(QString, states);
    WindowFixture f;
    for (int i = 0; i < 30; ++i)
        f.makeFolder(QStringLiteral("Cat%1").arg(i, 2, 10, QLatin1Char('0')));
    for (int i = 0; i < 40; ++i)
        f.writeFile(QStringLiteral("Cat27/Snippet%1.code").arg(i, 2, 10, QLatin1Char('0')), "x");
    frmMain& w = f.open();
    QGuiApplication::clipboard()->setText(setup == "selection" ? QStringLiteral("text")
                                                               : QString());
    if (setup != "root")
        f.clickNode(QStringLiteral("Cat27")); // far down: the tree must scroll
    if (setup == "entry")
        f.clickEntry(QStringLiteral("Snippet33"));
    ui(w).txtCodeFile->setText(QString(12, QLatin1Char('\n')) + QStringLiteral("abc def"));
    ui(w).txtCodeFile->setSelectionStart(14);
    ui(w).txtCodeFile->setSelectionLength(setup == "selection" ? 3 : 0);

    QWidget* widget = where == int(Where::Tree)   ? static_cast<QWidget*>(ui(w).tvwFolders)
                      : where == int(Where::List) ? static_cast<QWidget*>(ui(w).lstCode)
                                                  : static_cast<QWidget*>(ui(w).txtCodeFile);
    QMenu* menu = where == int(Where::Tree)   ? ui(w).mnuFolderPopup
                  : where == int(Where::List) ? ui(w).mnuCodePopup
                                              : ui(w).mnuEditPopup;
    // The states must come from the pop-up itself, not from an earlier tick.
    QVERIFY(nextTick(w));
    ui(w).tmrEdit->stop();
    for (QAction* action : {ui(w).mnuRemoveCategory, ui(w).mnuDeleteFile, ui(w).mnuDelete,
                            ui(w).mnuCut, ui(w).mnuCopy, ui(w).mnuPaste})
        action->setEnabled(!action->isEnabled());
    widget->setFocus();
    if (how == int(How::Request)) {
        QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), QCursor::pos());
        QCoreApplication::sendEvent(widget, &request);
    } else if (how == int(How::ShiftF10)) {
        QTest::keyClick(widget, Qt::Key_F10, Qt::ShiftModifier);
    } else {
        QTest::keyClick(widget, Qt::Key_Menu);
    }
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(enabledItems(menu), states);

    // It opens at what it acts on, not at the pointer.
    QRect anchor;
    QWidget* viewport = nullptr;
    if (where == int(Where::Tree)) {
        viewport = ui(w).tvwFolders->viewport();
        anchor = ui(w).tvwFolders->visualItemRect(w.selectedNode());
    } else if (where == int(Where::List)) {
        viewport = ui(w).lstCode->viewport();
        const auto selected = ui(w).lstCode->selectedItems();
        anchor =
            selected.isEmpty() ? QRect(0, 0, 1, 1) : ui(w).lstCode->visualItemRect(selected[0]);
    } else {
        viewport = ui(w).txtCodeFile->viewport();
        anchor = ui(w).txtCodeFile->cursorRect();
    }
    QVERIFY(viewport->rect().intersects(anchor));
    const QPoint below = viewport->mapToGlobal(anchor.bottomLeft());
    QVERIFY2(qAbs(menu->pos().y() - below.y()) <= 2 && qAbs(menu->pos().x() - below.x()) <= 2,
             qPrintable(QStringLiteral("menu at %1,%2, item below %3,%4")
                            .arg(menu->pos().x())
                            .arg(menu->pos().y())
                            .arg(below.x())
                            .arg(below.y())));
    menu->close();
    QVERIFY(f.dialogs->shown.isEmpty());
    QGuiApplication::clipboard()->setText(QString());
}

void TestAccess::deleteKeyInListAsksFirst() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Cat"));
    f.writeFile(QStringLiteral("Cat/keep.code"), "k");
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    f.clickEntry(QStringLiteral("keep"));
    f.dialogs->buttons = {Dialogs::Button::No};
    QTest::keyClick(ui(w).lstCode, Qt::Key_Delete);
    QCOMPARE(f.dialogs->lastText(), QStringLiteral("Are you sure you want to delete this file?"));
    QCOMPARE(f.readFile(QStringLiteral("Cat/keep.code")), QByteArray("k"));
    f.dialogs->buttons = {Dialogs::Button::Yes};
    QTest::keyClick(ui(w).lstCode, Qt::Key_Delete);
    QVERIFY(!QFile::exists(f.path(QStringLiteral("Cat/keep.code"))));
    QCOMPARE(f.entries(), QStringList());
}

// The two toolbar-only commands have keys that nothing else uses, and the toolbar is in the Tab
// chain after the list.
void TestAccess::toolbarCommandKeys() {
    WindowFixture f;
    f.writeWordList("Dim\r\n");
    frmMain& w = f.open();
    QAction* colour = ui(w).toolbarButtons[6];
    QAction* clipboard = ui(w).toolbarButtons[7];
    QVERIFY(!colour->shortcut().isEmpty());
    QVERIFY(!clipboard->shortcut().isEmpty());
    QVERIFY(colour->shortcut() != clipboard->shortcut());
    QList<QKeySequence> taken = {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)};
    for (QAction* action : w.findChildren<QAction*>())
        if (action != colour && action != clipboard)
            taken += action->shortcuts();
    // Refresh is bound to nothing here, and redrawing the colours is what it means.
    for (int key = QKeySequence::HelpContents; key <= QKeySequence::Backspace; ++key)
        if (key != QKeySequence::Refresh)
            taken += QKeySequence::keyBindings(QKeySequence::StandardKey(key));
    for (const QKeySequence& used : taken) {
        QVERIFY2(used != colour->shortcut(), qPrintable(used.toString()));
        QVERIFY2(used != clipboard->shortcut(), qPrintable(used.toString()));
    }
    QVERIFY(colour->toolTip().isEmpty() && clipboard->toolTip().isEmpty());

    ui(w).txtCodeFile->setText(QStringLiteral("Dim x"));
    ui(w).txtCodeFile->setFocus();
    QTest::keySequence(&w, colour->shortcut());
    QCOMPARE(ui(w).txtCodeFile->colourAt(0), Colours::Keyword);
    QTest::keySequence(&w, clipboard->shortcut());
    QVERIFY(w.codeClipboard() && w.codeClipboard()->isVisible());
    QTest::keySequence(&w, clipboard->shortcut());
    QVERIFY(!w.codeClipboard()->isVisible());

    // Tab from the list reaches each push button in order; Space presses it.
    QStringList chain;
    QWidget* next = ui(w).lstCode;
    for (int i = 0; i < 6; ++i) {
        next = next->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus || !next->isVisible())
            next = next->nextInFocusChain();
        chain.append(next->accessibleName());
    }
    QCOMPARE(chain, (QStringList{"Save", "Save As", "Add Category", "Remove Category",
                                 "Colour Code", "Code Clipboard"}));
    // Tab types a tab in the editor; Ctrl+Tab and Ctrl+Shift+Tab leave it.
    QApplication::setActiveWindow(&w);
    ui(w).txtCodeFile->setFocus();
    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ui(w).lstCode));
    ui(w).txtCodeFile->setFocus();
    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ui(w).tvwFolders));
    QVERIFY(!ui(w).txtCodeFile->text().contains(QLatin1Char('\t')));
    QWidget* button = ui(w).Toolbar1->widgetForAction(clipboard);
    button->setFocus(Qt::TabFocusReason);
    QTest::keyClick(button, Qt::Key_Space);
    QVERIFY(w.codeClipboard()->isVisible());
}

// A screen reader reads each panel's value as its name and is told what the panel is.
// (Change notices need a live accessibility bridge, which the headless platform has not.)
void TestAccess::statusPanelsReadTheirValues() {
    WindowFixture f;
    frmMain& w = f.open();
    ui(w).txtCodeFile->setText(QStringLiteral("a\nb\nc\nd\nefgh"));
    ui(w).txtCodeFile->setSelectionStart(11);
    QVERIFY(nextTick(w));
    QTRY_COMPARE(ui(w).statusPanels[1]->text(), QStringLiteral("COL: 3  ROW: 5"));
    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_Insert);
    const QStringList descriptions = {"Position", "Caps Lock off", "Num Lock off", "Insert off"};
    for (int i = 1; i < 5; ++i) {
        QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(ui(w).statusPanels[i]);
        QVERIFY(panel);
        QCOMPARE(panel->text(QAccessible::Name), ui(w).statusPanels[i]->text());
        QCOMPARE(panel->text(QAccessible::Description), descriptions[i - 1]);
    }
    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_Insert);
    QCOMPARE(QAccessible::queryAccessibleInterface(ui(w).statusPanels[4])
                 ->text(QAccessible::Description),
             QStringLiteral("Insert on"));
}

// Character boxes as a magnifier or braille display asks for them, for both editors.
void TestAccess::editorCharacterBoxes_data() {
    QTest::addColumn<bool>("clipboardEditor");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("scrollLines");
    QTest::newRow("main, line 1") << false << 0 << 2 << 0;
    QTest::newRow("main, line 5") << false << 4 << 6 << 0;
    QTest::newRow("main, line 40 after a scroll") << false << 39 << 1 << 30;
    QTest::newRow("main, scrolled sideways") << false << 4 << 70 << -1;
    QTest::newRow("clipboard, line 5") << true << 4 << 3 << 0;
    QTest::newRow("clipboard, line 12 after a scroll") << true << 11 << 0 << 8;
}

void TestAccess::editorCharacterBoxes() {
    QFETCH(bool, clipboardEditor);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(int, scrollLines);
    WindowFixture f;
    frmMain& w = f.open();
    CodeEditor* editor = ui(w).txtCodeFile;
    if (clipboardEditor) {
        w.ShowClipboard();
        editor = w.codeClipboard()->findChild<CodeEditor*>();
        QVERIFY(editor);
    }
    QStringList lines;
    for (int i = 0; i < 60; ++i)
        lines.append(QStringLiteral("%1\tline %2 ").arg(i).arg(i) + QString(80, QLatin1Char('x')));
    editor->setText(lines.join('\n'));
    if (scrollLines > 0)
        editor->verticalScrollBar()->setValue(scrollLines);
    if (scrollLines < 0)
        editor->horizontalScrollBar()->setValue(200);

    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(editor);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::EditableText);
    QAccessibleTextInterface* text = iface->textInterface();
    QVERIFY(text);
    int offset = 0;
    for (int i = 0; i < line; ++i)
        offset += lines[i].size() + 1;
    offset += column;
    QCOMPARE(text->text(offset, offset + 1), lines[line].mid(column, 1));

    QTextCursor at(editor->document());
    at.setPosition(offset);
    const QRect caret = editor->cursorRect(at);
    at.setPosition(offset + 1);
    const QRect next = editor->cursorRect(at);
    const QRect box = text->characterRect(offset);
    const QPoint onScreen = editor->viewport()->mapToGlobal(caret.topLeft());
    QCOMPARE(box.topLeft(), onScreen);
    QCOMPARE(box.height(), caret.height());
    QCOMPARE(box.width(), next.left() - caret.left());
    QVERIFY(box.width() > 0);
    // And back from the screen to the character.
    QCOMPARE(text->offsetAtPoint(box.center()), offset);
    // A range's box starts at its first character's box (the bridge builds it from these).
    QCOMPARE(text->characterRect(offset + 1).left(), box.right() + 1);
}

// Whatever the desktop's colours and font, the editors stay black on white and the status
// panels show their whole text.
void TestAccess::darkThemeAndLargeFont_data() {
    QTest::addColumn<qreal>("points");
    QTest::newRow("desktop font") << qreal(0);
    QTest::newRow("large font") << qreal(18);
}

void TestAccess::darkThemeAndLargeFont() {
    QFETCH(qreal, points);
    const QPalette oldPalette = QApplication::palette();
    const QFont oldFont = QApplication::font();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(25, 25, 25));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    if (points > 0) {
        QFont large = oldFont;
        large.setPointSizeF(points);
        QApplication::setFont(large);
    }
    {
        WindowFixture f;
        frmMain& w = f.open();
        w.ShowClipboard();
        for (CodeEditor* editor :
             {ui(w).txtCodeFile, w.codeClipboard()->findChild<CodeEditor*>()}) {
            QVERIFY(editor);
            QCOMPARE(editor->viewport()->palette().color(QPalette::Base), QColor(Qt::white));
            QCOMPARE(editor->palette().color(QPalette::Text), QColor(Qt::black));
            QCOMPARE(editor->font().pointSizeF(), 9.75);
        }
        // The rest of the window follows the desktop.
        QCOMPARE(ui(w).lstCode->palette().color(QPalette::Base), QColor(25, 25, 25));

        QString text(9999, QLatin1Char('x'));
        ui(w).txtCodeFile->setText(QString(99998, QLatin1Char('\n')) + text);
        ui(w).txtCodeFile->setSelectionStart(ui(w).txtCodeFile->textLength());
        QVERIFY(nextTick(w));
        QTRY_COMPARE(ui(w).statusPanels[1]->text(), QStringLiteral("COL: 9999  ROW: 99999"));
        QCoreApplication::processEvents();
        const int startWidths[5] = {0, 96, 48, 48, 48};
        int taken = 0;
        for (int i = 1; i < 5; ++i) {
            QLabel* panel = ui(w).statusPanels[i];
            const QFontMetrics metrics = panel->fontMetrics();
            // A framed label indents its text by half an "x" unless told otherwise.
            const int indent = panel->indent() >= 0
                                   ? panel->indent()
                                   : metrics.horizontalAdvance(QLatin1Char('x')) / 2;
            const QRect room = panel->contentsRect().adjusted(indent, 0, 0, 0);
            QVERIFY2(panel->width() >= panel->sizeHint().width(), qPrintable(panel->text()));
            QVERIFY2(room.width() >= metrics.horizontalAdvance(panel->text()),
                     qPrintable(panel->text()));
            QVERIFY2(room.height() >= metrics.height() - 2, qPrintable(panel->text()));
            // Never narrower than at start, and no wider than the text needs.
            QVERIFY(panel->width() >= startWidths[i]);
            if (panel->width() > startWidths[i])
                QCOMPARE(panel->width(), panel->sizeHint().width());
            taken += panel->width();
        }
        // Panel 1 gives up what the others took.
        QCOMPARE(ui(w).statusPanels[0]->width(),
                 qRound((w.frameGeometry().width() * 15 - (taken * 15 + 450)) / 15.0));
        // The short text of the start fits the start width again.
        ui(w).txtCodeFile->setText(QStringLiteral("ab"));
        QVERIFY(nextTick(w));
        QTRY_COMPARE(ui(w).statusPanels[1]->text(), QStringLiteral("COL: 0  ROW: 1"));
        QCOMPARE(ui(w).statusPanels[1]->width(),
                 std::max(96, ui(w).statusPanels[1]->sizeHint().width()));
    }
    QApplication::setPalette(oldPalette);
    QApplication::setFont(oldFont);
}

// At twice the scale each picture has twice the pixels each way, and shows the same thing.
void TestAccess::picturesAtTwiceTheScale() {
    const QList<QPixmap> plain = Pictures::toolbarPictures() + Pictures::treePictures();
    const QList<QPixmap> sharp = Pictures::toolbarPictures(2) + Pictures::treePictures(2);
    const QList<QIcon> icons = Pictures::toolbarIcons() + Pictures::treeIcons();
    QCOMPARE(sharp.size(), plain.size());
    QCOMPARE(icons.size(), plain.size());
    for (int i = 0; i < plain.size(); ++i) {
        QCOMPARE(sharp[i].size(), QSize(32, 32));
        QCOMPARE(sharp[i].devicePixelRatio(), 2.0);
        const QPixmap fromIcon = icons[i].pixmap(QSize(16, 16), 2.0);
        QCOMPARE(fromIcon.size(), QSize(32, 32));
        QCOMPARE(fromIcon.devicePixelRatio(), 2.0);
        QCOMPARE(icons[i].pixmap(QSize(16, 16), 1.5).size(), QSize(24, 24));
        // Drawn afresh, not blown up: shrunk back, it matches the small picture closely.
        const QImage small = plain[i].toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage shrunk = fromIcon.toImage()
                                  .convertToFormat(QImage::Format_ARGB32)
                                  .scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        int close = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const QRgb a = small.pixel(x, y), b = shrunk.pixel(x, y);
                close += qAbs(qRed(a) - qRed(b)) <= 64 && qAbs(qGreen(a) - qGreen(b)) <= 64 &&
                         qAbs(qBlue(a) - qBlue(b)) <= 64 && qAbs(qAlpha(a) - qAlpha(b)) <= 64;
            }
        QVERIFY2(close >= 248,
                 qPrintable(QStringLiteral("picture %1: %2 of 256").arg(i).arg(close)));
    }
}

QTEST_MAIN(TestAccess)
#include "test_access.moc"
