// SPDX-License-Identifier: MIT
#include "tests/support/faults.h"
#include "tests/support/mainwindowparts.h"
#include "tests/support/windowfixture.h"

#include "editor/codeeditor.h"
#include "history/history.h"
#include "history/linediff.h"
#include "library/names.h"
#include "library/snippetcodec.h"
#include "windows/frmdeleted.h"
#include "windows/frmhistory.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace {

using Files = QList<std::pair<QString, QByteArray>>; // a null text: the file is gone

// One commit of a fixture history, as the program writes them: the files changed on disk, then a
// subject and the trailers.
struct Commit {
    QString action; // the trailer's word
    QStringList paths;
    Files files;
};

void put(const WindowFixture& f, const Files& files) {
    for (const auto& [path, bytes] : files) {
        if (bytes.isNull()) {
            QFile::remove(f.path(path));
            QDir().rmdir(QFileInfo(f.path(path)).path());
            continue;
        }
        QDir().mkpath(QFileInfo(f.path(path)).path());
        f.writeFile(path, bytes);
    }
}

// A real repository made with git itself, where the program keeps its history; the library is
// left as the last commit has it.
bool makeHistory(const WindowFixture& f, const QList<Commit>& commits) {
    const QString gitDir = LibraryLocations::beside(f.programFolder()).historyFolder();
    const QStringList git{QStringLiteral("--git-dir=") + gitDir,
                          QStringLiteral("--work-tree=") + f.library(),
                          QStringLiteral("-c"),
                          QStringLiteral("user.name=Test"),
                          QStringLiteral("-c"),
                          QStringLiteral("user.email=test@example.org")};
    QDir().mkpath(f.library());
    if (!run(QStringLiteral("git"),
             git + QStringList{QStringLiteral("init"), QStringLiteral("-q"), QStringLiteral("-b"),
                               QStringLiteral("main")}))
        return false;
    int day = 1;
    for (const Commit& commit : commits) {
        put(f, commit.files);
        QStringList trailers{QStringLiteral("Quillary-Action: ") + commit.action};
        for (const QString& path : commit.paths)
            trailers.append(QStringLiteral("Quillary-Path: ") + path);
        // Newest first is by the committer's time: one day apart, none can tie.
        const QByteArray date =
            QStringLiteral("2024-03-%1T12:00:00Z").arg(day++, 2, 10, QLatin1Char('0')).toLatin1();
        qputenv("GIT_COMMITTER_DATE", date);
        qputenv("GIT_AUTHOR_DATE", date);
        const bool done =
            run(QStringLiteral("git"),
                git + QStringList{QStringLiteral("add"), QStringLiteral("-A")}) &&
            run(QStringLiteral("git"),
                git + QStringList{QStringLiteral("commit"), QStringLiteral("-q"),
                                  QStringLiteral("--allow-empty"), QStringLiteral("-m"),
                                  commit.action + QLatin1Char(' ') + commit.paths.value(0),
                                  QStringLiteral("-m"), trailers.join(QLatin1Char('\n'))});
        if (!done)
            return false;
    }
    return true;
}

template <typename Window> Window* windowOf(const frmMain& w) {
    return w.findChild<Window*>();
}

// Saved with CR LF and a byte that is not UTF-8, so only a byte-for-byte restore keeps it.
const QByteArray Old = QByteArray("Function Reverse(s)\r\n  ' caf\xe9\r\nEnd Function\r\n");
const QByteArray Now = QByteArray("Function Reverse(s)\nEnd Function\n");
const QByteArray Circle = QByteArray("Circle 10\n");
const QByteArray Square = QByteArray("Line -(10, 10), , B\n");
const QByteArray Outside = QByteArray("made meanwhile\n");

struct RestoreCase {
    const char* name;
    QList<Commit> commits;
    bool deletedWindow = false; // else the history of `open`
    QString open;               // the snippet selected when the history is asked for
    int chosenRow = 0;
    Files meanwhile; // written after the window has listed what it shows
    QStringList inputs;
    Files expected; // the library afterwards
    QString node;   // the category node selected afterwards
    QString entry;  // and the list's entry the editor holds; none for a category
    QString refusal;
};

