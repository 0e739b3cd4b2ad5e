// SPDX-License-Identifier: MIT
// The library's history: each command read back through libgit2 and checked by git itself.
#include "history/history.h"
#include "support/gitcheck.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <thread>

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

// The texts the history holds for a snippet, sorted, drafts left out.
QList<QByteArray> textsOf(const QString& git, const QString& path) {
    HistoryReader reader(git);
    QList<QByteArray> texts;
    for (const HistoryVersion& version : reader.versions(path)) {
        if (version.action != History::Action::Draft && !version.deleted)
            texts.append(reader.text(version.blob).value_or("<unreadable>"));
    }
    // Commits within one second have no order of their own.
    std::sort(texts.begin(), texts.end());
    return texts;
}

void setModified(const QString& path, const QDateTime& when) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
}

// A user's git settings that would each rewrite what is recorded, were they obeyed.
void writeHostileSettings(const QString& config, bool on) {
    const QString attributes = config + QStringLiteral("/git/attributes");
    const QString settings = config + QStringLiteral("/git/config");
    if (!on) {
        QFile::remove(attributes);
        QFile::remove(settings);
        return;
    }
    QFile a(attributes);
    QVERIFY(a.open(QIODevice::WriteOnly));
    a.write("* text=auto\n*.code filter=upper ident\n");
    QFile c(settings);
    QVERIFY(c.open(QIODevice::WriteOnly));
    c.write("[core]\n\tautocrlf = true\n\tignorecase = true\n\teol = lf\n"
            "[filter \"upper\"]\n\tclean = tr a-z A-Z\n\tsmudge = cat\n");
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { m_config = ownGitHome(); }
    void commandsAreRecorded_data();
    void commandsAreRecorded();
    void outsideChangesAndFirstVersion();
    void draftsKeepDiscardedText();
    void badStates_data();
    void badStates();
    void looseObjectsArePacked();
    void everyVersionIsKept_data();
    void everyVersionIsKept();
    void locks_data();
    void locks();
    void lockRenewal_data();
    void lockRenewal();

private:
    QString m_config;
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
    QTest::newRow("git's index.lock, no crash") << "lock" << true;
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
        // Quillary did not crash: the lock is the user's own git's.
        QCOMPARE(QFile::exists(place.git() + QStringLiteral("/index.lock")),
                 fault == QLatin1String("lock"));
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
        QVERIFY(report.contains(QSysInfo::machineHostName()));
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
    // A category large enough that the history writes its tree itself, in pieces: saves at its
    // start, middle and end each change another piece.
    const QStringList saved{QStringLiteral("A/one.code"), QStringLiteral("A/f0000.code"),
                            QStringLiteral("A/f1000.code"), QStringLiteral("A/f1999.code")};
    for (int i = 0; i < 2000; ++i)
        place.write(QStringLiteral("A/f%1.code").arg(i, 4, 10, QLatin1Char('0')), "0");
    {
        History history(place.library(), place.git());
        QVERIFY(history.waitForIdle(Wait));
        // The History window reads on a handle of its own while the objects move into a pack:
        // every version it lists stays readable.
        std::atomic<bool> done = false;
        int reads = 0;
        QStringList unreadable;
        std::thread window([&] {
            HistoryReader reader(place.git());
            while (!done.load() && unreadable.isEmpty()) {
                for (const HistoryVersion& version : reader.versions(QStringLiteral("A/one.code")))
                    if (!reader.text(version.blob))
                        unreadable.append(version.blob);
                ++reads;
            }
        });
        for (int i = 1; i <= 1200; ++i) {
            const QByteArray text = "version " + QByteArray::number(i);
            history.recordCommand(History::Action::Save, saved[i % saved.size()], text);
        }
        const bool idle = history.waitForIdle(300000); // 1,200 commits, slow under ThreadSanitizer
        done = true;
        window.join();
        QVERIFY(idle);
        QVERIFY(reads > 1);
        QCOMPARE(unreadable, QStringList());
    }
    const QString count = place.gitLine(QStringLiteral("count-objects -v"));
    const int loose = count.section(QLatin1Char('\n'), 0, 0).section(QLatin1Char(' '), 1).toInt();
    QVERIFY2(loose < 4000, qPrintable(count));
    QVERIFY(count.contains(QLatin1String("packs: 1")) || count.contains(QLatin1String("packs: 2")));
    for (int i = 1197; i <= 1200; ++i)
        QCOMPARE(place.gitLine(QStringLiteral("show HEAD:") + saved[i % saved.size()]),
                 QStringLiteral("version %1").arg(i));
    const HistoryReader reader(place.git());
    for (const QString& path : saved) {
        const QList<HistoryVersion> versions = reader.versions(path);
        QCOMPARE(versions.size(), 301);
        QCOMPARE(reader.text(versions[150].blob).value_or("?").left(8), QByteArray("version "));
    }
    QVERIFY(place.fsck());
}

