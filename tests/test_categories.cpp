// SPDX-License-Identifier: MIT
#include "tests/support/faults.h"
#include "tests/support/mainwindowparts.h"
#include "tests/support/privileges.h"
#include "tests/support/windowfixture.h"

#include <QCursor>
#include <QDirIterator>
#include <QMenu>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolBar>
#include <functional>
#include <sys/stat.h>

namespace {

// Everything under the library folder, folders marked with a closing '/', with file contents.
QStringList disk(const WindowFixture& f) {
    QStringList out;
    QDirIterator it(f.library(),
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(f.library().size());
        if (it.fileInfo().isDir())
            out.append(relative + QLatin1Char('/'));
        else
            out.append(relative + QLatin1Char('=') + QString::fromUtf8(f.readFile(relative)));
    }
    out.sort();
    return out;
}

// Every node in tree order: key, text, parent's key, expanded, selected.
QStringList tree(const frmMain& w) {
    QStringList out;
    const auto selected = ui(w).tvwFolders->selectedItems();
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* n) {
        out.append(QStringList{frmMain::nodeKey(n), n->text(0), frmMain::nodeKey(n->parent()),
                               n->isExpanded() ? QStringLiteral("open") : QStringLiteral("shut"),
                               selected.contains(n) ? QStringLiteral("selected") : QString()}
                       .join(QLatin1Char('|')));
        for (int i = 0; i < n->childCount(); ++i)
            walk(n->child(i));
    };
    walk(w.rootNode());
    return out;
}

QStringList shown(const ScriptedDialogs& d) {
    QStringList out;
    for (const ScriptedDialogs::Shown& s : d.shown) {
        if (s.isInput)
            out.append(
                QStringList{QStringLiteral("input"), s.prompt, s.inputTitle, s.defaultText}.join(
                    QLatin1Char('|')));
        else
            out.append(QStringList{QStringLiteral("message"), s.message.text, s.message.title,
                                   QString::number(int(s.message.icon)),
                                   QString::number(int(s.message.buttons)),
                                   QString::number(int(s.message.defaultButton))}
                           .join(QLatin1Char('|')));
    }
    return out;
}

