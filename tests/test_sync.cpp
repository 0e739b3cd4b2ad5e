// SPDX-License-Identifier: MIT
// Syncing two libraries through one bare repository, with real git on every side.
#include "history/history.h"
#include "history/sync.h"
#include "library/libraryfs.h"
#include "support/faults.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {

constexpr int Wait = 20000;
using Snippets = QMap<QString, QByteArray>; // path in the library -> bytes

QString output(const QString& command) {
    QByteArray out;
    if (FILE* pipe =
            ::popen((command + QStringLiteral(" 2>/dev/null")).toUtf8().constData(), "r")) {
        char buffer[4096];
        size_t got = 0;
        while ((got = ::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, qsizetype(got));
        ::pclose(pipe);
    }
    return QString::fromUtf8(out).trimmed();
}

bool fsck(const QString& gitFolder) {
    return run(QStringLiteral("git"), {QStringLiteral("--git-dir=") + gitFolder,
                                       QStringLiteral("fsck"), QStringLiteral("--strict")});
}

// One copy of the program's library: `Code/` and its history beside it, its author on `host`.
struct Side {
    QTemporaryDir dir;
    QString library() const { return dir.filePath(QStringLiteral("Code/")); }
    QString git() const { return dir.filePath(QStringLiteral("history.git")); }

    void init(const QString& who) {
        QVERIFY(QDir().mkpath(library()));
        { History made(library(), git(), 600000); } // made, never looked at: no first version
        QVERIFY(run(QStringLiteral("git"),
                    {QStringLiteral("--git-dir=") + git(), QStringLiteral("config"),
                     QStringLiteral("user.email"), who}));
        QVERIFY(run(QStringLiteral("git"),
                    {QStringLiteral("--git-dir=") + git(), QStringLiteral("config"),
                     QStringLiteral("user.name"), who.section(QLatin1Char('@'), 0, 0)}));
    }
    void put(const QString& path, const QByteArray& bytes) const {
        const QString full = library() + path;
        if (bytes.isNull()) {
            QFile::remove(full);
            return;
        }
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile out(full);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
    }
    // Changes made outside, recorded by a look at the library. A path ending in '/' is a
    // category removed; a path starting with '!' is written after the look, so it is an edit
    // not yet recorded.
    void change(const Snippets& changes) {
        {
            History history(library(), git());
            QVERIFY(history.waitForIdle(Wait));
            for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
                if (it.key().endsWith(QLatin1Char('/')))
                    QVERIFY(QDir(library() + it.key()).removeRecursively());
                else if (!it.key().startsWith(QLatin1Char('!')))
                    put(it.key(), it.value());
            }
            history.noticeOutsideChanges();
            QVERIFY(history.waitForIdle(Wait));
            QCOMPARE(history.takeReport(), QString());
        }
        for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
            if (it.key().startsWith(QLatin1Char('!')))
                put(it.key().mid(1), it.value());
        }
    }
    SyncOutcome sync(const QString& remote, LibrarySync::Step cancelAt = LibrarySync::Step(-1)) {
        LibraryFs fs(LibraryLocations{library(), {}});
        LibrarySync syncing(git(), fs);
        std::atomic<bool> cancel = false;
        syncing.beforeStep = [&](LibrarySync::Step step) {
            if (step == cancelAt)
                cancel.store(true, std::memory_order_release);
        };
        return syncing.run(remote, cancel);
    }
    Snippets snippets() const {
        Snippets found;
        QDirIterator it(library(), {QStringLiteral("*.code")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile in(path);
            if (in.open(QIODevice::ReadOnly))
                found.insert(path.mid(library().size()), in.readAll());
        }
        return found;
    }
    QString head() const {
        return output(
            QStringLiteral("git --git-dir='%1' rev-parse --verify -q refs/heads/main").arg(git()));
    }
};

QString describe(const SyncOutcome& outcome) {
    return QStringLiteral("result %1, failure \"%2\", copies %3")
        .arg(int(outcome.result))
        .arg(outcome.failure, outcome.copies.join(QLatin1Char(',')));
}

} // namespace

class TestSync : public QObject {
    Q_OBJECT
private slots:
    void twoLibrariesAgree_data();
    void twoLibrariesAgree();
};

