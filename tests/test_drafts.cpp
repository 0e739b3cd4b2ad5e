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
    void discardedTextIsKept_data();
    void discardedTextIsKept();
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
    QVERIFY(w.history());
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

QTEST_MAIN(TestDrafts)
#include "test_drafts.moc"
