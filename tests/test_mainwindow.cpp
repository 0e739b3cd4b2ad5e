// SPDX-License-Identifier: MIT
#include "tests/support/mainwindowparts.h"
#include "tests/support/privileges.h"
#include "tests/support/windowfixture.h"

#include "windows/frmclipboard.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <dirent.h>
#include <sys/stat.h>
#include <thread>

namespace {

// A disk that never finishes reading a snippet unless the reader gives up.
class HangingFs : public LibraryFs {
public:
    using LibraryFs::LibraryFs;
    std::atomic<bool> gaveUp = false;
    Read readFile(const QString& path, qint64 limit = NoLimit,
                  const std::atomic<bool>* cancel = nullptr) override {
        if (!path.endsWith(QLatin1String(".code")))
            return LibraryFs::readFile(path, limit, cancel);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < until) {
            if (cancel && cancel->load(std::memory_order_acquire)) {
                gaveUp.store(true);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        Read read;
        read.result = Result::failure(path, QStringLiteral("the disk did not answer"));
        read.cancelled = gaveUp.load();
        return read;
    }
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void startState();
    void widgetPlacesAtStartSize();
    void cannotBeMadeSmallerThanStartSize();
    void maximiseAndRestore();
    void treeOfEmptyOrMissingLibrary();
    void treeLoading();
    void keyClashesAllShowWithDistinctKeys();
    void unreadableCategoryIsReportedOthersLoad();
    void libraryFolderThatCannotBeCreated();
    void menuTree();
    void toolbarButtons();
    void quitClosesWithoutQuestion();
    void quitWhileASnippetIsRead();
    void closeBoxEndsWithClipboardShown();
    void codeClipboardTogglesInsideTheWindow();
    void aboutBoxIsModalAndCreatedAnew();
};

static QWidget* client(frmMain& w) {
    return w.centralWidget();
}

void TestMainWindow::startState() {
    WindowFixture f;
    frmMain& w = f.open();
    QCOMPARE(w.windowTitle(), QStringLiteral("Quillary 1.0"));
    QCOMPARE(w.objectName(), QStringLiteral("frmMain"));
    // Client area: below the menu bar, toolbar and status bar included.
    QCOMPARE(w.width(), 631);
    QCOMPARE(w.height() - w.menuBar()->height(), 448);
    // Root selected and expanded, no children, list empty.
    QTreeWidgetItem* root = w.rootNode();
    QVERIFY(root);
    QCOMPARE(root->text(0), QStringLiteral("Categories"));
    QCOMPARE(frmMain::nodeKey(root), QStringLiteral("root"));
    QVERIFY(root->isExpanded());
    QCOMPARE(w.selectedNode(), root);
    QCOMPARE(ui(w).lstCode->topLevelItemCount(), 0);
    QCOMPARE(ui(w).lstCode->headerItem()->text(0), QStringLiteral("Code Name"));
    QCOMPARE(ui(w).lstCode->columnWidth(0), ui(w).lstCode->width());
    // Status panels.
    QCOMPARE(ui(w).statusPanels.size(), 5);
    const QStringList texts = {QString(), QStringLiteral("COL: "), QStringLiteral("CAPS"),
                               QStringLiteral("NUM"), QStringLiteral("INS")};
    for (int i = 2; i < 5; ++i)
        QCOMPARE(ui(w).statusPanels[i]->text(), texts[i]);
    QVERIFY(ui(w).statusPanels[0]->text().isEmpty());
    QCOMPARE(ui(w).statusPanels[2]->width(), 48);
    QCOMPARE(ui(w).statusPanels[3]->width(), 48);
    QCOMPARE(ui(w).statusPanels[4]->width(), 48);
    // Editor: word wrap off, Courier 9.75, empty.
    QVERIFY(ui(w).txtCodeFile->wordWrapOff());
    QCOMPARE(ui(w).txtCodeFile->font().family(), QStringLiteral("Courier"));
    QCOMPARE(ui(w).txtCodeFile->font().pointSizeF(), 9.75);
    QVERIFY(ui(w).txtCodeFile->text().isEmpty());
    // Focus on the tree, then tab order tree, editor, list.
    QApplication::setActiveWindow(&w);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ui(w).tvwFolders));
    QCOMPARE(ui(w).tvwFolders->nextInFocusChain()->objectName().isEmpty(), false);
    QWidget* next = ui(w).tvwFolders;
    QStringList order;
    for (int i = 0; i < 2; ++i) {
        next = next->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus || !next->isVisible())
            next = next->nextInFocusChain();
        order.append(next->objectName());
    }
    QCOMPARE(order, (QStringList{QStringLiteral("txtCodeFile"), QStringLiteral("lstCode")}));
    // Tree labels cannot be edited.
    QCOMPARE(ui(w).tvwFolders->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!(root->flags() & Qt::ItemIsEditable));
}

