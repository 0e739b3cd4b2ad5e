// SPDX-License-Identifier: MIT
// Text the editor throws away is kept in the history, whichever way it is thrown away.
#include "history/history.h"
#include "support/windowfixture.h"
#include "windows/frmclipboard.h"

#include <QTest>

namespace {

QByteArray draftOf(const WindowFixture& f, const QString& path) {
    HistoryReader reader(f.dir.filePath(QStringLiteral("history.git")));
    for (const HistoryVersion& version : reader.versions(path)) {
        if (version.action == History::Action::Draft)
            return reader.text(version.blob).value_or(QByteArray());
    }
    return {};
}

} // namespace

class TestDrafts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ownGitHome(); }
    void discardedTextIsKept_data();
    void discardedTextIsKept();
    void commandsKeepEveryVersion_data();
    void commandsKeepEveryVersion();
};

void TestDrafts::discardedTextIsKept_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("edit");
    QTest::addColumn<QByteArray>("kept");
    // Typed where the caret is after an open, and kept with the file's own line ends.
    const QByteArray typed("otyped ne\r\n");
    QTest::newRow("another snippet") << "other snippet" << true << typed;
    QTest::newRow("the same snippet again") << "same snippet" << true << typed;
    QTest::newRow("delete") << "delete" << true << typed;
    QTest::newRow("quit") << "quit" << true << typed;
    QTest::newRow("closing the window") << "close" << true << typed;
    QTest::newRow("nothing typed") << "other snippet" << false << QByteArray();
    QTest::newRow("saved first") << "save, then other snippet" << true << QByteArray();
}

void TestDrafts::discardedTextIsKept() {
    QFETCH(QString, way);
    QFETCH(bool, edit);
    QFETCH(QByteArray, kept);
    WindowFixture f;
    f.makeFolder(QStringLiteral("A"));
    f.makeFolder(QStringLiteral("B"));
    f.writeFile(QStringLiteral("A/one.code"), "one\r\n");
    f.writeFile(QStringLiteral("A/two.code"), "two");
    frmMain& w = f.open();
    QVERIFY(f.historyIdle());
    f.clickNode(QStringLiteral("A"));
    f.clickEntry(QStringLiteral("one"));
    CodeEditor* editor = ui(w).txtCodeFile;
    if (edit) {
        editor->setFocus();
        QTest::keyClicks(editor, QStringLiteral("typed "));
    }
    w.ShowClipboard();
    w.codeClipboard()->editor()->setText(QStringLiteral("scratch"));
    if (way == QLatin1String("other snippet")) {
        f.clickEntry(QStringLiteral("two"));
    } else if (way == QLatin1String("same snippet")) {
        f.clickEntry(QStringLiteral("one"));
    } else if (way == QLatin1String("delete")) {
        f.dialogs->buttons = {Dialogs::Button::Yes};
        ui(w).mnuDeleteFile->trigger();
        QVERIFY(!QFile::exists(f.path(QStringLiteral("A/one.code"))));
    } else if (way == QLatin1String("quit")) {
        QTest::keyClick(editor, Qt::Key_Q, Qt::ControlModifier);
    } else if (way == QLatin1String("close")) {
        w.close();
    } else {
        QTest::keyClick(editor, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(f.readFile(QStringLiteral("A/one.code")), QByteArray("otyped ne\r\n"));
        f.clickEntry(QStringLiteral("two"));
    }
    // The files are as the commands left them: a draft never changes the library.
    if (way != QLatin1String("delete") && !way.startsWith(QLatin1String("save")))
        QCOMPARE(f.readFile(QStringLiteral("A/one.code")), QByteArray("one\r\n"));
    const bool quitting = way == QLatin1String("quit") || way == QLatin1String("close");
    f.window.reset(); // writes what it was told, then the history closes
    QCOMPARE(draftOf(f, QStringLiteral("A/one.code")), kept);
    // The Code Clipboard's text is kept when the program ends.
    QCOMPARE(draftOf(f, QString::fromLatin1(History::ClipboardText)),
             quitting ? QByteArray("scratch") : QByteArray());
}

void TestDrafts::commandsKeepEveryVersion_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("delete after another program's change") << "delete";
    QTest::newRow("save after another program's change") << "save";
    QTest::newRow("save through a linked snippet") << "link";
    QTest::newRow("save as into a linked category") << "linked category";
    QTest::newRow("restore an empty removed category") << "empty category";
}

