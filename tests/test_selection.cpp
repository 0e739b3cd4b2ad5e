// SPDX-License-Identifier: MIT
// Whatever changes a selection, Save writes only the snippet the editor holds.
#include "tests/support/faults.h"
#include "tests/support/mainwindowparts.h"
#include "tests/support/windowfixture.h"

#include "app/savetarget.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDirIterator>
#include <QMap>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>

namespace {

using SaveTarget::Decision;

QMap<QString, QByteArray> snapshot(const WindowFixture& f) {
    QMap<QString, QByteArray> files;
    QDirIterator it(f.library(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path.mid(f.library().size()), f.readFile(path.mid(f.library().size())));
    }
    return files;
}

// Presses on one row, drags to another and releases there, as a hand on the mouse does.
void drag(QTreeWidget* view, QTreeWidgetItem* from, QTreeWidgetItem* to) {
    const QPoint start = view->visualItemRect(from).center();
    const QPoint end = view->visualItemRect(to).center();
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, end, view->viewport()->mapToGlobal(end), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, end);
    QCoreApplication::processEvents();
}

} // namespace

class TestSelection : public QObject {
    Q_OBJECT
private slots:
    void saveDecisions_data();
    void saveDecisions();
    void everySelectionChangeKeepsSaveOnTheOpenSnippet_data();
    void everySelectionChangeKeepsSaveOnTheOpenSnippet();
    void barsHaveNoMenuAndPicturesStaySteady();
};

void TestSelection::saveDecisions_data() {
    QTest::addColumn<bool>("entries");
    QTest::addColumn<bool>("root");
    QTest::addColumn<bool>("otherList");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("held");
    QTest::addColumn<Decision>("save");
    QTest::addColumn<Decision>("saveAs");
    const QString none;
    const QString a = QStringLiteral("a");
    const QString b = QStringLiteral("b");
    // clang-format off
    QTest::newRow("start: root, empty list") << false << true << false << none << none << Decision::RefuseRoot << Decision::RefuseRoot;
    QTest::newRow("open entry") << true << false << false << a << a << Decision::WriteSelected << Decision::AskName;
    QTest::newRow("entries, none selected") << true << false << false << none << a << Decision::AskName << Decision::AskName;
    QTest::newRow("empty category") << false << false << false << none << none << Decision::AskName << Decision::AskName;
    QTest::newRow("selected but not held") << true << false << false << b << a << Decision::RefuseNotHeld << Decision::AskName;
    QTest::newRow("selected, editor holds none") << true << false << false << a << none << Decision::RefuseNotHeld << Decision::AskName;
    QTest::newRow("list of another folder") << true << false << true << a << a << Decision::RefuseOtherList << Decision::RefuseOtherList;
    QTest::newRow("other list, none selected") << true << false << true << none << none << Decision::RefuseOtherList << Decision::RefuseOtherList;
    QTest::newRow("root with a stale list") << true << true << false << a << a << Decision::RefuseRoot << Decision::RefuseRoot;
    // clang-format on
}

void TestSelection::saveDecisions() {
    QFETCH(bool, entries);
    QFETCH(bool, root);
    QFETCH(bool, otherList);
    QFETCH(QString, selected);
    QFETCH(QString, held);
    QFETCH(Decision, save);
    QFETCH(Decision, saveAs);
    const SaveTarget::Selections s{entries, root, otherList, selected, held};
    QCOMPARE(SaveTarget::forSave(s), save);
    QCOMPARE(SaveTarget::forSaveAs(s), saveAs);
}

void TestSelection::everySelectionChangeKeepsSaveOnTheOpenSnippet_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("written"); // empty: nothing may be written, a name is asked
    for (const auto& [change, written] : {std::pair{"delete the open entry", ""},
                                          {"drag in the list", "Cat/b.code"},
                                          {"drag in the tree", ""},
                                          {"arrow key in the list", "Cat/b.code"},
                                          {"ctrl+click the open entry", ""},
                                          {"remove the open sub-category", ""},
                                          {"save as, then save", "Cat/c.code"},
                                          {"open fails", ""}})
        QTest::newRow(change) << QString::fromLatin1(change) << QString::fromLatin1(written);
}