// Everything a category command could change.
QStringList state(const WindowFixture& f) {
    return disk(f) + tree(*f.window) + f.entries() + QStringList{ui(*f.window).txtCodeFile->text()};
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// The category "home" as a link to a folder outside the library, as a user might make to ~,
// holding the sub-category Downloads with x.code.
void linkHomeTo(const WindowFixture& f, const QTemporaryDir& away) {
    QVERIFY(QDir().mkpath(away.path() + QStringLiteral("/Downloads")));
    QFile outside(away.path() + QStringLiteral("/Downloads/x.code"));
    QVERIFY(outside.open(QIODevice::WriteOnly) && outside.write("x") == 1);
    outside.close();
    QVERIFY(QFile::link(away.path(), f.path(QStringLiteral("home"))));
}

void selectNode(const WindowFixture& f, const QString& key) {
    f.clickNode(key);
    QCOMPARE(ui(*f.window).tvwFolders->selectedItems(), QList<QTreeWidgetItem*>{f.node(key)});
}

void releaseOverTree(frmMain& w, Qt::MouseButton button, QPoint at) {
    QTest::mouseClick(ui(w).tvwFolders->viewport(), button, {}, at);
    // The release is reported once the view has finished with it.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

QPoint belowLastNode(frmMain& w) {
    QWidget* viewport = ui(w).tvwFolders->viewport();
    return {viewport->width() / 2, viewport->height() - 4};
}

// A sentinel entry, so the list is known to show something.
void fillList(frmMain& w) {
    new QTreeWidgetItem(ui(w).lstCode, QStringList{QStringLiteral("shown before")});
}

const QString SubSubRefusal =
    QStringLiteral("Cannot created Sub-Subdirectories in this version. Sorry.");
const QString AddPrompt = QStringLiteral("input|Enter a category name.|Add Category|Blah");
const QString RemoveQuestion =
    QStringLiteral("message|Are you sure you want to delete this category and all the code "
                   "snippets within?|Delete Category|%1|%2|%3")
        .arg(int(Dialogs::Icon::Question))
        .arg(int(Dialogs::Buttons::YesNo))
        .arg(int(Dialogs::Button::Yes));

} // namespace

class TestCategories : public QObject {
    Q_OBJECT
private slots:
    // Adding.
    void addNothingOnCancelOrEmptyAnswer();
    void addAtEachLevel_data();
    void addAtEachLevel();
    void addRefusesForbiddenNames_data();
    void addRefusesForbiddenNames();
    void addExistingNameChangesNothing_data();
    void addExistingNameChangesNothing();
    void addKeyClashGivesKeyOfItsOwn();
    void addCreationFailureIsReported_data();
    void addCreationFailureIsReported();
    void ctrlClickKeepsTheNodeSelected();

    // Removing.
    void removeRefusesRoot();
    void removeAnsweredNo();
    void removeDeletesSnippetsFolderAndNode();
    void removeSubCategoryLeavesParentAndSiblings();
    void removeRefusesBeforeAsking_data();
    void removeRefusesBeforeAsking();
    void commandsNeverWriteOutsideTheLibrary();
    void removeFailureStopsAndIsReported_data();
    void removeFailureStopsAndIsReported();
    void removeFolderGoneBehindOurBack();
    void afterRemovalParentListedEditorKept_data();
    void afterRemovalParentListedEditorKept();
    void removeFolderThatCannotGoKeepsNode();
    void unlistableParentIsReported();

    // Pop-up menu and the ways in.
    void popupOnRightReleaseOnly();
    void threeWaysInAgree_data();
    void threeWaysInAgree();
};

void TestCategories::addNothingOnCancelOrEmptyAnswer() {
    for (bool cancel : {true, false}) {
        WindowFixture f;
        f.makeFolder(QStringLiteral("Web"));
        frmMain& w = f.open();
        // Cancel and an empty answer both come back empty.
        f.dialogs->inputs = {QString()};
        Q_UNUSED(cancel);
        const QStringList before = state(f);
        ui(w).mnuAddCat->trigger();
        QCOMPARE(shown(*f.dialogs), QStringList{AddPrompt});
        QCOMPARE(state(f), before);
    }
}

void TestCategories::addAtEachLevel_data() {
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("folder"); // empty: refused
    QTest::addColumn<QString>("key");

    QTest::newRow("default name under the root") << "root"
                                                 << "Blah"
                                                 << "Blah/"
                                                 << "Blah";
    QTest::newRow("spaces kept as typed") << "root"
                                          << " two  words "
                                          << " two  words /"
                                          << " two  words ";
    QTest::newRow("hidden-looking name") << "root"
                                         << ".net"
                                         << ".net/"
                                         << ".net";
    QTest::newRow("under a category") << "Web"
                                      << "Api"
                                      << "Web/Api/"
                                      << "WebApi";
    // Its key had to differ from its text; the new key is built from the text.
    QTest::newRow("under a category named root") << "root#2"
                                                 << "x"
                                                 << "root/x/"
                                                 << "rootx";
    QTest::newRow("under a sub-category") << "WebForms"
                                          << "Deep" << QString() << QString();
}

void TestCategories::addAtEachLevel() {
    QFETCH(QString, selected);
    QFETCH(QString, answer);
    QFETCH(QString, folder);
    QFETCH(QString, key);
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web/Forms"));
    f.makeFolder(QStringLiteral("root"));
    f.writeFile(QStringLiteral("Web/a.code"), "a");
    frmMain& w = f.open();
    selectNode(f, selected);
    ui(w).txtCodeFile->setText(QStringLiteral("editor text"));
    fillList(w);
    f.dialogs->clear();
    f.dialogs->inputs = {answer};
    const QStringList diskBefore = disk(f);
    const QStringList treeBefore = tree(w);
    const QStringList listBefore = f.entries();

    w.AddCat();

    QCOMPARE(f.entries(), listBefore);
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("editor text"));
    if (folder.isEmpty()) {
        QCOMPARE(shown(*f.dialogs),
                 (QStringList{AddPrompt, QStringLiteral("message|%1|Quillary|%2|%3|%4")
                                             .arg(SubSubRefusal)
                                             .arg(int(Dialogs::Icon::Information))
                                             .arg(int(Dialogs::Buttons::Ok))
                                             .arg(int(Dialogs::Button::Ok))}));
        QCOMPARE(disk(f), diskBefore);
        QCOMPARE(tree(w), treeBefore);
        return;
    }
    QCOMPARE(shown(*f.dialogs), QStringList{AddPrompt});
    QStringList diskAfter = diskBefore;
    diskAfter << folder;
    diskAfter.sort();
    QCOMPARE(disk(f), diskAfter);
    QVERIFY(QFileInfo(f.path(folder)).isDir());
    // One node more, last under its parent, keyed and named as its folder; selection and
    // expansion as they were.
    QTreeWidgetItem* node = f.node(key);
    QVERIFY(node);
    QTreeWidgetItem* parent = f.node(selected);
    QCOMPARE(node->parent(), parent);
    QCOMPARE(parent->child(parent->childCount() - 1), node);
    QCOMPARE(node->text(0), answer);
    QCOMPARE(w.folderOfNode(node) + QLatin1Char('/'), f.path(folder));
    QCOMPARE(node->icon(0).pixmap(16).toImage(),
             f.node(QStringLiteral("Web"))->icon(0).pixmap(16).toImage());
    QStringList after = tree(w);
    QVERIFY(
        after.removeOne(QStringList{key, answer, selected, QStringLiteral("shut"), QString()}.join(
            QLatin1Char('|'))));
    QCOMPARE(after, treeBefore);
}

void TestCategories::addRefusesForbiddenNames_data() {
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("answer");
    const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (QChar ch : forbidden) {
        QTest::addRow("'%c' under the root", ch.toLatin1())
            << "root" << QStringLiteral("a%1b").arg(ch);
        QTest::addRow("'%c' under a category", ch.toLatin1()) << "Web" << QString(ch);
    }
    QTest::newRow("dot") << "root"
                         << ".";
    QTest::newRow("dot dot") << "root"
                             << "..";
    QTest::newRow("dot dot under a category") << "Web"
                                              << "..";
    QTest::newRow("climbing out") << "root"
                                  << "../outside";
}

