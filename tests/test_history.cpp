// SPDX-License-Identifier: MIT
// The library's history: each command read back through libgit2 and checked by git itself.
#include "history/history.h"
#include "support/gitcheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {

constexpr int Wait = 20000;

// A library in `Code/` and its history beside it, as the program lays them out.
struct Place {
    QTemporaryDir dir;
    QString library() const { return dir.filePath(QStringLiteral("Code/")); }
    QString git() const { return dir.filePath(QStringLiteral("history.git")); }
    QString file(const QString& rel) const { return library() + rel; }
    void write(const QString& rel, const QByteArray& bytes) const {
        QDir().mkpath(QFileInfo(file(rel)).absolutePath());
        QFile out(file(rel));
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
    }
    QString gitLine(const QString& arguments) const {
        return commandOutput(QStringLiteral("git --git-dir='%1' --work-tree='%2' %3")
                                 .arg(git(), library(), arguments));
    }
    bool fsck() const { return fsckStrict(git()); }
};

QByteArray readAll(const QString& path) {
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
}

// Text no line-end setting may touch: CRLF, a lone CR, bytes that are not UTF-8.
const QByteArray Tricky("Sub Main()\r\n  ' caf\xe9\r\n\rEnd Sub\r\n");

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void commandsAreRecorded_data();
    void commandsAreRecorded();
    void outsideChangesAndFirstVersion();
    void draftsKeepDiscardedText();
    void badStates_data();
    void badStates();
    void looseObjectsArePacked();
};

void TestHistory::commandsAreRecorded_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("gone");
    QTest::newRow("save") << "save"
                          << "Save Strings/Reverse"
                          << "Strings/Reverse.code" << false;
    QTest::newRow("save as, new") << "saveas"
                                  << "Save As Strings/Copy"
                                  << "Strings/Copy.code" << false;
    QTest::newRow("save in a sub-category") << "save-sub"
                                            << "Save Files/Old/Copy"
                                            << "Files/Old/Copy.code" << false;
    QTest::newRow("delete") << "delete"
                            << "Delete Strings/Reverse"
                            << "Strings/Reverse.code" << true;
    QTest::newRow("remove category") << "remove"
                                     << "Remove Category Strings"
                                     << "Strings/Reverse.code" << true;
    QTest::newRow("add category") << "add"
                                  << "Add Category Graphics"
                                  << "" << false;
    QTest::newRow("restore") << "restore"
                             << "Restore Strings/Reverse"
                             << "Strings/Reverse.code" << false;
}

void TestHistory::commandsAreRecorded() {
    QFETCH(QString, command);
    QFETCH(QString, subject);
    QFETCH(QString, path);
    QFETCH(bool, gone);
    Place place;
    place.write(QStringLiteral("Strings/Reverse.code"), "first\r\n");
    place.write(QStringLiteral("Files/Old/Copy.code"), "copy\n");
    const QByteArray before = "first\r\n";
    {
        History history(place.library(), place.git());
        QVERIFY(history.waitForIdle(Wait));
        QVERIFY(history.isOn());
        using A = History::Action;
        if (command == QLatin1String("save") || command == QLatin1String("saveas") ||
            command == QLatin1String("save-sub") || command == QLatin1String("restore")) {
            place.write(path, Tricky);
            const A action = command == QLatin1String("save")      ? A::Save
                             : command == QLatin1String("restore") ? A::Restore
                             : command == QLatin1String("saveas")  ? A::SaveAs
                                                                   : A::Save;
            history.recordCommand(action, path, Tricky);
        } else if (command == QLatin1String("delete")) {
            QFile::remove(place.file(path));
            history.recordCommand(A::Delete, path);
        } else if (command == QLatin1String("remove")) {
            QDir(place.file(QStringLiteral("Strings"))).removeRecursively();
            history.recordCommand(A::RemoveCategory, QStringLiteral("Strings"));
        } else {
            QDir().mkpath(place.file(QStringLiteral("Graphics")));
            history.recordCommand(A::AddCategory, QStringLiteral("Graphics"));
        }
        QVERIFY(history.waitForIdle(Wait));
        // What the program did is what it noticed: no "changed outside" follows a command.
        history.noticeOutsideChanges();
        QVERIFY(history.waitForIdle(Wait));
        QCOMPARE(history.takeReport(), QString());
    }
    QCOMPARE(place.gitLine(QStringLiteral("log -1 --format=%s")), subject);
    QCOMPARE(place.gitLine(QStringLiteral("log --format=%s")).count(QLatin1Char('\n')), 1);
    // The work tree is the library as it is now, and git agrees byte for byte.
    QCOMPARE(place.gitLine(QStringLiteral("status --porcelain")), QString());
    QVERIFY(place.fsck());

    HistoryReader reader(place.git());
    QVERIFY(reader.isOpen());
    if (path.isEmpty())
        return;
    const QList<HistoryVersion> versions = reader.versions(path);
    QVERIFY(!versions.isEmpty());
    QCOMPARE(versions.first().deleted, gone);
    if (gone) {
        // Deleted, then found in Deleted Snippets with the text it had.
        const QList<DeletedEntry> deleted = reader.deleted();
        QCOMPARE(deleted.size(), 1);
        QCOMPARE(deleted.first().category, command == QLatin1String("remove"));
        QCOMPARE(deleted.first().files, QStringList{path});
        QCOMPARE(reader.text(deleted.first().blobs.first()), std::optional(before));
    } else {
        QCOMPARE(reader.text(versions.first().blob), std::optional(Tricky));
        QCOMPARE(versions.first().size, qint64(Tricky.size()));
        QVERIFY(reader.deleted().isEmpty());
    }
}

