// SPDX-License-Identifier: MIT
// Inputs a hostile or unlucky disk can hold: huge and binary snippets, odd keyword lists, links,
// FIFOs, unreadable folders and awkward names. Each either works or ends in a clear message;
// nothing hangs, nothing outside the library is deleted.
#include "tests/support/basiccode.h"
#include "tests/support/faults.h"
#include "tests/support/mainwindowparts.h"
#include "tests/support/privileges.h"
#include "tests/support/windowfixture.h"

#include <QMenu>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

class TestHostile : public QObject {
    Q_OBJECT
private slots:
    void largeAndOddSnippetsRoundTrip_data();
    void largeAndOddSnippetsRoundTrip();
    void oddKeywordLists_data();
    void oddKeywordLists();
    void linkLoopInsideTheLibrary();
    void categoryThatLinksElsewhere();
    void danglingLinkAndFifoEntries();
    void unreadableCategoryFolder();
    void longNames();
    void nonLatinAndSpacedNames();
};

namespace {
void openSnippet(WindowFixture& f, const QString& category, const QString& name) {
    f.clickNode(category);
    f.clickEntry(name);
}
} // namespace

void TestHostile::largeAndOddSnippetsRoundTrip_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("byteExact");
    QTest::newRow("50 MB snippet") << BasicCode::repeatedLines(50 * 1024 * 1024) << true;
    QTest::newRow("10 MB on one line")
        << QByteArray(10 * 1024 * 1024, 'x').replace(5, 1, "'") << true;
    QByteArray binary;
    for (int i = 0; i < 256; ++i)
        if (i != '\r')
            binary += char(i);
    binary += QByteArray("\xC3\x28 invalid UTF-8 \x00 NUL", 22);
    QTest::newRow("binary without lone CR") << binary << true;
    QTest::newRow("binary with lone CR") << (binary + "a\rb") << false;
}

void TestHostile::largeAndOddSnippetsRoundTrip() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, byteExact);
    WindowFixture f;
    f.makeFolder(QStringLiteral("Cat"));
    f.writeFile(QStringLiteral("Cat/big.code"), bytes);
    f.writeWordList("dim\r\nas\r\ninteger\r\nfor\r\nnext\r\n");
    frmMain& w = f.open();
    openSnippet(f, QStringLiteral("Cat"), QStringLiteral("big"));
    QVERIFY2(f.dialogs->shown.isEmpty(), qPrintable(f.dialogs->lastText()));
    QVERIFY(ui(w).txtCodeFile->textLength() > 0);
    w.ColorCode();
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), 1);
    ui(w).mnuSave->trigger();
    QVERIFY2(f.dialogs->shown.isEmpty(), qPrintable(f.dialogs->lastText()));
    const QByteArray saved = f.readFile(QStringLiteral("Cat/big.code"));
    if (byteExact) {
        QCOMPARE(saved.size(), bytes.size());
        QVERIFY(saved == bytes);
    } else {
        // Not byte-exact, but opening what was saved shows the same text again.
        const QString shown = ui(w).txtCodeFile->text();
        f.clickEntry(QStringLiteral("big"));
        QCOMPARE(ui(w).txtCodeFile->text(), shown);
    }
}

void TestHostile::oddKeywordLists_data() {
    QTest::addColumn<QByteArray>("wordlist");
    QByteArray many;
    for (int i = 0; i < 100000; ++i)
        many += "kw" + QByteArray::number(i) + "\r\n";
    many += "dim\r\n";
    QTest::newRow("100,000 keywords") << many;
    QTest::newRow("only empty lines") << QByteArray(5000, '\n');
    QTest::newRow("one line of 1 MB") << QByteArray(1024 * 1024, 'd');
    QTest::newRow("binary") << QByteArray("\x00\xFF\xFE dim\r\n\x80\x81", 10);
    QTest::newRow("dim, then past 16 MiB") << "dim\r\n" + QByteArray(16 << 20, ' ');
}