void TestHistory::everyVersionIsKept_data() {
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QList<QByteArray>>("texts"); // sorted
    using L = QList<QByteArray>;
    const QString one = QStringLiteral("A/one.code");
    QTest::newRow("outside, then save") << "save" << one << L{"A\r\n", "B\r\n", "C\r\n"};
    QTest::newRow("outside, then save as over it")
        << "saveas" << one << L{"A\r\n", "B\r\n", "C\r\n"};
    QTest::newRow("outside, then restore") << "restore" << one << L{"A\r\n", "B\r\n", "A\r\n"};
    QTest::newRow("outside, then delete") << "delete" << one << L{"A\r\n", "B\r\n"};
    QTest::newRow("outside, then remove category") << "remove" << one << L{"A\r\n", "B\r\n"};
    QTest::newRow("a save during the first recording") << "first" << one << L{"A\r\n", "C\r\n"};
    QTest::newRow("a save during a look") << "look" << one << L{"A\r\n", "C\r\n"};
    QTest::newRow("quit before the first recording") << "quit" << one << L{"A\r\n", "C\r\n"};
    QTest::newRow("quit during the first recording") << "quit-look" << one << L{"A\r\n", "C\r\n"};
    QTest::newRow("files vanishing during the first look")
        << "vanish" << one << L{"A\r\n", "C\r\n"};
    QTest::newRow("hostile git settings") << "hostile" << one << L{"A\r\n", Tricky};
    QTest::newRow("links") << "links" << QStringLiteral("Common/R.code") << L{"R", "R2"};
    QTest::newRow("a line break in a name")
        << "newline" << QStringLiteral("A/two\nlines.code") << L{"2", "C\r\n"};
}