void TestMainWindow::widgetPlacesAtStartSize() {
    WindowFixture f;
    frmMain& w = f.open();
    auto placeInClient = [&w](QWidget* widget) {
        return QRect(widget->mapTo(&w, QPoint(0, 0)) - QPoint(0, w.menuBar()->height()),
                     widget->size());
    };
    // Twips / 15, with the layout of the start size applied (worked example).
    const QRect tree = placeInClient(ui(w).tvwFolders);
    const QRect list = placeInClient(ui(w).lstCode);
    const QRect editor = placeInClient(ui(w).txtCodeFile);
    QCOMPARE(tree.topLeft(), QPoint(2, 24));
    QCOMPARE(tree.width(), 177);
    QVERIFY(qAbs(tree.height() - 200.5) <= 1);
    QVERIFY(qAbs(list.top() - 227.5) <= 1);
    QCOMPARE(list.left(), 2);
    QCOMPARE(list.width(), 177);
    QCOMPARE(list.top() + list.height(), 428); // 6420 twips, one pixel above the status bar
    QCOMPARE(editor.topLeft(), QPoint(182, 24));
    QCOMPARE(editor.width(), 448);  // 6720 twips
    QCOMPARE(editor.height(), 405); // 6075 twips
    QCOMPARE(placeInClient(ui(w).StatusBar).top(), 429);
    QCOMPARE(ui(w).Toolbar1->height(), 24);
    QCOMPARE(ui(w).StatusBar->height(), 19);
    // Panel 1 takes the rest of the bar: Wo - 4050 twips while panels 2 to 5 keep their start
    // widths, and less where a font too wide for them widened them.
    int others = 0;
    for (int i = 1; i < 5; ++i)
        others += ui(w).statusPanels[i]->width();
    QCOMPARE(ui(w).statusPanels[0]->width(),
             qRound((w.frameGeometry().width() * 15 - (others * 15 + 450)) / 15.0));
}