const QList<RestoreCase>& restoreCases() {
    static const QList<RestoreCase> cases{
        {"an older version",
         {{QStringLiteral("save"),
           {QStringLiteral("Strings/Reverse.code")},
           {{QStringLiteral("Strings/Reverse.code"), Old}}},
          {QStringLiteral("save"),
           {QStringLiteral("Strings/Reverse.code")},
           {{QStringLiteral("Strings/Reverse.code"), Now}}}},
         false,
         QStringLiteral("Reverse"),
         1,
         {},
         {},
         {{QStringLiteral("Strings/Reverse.code"), Old}},
         QStringLiteral("Strings"),
         QStringLiteral("Reverse"),
         {}},
        {"a deleted snippet",
         {{QStringLiteral("save"),
           {QStringLiteral("Strings/Reverse.code")},
           {{QStringLiteral("Strings/Reverse.code"), Old},
            {QStringLiteral("Strings/Keep.code"), Now}}},
          {QStringLiteral("delete"),
           {QStringLiteral("Strings/Reverse.code")},
           {{QStringLiteral("Strings/Reverse.code"), QByteArray()}}}},
         true,
         {},
         0,
         {},
         {},
         {{QStringLiteral("Strings/Reverse.code"), Old},
          {QStringLiteral("Strings/Keep.code"), Now}},
         QStringLiteral("Strings"),
         QStringLiteral("Reverse"),
         {}},
        {"a removed category, one of its names taken meanwhile",
         {{QStringLiteral("save"),
           {QStringLiteral("Graphics/Circle.code")},
           {{QStringLiteral("Graphics/Circle.code"), Circle}}},
          {QStringLiteral("save"),
           {QStringLiteral("Graphics/Square.code")},
           {{QStringLiteral("Graphics/Square.code"), Square}}},
          {QStringLiteral("remove-category"),
           {QStringLiteral("Graphics")},
           {{QStringLiteral("Graphics/Circle.code"), QByteArray()},
            {QStringLiteral("Graphics/Square.code"), QByteArray()}}}},
         true,
         {},
         0,
         {{QStringLiteral("Graphics/Circle.code"), Outside}},
         {QStringLiteral("Round")},
         {{QStringLiteral("Graphics/Circle.code"), Outside},
          {QStringLiteral("Graphics/Round.code"), Circle},
          {QStringLiteral("Graphics/Square.code"), Square}},
         QStringLiteral("Graphics"),
         {},
         {}},
        {"a forbidden name for one taken meanwhile",
         {{QStringLiteral("save"),
           {QStringLiteral("Strings/Reverse.code")},
           {{QStringLiteral("Strings/Reverse.code"), Old},
            {QStringLiteral("Strings/Keep.code"), Now}}},
          {QStringLiteral("delete"),
           {QStringLiteral("Strings/Reverse.code")},
           {{QStringLiteral("Strings/Reverse.code"), QByteArray()}}}},
         true,
         {},
         0,
         {{QStringLiteral("Strings/Reverse.code"), Outside}},
         {QStringLiteral("../Reverse")},
         {{QStringLiteral("Strings/Reverse.code"), Outside},
          {QStringLiteral("Reverse.code"), QByteArray()}},
         {},
         {},
         Names::snippetRefusalText()},
    };
    return cases;
}

// "0" for a line both texts hold, "1" for one only this text holds.
QString marksText(const QList<bool>& marks) {
    QString out;
    for (const bool marked : marks)
        out += marked ? QLatin1Char('1') : QLatin1Char('0');
    return out;
}

} // namespace

class TestHistoryWindows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void restoring_data();
    void restoring();
    void lineDiff_data();
    void lineDiff();
    void windows_data();
    void windows();
};

void TestHistoryWindows::initTestCase() {
    frmMain::setIndexingAtStart(false);
    // The fixtures' git reads no configuration of the machine's.
    ownGitHome();
    if (!run(QStringLiteral("git"), {QStringLiteral("--version")}))
        QSKIP("git is not installed");
}

void TestHistoryWindows::restoring_data() {
    QTest::addColumn<int>("row");
    for (int i = 0; i < restoreCases().size(); ++i)
        QTest::newRow(restoreCases().at(i).name) << i;
}