void TestCategories::addRefusesForbiddenNames() {
    QFETCH(QString, selected);
    QFETCH(QString, answer);
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web"));
    f.makeFolder(QStringLiteral("a"));
    frmMain& w = f.open();
    selectNode(f, selected);
    f.dialogs->clear();
    f.dialogs->inputs = {answer};
    const QStringList before = state(f);
    // The history, made beside the library in its own time, is the program's own.
    const auto besideLibrary = [&f] {
        QStringList names = QDir(f.programFolder()).entryList(QDir::AllEntries | QDir::Hidden);
        names.removeAll(QStringLiteral("history.git"));
        return names;
    };
    const QStringList outside = besideLibrary();

    w.AddCat();

    QCOMPARE(f.dialogs->shown.size(), 2);
    const Dialogs::Message m = f.dialogs->shown[1].message;
    QCOMPARE(m.title, QStringLiteral("Create Category"));
    QCOMPARE(m.icon, Dialogs::Icon::Error);
    QCOMPARE(m.buttons, Dialogs::Buttons::Ok);
    const QString expected = QStringLiteral("A category name cannot include any of the following "
                                            "characters:\n                \\ / : * ? \" < > |");
    auto at = [](const QString& s, qsizetype i) { return i < s.size() ? s.at(i) : QChar(0xFFFF); };
    for (qsizetype i = 0; i < std::max(expected.size(), m.text.size()); ++i)
        QVERIFY2(at(m.text, i) == at(expected, i),
                 qPrintable(QStringLiteral("differs at %1 in: %2").arg(i).arg(m.text)));
    QCOMPARE(state(f), before);
    QCOMPARE(besideLibrary(), outside);
}

void TestCategories::addExistingNameChangesNothing_data() {
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("madeLater"); // a folder made after start-up, so it has no node
    QTest::newRow("category") << "root"
                              << "Web" << QString();
    QTest::newRow("sub-category") << "Web"
                                  << "Forms" << QString();
    QTest::newRow("folder without a node") << "root"
                                           << "Late"
                                           << "Late";
}

void TestCategories::addExistingNameChangesNothing() {
    QFETCH(QString, selected);
    QFETCH(QString, answer);
    QFETCH(QString, madeLater);
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web/Forms"));
    f.writeFile(QStringLiteral("Web/Forms/f.code"), "form");
    f.writeFile(QStringLiteral("Web/w.code"), "web");
    frmMain& w = f.open();
    if (!madeLater.isEmpty()) {
        f.makeFolder(madeLater);
        f.writeFile(madeLater + QStringLiteral("/x.code"), "x");
    }
    selectNode(f, selected);
    f.dialogs->clear();
    f.dialogs->inputs = {answer};
    const QStringList before = state(f);
    w.AddCat();
    QCOMPARE(shown(*f.dialogs), QStringList{AddPrompt});
    QCOMPARE(state(f), before);
}

void TestCategories::addKeyClashGivesKeyOfItsOwn() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("ab"));
    f.makeFolder(QStringLiteral("a"));
    f.writeFile(QStringLiteral("ab/keep.code"), "keep");
    frmMain& w = f.open();
    QTreeWidgetItem* ab = f.node(QStringLiteral("ab"));
    selectNode(f, QStringLiteral("a"));
    f.dialogs->clear();
    f.dialogs->inputs = {QStringLiteral("b")};
    w.AddCat();
    QCOMPARE(shown(*f.dialogs), QStringList{AddPrompt});
    QVERIFY(QFileInfo(f.path(QStringLiteral("a/b"))).isDir());
    QTreeWidgetItem* a = f.node(QStringLiteral("a"));
    QCOMPARE(a->childCount(), 1);
    QTreeWidgetItem* b = a->child(0);
    QCOMPARE(b->text(0), QStringLiteral("b"));
    QVERIFY(frmMain::nodeKey(b) != QStringLiteral("ab"));
    QCOMPARE(f.node(frmMain::nodeKey(b)), b);
    QCOMPARE(f.node(QStringLiteral("ab")), ab);
    QCOMPARE(w.folderOfNode(b), f.path(QStringLiteral("a/b")));

    // The new node removes its own folder, not the one of the node whose key it nearly had.
    selectNode(f, frmMain::nodeKey(b));
    f.dialogs->clear();
    f.dialogs->buttons = {Dialogs::Button::Yes};
    w.RemoveCat();
    QCOMPARE(shown(*f.dialogs), QStringList{RemoveQuestion});
    QVERIFY(!QFileInfo::exists(f.path(QStringLiteral("a/b"))));
    QCOMPARE(f.readFile(QStringLiteral("ab/keep.code")), QByteArray("keep"));
    QCOMPARE(f.node(QStringLiteral("ab")), ab);
    QCOMPARE(a->childCount(), 0);
}

void TestCategories::addCreationFailureIsReported_data() {
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("lockedOrGone"); // relative to the library; "" is the library
    QTest::addColumn<bool>("remove");          // removed behind the program's back, else read-only
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only library") << "root"
                                       << "" << false << "New"
                                       << "ermission denied";
    QTest::newRow("read-only category") << "Web"
                                        << "Web" << false << "Web/New"
                                        << "ermission denied";
    QTest::newRow("library gone") << "root"
                                  << "" << true << "New"
                                  << "No such file or directory";
    QTest::newRow("category gone") << "Web"
                                   << "Web" << true << "Web/New"
                                   << "No such file or directory";
}

void TestCategories::addCreationFailureIsReported() {
    QFETCH(QString, selected);
    QFETCH(QString, lockedOrGone);
    QFETCH(bool, remove);
    QFETCH(QString, folder);
    QFETCH(QString, reason);
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web"));
    frmMain& w = f.open();
    selectNode(f, selected);
    f.dialogs->clear();
    f.dialogs->inputs = {QStringLiteral("New")};
    const QString target = f.path(lockedOrGone);
    const QStringList treeBefore = tree(w);
    const QByteArray encoded = QFile::encodeName(target);
    if (remove)
        QVERIFY(QDir(target).removeRecursively());
    else
        QVERIFY(::chmod(encoded.constData(), 0555) == 0);
    {
        PermissionBitsEnforced enforced;
        if (!remove) {
            if (!enforced.active())
                QSKIP("cannot drop the capabilities that bypass permission bits here");
            QVERIFY2(!QDir(target).mkdir(QStringLiteral("probe")),
                     "the folder is still writable: the fault is not real");
        }
        w.AddCat();
    }
    if (!remove)
        ::chmod(encoded.constData(), 0755);

    QCOMPARE(f.dialogs->shown.size(), 2);
    const Dialogs::Message m = f.dialogs->shown[1].message;
    QCOMPARE(m.title, QStringLiteral("Quillary"));
    QCOMPARE(m.icon, Dialogs::Icon::Error);
    QVERIFY2(m.text.contains(native(f.path(folder))), qPrintable(m.text));
    QVERIFY2(m.text.contains(reason), qPrintable(m.text));
    QVERIFY(!QFileInfo::exists(f.path(folder)));
    QCOMPARE(tree(w), treeBefore);
}