void TestSync::twoLibrariesAgree_data() {
    QTest::addColumn<Snippets>("common"); // recorded on A, synced to the remote, then to B
    QTest::addColumn<Snippets>("onA");    // then changed on A and on B, B synced first
    QTest::addColumn<Snippets>("onB");
    QTest::addColumn<QString>("twist");      // "", "no repository", "cancel"
    QTest::addColumn<QStringList>("copies"); // what A's sync keeps of B's under a new name
    QTest::addColumn<int>("parents");        // of the commit A's sync made; 0 when it made none
    QTest::addColumn<Snippets>("expected");  // both libraries, in the end
    const QByteArray gone;                   // null: deleted

    QTest::newRow("first sync to an empty remote")
        << Snippets{} << Snippets{{"S/a.code", "a"}, {"S/b.code", "b\r\n"}} << Snippets{}
        << QString() << QStringList() << 0 << Snippets{{"S/a.code", "a"}, {"S/b.code", "b\r\n"}};
    QTest::newRow("first sync of an empty library from a remote")
        << Snippets{} << Snippets{} << Snippets{{"Files/Old/Copy.code", "x"}, {"S/a.code", "a"}}
        << QString() << QStringList() << 0
        << Snippets{{"Files/Old/Copy.code", "x"}, {"S/a.code", "a"}};
    QTest::newRow("different files on each side")
        << Snippets{{"S/a.code", "a"}, {"S/b.code", "b"}} << Snippets{{"S/a.code", "a2"}}
        << Snippets{{"S/b.code", "b2"}, {"T/c.code", "c"}} << QString() << QStringList() << 2
        << Snippets{{"S/a.code", "a2"}, {"S/b.code", "b2"}, {"T/c.code", "c"}};
    QTest::newRow("same snippet on both sides")
        << Snippets{{"S/a.code", "a"}, {"S/a (deskb).code", "an older copy"}}
        << Snippets{{"S/a.code", "mine"}} << Snippets{{"S/a.code", "theirs\xe9"}} << QString()
        << QStringList{"S/a (deskb 2).code"} << 2
        << Snippets{{"S/a.code", "mine"},
                    {"S/a (deskb).code", "an older copy"},
                    {"S/a (deskb 2).code", "theirs\xe9"}};
    QTest::newRow("an edit against a deletion")
        << Snippets{{"S/a.code", "a"}, {"S/b.code", "b"}, {"S/c.code", "c"}}
        << Snippets{{"S/a.code", gone}, {"S/b.code", "b2"}}
        << Snippets{{"S/a.code", "a2"}, {"S/b.code", gone}} << QString() << QStringList() << 2
        << Snippets{{"S/a.code", "a2"}, {"S/b.code", "b2"}, {"S/c.code", "c"}};
    QTest::newRow("a category removed against a snippet added to it")
        << Snippets{{"G/x.code", "x"}, {"G/y.code", "y"}, {"H/h.code", "h"}} << Snippets{{"G/", {}}}
        << Snippets{{"G/z.code", "z"}} << QString() << QStringList() << 2
        << Snippets{{"G/z.code", "z"}, {"H/h.code", "h"}};
    QTest::newRow("unrelated histories")
        << Snippets{} << Snippets{{"S/a.code", "mine"}, {"S/only.code", "o"}}
        << Snippets{{"S/a.code", "theirs"}, {"T/t.code", "t"}} << QString()
        << QStringList{"S/a (deskb).code"} << 2
        << Snippets{{"S/a.code", "mine"},
                    {"S/a (deskb).code", "theirs"},
                    {"S/only.code", "o"},
                    {"T/t.code", "t"}};
    QTest::newRow("an edit not yet recorded against an arriving version")
        << Snippets{{"S/a.code", "a"}, {"S/b.code", "b"}}
        << Snippets{{"!S/a.code", "not yet recorded"}} << Snippets{{"S/a.code", "a2"}} << QString()
        << QStringList{"S/a (deskb).code"} << 1
        << Snippets{
               {"S/a.code", "not yet recorded"}, {"S/a (deskb).code", "a2"}, {"S/b.code", "b"}};
    QTest::newRow("a remote that is not a repository")
        << Snippets{} << Snippets{{"S/a.code", "a"}} << Snippets{}
        << QStringLiteral("no repository") << QStringList() << 0 << Snippets{};
    QTest::newRow("cancelled before the push")
        << Snippets{{"S/a.code", "a"}} << Snippets{{"S/a.code", "a2"}}
        << Snippets{{"S/b.code", "b"}} << QStringLiteral("cancel") << QStringList() << 2
        << Snippets{{"S/a.code", "a2"}, {"S/b.code", "b"}};
}