void TestHistory::outsideChangesAndFirstVersion() {
    Place place;
    place.write(QStringLiteral("A/one.code"), "1");
    place.write(QStringLiteral("A/two.code"), "2");
    place.write(QStringLiteral("A/notes.txt"), "not a snippet");
    // Larger than a snippet may be: never hashed into the history.
    place.write(QStringLiteral("A/huge.code"), "");
    QVERIFY(QFile::resize(place.file(QStringLiteral("A/huge.code")), 200LL * 1024 * 1024));
    {
        History history(place.library(), place.git());
        QVERIFY(history.waitForIdle(Wait));
    }
    QCOMPARE(place.gitLine(QStringLiteral("log --format=%s")),
             QStringLiteral("First version of the library"));
    // Nothing inside the library: a ".git" there would show as a category.
    QCOMPARE(
        QDir(place.library()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{QStringLiteral("A")});
    QCOMPARE(place.gitLine(QStringLiteral("ls-tree -r --name-only HEAD")),
             QStringLiteral("A/one.code\nA/two.code"));

    // Changed while the program was closed: one commit at the next start, none after that.
    place.write(QStringLiteral("A/one.code"), "1 changed");
    QFile::remove(place.file(QStringLiteral("A/two.code")));
    place.write(QStringLiteral("B/three.code"), "3");
    {
        History history(place.library(), place.git());
        QVERIFY(history.waitForIdle(Wait));
        history.noticeOutsideChanges();
        QVERIFY(history.waitForIdle(Wait));
        // And while it runs.
        place.write(QStringLiteral("B/three.code"), "3 changed");
        history.noticeOutsideChanges();
        QVERIFY(history.waitForIdle(Wait));
    }
    QCOMPARE(place.gitLine(QStringLiteral("log --format=%s")),
             QStringLiteral("Changed outside Quillary\nChanged outside Quillary\n"
                            "First version of the library"));
    QCOMPARE(place.gitLine(QStringLiteral("show HEAD:B/three.code")), QStringLiteral("3 changed"));
    QCOMPARE(place.gitLine(QStringLiteral("status --porcelain -- '*.code'")),
             QStringLiteral("?? A/huge.code"));
    QVERIFY(place.fsck());
    HistoryReader reader(place.git());
    QCOMPARE(reader.deleted().value(0).files, QStringList{QStringLiteral("A/two.code")});
}

void TestHistory::draftsKeepDiscardedText() {
    Place place;
    place.write(QStringLiteral("A/one.code"), "saved");
    {
        History history(place.library(), place.git());
        history.recordDraft(QStringLiteral("A/one.code"), "saved"); // no edit: nothing
        history.recordDraft(QStringLiteral("A/one.code"), "typed\r\n");
        history.recordDraft(QStringLiteral("A/one.code"), "typed\r\n"); // the same again
        history.recordDraft(QString::fromLatin1(History::UnsavedText), "scratch");
        QVERIFY(history.waitForIdle(Wait));
    }
    // Quitting writes what was told just before.
    {
        History history(place.library(), place.git());
        history.recordDraft(QString::fromLatin1(History::ClipboardText), "clip");
    }
    QCOMPARE(readAll(place.file(QStringLiteral("A/one.code"))), QByteArray("saved"));
    QCOMPARE(place.gitLine(QStringLiteral("log --format=%s refs/quillary/drafts")),
             QStringLiteral("Draft of Code Clipboard\nDraft of Unsaved text\nDraft of A/one"));
    QCOMPARE(place.gitLine(QStringLiteral("log --format=%s HEAD")),
             QStringLiteral("First version of the library"));
    HistoryReader reader(place.git());
    const QList<HistoryVersion> versions = reader.versions(QStringLiteral("A/one.code"));
    // Both came within a second, which is as fine as a commit's time goes.
    QCOMPARE(versions.size(), 2);
    const bool draftFirst = versions.first().action == History::Action::Draft;
    const HistoryVersion& draft = versions[draftFirst ? 0 : 1];
    QCOMPARE(draft.action, History::Action::Draft);
    QCOMPARE(reader.text(draft.blob), std::optional(QByteArray("typed\r\n")));
    QCOMPARE(versions[draftFirst ? 1 : 0].action, History::Action::FirstVersion);
    QVERIFY(place.fsck());
}

void TestHistory::badStates_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("on");
    QTest::newRow("no history yet") << "none" << true;
    QTest::newRow("a stale index.lock") << "lock" << true;
    QTest::newRow("a corrupt HEAD") << "head" << false;
    QTest::newRow("not a repository") << "notrepo" << false;
    QTest::newRow("a second copy running") << "second" << false;
    QTest::newRow("an immutable data folder") << "immutable" << false;
    QTest::newRow("a full disk") << "full" << true;
}

