// SPDX-License-Identifier: MIT
#include "tests/support/mainwindowparts.h"
#include "tests/support/windowfixture.h"
#include "windows/foundlinedelegate.h"
#include "windows/frmfind.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QThread>

namespace {

SnippetIndex& indexOf(WindowFixture& f) {
    return f.window->snippetIndex();
}

// Passes start only when a test asks, so none can run unseen.
void waitForIndex(WindowFixture& f) {
    indexOf(f).refresh();
    QVERIFY(indexOf(f).waitForIdle(30000));
}

// Over the size that loads in one go.
QByteArray longFiller() {
    return QByteArray("x = 1\n").repeated(300000);
}

frmFind* typeQuery(WindowFixture& f, const QString& query) {
    f.window->ShowFind();
    frmFind* find = f.window->findWindow();
    find->txtFind->clear();
    QTest::keyClicks(find->txtFind, query);
    // Searches run off the window's thread: the list fills when the last one ends.
    if (!QTest::qWaitFor([find] { return find->resultsCurrent(); }))
        qWarning("the results never caught up with the query");
    return find;
}

} // namespace

class TestFind : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { frmMain::setIndexingAtStart(false); }
    void window();
    void opensResult_data();
    void opensResult();
    void ownCommandsUpdateAtOnce_data();
    void ownCommandsUpdateAtOnce();
    void boldWords_data();
    void boldWords();
    void searchThread_data();
    void searchThread();
};

void TestFind::window() {
    WindowFixture f;
    f.makeFolder("Cat");
    f.writeFile("Cat/One.code", "alpha");
    f.writeFile("Cat/Two.code", "beta");
    f.open();
    waitForIndex(f);
    ui(*f.window).mnuFind->trigger();
    frmFind* find = f.window->findWindow();
    QVERIFY(find && find->isVisible());
    QCOMPARE(find->windowTitle(), QStringLiteral("Find Snippets"));
    QVERIFY(!find->isModal());
    QCOMPARE(find->parentWidget(), f.window.get());
    QTest::keyClicks(find->txtFind, QStringLiteral("ALPHA"));
    QTRY_VERIFY(find->resultsCurrent());
    QCOMPARE(find->lstResults->topLevelItemCount(), 1);
    QCOMPARE(find->lblCount->text(), QStringLiteral("1 snippet matches"));
    QTest::keyClick(find->txtFind, Qt::Key_Escape);
    QVERIFY(!find->isVisible());
    f.window->ShowFind();
    QCOMPARE(find->txtFind->text(), QStringLiteral("ALPHA"));

    // Enter straight after typing opens what was typed, not what the list showed before, once
    // the search thread has found it.
    find->txtFind->selectAll();
    QTest::keyClicks(find->txtFind, QStringLiteral("beta"));
    QTest::keyClick(find->txtFind, Qt::Key_Return);
    QTRY_COMPARE(f.window->heldFile(), f.path("Cat/Two.code"));

    // A double click opens too. Left open behind, the window comes back to its query.
    QTreeWidget* list = find->lstResults;
    f.window->ShowFind();
    QVERIFY(QTest::qWaitForWindowActive(find));
    const QPoint row = list->visualItemRect(list->topLevelItem(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row);
    QTRY_COMPARE(QApplication::focusWidget(), ui(*f.window).txtCodeFile);
    QVERIFY(find->isVisible());
    f.window->ShowFind();
    QTRY_COMPARE(QApplication::focusWidget(), find->txtFind);
    QCOMPARE(find->txtFind->selectedText(), QStringLiteral("beta"));
}

void TestFind::opensResult_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("node");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("caret");

    QTest::newRow("category, text match") << "second"
                                          << "Cat"
                                          << "One" << 6;
    QTest::newRow("sub-category, second line") << "GAMMA"
                                               << "Sub"
                                               << "Two" << 5;
    QTest::newRow("name match, word not in the text") << "three"
                                                      << "Cat"
                                                      << "Three" << 0;
    QTest::newRow("name match, word in the text too") << "four"
                                                      << "Sub"
                                                      << "Four" << 6;
    QTest::newRow("file gone since indexed") << "vanished"
                                             << ""
                                             << "" << -1;
    // Loads in slices: the caret is placed when the last one is in.
    QTest::newRow("long snippet") << "needle"
                                  << "Cat"
                                  << "Long" << int(longFiller().size()) + 4;
    // Shown split every 4,096 characters: the first match is across a split.
    QTest::newRow("a word across a display break") << "haystack"
                                                   << "Cat"
                                                   << "Split" << 4093;
}