// Each command of the program, told as the window tells it: what the disk held before the
// command writes, then the command. Whatever was on disk at some time comes back.
void TestHistory::everyVersionIsKept() {
    QFETCH(QString, row);
    QFETCH(QString, path);
    QFETCH(QList<QByteArray>, texts);
    using A = History::Action;
    Place place;
    const QString one = QStringLiteral("A/one.code");
    place.write(one, "A\r\n");
    place.write(QStringLiteral("A/two\nlines.code"), "2");
    if (row == QLatin1String("hostile")) {
        writeHostileSettings(m_config, true);
        place.write(QStringLiteral(".gitattributes"), "*.code text eol=lf\n");
        place.write(QStringLiteral("A/Case.code"), "upper");
        place.write(QStringLiteral("A/case.code"), "lower");
    } else if (row == QLatin1String("links")) {
        place.write(path, "R");
        place.write(QStringLiteral("RealCat/X.code"), "X");
        QDir().mkpath(place.file(QStringLiteral("Linked")));
        QVERIFY(QFile::link(QStringLiteral("../Common/R.code"),
                            place.file(QStringLiteral("Linked/R.code"))));
        QVERIFY(QFile::link(QStringLiteral("RealCat"), place.file(QStringLiteral("LinkCat"))));
    } else if (row == QLatin1String("vanish") || row == QLatin1String("quit-look")) {
        for (int i = 0; i < 3000; ++i)
            place.write(QStringLiteral("Gone/%1.code").arg(i), QByteArray::number(i));
    }
    // The window's way: what was there, the write, then the command.
    const auto command = [&](History& history, A action, const QString& at,
                             const QByteArray& bytes) {
        const QByteArray was = readAll(place.file(at));
        history.recordOnDisk({at}, {was}, {was != "<missing>"});
        place.write(at, bytes);
        history.recordCommand(action, at, bytes);
    };
    const bool quit = row.startsWith(QLatin1String("quit"));
    const QString two = QStringLiteral("A/two\nlines.code");
    QString report;
    {
        std::unique_ptr<History> history;
        if (row == QLatin1String("first")) {
            history = std::make_unique<History>(place.library(), place.git(), 200);
            command(*history, A::Save, one, "C\r\n");
        } else if (quit) {
            // Quitting before the first look is done, or while it runs, with commands waiting.
            history = std::make_unique<History>(place.library(), place.git(),
                                                row == QLatin1String("quit") ? 600000 : 0);
            if (row == QLatin1String("quit-look"))
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
            command(*history, A::Save, one, "C\r\n");
            history->recordOnDisk({two}, {"2"}, {true});
            QFile::remove(place.file(two));
            history->recordCommand(A::Delete, two);
            history.reset();
            history = std::make_unique<History>(place.library(), place.git());
        } else if (row == QLatin1String("vanish")) {
            std::atomic<bool> go = false;
            std::thread remover([&] {
                while (!go.load())
                    std::this_thread::yield();
                // Spread over the whole look, as another program deleting a tree is.
                for (int i = 2999; i >= 0; --i) {
                    QFile::remove(place.file(QStringLiteral("Gone/%1.code").arg(i)));
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                }
            });
            history = std::make_unique<History>(place.library(), place.git());
            go = true;
            remover.join();
            history->noticeOutsideChanges(); // what went after the first look
        } else {
            history = std::make_unique<History>(place.library(), place.git());
        }
        QVERIFY(history->waitForIdle(Wait));
        QVERIFY(history->isOn());
        if (row == QLatin1String("hostile")) {
            // The user's own attributes for the history, put back by each start.
            history.reset();
            place.write(QStringLiteral("../history.git/info/attributes"), "*.code text eol=lf\n");
            history = std::make_unique<History>(place.library(), place.git());
        }
        History& h = *history;
        if (row == QLatin1String("look")) {
            h.noticeOutsideChanges();
            command(h, A::Save, one, "C\r\n");
        } else if (row == QLatin1String("hostile")) {
            command(h, A::Save, one, Tricky);
        } else if (row == QLatin1String("links")) {
            command(h, A::Save, path, "R2"); // a save through the link lands here
            QVERIFY(h.waitForIdle(Wait));
            QFile::remove(place.file(QStringLiteral("Linked/R.code")));
            h.recordCommand(A::Delete, QStringLiteral("Linked/R.code"));
        } else if (row == QLatin1String("newline")) {
            command(h, A::Save, path, "C\r\n");
        } else if (row == QLatin1String("vanish")) {
            command(h, A::Save, one, "C\r\n");
        } else if (row != QLatin1String("first") && !quit) {
            place.write(one, "B\r\n"); // another program
            if (row == QLatin1String("save"))
                command(h, A::Save, one, "C\r\n");
            else if (row == QLatin1String("saveas"))
                command(h, A::SaveAs, one, "C\r\n");
            else if (row == QLatin1String("restore"))
                command(h, A::Restore, one, "A\r\n");
            else if (row == QLatin1String("delete")) {
                h.recordOnDisk({one}, {"B\r\n"}, {true});
                QFile::remove(place.file(one));
                h.recordCommand(A::Delete, one);
            } else {
                h.recordOnDisk({one, QStringLiteral("A/two\nlines.code")}, {"B\r\n", "2"},
                               {true, true});
                QDir(place.file(QStringLiteral("A"))).removeRecursively();
                h.recordCommand(A::RemoveCategory, QStringLiteral("A"));
            }
        }
        QVERIFY(h.waitForIdle(Wait));
        // git's index follows every step, so the user's git sees nothing to commit.
        QCOMPARE(place.gitLine(QStringLiteral("status --porcelain")), QString());
        // The program's own writes are never taken for another program's.
        const QString before = place.gitLine(QStringLiteral("rev-parse HEAD"));
        h.noticeOutsideChanges();
        QVERIFY(h.waitForIdle(Wait));
        QCOMPARE(place.gitLine(QStringLiteral("rev-parse HEAD")), before);
        report = h.takeReport();
    }
    writeHostileSettings(m_config, false);
    QCOMPARE(report, QString());
    std::sort(texts.begin(), texts.end());
    QCOMPARE(textsOf(place.git(), path), texts);
    QCOMPARE(place.gitLine(QStringLiteral("status --porcelain")), QString());
    QVERIFY(place.fsck());
    const QList<DeletedEntry> deleted = HistoryReader(place.git()).deleted();
    if (row == QLatin1String("delete") || row == QLatin1String("remove") || quit) {
        QCOMPARE(deleted.size(), 1);
        QCOMPARE(HistoryReader(place.git()).text(deleted.first().blobs.first()),
                 std::optional(QByteArray(quit ? "2" : "B\r\n")));
    } else if (row == QLatin1String("vanish")) {
        // Those the first look still found, recorded, then seen gone, each with its text.
        for (const DeletedEntry& entry : deleted) {
            QVERIFY2(entry.path.startsWith(QLatin1String("Gone/")), qPrintable(entry.path));
            const QString number = entry.path.mid(5).chopped(5);
            QCOMPARE(HistoryReader(place.git()).text(entry.blobs.first()),
                     std::optional(number.toUtf8()));
        }
    } else {
        // A link's target is no text to give back.
        QCOMPARE(deleted.size(), 0);
    }
    if (row == QLatin1String("first") || row == QLatin1String("look") || quit)
        QVERIFY(
            !place.gitLine(QStringLiteral("log --format=%s")).contains(QLatin1String("outside")));
    // The next start recorded the rest of the library.
    if (quit)
        QCOMPARE(
            place.gitLine(QStringLiteral("ls-tree -r --name-only HEAD")).count(QLatin1Char('\n')),
            row == QLatin1String("quit") ? 0 : 3000);
    if (row == QLatin1String("hostile")) {
        QCOMPARE(
            place.gitLine(QStringLiteral("ls-tree --name-only HEAD A/")).count(QLatin1Char('\n')),
            3);
    } else if (row == QLatin1String("links")) {
        QVERIFY(textsOf(place.git(), QStringLiteral("Linked/R.code")).isEmpty());
        // What is saved through a linked category is recorded where it lands.
        QCOMPARE(place.gitLine(QStringLiteral("ls-tree -r --name-only HEAD RealCat LinkCat")),
                 QStringLiteral("RealCat/X.code"));
    }
}

