// SPDX-License-Identifier: MIT
#include "search/snippetindex.h"
#include "tests/support/faults.h"
#include "tests/support/indexsupport.h"
#include "tests/support/privileges.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Types the query a key at a time, as the window searches, and returns the last results.
SnippetIndex::Results typeQuery(SnippetIndex& index, const QString& query) {
    SnippetIndex::Results results;
    for (qsizetype n = 1; n <= query.size(); ++n)
        results = index.find(query.left(n), 500);
    return results;
}

} // namespace

class TestSnippetIndex : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void finds_data();
    void finds();
    void staysFresh_data();
    void staysFresh();
    void hugeSnippetAndPipeDoNotStopIndexing();
    void tooLargeSnippetIsKeptByName_data();
    void tooLargeSnippetIsKeptByName();
    void failuresAreRetried_data();
    void failuresAreRetried();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SnippetIndex> m_index;
    QString lib() const { return m_dir.path() + QStringLiteral("/Code/"); }
};

void TestSnippetIndex::initTestCase() {
    write(lib() + "Sorting/Bubble Sort.code", "Sub BubbleSort(a())\r\n  Dim Swapped\r\nEnd Sub");
    write(lib() + "Sorting/Quick/Partition.code",
          "' split around a pivot\nSub Partition()\nEnd Sub");
    write(lib() + "Strings/Accents.code", "' Texte accentu\xC3\xA9\nDim \xC3\x89t\xC3\xA9\n");
    write(lib() + "Strings/Legacy.code", "' Windows file\r\nDim caf\xE9 ' na\xEFve\r\n");
    write(lib() + "Strings/Pivot table.code", "Dim total\nfoo\nbar\n");
    write(lib() + "Strings/notes.txt", "pivot in a file that is not a snippet");
    write(lib() + "Strings/Long line.code", "\t " + QString(300, QChar(0x3000)).toUtf8() +
                                                QString(250, QChar(0xE9)).toUtf8() +
                                                " needleInLongLine\n");
    // Longer than the pieces a file is folded in: offsets and lines run on over them.
    write(lib() + "Strings/Many lines.code", QByteArray("\xC3\xA9\r\n").repeated(3 << 20) +
                                                 "Fin \xC3\x89"
                                                 "CLAIR");
    m_index = std::make_unique<SnippetIndex>(m_dir.path());
    m_index->refresh();
    QVERIFY(m_index->waitForIdle(30000));
    QCOMPARE(m_index->snippetCount(), 7);
}

void TestSnippetIndex::finds_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("one word, any case")
        << "SWAPPED" << QStringList{"Sorting//Bubble Sort:2:Dim Swapped"};
    QTest::newRow("words in any order, over name and text")
        << "sub bubble" << QStringList{"Sorting//Bubble Sort:1:Sub BubbleSort(a())"};
    QTest::newRow("name matches first, then category and name")
        << "pivot"
        << QStringList{"Strings//Pivot table", "Sorting/Quick/Partition:1:' split around a pivot"};
    QTest::newRow("accented capitals find small letters")
        << QString::fromUtf8("ACCENTU\xC3\x89")
        << QStringList{"Strings//Accents:1:' Texte accentu\xC3\xA9"};
    QTest::newRow("line shown as written")
        << QString::fromUtf8("\xC3\xA9t\xC3\xA9")
        << QStringList{"Strings//Accents:2:Dim \xC3\x89t\xC3\xA9"};
    QTest::newRow("windows-1252 file")
        << QString::fromUtf8("CAF\xC3\x89")
        << QStringList{"Strings//Legacy:2:Dim caf\xC3\xA9 ' na\xC3\xAFve"};
    // Wide spaces trimmed, then the first 200 characters.
    QTest::newRow("long line") << "needleinlongline"
                               << QStringList{"Strings//Long line:1:" + QString(200, QChar(0xE9))};
    QTest::newRow("end of a long file")
        << QString::fromUtf8("\xC3\xA9"
                             "clair")
        << QStringList{QString::fromUtf8("Strings//Many lines:3145729:Fin \xC3\x89"
                                         "CLAIR")};
    QTest::newRow("a word does not run over a line break") << "foobar" << QStringList{};
    QTest::newRow("words on both sides of a line break")
        << "bar foo" << QStringList{"Strings//Pivot table:2:foo"};
    QTest::newRow("one word missing") << "bubble pivot" << QStringList{};
    QTest::newRow("files that are not snippets") << "file that" << QStringList{};
    QTest::newRow("spaces only") << "   " << QStringList{};
}