void TestMainWindow::cannotBeMadeSmallerThanStartSize() {
    WindowFixture f;
    frmMain& w = f.open();
    const QSize start = w.size();
    QCOMPARE(w.minimumSize(), start);
    QCOMPARE(w.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    w.resize(300, 200);
    QCOMPARE(w.size(), start);
    w.resize(start.width() - 1, start.height() + 50);
    QCOMPARE(w.width(), start.width());
}

void TestMainWindow::maximiseAndRestore() {
    WindowFixture f;
    frmMain& w = f.open();
    const QRect tree = ui(w).tvwFolders->geometry();
    const QRect list = ui(w).lstCode->geometry();
    const QRect editor = ui(w).txtCodeFile->geometry();
    w.resize(1000, 800);
    QCOMPARE(ui(w).tvwFolders->x(), tree.x());
    QCOMPARE(ui(w).tvwFolders->width(), tree.width());
    QCOMPARE(ui(w).lstCode->width(), list.width());
    QCOMPARE(ui(w).txtCodeFile->pos(), editor.topLeft());
    QVERIFY(ui(w).txtCodeFile->width() > editor.width());
    QVERIFY(ui(w).txtCodeFile->height() > editor.height());
    QVERIFY(qAbs(ui(w).tvwFolders->height() - ui(w).lstCode->height()) <= 1);
    QCOMPARE(ui(w).txtCodeFile->geometry().right(), client(w)->width() - 2); // 15 twips short
    w.resize(631, w.minimumHeight());
    QCOMPARE(ui(w).tvwFolders->geometry(), tree);
    QCOMPARE(ui(w).lstCode->geometry(), list);
    QCOMPARE(ui(w).txtCodeFile->geometry(), editor);
}

void TestMainWindow::treeOfEmptyOrMissingLibrary() {
    for (bool existing : {false, true}) {
        WindowFixture f;
        if (existing)
            f.makeFolder(QString());
        frmMain& w = f.open();
        QVERIFY(QFileInfo(f.library()).isDir());
        QCOMPARE(ui(w).tvwFolders->topLevelItemCount(), 1);
        QCOMPARE(w.rootNode()->childCount(), 0);
        QVERIFY(f.dialogs->shown.isEmpty());
    }
}

void TestMainWindow::treeLoading() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Graphics/Fonts"));
    f.makeFolder(QStringLiteral("Graphics/Fonts/Deep")); // third level: no node
    f.makeFolder(QStringLiteral("beta"));
    f.makeFolder(QStringLiteral("Alpha"));
    f.makeFolder(QStringLiteral(".hidden"));
    f.makeFolder(QStringLiteral("MiXeD cAsE"));
    f.writeFile(QStringLiteral("stray.code"), "x");
    frmMain& w = f.open();
    QTreeWidgetItem* root = w.rootNode();
    QStringList names;
    for (int i = 0; i < root->childCount(); ++i)
        names.append(root->child(i)->text(0));
    QCOMPARE(names, (QStringList{QStringLiteral(".hidden"), QStringLiteral("Alpha"),
                                 QStringLiteral("beta"), QStringLiteral("Graphics"),
                                 QStringLiteral("MiXeD cAsE")}));
    QTreeWidgetItem* fonts = f.node(QStringLiteral("GraphicsFonts"));
    QVERIFY(fonts);
    QCOMPARE(fonts->text(0), QStringLiteral("Fonts"));
    QCOMPARE(fonts->parent(), f.node(QStringLiteral("Graphics")));
    QCOMPARE(fonts->childCount(), 0);
    QVERIFY(!f.node(QStringLiteral("Graphics"))->isExpanded());
    QCOMPARE(w.folderOfNode(fonts), f.library() + QStringLiteral("Graphics/Fonts"));
    QCOMPARE(w.folderOfNode(f.node(QStringLiteral("beta"))), f.library() + QStringLiteral("beta"));
    QVERIFY(w.folderOfNode(root).isEmpty());
}

void TestMainWindow::keyClashesAllShowWithDistinctKeys() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("root"));
    f.makeFolder(QStringLiteral("ab"));
    f.makeFolder(QStringLiteral("a/b"));
    f.makeFolder(QStringLiteral("xy/z"));
    f.makeFolder(QStringLiteral("x/yz"));
    frmMain& w = f.open();
    QSet<QString> keys;
    int nodes = 0;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* n) {
        ++nodes;
        keys.insert(frmMain::nodeKey(n));
        for (int i = 0; i < n->childCount(); ++i)
            walk(n->child(i));
    };
    walk(w.rootNode());
    QCOMPARE(nodes, 1 + 5 + 3); // root, five categories, three sub-categories
    QCOMPARE(keys.size(), nodes);
    // The category named root is a category, not a second root.
    QTreeWidgetItem* named = nullptr;
    for (int i = 0; i < w.rootNode()->childCount(); ++i)
        if (w.rootNode()->child(i)->text(0) == QStringLiteral("root"))
            named = w.rootNode()->child(i);
    QVERIFY(named);
    QVERIFY(!frmMain::isRoot(named));
    QVERIFY(frmMain::isCategory(named));
    QCOMPARE(w.folderOfNode(named), f.library() + QStringLiteral("root"));
}