void TestSync::twoLibrariesAgree() {
    QFETCH(Snippets, common);
    QFETCH(Snippets, onA);
    QFETCH(Snippets, onB);
    QFETCH(QString, twist);
    QFETCH(QStringList, copies);
    QFETCH(int, parents);
    QFETCH(Snippets, expected);
    QTemporaryDir remoteDir;
    const QString remote = remoteDir.filePath(QStringLiteral("remote.git"));
    QVERIFY(run(QStringLiteral("git"),
                {QStringLiteral("init"), QStringLiteral("--bare"), QStringLiteral("-q"), remote}));
    Side a;
    Side b;
    a.init(QStringLiteral("ann@deska"));
    b.init(QStringLiteral("bea@deskb"));

    if (!common.isEmpty()) {
        a.change(common);
        QVERIFY2(a.sync(remote).ok(), "A's first sync");
        QVERIFY2(b.sync(QStringLiteral("file://") + remote).ok(), "B's first sync");
        QCOMPARE(b.snippets(), common);
    }
    if (!onA.isEmpty())
        a.change(onA);
    if (!onB.isEmpty())
        b.change(onB);
    const SyncOutcome first = b.sync(remote);
    QVERIFY2(first.ok(), qPrintable(describe(first)));

    const Snippets aBefore = a.snippets();
    const QString aHead = a.head();
    const QString remoteHead =
        output(QStringLiteral("git --git-dir='%1' rev-parse main").arg(remote));
    if (twist == QLatin1String("no repository")) {
        const QString notThere = remoteDir.filePath(QStringLiteral("plain"));
        QVERIFY(QDir().mkpath(notThere));
        const SyncOutcome refused = a.sync(notThere);
        QCOMPARE(refused.result, SyncOutcome::Result::Failed);
        QVERIFY2(refused.failure.contains(notThere), qPrintable(refused.failure));
        QVERIFY(QDir(notThere).isEmpty());
        QCOMPARE(a.snippets(), aBefore);
        QCOMPARE(a.head(), aHead);
        QVERIFY(fsck(a.git()));
        return;
    }
    if (twist == QLatin1String("cancel")) {
        const SyncOutcome stopped = a.sync(remote, LibrarySync::Step::Push);
        QCOMPARE(stopped.result, SyncOutcome::Result::Cancelled);
        QCOMPARE(a.snippets(), aBefore);
        QCOMPARE(a.head(), aHead);
        QCOMPARE(output(QStringLiteral("git --git-dir='%1' rev-parse main").arg(remote)),
                 remoteHead);
    }

    const SyncOutcome synced = a.sync(remote);
    QVERIFY2(synced.ok(), qPrintable(describe(synced)));
    QCOMPARE(synced.copies, copies);
    for (const QString& copy : copies)
        QVERIFY(synced.written.contains(copy));
    const QString message =
        output(QStringLiteral("git --git-dir='%1' log -1 --format=%B main").arg(a.git()));
    QCOMPARE(message.contains(QLatin1String("Quillary-Action: sync")), parents > 0);
    if (parents > 0) {
        const QString parentLine =
            output(QStringLiteral("git --git-dir='%1' log -1 --format=%P main").arg(a.git()));
        QCOMPARE(int(parentLine.split(QLatin1Char(' ')).size()), parents);
        for (const QString& copy : copies)
            QVERIFY(message.contains(QLatin1String("Quillary-Path: ") + copy));
    }
    // What the sync wrote is what its history says: a look at the library finds nothing new,
    // apart from the edit that was not recorded yet.
    const QString synchedHead = a.head();
    a.change({});
    const bool unrecorded = std::any_of(onA.keyBegin(), onA.keyEnd(), [](const QString& path) {
        return path.startsWith(QLatin1Char('!'));
    });
    QCOMPARE(a.head() == synchedHead, !unrecorded);

    QVERIFY(a.sync(remote).ok());
    QVERIFY(b.sync(remote).ok());
    QCOMPARE(a.snippets(), expected);
    QCOMPARE(b.snippets(), expected);
    QCOMPARE(a.head(), b.head());
    QCOMPARE(output(QStringLiteral("git --git-dir='%1' rev-parse main").arg(remote)), a.head());
    for (const QString& git : {a.git(), b.git(), remote})
        QVERIFY2(fsck(git), qPrintable(git));
}

QTEST_GUILESS_MAIN(TestSync)
#include "test_sync.moc"