void TestSnippetIndex::finds() {
    QFETCH(QString, query);
    QFETCH(QStringList, listed);
    // Typed a key at a time, each search refining the last, and searched afresh: same answer.
    const SnippetIndex::Results typed = typeQuery(*m_index, query);
    QCOMPARE(describe(typed), listed);
    QCOMPARE(typed.total, listed.size());
    m_index->find(QStringLiteral("zzz unrelated"), 500);
    QCOMPARE(describe(m_index->find(query, 500)), listed);
}

enum class Change {
    Saved,
    SavedAs,
    Deleted,
    CategoryAdded,
    CategoryRemoved,
    OutsideEdit,
    OutsideAdd,
    OutsideRemove
};
Q_DECLARE_METATYPE(Change)

void TestSnippetIndex::staysFresh_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");

    const QStringList one{"Cat//One:1:old words"};
    QTest::newRow("save") << Change::Saved << "new" << QStringList{}
                          << QStringList{"Cat//One:1:new words"};
    QTest::newRow("save: old text gone") << Change::Saved << "old" << one << QStringList{};
    QTest::newRow("save as") << Change::SavedAs << "old" << one
                             << (one + QStringList{"Cat//Two:1:old words"});
    QTest::newRow("delete") << Change::Deleted << "old" << one << QStringList{};
    QTest::newRow("add category over a folder with snippets")
        << Change::CategoryAdded << "kept" << QStringList{} << QStringList{"Made//Kept"};
    QTest::newRow("remove category") << Change::CategoryRemoved << "old" << one << QStringList{};
    QTest::newRow("outside edit, same size")
        << Change::OutsideEdit << "old" << one << QStringList{};
    QTest::newRow("outside add") << Change::OutsideAdd << "third" << QStringList{}
                                 << QStringList{"Cat//Third"};
    QTest::newRow("outside remove") << Change::OutsideRemove << "old" << one << QStringList{};
}

void TestSnippetIndex::staysFresh() {
    QFETCH(Change, change);
    QFETCH(QString, query);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);

    QTemporaryDir dir;
    const QString lib = dir.path() + QStringLiteral("/Code/");
    const QString one = lib + QStringLiteral("Cat/One.code");
    write(one, "old words");
    SnippetIndex index(dir.path());
    index.refresh();
    QVERIFY(index.waitForIdle(30000));
    QCOMPARE(describe(index.find(query, 500)), before);

    switch (change) {
    case Change::Saved:
        write(one, "new words");
        index.fileChanged(one);
        break;
    case Change::SavedAs:
        write(lib + "Cat/Two.code", "old words");
        index.fileChanged(lib + "Cat/Two.code");
        break;
    case Change::Deleted:
        QVERIFY(QFile::remove(one));
        index.fileChanged(one);
        break;
    case Change::CategoryAdded:
        write(lib + "Made/Kept.code", "");
        index.folderChanged(lib + "Made");
        break;
    case Change::CategoryRemoved:
        QVERIFY(QDir(lib + "Cat").removeRecursively());
        index.folderChanged(lib + "Cat");
        break;
    case Change::OutsideEdit: {
        write(one, "new words");
        // Within the file system's time granularity the size alone would not tell.
        QFile f(one);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(5),
                              QFileDevice::FileModificationTime));
        break;
    }
    case Change::OutsideAdd:
        write(lib + "Cat/Third.code", "");
        break;
    case Change::OutsideRemove:
        QVERIFY(QFile::remove(one));
        break;
    }
    // The program's own commands need no pass; outside changes are seen after one.
    if (change >= Change::OutsideEdit) {
        QCOMPARE(describe(index.find(query, 500)), before);
        index.refresh();
        QVERIFY(index.waitForIdle(30000));
    }
    QCOMPARE(describe(index.find(query, 500)), after);
}