void TestFind::opensResult() {
    QFETCH(QString, query);
    QFETCH(QString, node);
    QFETCH(QString, entry);
    QFETCH(int, caret);

    WindowFixture f;
    f.makeFolder("Cat/Sub");
    f.writeFile("Cat/One.code", "first\r\nsecond");
    f.writeFile("Cat/Three.code", "nothing here");
    f.writeFile("Cat/Sub/Two.code", "Beta\nGamma");
    f.writeFile("Cat/Sub/Four.code", "x = 1\nfour = 4");
    f.writeFile("Cat/Gone.code", "vanished");
    f.writeFile("Cat/Long.code", longFiller() + "the needle");
    f.writeFile("Cat/Split.code",
                QByteArray(4092, 'y') + " haystack " + QByteArray(70000, 'y') + " haystack\nz");
    f.open();
    // The window looks for outside changes when it opens: this one comes after.
    f.window->ShowFind();
    waitForIndex(f);
    QVERIFY(QFile::remove(f.path("Cat/Gone.code")));

    frmFind* find = typeQuery(f, query);
    QCOMPARE(find->lstResults->topLevelItemCount(), 1);
    QTest::keyClick(find->txtFind, Qt::Key_Return);

    if (caret < 0) {
        QCOMPARE(f.dialogs->messages().size(), 1);
        QVERIFY2(f.dialogs->lastText().contains(f.path("Cat/Gone.code")) &&
                     f.dialogs->lastText().contains(QStringLiteral("cannot be opened")),
                 qPrintable(f.dialogs->lastText()));
        QVERIFY(ui(*f.window).txtCodeFile->text() != QStringLiteral("vanished"));
        QCOMPARE(indexOf(f).find(query, 10).total, 0);
        return;
    }
    // The keys go on to the snippet, not to the query.
    CodeEditor* editor = ui(*f.window).txtCodeFile;
    QTRY_COMPARE(QApplication::activeWindow(), f.window.get());
    QCOMPARE(QApplication::focusWidget(), editor);
    QTRY_VERIFY_WITH_TIMEOUT(!editor->isLoading(), 60000);
    QVERIFY(f.dialogs->messages().isEmpty());
    QCOMPARE(f.window->selectedNode()->text(0), node);
    QCOMPARE(ui(*f.window).lstCode->selectedItems().size(), 1);
    QCOMPARE(ui(*f.window).lstCode->selectedItems().first()->text(0), entry);
    QCOMPARE(f.window->heldFile(),
             f.path(node == QLatin1String("Sub") ? "Cat/Sub/" : "Cat/") + entry + ".code");
    QCOMPARE(editor->selectionStart(), caret);
    QCOMPARE(editor->selectionLength(), 0);
}

enum class Command { Save, SaveAs, Delete, RemoveCategory };
Q_DECLARE_METATYPE(Command)

void TestFind::ownCommandsUpdateAtOnce_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");

    QTest::newRow("save") << Command::Save << "edited" << 0 << 1;
    QTest::newRow("save as") << Command::SaveAs << "original" << 1 << 2;
    QTest::newRow("delete code file") << Command::Delete << "original" << 1 << 0;
    QTest::newRow("remove category") << Command::RemoveCategory << "original" << 1 << 0;
}