void TestHistory::locks_data() {
    QTest::addColumn<QString>("holder");    // the history's lock: "" none, else its machine
    QTest::addColumn<int>("lockAgeMin");    // minutes since it was renewed
    QTest::addColumn<int>("gitLockAgeMin"); // index.lock's age; -1 none
    QTest::addColumn<bool>("on");
    QTest::addColumn<bool>("gitLockKept");
    QTest::newRow("another machine, renewed now") << "far-away" << 0 << -1 << false << false;
    QTest::newRow("another machine, gone ten minutes") << "far-away" << 10 << -1 << true << false;
    QTest::newRow("the user's git at work") << "" << 0 << 0 << true << true;
    QTest::newRow("a crashed copy's leftovers") << "far-away" << 10 << 11 << true << false;
    QTest::newRow("git at work after a crash") << "far-away" << 10 << 0 << true << true;
}

void TestHistory::locks() {
    QFETCH(QString, holder);
    QFETCH(int, lockAgeMin);
    QFETCH(int, gitLockAgeMin);
    QFETCH(bool, on);
    QFETCH(bool, gitLockKept);
    Place place;
    place.write(QStringLiteral("A/one.code"), "1");
    {
        History first(place.library(), place.git());
        QVERIFY(first.waitForIdle(Wait));
    }
    const QDateTime now = QDateTime::currentDateTime();
    const QString lock = place.git() + QStringLiteral("/quillary.lock");
    const QString gitLock = place.git() + QStringLiteral("/index.lock");
    if (!holder.isEmpty()) {
        place.write(QStringLiteral("../history.git/quillary.lock"),
                    "4000000\nquillary\n" + holder.toUtf8() + "\n");
        setModified(lock, now.addSecs(-60 * lockAgeMin));
    }
    if (gitLockAgeMin >= 0) {
        place.write(QStringLiteral("../history.git/index.lock"), "");
        setModified(gitLock, now.addSecs(-60 * gitLockAgeMin));
    }
    History history(place.library(), place.git());
    QVERIFY(history.waitForIdle(Wait));
    QCOMPARE(history.isOn(), on);
    if (!on) {
        // The message names the machine and when it last renewed the lock; the user may take
        // the history over from it.
        const QString report = history.takeReport();
        QVERIFY2(report.contains(holder), qPrintable(report));
        QVERIFY(report.contains(
            QLocale().toString(QFileInfo(lock).lastModified(), QLocale::ShortFormat)));
        QCOMPARE(history.lockHolder().value_or(History::LockHolder{}).host, holder);
        history.takeOver();
        QVERIFY(history.waitForIdle(Wait));
        QVERIFY(history.isOn());
    }
    QCOMPARE(history.takeReport(), QString());
    QCOMPARE(QFile::exists(gitLock), gitLockKept);
    place.write(QStringLiteral("A/one.code"), "2");
    history.recordCommand(History::Action::Save, QStringLiteral("A/one.code"), "2");
    QVERIFY(history.waitForIdle(Wait));
    QCOMPARE(place.gitLine(QStringLiteral("log -1 --format=%s")), QStringLiteral("Save A/one"));
    QVERIFY(place.fsck());
}