void TestHostile::oddKeywordLists() {
    QFETCH(QByteArray, wordlist);
    WindowFixture f;
    f.makeFolder(QStringLiteral("Cat"));
    const QByteArray code = "Dim x As Integer ' note\nkw99999 = 1\n";
    f.writeFile(QStringLiteral("Cat/a.code"), code);
    f.writeWordList(wordlist);
    frmMain& w = f.open();
    openSnippet(f, QStringLiteral("Cat"), QStringLiteral("a"));
    QVERIFY(f.dialogs->shown.isEmpty());
    // Comments are green whatever the list holds.
    QCOMPARE(ui(w).txtCodeFile->colourAt(code.indexOf("note")), Colours::Comment);
    // A list too large to be one is not read: no keywords, as without a list.
    if (wordlist.size() > (16 << 20))
        QCOMPARE(ui(w).txtCodeFile->colourAt(0), Colours::Default);
    if (wordlist.startsWith("kw")) {
        QCOMPARE(ui(w).txtCodeFile->colourAt(0), Colours::Keyword);
        QCOMPARE(ui(w).txtCodeFile->colourAt(code.indexOf("kw99999")), Colours::Keyword);
    }
    ui(w).mnuSave->trigger();
    QCOMPARE(f.readFile(QStringLiteral("Cat/a.code")), code);
}

void TestHostile::linkLoopInsideTheLibrary() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Loop"));
    QVERIFY(QFile::link(f.path(QStringLiteral("Loop")), f.path(QStringLiteral("Loop/again"))));
    QVERIFY(QFile::link(f.path(QStringLiteral("self")), f.path(QStringLiteral("self"))));
    f.writeFile(QStringLiteral("Loop/a.code"), "x");
    frmMain& w = f.open();
    QVERIFY(f.node(QStringLiteral("Loop")));
    QVERIFY(f.node(QStringLiteral("Loopagain")));
    f.clickNode(QStringLiteral("Loopagain"));
    QCOMPARE(f.entries(), QStringList{QStringLiteral("a")});
    f.clickEntry(QStringLiteral("a"));
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("x"));
}

void TestHostile::categoryThatLinksElsewhere() {
    WindowFixture f;
    QTemporaryDir outside;
    QFile target(outside.path() + QStringLiteral("/kept.code"));
    QVERIFY(target.open(QIODevice::WriteOnly));
    target.write("outside\n");
    target.close();
    f.makeFolder(QString());
    QVERIFY(QFile::link(outside.path(), f.path(QStringLiteral("Linked"))));
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Linked"));
    QCOMPARE(f.entries(), QStringList{QStringLiteral("kept")});
    f.clickEntry(QStringLiteral("kept"));
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("outside\n"));
    ui(w).txtCodeFile->setText(QStringLiteral("changed\n"));
    f.clickNode(QStringLiteral("Linked"));
    ui(w).lstCode->setCurrentItem(f.entry(QStringLiteral("kept")));
    ui(w).mnuSave->trigger();
    QCOMPARE(QFileInfo(outside.path() + QStringLiteral("/kept.code")).size(), qint64(8));
    // Removing the category removes the link, never what it points at.
    f.dialogs->buttons = {Dialogs::Button::Yes};
    ui(w).tvwFolders->setCurrentItem(f.node(QStringLiteral("Linked")));
    ui(w).mnuRemoveCat->trigger();
    QVERIFY(!QFileInfo(f.path(QStringLiteral("Linked"))).exists());
    QVERIFY(!QFileInfo(f.path(QStringLiteral("Linked"))).isSymLink());
    QVERIFY(QFile::exists(outside.path() + QStringLiteral("/kept.code")));
    QVERIFY(!f.node(QStringLiteral("Linked")));
}

void TestHostile::danglingLinkAndFifoEntries() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Cat"));
    QVERIFY(
        QFile::link(f.path(QStringLiteral("gone")), f.path(QStringLiteral("Cat/dangling.code"))));
    QVERIFY(::mkfifo(QFile::encodeName(f.path(QStringLiteral("Cat/x.code"))).constData(), 0644) ==
            0);
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    QCOMPARE(f.entries(), (QStringList{QStringLiteral("dangling"), QStringLiteral("x")}));
    for (const QString& name : {QStringLiteral("dangling"), QStringLiteral("x")}) {
        f.dialogs->clear();
        // A watchdog: if opening blocked on the FIFO, this would free it and the test fails.
        QTimer::singleShot(5000, [path = f.path(QStringLiteral("Cat/x.code"))] {
            QFile writer(path);
            if (writer.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                qFatal("opening a FIFO blocked");
        });
        f.clickEntry(name);
        QCOMPARE(f.dialogs->shown.size(), 1);
        QVERIFY2(f.dialogs->lastText().contains(name + QStringLiteral(".code")),
                 qPrintable(f.dialogs->lastText()));
        QVERIFY(ui(w).txtCodeFile->text().isEmpty());
    }
}