void TestFind::ownCommandsUpdateAtOnce() {
    QFETCH(Command, command);
    QFETCH(QString, query);
    QFETCH(int, before);
    QFETCH(int, after);

    WindowFixture f;
    f.makeFolder("Cat");
    f.writeFile("Cat/One.code", "original");
    f.open();
    waitForIndex(f);
    QCOMPARE(indexOf(f).find(query, 10).total, before);
    f.clickNode("Cat");
    f.clickEntry("One");
    switch (command) {
    case Command::Save:
        ui(*f.window).txtCodeFile->setText(QStringLiteral("edited"));
        f.window->Save();
        break;
    case Command::SaveAs:
        f.dialogs->inputs = {QStringLiteral("Copy")};
        f.window->SaveAs();
        break;
    case Command::Delete:
        f.dialogs->buttons = {Dialogs::Button::Yes};
        f.window->mnuDeleteFile_Click();
        break;
    case Command::RemoveCategory:
        f.dialogs->buttons = {Dialogs::Button::Yes};
        f.window->RemoveCat();
        break;
    }
    QVERIFY(f.dialogs->messages().size() <= 1);
    // No pass has run since: only the command itself can have told the index.
    QVERIFY(!indexOf(f).progress().running);
    QCOMPARE(indexOf(f).find(query, 10).total, after);
}

using Spans = QList<std::pair<int, int>>;

void TestFind::boldWords_data() {
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("query");
    QTest::addColumn<Spans>("bold");

    QTest::newRow("every word, any case, every time")
        << "3: Dim s As String: s = STRING$(2)"
        << "string dim" << Spans{{3, 3}, {12, 6}, {24, 6}};
    QTest::newRow("words that overlap are one stretch") << "1: abcd"
                                                        << "abc bcd" << Spans{{3, 4}};
    QTest::newRow("the line number is not the line") << "12: x12"
                                                     << "12" << Spans{{5, 2}};
    QTest::newRow("nothing matches") << "4: If x Then"
                                     << "else" << Spans{};
}

// The Line column shows what a result's line holds of the query in bold.
void TestFind::boldWords() {
    QFETCH(QString, shown);
    QFETCH(QString, query);
    QFETCH(Spans, bold);

    const int start = int(shown.indexOf(QLatin1String(": "))) + 2;
    QCOMPARE(FoundLineDelegate::matches(shown, SnippetIndex::words(query), start), bold);
}

enum class Race { Quit, QuitWhileEnterWaits, OpenWhileAnswerArrives };
Q_DECLARE_METATYPE(Race)

void TestFind::searchThread_data() {
    QTest::addColumn<Race>("race");
    QTest::newRow("quit during a search") << Race::Quit;
    QTest::newRow("quit while Enter waits for its search") << Race::QuitWhileEnterWaits;
    QTest::newRow("a result opened while a search answers") << Race::OpenWhileAnswerArrives;
}

void TestFind::searchThread() {
    QFETCH(Race, race);

    WindowFixture f;
    f.makeFolder("Cat");
    f.writeFile("Cat/One.code", "x omega");
    f.writeFile("Cat/Two.code", "beta");
    // So that the searches asked just before Quit have some work to do.
    f.writeFile("Cat/Long.code", QByteArray("Dim alphabet As String\n").repeated(400000));
    f.open();
    waitForIndex(f);
    frmFind* find = typeQuery(f, QStringLiteral("omega"));

    if (race == Race::OpenWhileAnswerArrives) {
        QCOMPARE(find->lstResults->topLevelItem(0)->text(2), QStringLiteral("One"));
        // The answer for "beta" is waiting when the open runs its events, and replaces the list.
        find->txtFind->setText(QStringLiteral("beta"));
        QThread::msleep(300);
        find->openResult(0);
        QCOMPARE(f.window->heldFile(), f.path("Cat/One.code"));
        QCOMPARE(ui(*f.window).txtCodeFile->selectionStart(), 2);
        QCOMPARE(find->lstResults->topLevelItem(0)->text(2), QStringLiteral("Two"));
        return;
    }
    for (const char* query : {"alphabet dim", "string alphabet", "as dim alphabet", "zzz"})
        find->txtFind->setText(QLatin1String(query));
    if (race == Race::QuitWhileEnterWaits)
        QTest::keyClick(find->txtFind, Qt::Key_Return);
    QVERIFY(!find->resultsCurrent());
    QElapsedTimer quitting;
    quitting.start();
    ui(*f.window).mnuQuit->trigger();
    f.window.reset();
    QVERIFY2(quitting.elapsed() < 10000, "Quit waited for the searches");
}

QTEST_MAIN(TestFind)
#include "test_find.moc"