void TestSnippetIndex::hugeSnippetAndPipeDoNotStopIndexing() {
    QTemporaryDir dir;
    const QString lib = dir.path() + QStringLiteral("/Code/Big/");
    QByteArray huge(50 << 20, 'x');
    for (qsizetype i = 80; i < huge.size(); i += 81)
        huge[i] = '\n';
    huge.append("\nneedleAtTheEnd");
    write(lib + "Huge.code", huge);
    QVERIFY(::mkfifo(QFile::encodeName(lib + "Pipe.code").constData(), 0666) == 0);
    write(lib + "After.code", "after the pipe");
    // Unreadable: found by its name, never by what it holds.
    write(lib + "Locked.code", "secret words");
    QVERIFY(QFile::setPermissions(lib + "Locked.code", {}));
    const PermissionBitsEnforced enforced; // the pass's thread starts with it

    SnippetIndex index(dir.path());
    index.refresh();
    QVERIFY(index.waitForIdle(120000));
    QCOMPARE(index.snippetCount(), 4);
    QCOMPARE(describe(index.find(QStringLiteral("locked"), 500)), QStringList{"Big//Locked"});
    QCOMPARE(index.find(QStringLiteral("secret"), 500).total, 0);
    const SnippetIndex::Results end = index.find(QStringLiteral("NEEDLEattheend"), 500);
    QCOMPARE(end.total, 1);
    QCOMPARE(end.listed.first().line, 647271);
    QCOMPARE(describe(index.find(QStringLiteral("pipe"), 500)),
             (QStringList{"Big//Pipe", "Big//After:1:after the pipe"}));
}

void TestSnippetIndex::tooLargeSnippetIsKeptByName_data() {
    QTest::addColumn<bool>("savedByProgram");
    QTest::newRow("found by a pass") << false;
    QTest::newRow("saved by the program") << true;
}

// A disk image or a log named like a snippet: reading it whole would take several times its
// size, and the program down with it.
void TestSnippetIndex::tooLargeSnippetIsKeptByName() {
    QFETCH(bool, savedByProgram);
    QTemporaryDir dir;
    const QString lib = dir.path() + QStringLiteral("/Code/Big/");
    write(lib + "Small.code", "small words");
    const QString image = lib + "Disk image.code";
    write(image, "needle at the start");
    QVERIFY(QFile::resize(image, qint64(3) << 30)); // sparse: no disk is used

    SnippetIndex index(dir.path());
    if (savedByProgram)
        index.fileChanged(image);
    else
        index.refresh();
    QVERIFY(index.waitForIdle(30000));
    QCOMPARE(describe(index.find(QStringLiteral("disk image"), 500)),
             QStringList{"Big//Disk image"});
    QCOMPARE(index.find(QStringLiteral("needle"), 500).total, 0);
    QCOMPARE(index.snippetCount(), savedByProgram ? 1 : 2);
    QVERIFY2(index.memoryBytes() < 16 << 20, qPrintable(QString::number(index.memoryBytes())));
}

void TestSnippetIndex::failuresAreRetried_data() {
    QTest::addColumn<QString>("locked"); // under the program's folder
    QTest::addColumn<bool>("fromTheStart");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("whileLocked");

    const QStringList one{"Cat//One:1:old words"};
    QTest::newRow("file unreadable at the first pass")
        << "Code/Cat/One.code" << true << "old" << QStringList{};
    QTest::newRow("category unreadable for a pass") << "Code/Cat" << false << "old" << one;
    QTest::newRow("sub-category unreadable for a pass")
        << "Code/Cat/Sub" << false << "deep" << QStringList{"Cat/Sub/Two:1:deep words"};
    QTest::newRow("library unreadable for a pass") << "Code" << false << "old" << one;
}

// What could not be read is read again by the next pass; what could not be listed stays as it
// was until it can.
void TestSnippetIndex::failuresAreRetried() {
    QFETCH(QString, locked);
    QFETCH(bool, fromTheStart);
    QFETCH(QString, query);
    QFETCH(QStringList, whileLocked);

    QTemporaryDir dir;
    write(dir.path() + "/Code/Cat/One.code", "old words");
    write(dir.path() + "/Code/Cat/Sub/Two.code", "deep words");
    const PermissionBitsEnforced enforced; // the index's threads start with it
    if (::geteuid() == 0 && !enforced.active())
        QSKIP("cannot drop the capabilities that bypass permission bits here");
    const QString path = dir.path() + QLatin1Char('/') + locked;
    const bool folder = QFileInfo(path).isDir();
    std::optional<ModeChange> lock;
    SnippetIndex index(dir.path());
    const auto pass = [&] {
        index.refresh();
        QVERIFY(index.waitForIdle(30000));
    };
    if (!fromTheStart)
        pass();
    lock.emplace(path, 0, folder ? 0755 : 0644);
    QVERIFY(lock->done());
    pass();
    QCOMPARE(describe(index.find(query, 500)), whileLocked);
    QCOMPARE(index.snippetCount(), 2);

    lock.reset();
    pass();
    QCOMPARE(describe(index.find(query, 500)).size(), 1);
}

QTEST_GUILESS_MAIN(TestSnippetIndex)
#include "test_snippetindex.moc"