void TestHistoryWindows::restoring() {
    QFETCH(int, row);
    const RestoreCase& c = restoreCases().at(row);
    WindowFixture f;
    QVERIFY(makeHistory(f, c.commits));
    frmMain& w = f.open(nullptr, [&c](ScriptedDialogs& d) { d.inputs = c.inputs; });
    QVERIFY(f.historyIdle());

    QPushButton* restore = nullptr;
    if (c.deletedWindow) {
        w.ShowDeleted();
        frmDeleted* deleted = windowOf<frmDeleted>(w);
        QVERIFY(deleted && deleted->isVisible());
        // Read off the window's thread.
        QTRY_VERIFY(!deleted->isReading());
        // The newest loss is listed first.
        QVERIFY(deleted->lstDeleted->topLevelItemCount() >= 1);
        QCOMPARE(deleted->lstDeleted->currentItem(), deleted->lstDeleted->topLevelItem(0));
        restore = deleted->cmdRestore;
    } else {
        f.clickNode(QStringLiteral("Strings"));
        f.clickEntry(c.open);
        w.ShowHistory();
        frmHistory* history = windowOf<frmHistory>(w);
        QVERIFY(history && history->isVisible());
        QTRY_VERIFY(!history->isReading());
        QCOMPARE(history->lstVersions->topLevelItemCount(), c.commits.size());
        history->lstVersions->setCurrentItem(history->lstVersions->topLevelItem(c.chosenRow));
        // The older text, with what the file now lacks marked.
        QCOMPARE(history->txtVersion->text(), SnippetCodec::decode(Old).text);
        QVERIFY(!history->lblDifferences->text().contains(QStringLiteral("same")));
        restore = history->cmdRestore;
    }
    put(f, c.meanwhile);
    QVERIFY(restore->isEnabled());
    QTest::mouseClick(restore, Qt::LeftButton);

    for (const auto& [path, bytes] : c.expected) {
        QCOMPARE(QFileInfo::exists(f.path(path)), !bytes.isNull());
        if (!bytes.isNull())
            QCOMPARE(f.readFile(path), bytes);
    }
    QVERIFY(f.dialogs->inputs.isEmpty());
    if (!c.refusal.isEmpty()) {
        QCOMPARE(f.dialogs->lastText(), c.refusal);
        QCOMPARE(f.dialogs->shown.last().message.title, QStringLiteral("Save Code"));
        return;
    }
    QVERIFY2(f.dialogs->messages().isEmpty(), qPrintable(f.dialogs->lastText()));
    for (const ScriptedDialogs::Shown& asked : std::as_const(f.dialogs->shown)) {
        QCOMPARE(asked.prompt, QStringLiteral("Enter a filename: "));
        QCOMPARE(asked.inputTitle, QStringLiteral("Save Code"));
    }
    // The window follows the history: the restore is its newest version.
    if (frmHistory* history = windowOf<frmHistory>(w))
        QTRY_COMPARE(history->lstVersions->topLevelItem(0)->text(1), QStringLiteral("restored"));
    const MainWindowParts parts = ui(w);
    QTRY_VERIFY(!parts.txtCodeFile->isLoading());
    const QList<QTreeWidgetItem*> nodes = parts.tvwFolders->selectedItems();
    QCOMPARE(nodes.size(), 1);
    QCOMPARE(nodes.first()->text(0), c.node);
    const QList<QTreeWidgetItem*> entries = parts.lstCode->selectedItems();
    QCOMPARE(entries.isEmpty() ? QString() : entries.first()->text(0), c.entry);
    if (!c.entry.isEmpty())
        QCOMPARE(w.heldFile(),
                 f.path(c.node + QLatin1Char('/') + c.entry + QStringLiteral(".code")));
    if (!c.entry.isEmpty())
        QCOMPARE(parts.txtCodeFile->text(),
                 SnippetCodec::decode(
                     f.readFile(c.node + QLatin1Char('/') + c.entry + QStringLiteral(".code")))
                     .text);
    else
        QCOMPARE(f.entries(), (QStringList{QStringLiteral("Circle"), QStringLiteral("Round"),
                                           QStringLiteral("Square")}));
}