void TestSelection::everySelectionChangeKeepsSaveOnTheOpenSnippet() {
    QFETCH(QString, change);
    QFETCH(QString, written);
    WindowFixture f;
    for (const char* file :
         {"Cat/a.code", "Cat/b.code", "Cat/y.code", "Cat/Sub/s.code", "Other/o.code"}) {
        QDir().mkpath(QFileInfo(f.path(QLatin1String(file))).path());
        f.writeFile(QLatin1String(file), QByteArray("text of ") + file);
    }
    frmMain& w = f.open();
    QApplication::setActiveWindow(&w);
    f.clickNode(QStringLiteral("Cat"));
    f.clickEntry(QStringLiteral("a"));
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("text of Cat/a.code"));

    if (change == QLatin1String("delete the open entry")) {
        f.dialogs->buttons = {Dialogs::Button::Yes};
        ui(w).mnuDeleteFile->trigger();
        QVERIFY(!QFile::exists(f.path(QStringLiteral("Cat/a.code"))));
    } else if (change == QLatin1String("drag in the list")) {
        drag(ui(w).lstCode, f.entry(QStringLiteral("a")), f.entry(QStringLiteral("b")));
    } else if (change == QLatin1String("drag in the tree")) {
        drag(ui(w).tvwFolders, f.node(QStringLiteral("Cat")), f.node(QStringLiteral("Other")));
        QCOMPARE(f.entries(), QStringList{QStringLiteral("o")});
    } else if (change == QLatin1String("arrow key in the list")) {
        ui(w).lstCode->setFocus();
        QTest::keyClick(ui(w).lstCode, Qt::Key_Down);
    } else if (change == QLatin1String("ctrl+click the open entry")) {
        QTest::mouseClick(ui(w).lstCode->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          ui(w).lstCode->visualItemRect(f.entry(QStringLiteral("a"))).center());
    } else if (change == QLatin1String("remove the open sub-category")) {
        f.clickNode(QStringLiteral("CatSub"));
        f.clickEntry(QStringLiteral("s"));
        f.dialogs->buttons = {Dialogs::Button::Yes};
        w.RemoveCat();
        QCOMPARE(f.entries(),
                 (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("y")}));
    } else if (change == QLatin1String("save as, then save")) {
        f.dialogs->inputs = {QStringLiteral("c")};
        w.SaveAs();
        QCOMPARE(f.readFile(QStringLiteral("Cat/c.code")), QByteArray("text of Cat/a.code"));
    } else if (change == QLatin1String("open fails")) {
        QVERIFY(QFile::remove(f.path(QStringLiteral("Cat/b.code"))));
        f.clickEntry(QStringLiteral("b"));
        QVERIFY(ui(w).txtCodeFile->text().isEmpty());
    }
    QCoreApplication::processEvents();

    // Whatever the list shows selected is what the editor holds.
    const auto selected = ui(w).lstCode->selectedItems();
    if (!selected.isEmpty())
        QCOMPARE(w.heldFile(),
                 f.path(QStringLiteral("Cat/") + selected.first()->text(0) + ".code"));
    const QMap<QString, QByteArray> before = snapshot(f);
    f.dialogs->clear();
    ui(w).txtCodeFile->setFocus();
    ui(w).txtCodeFile->setSelectionStart(0);
    QTest::keyClicks(ui(w).txtCodeFile, QStringLiteral("typed "));
    f.dialogs->inputs = {QString()}; // a name, if asked, is cancelled
    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_S, Qt::ControlModifier);
    const QMap<QString, QByteArray> after = snapshot(f);
    QCOMPARE(after.keys(), before.keys());
    for (const QString& file : before.keys()) {
        const QByteArray expected = file == written ? "typed " + before[file] : before[file];
        QCOMPARE(after[file], expected);
    }
    if (written.isEmpty()) {
        QCOMPARE(f.dialogs->shown.size(), 1);
        QVERIFY(f.dialogs->shown.first().isInput);
    } else {
        QVERIFY(f.dialogs->shown.isEmpty());
    }
}

void TestSelection::barsHaveNoMenuAndPicturesStaySteady() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Cat"));
    f.writeFile(QStringLiteral("Cat/a.code"), "a");
    frmMain& w = f.open();
    QWidget* const places[] = {w.menuBar(), ui(w).Toolbar1, &w};
    for (QWidget* place : places) {
        bool menuShown = false;
        QTimer::singleShot(50, &w, [&menuShown] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                menuShown = true;
                popup->close();
            }
        });
        const QPoint at(place->width() - 3, 3);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, place->mapToGlobal(at));
        QApplication::sendEvent(place, &event);
        QTest::qWait(80);
        QVERIFY2(!menuShown, qPrintable(place->objectName()));
    }
    QVERIFY(ui(w).Toolbar1->isVisible());

    // A selected row shows the same picture as an unselected one.
    f.clickNode(QStringLiteral("Cat"));
    f.clickEntry(QStringLiteral("a"));
    for (QTreeWidgetItem* item : {f.node(QStringLiteral("Cat")), f.entry(QStringLiteral("a"))}) {
        QVERIFY(item->isSelected());
        const QIcon icon = item->icon(0);
        QCOMPARE(icon.pixmap(16, QIcon::Selected).toImage(),
                 icon.pixmap(16, QIcon::Normal).toImage());
    }
}

QTEST_MAIN(TestSelection)
#include "test_selection.moc"