void TestCategories::ctrlClickKeepsTheNodeSelected() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web/Forms"));
    f.writeFile(QStringLiteral("Web/Forms/f.code"), "f");
    frmMain& w = f.open();
    // Ctrl+click and Ctrl+Space would take the selection away; the node stays selected, so the
    // commands act on it and never on the root as if it were chosen.
    selectNode(f, QStringLiteral("WebForms"));
    QTest::mouseClick(
        ui(w).tvwFolders->viewport(), Qt::LeftButton, Qt::ControlModifier,
        ui(w).tvwFolders->visualItemRect(f.node(QStringLiteral("WebForms"))).center());
    QCoreApplication::processEvents();
    QCOMPARE(ui(w).tvwFolders->selectedItems(),
             QList<QTreeWidgetItem*>{f.node(QStringLiteral("WebForms"))});
    ui(w).tvwFolders->setFocus();
    QTest::keyClick(ui(w).tvwFolders, Qt::Key_Space, Qt::ControlModifier);
    QCoreApplication::processEvents();
    QCOMPARE(ui(w).tvwFolders->selectedItems(),
             QList<QTreeWidgetItem*>{f.node(QStringLiteral("WebForms"))});
    QCOMPARE(f.entries(), QStringList{QStringLiteral("f")});
    f.dialogs->clear();
    f.dialogs->inputs = {QStringLiteral("Top")};
    w.AddCat();
    QCOMPARE(f.dialogs->lastText(), SubSubRefusal);
    QVERIFY(!f.node(QStringLiteral("Top")));
    QVERIFY(!QFileInfo::exists(f.path(QStringLiteral("Top"))));
    f.dialogs->buttons = {Dialogs::Button::No};
    w.RemoveCat();
    QCOMPARE(f.dialogs->lastText(), RemoveQuestion.section(QLatin1Char('|'), 1, 1));
    QCOMPARE(f.readFile(QStringLiteral("Web/Forms/f.code")), QByteArray("f"));
    releaseOverTree(w, Qt::RightButton, belowLastNode(w));
    QTRY_VERIFY(ui(w).mnuFolderPopup->isVisible());
    QVERIFY(ui(w).mnuRemoveCategory->isEnabled());
    ui(w).mnuFolderPopup->hide();
}

void TestCategories::removeRefusesRoot() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web/Forms"));
    f.writeFile(QStringLiteral("Web/a.code"), "a");
    f.writeFile(QStringLiteral("top.txt"), "t");
    frmMain& w = f.open();
    selectNode(f, QStringLiteral("root"));
    f.dialogs->clear();
    const QStringList before = state(f);
    ui(w).mnuRemoveCat->trigger();
    QCOMPARE(shown(*f.dialogs), QStringList{QStringLiteral("message|Cannot delete the root "
                                                           "folder.|Error|%1|%2|%3")
                                                .arg(int(Dialogs::Icon::Error))
                                                .arg(int(Dialogs::Buttons::Ok))
                                                .arg(int(Dialogs::Button::Ok))});
    QCOMPARE(state(f), before);
}

void TestCategories::removeAnsweredNo() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web"));
    f.writeFile(QStringLiteral("Web/a.code"), "a");
    frmMain& w = f.open();
    selectNode(f, QStringLiteral("Web"));
    f.dialogs->clear();
    f.dialogs->buttons = {Dialogs::Button::No};
    const QStringList before = state(f);
    w.RemoveCat();
    QCOMPARE(shown(*f.dialogs), QStringList{RemoveQuestion});
    QCOMPARE(state(f), before);
}

void TestCategories::removeDeletesSnippetsFolderAndNode() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web"));
    f.makeFolder(QStringLiteral("Other/Sub"));
    for (const char* name : {"a.code", ".code", "b.code", "ro.code"})
        f.writeFile(QStringLiteral("Web/") + QLatin1String(name), name);
    f.writeFile(QStringLiteral("Other/o.code"), "o");
    f.writeFile(QStringLiteral("Other/Sub/s.code"), "s");
    f.writeFile(QStringLiteral("top.txt"), "t");
    QVERIFY(QFile::setPermissions(f.path(QStringLiteral("Web/ro.code")), QFile::ReadOwner));
    frmMain& w = f.open();
    selectNode(f, QStringLiteral("Web"));
    f.dialogs->clear();
    const QStringList treeBefore = tree(w);
    {
        // Unprivileged, so a read-only file goes because its folder allows it, not because root.
        PermissionBitsEnforced enforced;
        f.dialogs->buttons = {Dialogs::Button::Yes};
        w.RemoveCat();
    }
    QCOMPARE(shown(*f.dialogs), QStringList{RemoveQuestion});
    QCOMPARE(disk(f), (QStringList{QStringLiteral("Other/"), QStringLiteral("Other/Sub/"),
                                   QStringLiteral("Other/Sub/s.code=s"),
                                   QStringLiteral("Other/o.code=o"), QStringLiteral("top.txt=t")}));
    QVERIFY(!f.node(QStringLiteral("Web")));
    QStringList expected = treeBefore.filter(QRegularExpression(QStringLiteral("^(?!Web\\|)")));
    expected.replaceInStrings(QStringLiteral("|open|"), QStringLiteral("|open|selected"));
    QCOMPARE(tree(w), expected);
}

