// SPDX-License-Identifier: MIT
// The window after a sync: what arrived is shown, an edit in the editor is never replaced, a
// failure is told, and a sync at Quit ends before the window does.
#include "app/keyring.h"
#include "editor/colours.h"
#include "editor/highlightquery.h"
#include "history/history.h"
#include "history/syncsettings.h"
#include "support/faults.h"
#include "support/windowfixture.h"

#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int Wait = 20000;

// Another machine's copy of the library, changed outside and synced by the engine alone.
struct OtherMachine {
    QTemporaryDir dir;
    QString library() const { return dir.filePath(QStringLiteral("Code/")); }
    QString git() const { return dir.filePath(QStringLiteral("history.git")); }
    void change(const QString& path, const QByteArray& bytes) const {
        const QString full = library() + path;
        if (bytes.isNull()) {
            QVERIFY(QFile::remove(full));
            return;
        }
        QVERIFY(QDir().mkpath(QFileInfo(full).absolutePath()));
        QFile out(full);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
    }
    SyncOutcome sync(const QString& remote) const {
        {
            History history(library(), git()); // records what was changed outside
            if (!history.waitForIdle(Wait)) {
                SyncOutcome never;
                never.result = SyncOutcome::Result::Failed;
                return never;
            }
        }
        LibraryFs fs(LibraryLocations{library(), {}});
        const std::atomic<bool> cancel = false;
        return LibrarySync(git(), fs).run(remote, cancel);
    }
};

class NoKeyring : public Keyring {
public:
    void read(const QString&,
              std::function<void(std::optional<LibrarySync::Login>)> done) override {
        done(std::nullopt);
    }
    void write(const QString&, const LibrarySync::Login&,
               std::function<void(const QString&)> done) override {
        done(QStringLiteral("no keyring in tests"));
    }
};

bool bareRepository(const QString& path) {
    return run(QStringLiteral("git"),
               {QStringLiteral("init"), QStringLiteral("-q"), QStringLiteral("--bare"), path});
}

bool settle(const QString& remote, bool atQuit) {
    SyncSettings settings;
    settings.remote = remote;
    settings.atQuit = atQuit;
    return settings.save();
}

// Sync Now in the window, until the window has shown what it did.
void syncNow(frmMain& w) {
    QSignalSpy ended(w.history(), &History::synced);
    w.SyncNow();
    QVERIFY(ended.wait(Wait) || ended.count() > 0);
    QCoreApplication::processEvents(); // the window's answer to the queued signal
}

} // namespace

class TestSyncWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void arrivalsAreShown_data();
    void arrivalsAreShown();
    void aLanguageChosenThereRecolours();
    void aFailureIsToldAndChangesNothing();
    void syncAtQuitEndsBeforeTheWindow();
};

void TestSyncWindow::initTestCase() {
    // The settings and git's configuration live in folders of the test's own.
    ownGitHome();
}

void TestSyncWindow::arrivalsAreShown_data() {
    QTest::addColumn<QString>("changedThere");  // path in the library
    QTest::addColumn<QByteArray>("bytesThere"); // null: deleted there
    QTest::addColumn<QString>("typedHere");     // into the open snippet
    QTest::addColumn<bool>("savedHere");
    QTest::addColumn<QString>("editorAfter");
    QTest::addColumn<QStringList>("listAfter");
    QTest::addColumn<QString>("told"); // part of a message box's text, or empty for none

    const QStringList both{QStringLiteral("one"), QStringLiteral("two")};
    const QString copy = QStringLiteral("one (%1)").arg(LibrarySync::hostName());
    QTest::newRow("open snippet changed there")
        << "A/one.code" << QByteArray("one there") << "" << false << "one there" << both << "";
    QTest::newRow("open snippet changed there, edited here")
        << "A/one.code" << QByteArray("one there") << "mine " << false << "omine ne" << both << "";
    QTest::newRow("open snippet changed on both sides")
        << "A/one.code" << QByteArray("one there") << "mine " << true << "omine ne"
        << QStringList{copy, QStringLiteral("one"), QStringLiteral("two")} << copy;
    QTest::newRow("open snippet deleted there") << "A/one.code" << QByteArray() << "" << false << ""
                                                << QStringList{QStringLiteral("two")} << "";
    QTest::newRow("open snippet deleted there, edited here")
        << "A/one.code" << QByteArray() << "mine " << false << "omine ne"
        << QStringList{QStringLiteral("two")} << "";
    QTest::newRow("new category there")
        << "B/four.code" << QByteArray("4") << "" << false << "one" << both << "";
    QTest::newRow("new snippet there")
        << "A/three.code" << QByteArray("3") << "" << false << "one"
        << QStringList{QStringLiteral("one"), QStringLiteral("three"), QStringLiteral("two")} << "";
}