void TestHistory::lockRenewal_data() {
    QTest::addColumn<bool>("takenOver"); // another copy's lock replaced this one's meanwhile
    QTest::newRow("renewed while it runs") << false;
    QTest::newRow("taken over by another copy") << true;
}

// A copy that runs for long keeps its lock fresh, so no other copy takes it for stale; one whose
// lock another copy took over stops recording.
void TestHistory::lockRenewal() {
    QFETCH(bool, takenOver);
    Place place;
    place.write(QStringLiteral("A/one.code"), "1");
    const QString lock = place.git() + QStringLiteral("/quillary.lock");
    History history(place.library(), place.git());
    QVERIFY(history.waitForIdle(Wait));
    // Ten minutes since the last renewal, as after a long first recording or a sync.
    setModified(lock, QDateTime::currentDateTime().addSecs(-600));
    if (takenOver)
        place.write(QStringLiteral("../history.git/quillary.lock"),
                    "4000000\nquillary\nfar-away\n");
    history.setLockRenewal(std::chrono::milliseconds(50));
    if (!takenOver) {
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo(lock).lastModified().secsTo(QDateTime::currentDateTime()) < 60, Wait);
        History second(place.library(), place.git());
        QVERIFY(second.waitForIdle(Wait));
        QVERIFY(!second.isOn());
        QCOMPARE(second.lockHolder().value_or(History::LockHolder{}).host,
                 QSysInfo::machineHostName());
    } else {
        QTest::qWait(300);
    }
    place.write(QStringLiteral("A/one.code"), "2");
    history.recordCommand(History::Action::Save, QStringLiteral("A/one.code"), "2");
    QVERIFY(history.waitForIdle(Wait));
    QCOMPARE(history.isOn(), !takenOver);
    const QString report = history.takeReport();
    QVERIFY2(takenOver == report.contains(QLatin1String("took over")), qPrintable(report));
    QCOMPARE(place.gitLine(QStringLiteral("log -1 --format=%s")),
             takenOver ? QStringLiteral("First version of the library")
                       : QStringLiteral("Save A/one"));
    QVERIFY(place.fsck());
}

QTEST_GUILESS_MAIN(TestHistory)
#include "test_history.moc"