void TestCategories::removeSubCategoryLeavesParentAndSiblings() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web/Forms"));
    f.makeFolder(QStringLiteral("Web/Api"));
    f.makeFolder(QStringLiteral("Forms"));
    f.writeFile(QStringLiteral("Web/Forms/f.code"), "f");
    f.writeFile(QStringLiteral("Web/Api/a.code"), "a");
    f.writeFile(QStringLiteral("Web/w.code"), "w");
    f.writeFile(QStringLiteral("Forms/top.code"), "t");
    frmMain& w = f.open();
    selectNode(f, QStringLiteral("WebForms"));
    f.dialogs->clear();
    f.dialogs->buttons = {Dialogs::Button::Yes};
    ui(w).mnuRemoveCat->trigger();
    QCOMPARE(shown(*f.dialogs), QStringList{RemoveQuestion});
    QCOMPARE(disk(f),
             (QStringList{QStringLiteral("Forms/"), QStringLiteral("Forms/top.code=t"),
                          QStringLiteral("Web/"), QStringLiteral("Web/Api/"),
                          QStringLiteral("Web/Api/a.code=a"), QStringLiteral("Web/w.code=w")}));
    QVERIFY(!f.node(QStringLiteral("WebForms")));
    QVERIFY(f.node(QStringLiteral("WebApi")));
    QVERIFY(f.node(QStringLiteral("Forms")));
    QVERIFY(f.node(QStringLiteral("Web")));
    QCOMPARE(f.node(QStringLiteral("Web"))->childCount(), 1);
}

void TestCategories::removeRefusesBeforeAsking_data() {
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("said"); // what the refusal must say
    QTest::newRow("category with a sub-category") << "Web"
                                                  << "Web" << QStringList{"sub-categories"};
    QTest::newRow("sub-category with a deeper folder")
        << "WebForms"
        << "Web/Forms" << QStringList{"sub-categories"};
    QTest::newRow("files that are not snippets")
        << "Notes"
        << "Notes" << QStringList{"not code snippets", "\".bak\"", "\"a.txt\"", "\"z.txt\""};
    QTest::newRow("more than five such files")
        << "Many"
        << "Many" << QStringList{"\"1.txt\"", "\"5.txt\"", "and 2 more"};
    QTest::newRow("sub-category reached through a linked category")
        << "homeDownloads"
        << "home/Downloads" << QStringList{"outside the library"};
}

void TestCategories::removeRefusesBeforeAsking() {
    QFETCH(QString, selected);
    QFETCH(QString, folder);
    QFETCH(QStringList, said);
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web/Forms/Deeper"));
    f.writeFile(QStringLiteral("Web/a.code"), "a");
    f.writeFile(QStringLiteral("Web/Forms/f.code"), "f");
    f.writeFile(QStringLiteral("Web/Forms/Deeper/d.code"), "d");
    f.makeFolder(QStringLiteral("Notes"));
    for (const char* name : {"a.code", "a.txt", ".bak", "z.txt"})
        f.writeFile(QStringLiteral("Notes/") + QLatin1String(name), name);
    f.makeFolder(QStringLiteral("Many"));
    for (int i = 1; i <= 7; ++i)
        f.writeFile(QStringLiteral("Many/%1.txt").arg(i), "n");
    QTemporaryDir away;
    linkHomeTo(f, away);
    frmMain& w = f.open();
    selectNode(f, selected);
    fillList(w);
    f.dialogs->clear();
    const QStringList before = state(f);
    w.RemoveCat();
    // Refused at once: no question is asked first.
    QCOMPARE(f.dialogs->shown.size(), 1);
    const Dialogs::Message m = f.dialogs->shown[0].message;
    QCOMPARE(m.title, QStringLiteral("Quillary"));
    QCOMPARE(m.icon, Dialogs::Icon::Error);
    QCOMPARE(m.buttons, Dialogs::Buttons::Ok);
    QVERIFY2(m.text.contains(QStringLiteral("\"") + native(f.path(folder)) + QStringLiteral("\"")),
             qPrintable(m.text));
    for (const QString& words : said)
        QVERIFY2(m.text.contains(words), qPrintable(m.text));
    QCOMPARE(state(f), before);
    QVERIFY(QFileInfo::exists(away.path() + QStringLiteral("/Downloads/x.code")));
}