void TestHostile::unreadableCategoryFolder() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Locked"));
    f.writeFile(QStringLiteral("Locked/a.code"), "x");
    frmMain& w = f.open();
    {
        ModeChange unreadable(f.path(QStringLiteral("Locked")), 0, 0755);
        QVERIFY(unreadable.done());
        PermissionBitsEnforced enforced;
        if (!enforced.active())
            QSKIP("cannot drop the capabilities that bypass permission bits here");
        f.clickNode(QStringLiteral("Locked"));
        QVERIFY(f.entries().isEmpty());
        QCOMPARE(f.dialogs->shown.size(), 1);
        QVERIFY(f.dialogs->lastText().contains(QStringLiteral("Locked")));
        // Removing it fails clearly and deletes nothing.
        f.dialogs->clear();
        f.dialogs->buttons = {Dialogs::Button::Yes};
        ui(w).mnuRemoveCat->trigger();
        QVERIFY(f.dialogs->shown.size() >= 2);
        QVERIFY(f.node(QStringLiteral("Locked")));
    }
    QVERIFY(QFile::exists(f.path(QStringLiteral("Locked/a.code"))));
}

void TestHostile::longNames() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Cat"));
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    ui(w).txtCodeFile->setText(QStringLiteral("text"));
    const QString fits(250, QLatin1Char('n'));    // 255 bytes with ".code"
    const QString tooLong(251, QLatin1Char('m')); // 256 bytes
    f.dialogs->inputs = {fits, tooLong};
    w.SaveAs();
    QVERIFY2(f.dialogs->messages().isEmpty(), qPrintable(f.dialogs->lastText()));
    QVERIFY(QFile::exists(f.path(QStringLiteral("Cat/") + fits + QStringLiteral(".code"))));
    QVERIFY(f.entry(fits));
    f.dialogs->clear();
    w.SaveAs();
    QCOMPARE(f.dialogs->messages().size(), 1);
    QVERIFY(f.dialogs->messages().first().message.text.contains(tooLong));
    QVERIFY(!f.entry(tooLong));
    // A category name too long for the file system is refused with a message, and no node.
    f.dialogs->clear();
    ui(w).tvwFolders->setCurrentItem(w.rootNode());
    f.dialogs->inputs = {QString(256, QLatin1Char('c'))};
    w.AddCat();
    QCOMPARE(f.dialogs->messages().size(), 1);
    QCOMPARE(w.rootNode()->childCount(), 1);
}

void TestHostile::nonLatinAndSpacedNames() {
    WindowFixture f;
    const QString cat = QStringLiteral("\u65E5\u672C\u8A9E \u041A\u043E\u0434");
    const QString spaced = QStringLiteral("  spaced  ");
    f.makeFolder(cat);
    f.writeFile(cat + QStringLiteral("/\u0394\u03B5\u03B9\u03B3\u03BC\u03B1.code"),
                "\xCE\xB1 = 1\n");
    frmMain& w = f.open();
    f.clickNode(cat);
    QCOMPARE(f.entries(), QStringList{QStringLiteral("\u0394\u03B5\u03B9\u03B3\u03BC\u03B1")});
    f.clickEntry(QStringLiteral("\u0394\u03B5\u03B9\u03B3\u03BC\u03B1"));
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("\u03B1 = 1\n"));
    f.dialogs->inputs = {spaced};
    w.SaveAs();
    QVERIFY(QFile::exists(f.path(cat + QLatin1Char('/') + spaced + QStringLiteral(".code"))));
    QVERIFY(f.entry(spaced));
    // A category with spaces around its name, added and removed.
    ui(w).tvwFolders->setCurrentItem(w.rootNode());
    f.dialogs->inputs = {spaced};
    w.AddCat();
    QVERIFY(QFileInfo(f.path(spaced)).isDir());
    QTreeWidgetItem* node = f.node(spaced);
    QVERIFY(node);
    QCOMPARE(node->text(0), spaced);
    ui(w).tvwFolders->setCurrentItem(node);
    f.dialogs->buttons = {Dialogs::Button::Yes};
    w.RemoveCat();
    QVERIFY(!QFileInfo::exists(f.path(spaced)));
    QVERIFY(QFileInfo(f.path(cat)).isDir());
}

QTEST_MAIN(TestHostile)
#include "test_hostile.moc"