void TestHistory::badStates() {
    QFETCH(QString, fault);
    QFETCH(bool, on);
    Place place;
    place.write(QStringLiteral("A/one.code"), "1");
    std::unique_ptr<SmallDisk> disk;
    if (fault == QLatin1String("full")) {
        QDir().mkpath(place.git());
        disk = std::make_unique<SmallDisk>(place.git());
        if (!disk->mounted())
            QSKIP("mounting a small tmpfs needs root");
    }
    if (fault != QLatin1String("none") && fault != QLatin1String("immutable")) {
        History first(place.library(), place.git());
        QVERIFY(first.waitForIdle(Wait));
    }
    std::unique_ptr<History> other;
    std::unique_ptr<Immutable> frozen;
    QByteArray untouched;
    if (fault == QLatin1String("lock")) {
        place.write(QStringLiteral("../history.git/index.lock"), "");
    } else if (fault == QLatin1String("head")) {
        place.write(QStringLiteral("../history.git/HEAD"), "\x01garbage");
        untouched = readAll(place.git() + QStringLiteral("/HEAD"));
    } else if (fault == QLatin1String("notrepo")) {
        QDir(place.git()).removeRecursively();
        place.write(QStringLiteral("../history.git/mine.txt"), "my own");
    } else if (fault == QLatin1String("second")) {
        other = std::make_unique<History>(place.library(), place.git());
        QVERIFY(other->waitForIdle(Wait));
    } else if (fault == QLatin1String("immutable")) {
        frozen = std::make_unique<Immutable>(place.dir.path());
        if (!frozen->on())
            QSKIP("chattr +i needs root and a file system that supports it");
    }
    const QStringList listingBefore = QDir(place.git()).entryList(QDir::AllEntries | QDir::Hidden);
    QString report;
    {
        History history(place.library(), place.git());
        QVERIFY(history.waitForIdle(Wait));
        QCOMPARE(history.isOn(), on);
        // The disk fills up while the program runs.
        if (fault == QLatin1String("full"))
            QVERIFY(fillUp(place.git() + QStringLiteral("/filler")));
        place.write(QStringLiteral("A/one.code"), "2");
        history.recordCommand(History::Action::Save, QStringLiteral("A/one.code"), "2");
        history.recordCommand(History::Action::Save, QStringLiteral("A/one.code"), "2");
        QVERIFY(history.waitForIdle(Wait));
        report = history.takeReport();
        // Said once, however often it fails.
        QCOMPARE(history.takeReport(), QString());
    }
    if (fault == QLatin1String("none") || fault == QLatin1String("lock")) {
        QCOMPARE(report, QString());
        QCOMPARE(place.gitLine(QStringLiteral("log -1 --format=%s")), QStringLiteral("Save A/one"));
        QVERIFY(!QFile::exists(place.git() + QStringLiteral("/index.lock")));
        QVERIFY(place.fsck());
        return;
    }
    QVERIFY2(!report.isEmpty(), "the user is told why");
    if (fault == QLatin1String("full")) {
        QVERIFY(report.contains(QLatin1String("Save A/one")));
        QFile::remove(place.git() + QStringLiteral("/filler"));
        QVERIFY(place.fsck());
        return;
    }
    QVERIFY(report.startsWith(QLatin1String("History is off")));
    if (fault == QLatin1String("second")) {
        QVERIFY(report.contains(QLatin1String("another copy")));
        QVERIFY(other->isOn());
    }
    // A folder the history cannot use is left exactly as it was.
    QCOMPARE(QDir(place.git()).entryList(QDir::AllEntries | QDir::Hidden), listingBefore);
    if (fault == QLatin1String("head"))
        QCOMPARE(readAll(place.git() + QStringLiteral("/HEAD")), untouched);
}

void TestHistory::looseObjectsArePacked() {
    Place place;
    place.write(QStringLiteral("A/one.code"), "0");
    {
        History history(place.library(), place.git());
        for (int i = 1; i <= 1200; ++i) {
            const QByteArray text = "version " + QByteArray::number(i);
            history.recordCommand(History::Action::Save, QStringLiteral("A/one.code"), text);
        }
        QVERIFY(history.waitForIdle(60000));
    }
    const QString count = place.gitLine(QStringLiteral("count-objects -v"));
    const int loose = count.section(QLatin1Char('\n'), 0, 0).section(QLatin1Char(' '), 1).toInt();
    QVERIFY2(loose < 4000, qPrintable(count));
    QVERIFY(count.contains(QLatin1String("packs: 1")) || count.contains(QLatin1String("packs: 2")));
    QCOMPARE(place.gitLine(QStringLiteral("show HEAD:A/one.code")), QStringLiteral("version 1200"));
    QCOMPARE(HistoryReader(place.git()).versions(QStringLiteral("A/one.code")).size(), 1201);
    QVERIFY(place.fsck());
}

QTEST_GUILESS_MAIN(TestHistory)
#include "test_history.moc"