void TestCategories::commandsNeverWriteOutsideTheLibrary() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web"));
    QTemporaryDir away;
    linkHomeTo(f, away);
    frmMain& w = f.open();
    const auto outsideNow = [&] {
        return QDir(away.path() + QStringLiteral("/Downloads"))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    };

    // Add Category under the sub-category's parent link would create a folder elsewhere.
    selectNode(f, QStringLiteral("home"));
    f.dialogs->clear();
    f.dialogs->inputs = {QStringLiteral("New")};
    w.AddCat();
    QVERIFY(!QFileInfo::exists(away.path() + QStringLiteral("/New")));
    QVERIFY2(f.dialogs->lastText().contains(QStringLiteral("outside the library")),
             qPrintable(f.dialogs->lastText()));

    selectNode(f, QStringLiteral("homeDownloads"));
    f.clickEntry(QStringLiteral("x"));
    ui(w).txtCodeFile->setText(QStringLiteral("lost"));
    f.dialogs->clear();
    w.Save();
    QVERIFY2(f.dialogs->lastText().contains(QStringLiteral("outside the library")),
             qPrintable(f.dialogs->lastText()));
    f.dialogs->clear();
    f.dialogs->inputs = {QStringLiteral("y")};
    w.SaveAs();
    QVERIFY2(f.dialogs->lastText().contains(QStringLiteral("outside the library")),
             qPrintable(f.dialogs->lastText()));
    f.clickEntry(QStringLiteral("x"));
    f.dialogs->clear();
    f.dialogs->buttons = {Dialogs::Button::Yes};
    w.mnuDeleteFile_Click();
    QVERIFY2(f.dialogs->lastText().contains(QStringLiteral("outside the library")),
             qPrintable(f.dialogs->lastText()));
    QCOMPARE(outsideNow(), QStringList{QStringLiteral("x.code")});
    QFile kept(away.path() + QStringLiteral("/Downloads/x.code"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("x"));
}

void TestCategories::removeFailureStopsAndIsReported_data() {
    QTest::addColumn<QStringList>("files"); // in Web, in listing order
    QTest::addColumn<QString>("immutable"); // relative to the library
    QTest::addColumn<QString>("named");     // what the message must name
    QTest::newRow("immutable folder with files") << QStringList{"a.code", "b.code"} << "Web"
                                                 << "Web/a.code";
    QTest::newRow("immutable file first") << QStringList{"a.code", "b.code"} << "Web/a.code"
                                          << "Web/a.code";
    QTest::newRow("immutable empty folder") << QStringList{} << "Web"
                                            << "Web";
}

void TestCategories::removeFailureStopsAndIsReported() {
    QFETCH(QStringList, files);
    QFETCH(QString, immutable);
    QFETCH(QString, named);
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web"));
    f.makeFolder(QStringLiteral("Other"));
    for (const QString& name : files)
        f.writeFile(QStringLiteral("Web/") + name, name.toUtf8());
    frmMain& w = f.open();
    selectNode(f, QStringLiteral("Web"));
    f.dialogs->clear();
    const QStringList before = state(f);
    Immutable guard(f.path(immutable));
    if (!guard.on())
        QSKIP("chattr +i is not available here");
    f.dialogs->buttons = {Dialogs::Button::Yes};
    w.RemoveCat();
    QCOMPARE(f.dialogs->shown.size(), 2);
    const Dialogs::Message m = f.dialogs->shown[1].message;
    QCOMPARE(m.title, QStringLiteral("Quillary"));
    QCOMPARE(m.icon, Dialogs::Icon::Error);
    QVERIFY2(m.text.contains(QStringLiteral("\"") + native(f.path(named)) + QStringLiteral("\"")),
             qPrintable(m.text));
    QVERIFY2(m.text.contains(QStringLiteral("Operation not permitted")), qPrintable(m.text));
    // The failure was real, and it stopped everything: every file, folder and node is still there.
    QCOMPARE(state(f), before);
}

void TestCategories::removeFolderGoneBehindOurBack() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web/Forms"));
    f.makeFolder(QStringLiteral("Other"));
    f.writeFile(QStringLiteral("Web/a.code"), "a");
    frmMain& w = f.open();
    selectNode(f, QStringLiteral("Web"));
    fillList(w);
    QVERIFY(QDir(f.path(QStringLiteral("Web"))).removeRecursively());
    f.dialogs->clear();
    f.dialogs->buttons = {Dialogs::Button::Yes};
    w.RemoveCat();
    QCOMPARE(f.dialogs->shown.size(), 2);
    const Dialogs::Message m = f.dialogs->shown[1].message;
    QCOMPARE(m.title, QStringLiteral("Quillary"));
    QCOMPARE(m.icon, Dialogs::Icon::Error);
    QVERIFY2(m.text.contains(native(f.path(QStringLiteral("Web")))), qPrintable(m.text));
    QVERIFY2(m.text.contains(QStringLiteral("No such file or directory")), qPrintable(m.text));
    QVERIFY(!f.node(QStringLiteral("Web")));
    QVERIFY(!f.node(QStringLiteral("WebForms")));
    QVERIFY(f.node(QStringLiteral("Other")));
    QCOMPARE(ui(w).tvwFolders->selectedItems(), QList<QTreeWidgetItem*>{w.rootNode()});
    QVERIFY(f.entries().isEmpty());
}

void TestCategories::afterRemovalParentListedEditorKept_data() {
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("snippet");
    QTest::addColumn<QString>("text");
    QTest::newRow("category") << "Zed"
                              << "root"
                              << "z"
                              << "zed text";
    QTest::newRow("sub-category") << "WebForms"
                                  << "Web"
                                  << "f"
                                  << "form text";
}

