// SPDX-License-Identifier: MIT
// The sync's decisions on their own: three versions of the library and what the disk holds in,
// what the library and its history are to hold out. No repository, no remote.
#include "history/syncmerge.h"

#include <QTest>

using namespace syncmerge;

namespace {

using Texts = QMap<QByteArray, QByteArray>; // path -> text; a null text: not there

Entry entryOf(const QByteArray& text) {
    Entry entry;
    git_odb_hash(&entry.id, text.constData(), size_t(text.size()), GIT_OBJECT_BLOB);
    return entry;
}

Files filesOf(const Texts& texts) {
    Files files;
    for (auto it = texts.cbegin(); it != texts.cend(); ++it)
        files.insert(it.key(), entryOf(it.value()));
    return files;
}

} // namespace

class TestSyncMerge : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { git_libgit2_init(); }
    void decisions_data();
    void decisions();
};

void TestSyncMerge::decisions_data() {
    QTest::addColumn<Texts>("base");
    QTest::addColumn<Texts>("ours"); // on disk too, apart from `disk`
    QTest::addColumn<Texts>("theirs");
    QTest::addColumn<Texts>("disk");       // files that differ on disk from ours
    QTest::addColumn<bool>("ignoresCase"); // the disk finds a name under any case
    QTest::addColumn<Texts>("expected");
    QTest::addColumn<QStringList>("copies");
    QTest::addColumn<QStringList>("editedOnDisk");

    QTest::newRow("both changed") << Texts{{"S/a.code", "a"}} << Texts{{"S/a.code", "mine"}}
                                  << Texts{{"S/a.code", "theirs"}} << Texts{} << false
                                  << Texts{{"S/a.code", "mine"}, {"S/a (deskb).code", "theirs"}}
                                  << QStringList{"S/a (deskb).code"} << QStringList{};
    QTest::newRow("a change beats a deletion")
        << Texts{{"S/a.code", "a"}, {"S/b.code", "b"}} << Texts{{"S/b.code", "b2"}}
        << Texts{{"S/a.code", "a2"}} << Texts{} << false
        << Texts{{"S/a.code", "a2"}, {"S/b.code", "b2"}} << QStringList{} << QStringList{};
    QTest::newRow("a category removed against a snippet added to it")
        << Texts{{"G/x.code", "x"}, {"G/y.code", "y"}, {"H/h.code", "h"}}
        << Texts{{"H/h.code", "h"}}
        << Texts{{"G/x.code", "x"}, {"G/y.code", "y"}, {"G/z.code", "z"}, {"H/h.code", "h"}}
        << Texts{} << false << Texts{{"G/z.code", "z"}, {"H/h.code", "h"}} << QStringList{}
        << QStringList{};
    QTest::newRow("unrelated histories")
        << Texts{} << Texts{{"S/a.code", "mine"}, {"S/o.code", "o"}}
        << Texts{{"S/a.code", "theirs"}, {"T/t.code", "t"}} << Texts{} << false
        << Texts{{"S/a.code", "mine"},
                 {"S/a (deskb).code", "theirs"},
                 {"S/o.code", "o"},
                 {"T/t.code", "t"}}
        << QStringList{"S/a (deskb).code"} << QStringList{};
    QTest::newRow("an edit on disk not yet recorded")
        << Texts{{"S/a.code", "a"}} << Texts{{"S/a.code", "a"}} << Texts{{"S/a.code", "a2"}}
        << Texts{{"S/a.code", "unrecorded"}} << false
        << Texts{{"S/a.code", "a2"}, {"S/a (deskb).code", "a2"}} << QStringList{"S/a (deskb).code"}
        << QStringList{"S/a.code"};
    QTest::newRow("names one but for case, on a disk that ignores it")
        << Texts{} << Texts{{"S/mine.code", "mine"}}
        << Texts{{"S/A.code", "upper"}, {"S/a.code", "lower"}, {"s/y.code", "y"}} << Texts{} << true
        << Texts{{"S/A.code", "upper"},
                 {"S/a (deskb).code", "lower"},
                 {"S/mine.code", "mine"},
                 {"S/y.code", "y"}}
        << QStringList{"S/a (deskb).code"} << QStringList{};
    QTest::newRow("a name's case changed with an edit, on a disk that ignores case")
        << Texts{{"S/a.code", "a"}} << Texts{{"S/a.code", "a"}} << Texts{{"S/A.code", "A2"}}
        << Texts{} << true << Texts{{"S/A.code", "A2"}} << QStringList{} << QStringList{};
    QTest::newRow("a name's case changed against an edit not yet recorded, on a disk that ignores "
                  "case")
        << Texts{{"S/a.code", "a"}} << Texts{{"S/a.code", "a"}} << Texts{{"S/A.code", "a"}}
        << Texts{{"S/a.code", "unrecorded"}} << true
        << Texts{{"S/A.code", "a"}, {"S/A (deskb).code", "a"}} << QStringList{"S/A (deskb).code"}
        << QStringList{"S/A.code", "S/a.code"};
    // The library's own file and the languages keep their names; of two that arrive, the file
    // is the copy.
    QTest::newRow("files and folders one but for case, on a disk that ignores it")
        << Texts{{"S/Ab.code", "mine"}} << Texts{{"S/Ab.code", "mine"}}
        << Texts{{"S/Ab.code", "mine"},
                 {"S/AB.code/x.code", "x"},
                 {"T/A.code", "file"},
                 {"T/a.code/y.code", "y"},
                 {".quillary-languages", "python\tS\n"},
                 {".Quillary-languages/z.code", "z"}}
        << Texts{} << true
        << Texts{{"S/Ab.code", "mine"},
                 {"S/AB (deskb).code/x.code", "x"},
                 {"T/A (deskb).code", "file"},
                 {"T/a.code/y.code", "y"},
                 {".quillary-languages", "python\tS\n"},
                 {".Quillary-languages (deskb)/z.code", "z"}}
        << QStringList{"T/A (deskb).code"} << QStringList{};
    QTest::newRow("a file and a folder of one name")
        << Texts{} << Texts{} << Texts{{"F/x.code", "file"}, {"F/x.code/y.code", "y"}} << Texts{}
        << false << Texts{{"F/x (deskb).code", "file"}, {"F/x.code/y.code", "y"}}
        << QStringList{"F/x (deskb).code"} << QStringList{};
}