void TestSyncWindow::arrivalsAreShown() {
    QFETCH(QString, changedThere);
    QFETCH(QByteArray, bytesThere);
    QFETCH(QString, typedHere);
    QFETCH(bool, savedHere);
    QFETCH(QString, editorAfter);
    QFETCH(QStringList, listAfter);
    QFETCH(QString, told);

    QTemporaryDir remote;
    QVERIFY(bareRepository(remote.path()));
    WindowFixture f;
    f.makeFolder(QStringLiteral("A"));
    f.writeFile(QStringLiteral("A/one.code"), "one");
    f.writeFile(QStringLiteral("A/two.code"), "two");
    QVERIFY(settle(remote.path(), false));
    frmMain& w = f.open();
    w.setKeyring(std::make_unique<NoKeyring>());
    QVERIFY(w.history());
    syncNow(w); // the first sync sends the whole library
    QCOMPARE(f.dialogs->messages().size(), 0);

    OtherMachine there;
    QVERIFY(QDir().mkpath(there.library()));
    const SyncOutcome first = there.sync(remote.path());
    QVERIFY2(first.ok(), qPrintable(first.failure));
    there.change(changedThere, bytesThere);
    const SyncOutcome second = there.sync(remote.path());
    QVERIFY2(second.ok(), qPrintable(second.failure));

    f.clickNode(QStringLiteral("A"));
    f.clickEntry(QStringLiteral("one"));
    CodeEditor* editor = ui(w).txtCodeFile;
    if (!typedHere.isEmpty()) {
        editor->setFocus();
        QTest::keyClicks(editor, typedHere);
    }
    if (savedHere)
        w.Save();
    syncNow(w);

    QCOMPARE(editor->text(), editorAfter);
    const QString category = changedThere.section(QLatin1Char('/'), 0, 0);
    QVERIFY(frmMain::childWithText(w.rootNode(), category));
    QCOMPARE(f.entries(), listAfter);
    if (!savedHere)
        QCOMPARE(f.readFile(changedThere), bytesThere.isNull() ? QByteArray() : bytesThere);
    if (told.isEmpty())
        QCOMPARE(f.dialogs->messages().size(), 0);
    else
        QVERIFY2(f.dialogs->lastText().contains(told), qPrintable(f.dialogs->lastText()));
    // An edit the sync made stale is kept in the history as well as in the editor.
    if (!typedHere.isEmpty() && !savedHere) {
        QVERIFY(w.history()->waitForIdle(Wait));
        HistoryReader reader(f.dir.filePath(QStringLiteral("history.git")));
        QByteArray drafted;
        for (const HistoryVersion& version : reader.versions(QStringLiteral("A/one.code"))) {
            if (version.action == History::Action::Draft && drafted.isNull())
                drafted = reader.text(version.blob).value_or(QByteArray());
        }
        QCOMPARE(drafted, editorAfter.toUtf8());
    }
}

// The categories' languages travel like a snippet; the open snippet takes its new colours.
void TestSyncWindow::aLanguageChosenThereRecolours() {
    QTemporaryDir remote;
    QVERIFY(bareRepository(remote.path()));
    WindowFixture f;
    f.makeFolder(QStringLiteral("A"));
    const QByteArray python = "x = 'it' # c\n";
    f.writeFile(QStringLiteral("A/one.code"), python);
    QVERIFY(settle(remote.path(), false));
    frmMain& w = f.open();
    w.setKeyring(std::make_unique<NoKeyring>());
    QVERIFY(w.history());
    syncNow(w);
    f.clickNode(QStringLiteral("A"));
    f.clickEntry(QStringLiteral("one"));
    CodeEditor* editor = ui(w).txtCodeFile;
    const int inQuotes = int(python.indexOf('\'')) + 1; // a comment by the word list's rule
    QTRY_COMPARE(editor->colourAt(inQuotes), Colours::Comment);

    OtherMachine there;
    QVERIFY(QDir().mkpath(there.library()));
    QVERIFY(there.sync(remote.path()).ok());
    there.change(QStringLiteral(".quillary-languages"), "python\tA\n");
    QVERIFY(there.sync(remote.path()).ok());
    syncNow(w);

    QCOMPARE(f.readFile(QStringLiteral(".quillary-languages")), QByteArray("python\tA\n"));
    QTRY_COMPARE(editor->colourAt(inQuotes), SyntaxColours::String);
    QCOMPARE(editor->colourAt(int(python.indexOf('#'))), Colours::Comment);
    QVERIFY(frmMain::childWithText(w.rootNode(), QStringLiteral("A")));
    QCOMPARE(f.entries(), QStringList{QStringLiteral("one")});
    QCOMPARE(f.dialogs->messages().size(), 0);
}

void TestSyncWindow::aFailureIsToldAndChangesNothing() {
    QTemporaryDir notARepository;
    WindowFixture f;
    f.makeFolder(QStringLiteral("A"));
    f.writeFile(QStringLiteral("A/one.code"), "one");
    QVERIFY(settle(notARepository.path(), false));
    frmMain& w = f.open();
    QVERIFY(w.history());
    syncNow(w);
    const QList<ScriptedDialogs::Shown> told = f.dialogs->messages();
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.first().message.text.contains(notARepository.path()),
             qPrintable(told.first().message.text));
    QCOMPARE(told.first().message.icon, Dialogs::Icon::Error);
    QCOMPARE(ui(w).statusPanels[0]->text(), QStringLiteral("Sync failed"));
    QCOMPARE(QDir(notARepository.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
    QCOMPARE(f.readFile(QStringLiteral("A/one.code")), QByteArray("one"));
}

void TestSyncWindow::syncAtQuitEndsBeforeTheWindow() {
    QTemporaryDir remote;
    QVERIFY(bareRepository(remote.path()));
    WindowFixture f;
    f.makeFolder(QStringLiteral("A"));
    f.writeFile(QStringLiteral("A/one.code"), "one");
    QVERIFY(settle(remote.path(), true));
    frmMain& w = f.open();
    QVERIFY(w.history());
    QVERIFY(w.history()->waitForIdle(Wait));
    w.close();
    QVERIFY(w.isVisible()); // waits for the sync
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), Wait);
    QCOMPARE(f.dialogs->messages().size(), 0);
    const QString git = f.dir.filePath(QStringLiteral("history.git"));
    QCOMPARE(commandOutput(QStringLiteral("git --git-dir='%1' rev-parse main").arg(remote.path())),
             commandOutput(QStringLiteral("git --git-dir='%1' rev-parse main").arg(git)));
    QVERIFY(settle(QString(), false));
}

QTEST_MAIN(TestSyncWindow)
#include "test_syncwindow.moc"