void TestCategories::afterRemovalParentListedEditorKept() {
    QFETCH(QString, selected);
    QFETCH(QString, parent);
    QFETCH(QString, snippet);
    QFETCH(QString, text);
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web/Forms"));
    f.makeFolder(QStringLiteral("Zed"));
    f.writeFile(QStringLiteral("Web/Forms/f.code"), "form text");
    f.writeFile(QStringLiteral("Web/w.code"), "web text");
    f.writeFile(QStringLiteral("Zed/z.code"), "zed text");
    frmMain& w = f.open();
    selectNode(f, selected);
    // The removed folder's snippet is on screen when its category goes.
    f.clickEntry(snippet);
    QCOMPARE(ui(w).txtCodeFile->text(), text);
    f.dialogs->clear();
    f.dialogs->buttons = {Dialogs::Button::Yes};
    w.RemoveCat();
    QCOMPARE(shown(*f.dialogs), QStringList{RemoveQuestion});
    QVERIFY(!f.node(selected));
    QCOMPARE(ui(w).tvwFolders->selectedItems(), QList<QTreeWidgetItem*>{f.node(parent)});
    QCOMPARE(ui(w).tvwFolders->currentItem(), f.node(parent));
    // The list shows the parent's snippets, as a click on it would, with none selected.
    const bool underRoot = parent == QStringLiteral("root");
    QCOMPARE(f.entries(), underRoot ? QStringList{} : QStringList{QStringLiteral("w")});
    QVERIFY(ui(w).lstCode->selectedItems().isEmpty());
    QCOMPARE(ui(w).txtCodeFile->text(), text);
    // Save asks for a name and writes into the parent; at the root it refuses before asking.
    f.dialogs->clear();
    f.dialogs->inputs = {QStringLiteral("kept")};
    w.Save();
    QCOMPARE(f.dialogs->shown.size(), 1);
    QCOMPARE(f.dialogs->shown.first().isInput, !underRoot);
    if (underRoot) {
        QCOMPARE(f.dialogs->lastText(),
                 QStringLiteral("You cannot save code in the root directory."));
    } else {
        QCOMPARE(f.readFile(QStringLiteral("Web/kept.code")), text.toUtf8());
        QCOMPARE(f.readFile(QStringLiteral("Web/w.code")), QByteArray("web text"));
    }
}

void TestCategories::unlistableParentIsReported() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web/Forms"));
    f.writeFile(QStringLiteral("Web/Forms/f.code"), "f");
    frmMain& w = f.open();
    selectNode(f, QStringLiteral("WebForms"));
    f.dialogs->clear();
    // The sub-category can be reached and removed, but its parent cannot be listed.
    const QByteArray web = QFile::encodeName(f.path(QStringLiteral("Web")));
    QVERIFY(::chmod(web.constData(), 0300) == 0);
    {
        PermissionBitsEnforced enforced;
        if (!enforced.active())
            QSKIP("cannot drop the capabilities that bypass permission bits here");
        QVERIFY2(QDir(f.path(QStringLiteral("Web")))
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                     .isEmpty(),
                 "the category is still listable: the fault is not real");
        f.dialogs->buttons = {Dialogs::Button::Yes};
        w.RemoveCat();
    }
    ::chmod(web.constData(), 0755);
    // The parent is listed as a click would: its folder cannot be read, and the user is told.
    QCOMPARE(f.dialogs->shown.size(), 2);
    QCOMPARE(shown(*f.dialogs).first(), RemoveQuestion);
    QVERIFY2(f.dialogs->lastText().contains(QStringLiteral("cannot be read")),
             qPrintable(f.dialogs->lastText()));
    QVERIFY(!QFileInfo::exists(f.path(QStringLiteral("Web/Forms"))));
    QVERIFY(!f.node(QStringLiteral("WebForms")));
    QCOMPARE(ui(w).tvwFolders->selectedItems(),
             QList<QTreeWidgetItem*>{f.node(QStringLiteral("Web"))});
    QVERIFY(f.entries().isEmpty());
}

void TestCategories::removeFolderThatCannotGoKeepsNode() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web"));
    f.writeFile(QStringLiteral("Web/a.code"), "a");
    frmMain& w = f.open();
    selectNode(f, QStringLiteral("Web"));
    QCOMPARE(f.entries(), QStringList{QStringLiteral("a")});
    f.dialogs->clear();
    const QByteArray library = QFile::encodeName(f.library());
    QVERIFY(::chmod(library.constData(), 0555) == 0);
    {
        PermissionBitsEnforced enforced;
        if (!enforced.active())
            QSKIP("cannot drop the capabilities that bypass permission bits here");
        QVERIFY2(!QDir(f.library()).mkdir(QStringLiteral("probe")),
                 "the library is still writable: the fault is not real");
        f.dialogs->buttons = {Dialogs::Button::Yes};
        w.RemoveCat();
    }
    ::chmod(library.constData(), 0755);
    // The files inside went; the folder could not, so its node stays and the list shows it empty.
    QCOMPARE(disk(f), QStringList{QStringLiteral("Web/")});
    QCOMPARE(f.dialogs->shown.size(), 2);
    const Dialogs::Message m = f.dialogs->shown[1].message;
    QCOMPARE(m.title, QStringLiteral("Quillary"));
    QCOMPARE(m.icon, Dialogs::Icon::Error);
    QVERIFY2(m.text.contains(QStringLiteral("\"") + native(f.path(QStringLiteral("Web"))) +
                             QStringLiteral("\"")),
             qPrintable(m.text));
    QVERIFY2(m.text.contains(QStringLiteral("ermission denied")), qPrintable(m.text));
    QVERIFY(f.node(QStringLiteral("Web")));
    QCOMPARE(ui(w).tvwFolders->selectedItems(),
             QList<QTreeWidgetItem*>{f.node(QStringLiteral("Web"))});
    QVERIFY(f.entries().isEmpty());
}