void TestSyncMerge::decisions() {
    QFETCH(Texts, base);
    QFETCH(Texts, ours);
    QFETCH(Texts, theirs);
    QFETCH(Texts, disk);
    QFETCH(bool, ignoresCase);
    QFETCH(Texts, expected);
    QFETCH(QStringList, copies);
    QFETCH(QStringList, editedOnDisk);
    Texts onDisk = ours;
    for (auto it = disk.cbegin(); it != disk.cend(); ++it)
        onDisk.insert(it.key(), it.value());
    const auto key = [ignoresCase](const QByteArray& path) {
        return ignoresCase ? QString::fromUtf8(path).toCaseFolded() : QString::fromUtf8(path);
    };
    QMap<QString, QByteArray> byKey;
    for (auto it = onDisk.cbegin(); it != onDisk.cend(); ++it) {
        if (!it.value().isNull() && !byKey.contains(key(it.key())))
            byKey.insert(key(it.key()), it.value());
    }
    const Disk looked = [&](const QByteArray& path) {
        OnDisk now;
        if (byKey.contains(key(path)))
            now.entry = entryOf(byKey.value(key(path)));
        return now;
    };
    Plan plan;
    plan.before = filesOf(ours);
    plan.host = QStringLiteral("deskb");
    const Files baseFiles = filesOf(base);
    QStringList moved;
    const Files merged = resolve(&baseFiles, filesOf(theirs), looked, ignoresCase, plan, moved);
    QCOMPARE(merged.keys(), expected.keys());
    QCOMPARE(merged, filesOf(expected));
    QCOMPARE(plan.copies, copies);
    QStringList edited(plan.editedOnDisk.cbegin(), plan.editedOnDisk.cend());
    edited.sort();
    QCOMPARE(edited, editedOnDisk);
    for (const QString& copy : copies)
        QVERIFY(moved.contains(copy));
}

QTEST_GUILESS_MAIN(TestSyncMerge)
#include "test_syncmerge.moc"