void TestHistoryWindows::lineDiff_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<qint64>("bound");
    QTest::addColumn<QString>("onlyBefore");
    QTest::addColumn<QString>("onlyAfter");
    QTest::addColumn<bool>("exact");
    const qint64 wide = LineDiff::DefaultBound;
    QTest::newRow("empty") << ""
                           << "" << wide << "0"
                           << "0" << true;
    QTest::newRow("equal") << "a\nb\n"
                           << "a\nb\n"
                           << wide << "000"
                           << "000" << true;
    QTest::newRow("insert") << "a\nc"
                            << "a\nb\nc" << wide << "00"
                            << "010" << true;
    QTest::newRow("delete") << "a\nb\nc"
                            << "a\nc" << wide << "010"
                            << "00" << true;
    QTest::newRow("change") << "a\nb\nc"
                            << "a\nB\nc" << wide << "010"
                            << "010" << true;
    QTest::newRow("everything") << "a"
                                << "b\nc" << wide << "1"
                                << "11" << true;
    QTest::newRow("scattered") << "x\na\nb\ny\nc\nz"
                               << "a\nq\nb\nc" << wide << "100101"
                               << "0100" << true;
    QTest::newRow("repeated lines") << "x\na\na\ny"
                                    << "y\na\na\nx" << wide << "1001"
                                    << "1001" << true;
    QTest::newRow("within the bound") << "a\nb\nc\nd\ne"
                                      << "a\nX\nc\nY\ne" << qint64(64) << "01010"
                                      << "01010" << true;
    QTest::newRow("beyond the bound") << "a\nb\nc\nd\ne"
                                      << "a\nX\nc\nY\ne" << qint64(8) << "11111"
                                      << "11111" << false;
}

void TestHistoryWindows::lineDiff() {
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(qint64, bound);
    QFETCH(QString, onlyBefore);
    QFETCH(QString, onlyAfter);
    QFETCH(bool, exact);
    const LineDiff::Marks marks =
        LineDiff::compare(LineDiff::lines(before), LineDiff::lines(after), bound);
    QCOMPARE(marksText(marks.onlyInOld), onlyBefore);
    QCOMPARE(marksText(marks.onlyInNew), onlyAfter);
    QCOMPARE(marks.exact, exact);
}

void TestHistoryWindows::windows_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("select");
    QTest::addColumn<QString>("title");
    QTest::newRow("history") << "mnuHistory" << true << "History of Reverse";
    QTest::newRow("history from the list") << "mnuCodeHistory" << true << "History of Reverse";
    QTest::newRow("history, nothing selected") << "mnuHistory" << false << QString();
    QTest::newRow("deleted") << "mnuDeletedSnippets" << false << "Deleted Snippets";
}

void TestHistoryWindows::windows() {
    QFETCH(QString, command);
    QFETCH(bool, select);
    QFETCH(QString, title);
    WindowFixture f;
    QVERIFY(makeHistory(f, {{QStringLiteral("save"),
                             {QStringLiteral("Strings/Reverse.code")},
                             {{QStringLiteral("Strings/Reverse.code"), Now}}}}));
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Strings"));
    if (select)
        f.clickEntry(QStringLiteral("Reverse"));
    auto* action = w.findChild<QAction*>(command);
    QVERIFY(action);
    action->trigger();
    if (title.isEmpty()) {
        QVERIFY(!windowOf<frmHistory>(w));
        QCOMPARE(f.dialogs->messages().size(), 1);
        QCOMPARE(f.dialogs->shown.last().message.icon, Dialogs::Icon::Error);
        QVERIFY(f.dialogs->lastText().contains(QStringLiteral("No code file is selected")));
        return;
    }
    QDialog* window = command == QStringLiteral("mnuDeletedSnippets")
                          ? static_cast<QDialog*>(windowOf<frmDeleted>(w))
                          : static_cast<QDialog*>(windowOf<frmHistory>(w));
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), title);
    QVERIFY(window->isVisible());
    QVERIFY(!window->isModal());
    QVERIFY(f.dialogs->shown.isEmpty());
    QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_Escape);
    QVERIFY(!window->isVisible());
}

QTEST_MAIN(TestHistoryWindows)
#include "test_history_windows.moc"