void TestCategories::popupOnRightReleaseOnly() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Web/Forms"));
    frmMain& w = f.open();
    QTreeWidgetItem* root = w.rootNode();
    QTreeWidgetItem* web = f.node(QStringLiteral("Web"));
    const QPoint overWeb = ui(w).tvwFolders->visualItemRect(web).center();

    // Root selected, right button below the last node: greyed removal.
    releaseOverTree(w, Qt::RightButton, belowLastNode(w));
    QTRY_VERIFY(ui(w).mnuFolderPopup->isVisible());
    QVERIFY(ui(w).mnuAddCategory->isEnabled());
    QVERIFY(!ui(w).mnuRemoveCategory->isEnabled());
    QCOMPARE(ui(w).tvwFolders->selectedItems(), QList<QTreeWidgetItem*>{root});
    ui(w).mnuFolderPopup->hide();

    // Right button over another node: that node is selected and the pop-up acts on it.
    QCursor::setPos(ui(w).tvwFolders->viewport()->mapToGlobal(overWeb));
    releaseOverTree(w, Qt::RightButton, overWeb);
    QTRY_VERIFY(ui(w).mnuFolderPopup->isVisible());
    QCOMPARE(ui(w).mnuFolderPopup->pos(), QCursor::pos()); // at the pointer
    QVERIFY(ui(w).mnuAddCategory->isEnabled());
    QVERIFY(ui(w).mnuRemoveCategory->isEnabled());
    QCOMPARE(ui(w).tvwFolders->selectedItems(), QList<QTreeWidgetItem*>{web});
    QCOMPARE(ui(w).tvwFolders->currentItem(), web);
    QVERIFY(f.dialogs->shown.isEmpty());
    ui(w).mnuFolderPopup->hide();

    // A category selected, right button below the last node.
    releaseOverTree(w, Qt::RightButton, belowLastNode(w));
    QTRY_VERIFY(ui(w).mnuFolderPopup->isVisible());
    QVERIFY(ui(w).mnuAddCategory->isEnabled());
    QVERIFY(ui(w).mnuRemoveCategory->isEnabled());
    QCOMPARE(ui(w).tvwFolders->selectedItems(), QList<QTreeWidgetItem*>{web});
    ui(w).mnuFolderPopup->hide();

    // Back to the root: greyed again.
    selectNode(f, QStringLiteral("root"));
    releaseOverTree(w, Qt::RightButton, belowLastNode(w));
    QTRY_VERIFY(ui(w).mnuFolderPopup->isVisible());
    QVERIFY(!ui(w).mnuRemoveCategory->isEnabled());
    ui(w).mnuFolderPopup->hide();

    // Left and middle releases show nothing.
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton}) {
        releaseOverTree(w, button, belowLastNode(w));
        QTest::qWait(50);
        QVERIFY(!ui(w).mnuFolderPopup->isVisible());
    }
    QVERIFY(f.dialogs->shown.isEmpty());
}

void TestCategories::threeWaysInAgree_data() {
    QTest::addColumn<bool>("add");
    QTest::addColumn<QString>("selected");
    QTest::newRow("add under the root") << true << "root";
    QTest::newRow("add under a category") << true << "Web";
    QTest::newRow("add under a sub-category") << true << "WebForms";
    QTest::newRow("remove the root") << false << "root";
    QTest::newRow("remove a category") << false << "Other";
    QTest::newRow("remove a sub-category") << false << "WebForms";
}

void TestCategories::threeWaysInAgree() {
    QFETCH(bool, add);
    QFETCH(QString, selected);
    enum Way { FileMenu, Popup, ToolbarButton };
    QList<QStringList> results;
    for (Way way : {FileMenu, Popup, ToolbarButton}) {
        WindowFixture f;
        f.makeFolder(QStringLiteral("Web/Forms"));
        f.makeFolder(QStringLiteral("Other"));
        f.writeFile(QStringLiteral("Web/Forms/f.code"), "f");
        f.writeFile(QStringLiteral("Other/o.code"), "o");
        frmMain& w = f.open();
        selectNode(f, selected);
        f.dialogs->clear();
        f.dialogs->inputs = {QStringLiteral("New")};
        if (!add)
            f.dialogs->buttons = {Dialogs::Button::Yes};
        switch (way) {
        case FileMenu:
            (add ? ui(w).mnuAddCat : ui(w).mnuRemoveCat)->trigger();
            break;
        case Popup: {
            releaseOverTree(w, Qt::RightButton, belowLastNode(w));
            QTRY_VERIFY(ui(w).mnuFolderPopup->isVisible());
            QAction* item = add ? ui(w).mnuAddCategory : ui(w).mnuRemoveCategory;
            if (item->isEnabled()) {
                QTest::mouseClick(ui(w).mnuFolderPopup, Qt::LeftButton, {},
                                  ui(w).mnuFolderPopup->actionGeometry(item).center());
                QTRY_VERIFY(!ui(w).mnuFolderPopup->isVisible());
            } else {
                // A greyed entry cannot be chosen; its command would be refused anyway.
                ui(w).mnuFolderPopup->hide();
                w.RemoveCat();
            }
            break;
        }
        case ToolbarButton:
            QTest::mouseClick(ui(w).Toolbar1->widgetForAction(ui(w).toolbarButtons[add ? 3 : 4]),
                              Qt::LeftButton);
            break;
        }
        QCoreApplication::processEvents();
        results.append(state(f) + shown(*f.dialogs));
    }
    QVERIFY(results[0].size() > 0);
    QCOMPARE(results[1], results[0]);
    QCOMPARE(results[2], results[0]);
    // And the command did something: a dialog at least.
    QVERIFY(!results[0].filter(QStringLiteral("Add Category")).isEmpty() ||
            !results[0].filter(QStringLiteral("Delete Category")).isEmpty() ||
            !results[0].filter(QStringLiteral("root folder")).isEmpty());
}

QTEST_MAIN(TestCategories)
#include "test_categories.moc"