void TestMainWindow::unreadableCategoryIsReportedOthersLoad() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Locked/Inner"));
    f.makeFolder(QStringLiteral("Open/Sub"));
    QVERIFY(::chmod(QFile::encodeName(f.path(QStringLiteral("Locked"))).constData(), 0) == 0);
    {
        PermissionBitsEnforced enforced;
        if (!enforced.active())
            QSKIP("cannot drop the capabilities that bypass permission bits here");
        DIR* probe = ::opendir(QFile::encodeName(f.path(QStringLiteral("Locked"))).constData());
        QVERIFY2(!probe, "the folder is still readable: the fault is not real");
        f.open();
        QVERIFY(f.node(QStringLiteral("Locked")));
        QVERIFY(f.node(QStringLiteral("OpenSub")));
        QCOMPARE(f.dialogs->shown.size(), 1);
        const auto m = f.dialogs->shown.first().message;
        QCOMPARE(m.title, QStringLiteral("Quillary"));
        QCOMPARE(m.icon, Dialogs::Icon::Error);
        QVERIFY2(m.text.contains(f.path(QStringLiteral("Locked"))), qPrintable(m.text));
        QVERIFY2(m.text.contains(QStringLiteral("ermission denied")), qPrintable(m.text));
        f.window.reset();
    }
    ::chmod(QFile::encodeName(f.path(QStringLiteral("Locked"))).constData(), 0755);
}

void TestMainWindow::libraryFolderThatCannotBeCreated() {
    WindowFixture f;
    const QByteArray program = QFile::encodeName(f.programFolder());
    QVERIFY(::chmod(program.constData(), 0555) == 0);
    {
        PermissionBitsEnforced enforced;
        if (!enforced.active())
            QSKIP("cannot drop the capabilities that bypass permission bits here");
        frmMain& w = f.open();
        QVERIFY(!QFileInfo::exists(f.library()));
        QCOMPARE(ui(w).tvwFolders->topLevelItemCount(), 1);
        QCOMPARE(w.rootNode()->childCount(), 0);
        QCOMPARE(f.dialogs->shown.size(), 1);
        const auto m = f.dialogs->shown.first().message;
        QCOMPARE(m.title, QStringLiteral("Quillary"));
        QCOMPARE(m.icon, Dialogs::Icon::Error);
        QVERIFY2(m.text.contains(QStringLiteral("/Code")), qPrintable(m.text));
        QVERIFY2(m.text.contains(QStringLiteral("ermission denied")), qPrintable(m.text));
        QVERIFY(w.isVisible());
        f.window.reset();
    }
    ::chmod(program.constData(), 0755);
}

void TestMainWindow::menuTree() {
    WindowFixture f;
    frmMain& w = f.open();
    struct Row {
        QString name, caption, shortcut;
        bool enabled;
    };
    auto rows = [](QMenu* menu) {
        QList<Row> out;
        for (QAction* a : menu->actions())
            out.append({a->objectName(), a->isSeparator() ? QStringLiteral("-") : a->text(),
                        a->shortcut().toString(), a->isEnabled()});
        return out;
    };
    auto check = [&](QMenu* menu, const QList<Row>& expected) {
        const auto actual = rows(menu);
        QCOMPARE(actual.size(), expected.size());
        for (int i = 0; i < actual.size(); ++i) {
            QCOMPARE(actual[i].name, expected[i].name);
            QCOMPARE(actual[i].caption, expected[i].caption);
            QCOMPARE(actual[i].shortcut, expected[i].shortcut);
            // The edit tick turns these on and off with the selection and the clipboard, as
            // soon as it first runs; test_access checks their states.
            static const QStringList ticked{"mnuDelete", "mnuCut", "mnuCopy", "mnuPaste",
                                            "mnuCommentSelected"};
            if (!ticked.contains(actual[i].name))
                QVERIFY2(actual[i].enabled == expected[i].enabled, qPrintable(actual[i].name));
        }
    };
    const QString none;
    check(ui(w).mnuFile, {{"mnuSave", "&Save", "Ctrl+S", true},
                          {"mnuSaveAs", "Save &As", none, true},
                          {"sep2", "-", none, true},
                          {"mnuAddCat", "Add Category", none, true},
                          {"mnuRemoveCat", "Remove Category", none, true},
                          {"sep3", "-", none, true},
                          {"mnuQuit", "&Quit", "Ctrl+Q", true}});
    check(ui(w).mnuFolderPopup, {{"mnuAddCategory", "&Add Category", none, true},
                                 {"mnuRemoveCategory", "&Remove Category", none, true},
                                 {"sepFolderLanguage", "-", none, true},
                                 {"mnuFolderLanguage", "&Language", none, true}});
    check(ui(w).mnuCodePopup, {{"mnuDeleteFile", "&Delete Code File", none, true},
                               {"sepCodeHistory", "-", none, true},
                               {"mnuCodeHistory", "Snippet &History...", "Ctrl+H", true},
                               {"mnuCodeDeletedSnippets", "Delet&ed Snippets...", none, true}});
    check(ui(w).mnuEditPopup, {{"mnuUndo", "&Undo", none, true},
                               {"sep1", "-", none, true},
                               {"mnuDelete", "&Delete", none, true},
                               {"mnuCut", "Cu&t", none, true},
                               {"mnuCopy", "&Copy", none, true},
                               {"mnuPaste", "&Paste", none, true},
                               {"sep5", "-", none, true},
                               {"mnuComment", "Comment", none, true},
                               {"mnuLanguage", "&Language", none, true},
                               {"sepFind", "-", none, true},
                               {"mnuFind", "&Find Snippets...", "Ctrl+Shift+F", true},
                               {"sepHistory", "-", none, true},
                               {"mnuHistory", "Snippet &History...", "Ctrl+H", true},
                               {"mnuDeletedSnippets", "Delet&ed Snippets...", none, true},
                               {"sepSync", "-", none, true},
                               {"mnuSyncSettings", "S&ync Settings...", none, true},
                               {"mnuSyncNow", "Sy&nc Now", "F8", true}});
    check(ui(w).mnuComment, {{"mnuCommentSelected", "Selected Text", none, true},
                             {"mnuCommentWholeLine", "Whole Line", none, true},
                             {"mnuCommentFromHere", "To End of Line", none, true}});
    check(ui(w).mnuHelp, {{"mnuContents", "&Contents", none, false},
                          {"sep4", "-", none, true},
                          {"mnuAbout", "&About", none, true}});
    QStringList bar;
    for (QAction* a : w.menuBar()->actions())
        bar.append(a->text());
    QCOMPARE(bar, (QStringList{"&File", "&Edit", "&Help"}));
    QCOMPARE(ui(w).mnuFolderPopup->title(), QStringLiteral("FolderPopup"));
    QCOMPARE(ui(w).mnuCodePopup->title(), QStringLiteral("CodePopup"));
}