// The window tells the history what each command is about to replace, and where a write through
// a link lands; what it did is in the history, and git sees nothing more to record.
void TestDrafts::commandsKeepEveryVersion() {
    QFETCH(QString, command);
    WindowFixture f;
    f.makeFolder(QStringLiteral("A"));
    f.makeFolder(QStringLiteral("E"));
    f.makeFolder(QStringLiteral("Linked"));
    f.writeFile(QStringLiteral("A/one.code"), "one\r\n");
    QVERIFY(QFile::link(QStringLiteral("../A/one.code"), f.path(QStringLiteral("Linked/R.code"))));
    QVERIFY(QFile::link(QStringLiteral("A"), f.path(QStringLiteral("LinkCat"))));
    frmMain& w = f.open();
    QVERIFY(f.historyIdle());
    const QString git = f.dir.filePath(QStringLiteral("history.git"));
    CodeEditor* editor = ui(w).txtCodeFile;
    if (command == QLatin1String("delete") || command == QLatin1String("save")) {
        f.clickNode(QStringLiteral("A"));
        f.clickEntry(QStringLiteral("one"));
        f.writeFile(QStringLiteral("A/one.code"), "outside\r\n");
        if (command == QLatin1String("delete")) {
            f.dialogs->buttons = {Dialogs::Button::Yes};
            ui(w).mnuDeleteFile->trigger();
        } else {
            QTest::keyClick(editor, Qt::Key_S, Qt::ControlModifier);
        }
    } else if (command == QLatin1String("link")) {
        f.clickNode(QStringLiteral("Linked"));
        f.clickEntry(QStringLiteral("R"));
        editor->setFocus();
        QTest::keyClicks(editor, QStringLiteral("linked "));
        QTest::keyClick(editor, Qt::Key_S, Qt::ControlModifier);
    } else if (command == QLatin1String("linked category")) {
        f.clickNode(QStringLiteral("LinkCat"));
        f.dialogs->inputs = {QStringLiteral("new")};
        ui(w).mnuSaveAs->trigger();
        QVERIFY(QFile::exists(f.path(QStringLiteral("A/new.code"))));
    } else {
        f.clickNode(QStringLiteral("E"));
        f.dialogs->buttons = {Dialogs::Button::Yes};
        w.RemoveCat();
        QVERIFY(f.historyIdle());
        const QList<DeletedEntry> removed = HistoryReader(git).deleted();
        QCOMPARE(removed.size(), 1);
        QVERIFY(w.restoreDeleted(removed.first()));
    }
    History* history = f.historyIdle();
    QVERIFY(history);
    // The program's own writes are no other program's changes.
    const QString head =
        commandOutput(QStringLiteral("git --git-dir='%1' rev-parse HEAD").arg(git));
    history->noticeOutsideChanges();
    QVERIFY(f.historyIdle());
    QCOMPARE(commandOutput(QStringLiteral("git --git-dir='%1' rev-parse HEAD").arg(git)), head);
    QCOMPARE(commandOutput(QStringLiteral("git --git-dir='%1' status --porcelain").arg(git)),
             QString());
    HistoryReader reader(git);
    const QList<DeletedEntry> deleted = reader.deleted();
    if (command == QLatin1String("delete")) {
        QCOMPARE(deleted.size(), 1);
        QCOMPARE(reader.text(deleted.first().blobs.value(0)),
                 std::optional(QByteArray("outside\r\n")));
        return;
    }
    QCOMPARE(deleted.size(), 0);
    QByteArrayList texts;
    for (const HistoryVersion& version : reader.versions(QStringLiteral("A/one.code")))
        texts.append(reader.text(version.blob).value_or(QByteArray()));
    if (command == QLatin1String("save"))
        QVERIFY(texts.contains("outside\r\n"));
    if (command == QLatin1String("link")) {
        QVERIFY(texts.contains(f.readFile(QStringLiteral("A/one.code"))));
        QVERIFY(f.readFile(QStringLiteral("A/one.code")).contains("linked"));
        QVERIFY(reader.versions(QStringLiteral("Linked/R.code")).isEmpty());
    }
    if (command == QLatin1String("linked category"))
        QCOMPARE(reader.versions(QStringLiteral("A/new.code")).size(), 1);
}

QTEST_MAIN(TestDrafts)
#include "test_drafts.moc"