void TestMainWindow::toolbarButtons() {
    WindowFixture f;
    frmMain& w = f.open();
    QCOMPARE(ui(w).toolbarButtons.size(), 8);
    for (int i = 0; i < 8; ++i) {
        QAction* a = ui(w).toolbarButtons[i];
        const bool separator = i == 2 || i == 5;
        QCOMPARE(a->isSeparator(), separator);
        if (separator)
            continue;
        auto* button = qobject_cast<QToolButton*>(ui(w).Toolbar1->widgetForAction(a));
        QVERIFY(button);
        QCOMPARE(button->size(), QSize(23, 22));
        QVERIFY(a->text().isEmpty());
        QVERIFY(a->toolTip().isEmpty());
        QVERIFY(!button->accessibleName().isEmpty());
        QCOMPARE(a->icon().pixmap(16, 16).size(), QSize(16, 16));
    }
    QCOMPARE(w.ilToolbar.size(), 6);
    QCOMPARE(w.ilTree.size(), 2);
    // Separators and unknown positions run nothing.
    for (int index : {0, 3, 6, 9, -1})
        w.Toolbar1_ButtonClick(index);
    QVERIFY(f.dialogs->shown.isEmpty());
    QVERIFY(!w.codeClipboard());
    // Button 8, pressed for real, shows the Code Clipboard inside the window.
    QTest::mouseClick(ui(w).Toolbar1->widgetForAction(ui(w).toolbarButtons[7]), Qt::LeftButton);
    QVERIFY(w.codeClipboard());
    QVERIFY(w.codeClipboard()->isVisible());
    QCOMPARE(w.codeClipboard()->parentWidget(), static_cast<QWidget*>(&w));
}

void TestMainWindow::quitClosesWithoutQuestion() {
    WindowFixture f;
    frmMain& w = f.open();
    ui(w).txtCodeFile->setText(QStringLiteral("unsaved"));
    QApplication::setActiveWindow(&w);
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!w.isVisible());
    QVERIFY(f.dialogs->shown.isEmpty());
    // And through the menu item of a new window.
    WindowFixture g;
    frmMain& v = g.open();
    ui(v).mnuQuit->trigger();
    QVERIFY(!v.isVisible());
    QVERIFY(g.dialogs->shown.isEmpty());
}

// A long snippet on a disk that does not answer: Ctrl+Q still closes the window at once, and the
// read is given up rather than waited out.
void TestMainWindow::quitWhileASnippetIsRead() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Cat"));
    f.writeFile(QStringLiteral("Cat/long.code"), QByteArray(2 << 20, 'x'));
    auto fs = std::make_unique<HangingFs>(f.programFolder());
    HangingFs* disk = fs.get();
    frmMain& w = f.open(std::move(fs));
    f.clickNode(QStringLiteral("Cat"));
    f.clickEntry(QStringLiteral("long"), false);
    QApplication::setActiveWindow(&w);
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!w.isVisible());
    QVERIFY(disk->gaveUp.load());
    QVERIFY(f.dialogs->shown.isEmpty());
    f.window.reset();
}

void TestMainWindow::closeBoxEndsWithClipboardShown() {
    WindowFixture f;
    frmMain& w = f.open();
    w.ShowClipboard();
    QVERIFY(w.codeClipboard()->isVisible());
    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
    QVERIFY(!w.codeClipboard()->isVisible());
    QVERIFY(f.dialogs->shown.isEmpty());
}

void TestMainWindow::codeClipboardTogglesInsideTheWindow() {
    WindowFixture f;
    frmMain& w = f.open();
    QWidget* button8 = ui(w).Toolbar1->widgetForAction(ui(w).toolbarButtons[7]);
    QTest::mouseClick(button8, Qt::LeftButton);
    frmClipboard* clip = w.codeClipboard();
    QVERIFY(clip);
    QVERIFY(clip->isVisible());
    QCOMPARE(clip->parentWidget(), static_cast<QWidget*>(&w));
    QVERIFY(clip->editor()->text().isEmpty());
    // Fully inside the client area (below the menu bar) at the start size, above the editor.
    const QRect clientArea(0, ui(w).Toolbar1->y(), w.width(), w.height() - ui(w).Toolbar1->y());
    QVERIFY(clientArea.contains(clip->geometry()));
    QWidget* onTop = w.childAt(clip->geometry().center());
    QVERIFY(onTop && (onTop == clip || clip->isAncestorOf(onTop)));

    clip->editor()->setText(QStringLiteral("kept text"));
    const QPoint place = clip->pos();
    QTest::mouseClick(button8, Qt::LeftButton);
    QVERIFY(!clip->isVisible());
    QTest::mouseClick(button8, Qt::LeftButton);
    QVERIFY(clip->isVisible());
    QCOMPARE(clip->pos(), place);
    QCOMPARE(clip->editor()->text(), QStringLiteral("kept text"));
    QCOMPARE(w.codeClipboard(), clip); // created once

    // Its close box only hides it.
    QVERIFY(!clip->close());
    QVERIFY(!clip->isVisible());
    QTest::mouseClick(button8, Qt::LeftButton);
    QCOMPARE(clip->editor()->text(), QStringLiteral("kept text"));

    // Whatever lies outside the main window is not shown.
    clip->move(w.width() - 40, clip->y());
    QVERIFY(clip->visibleRegion().boundingRect().width() <= 40);
}

void TestMainWindow::aboutBoxIsModalAndCreatedAnew() {
    WindowFixture f;
    frmMain& w = f.open();
    QStringList versions;
    int opened = 0;
    for (int round = 0; round < 2; ++round) {
        QTimer::singleShot(0, this, [&] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box);
            ++opened;
            QCOMPARE(box->windowTitle(), QStringLiteral("About Quillary\u2122"));
            QCOMPARE(box->parentWidget(), static_cast<QWidget*>(&w));
            versions.append(box->findChild<QLabel*>(QStringLiteral("lblInfo1"))->text());
            box->close();
        });
        ui(w).mnuAbout->trigger(); // returns when the box is closed
    }
    QCOMPARE(opened, 2);
    QCOMPARE(versions, (QStringList{QStringLiteral("Version 1.0 build 2"),
                                    QStringLiteral("Version 1.0 build 2")}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(w.findChildren<QDialog*>().isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
