// SPDX-License-Identifier: MIT
// The search index's threads: the program's changes landing in the middle of a pass, the index
// going away while it works, and searches on two threads against a plain scan.
#include "library/libraryfs.h"
#include "search/snippetindex.h"
#include "tests/support/indexsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

namespace {

// Reads of the files named in `held` wait, once read, until the gate opens or the reader's
// cancel flag is raised, as a read from a slow disk would.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    QStringList held;
    bool open = false;
    QStringList read;                                         // file names read so far
    std::vector<std::pair<QString, std::thread::id>> waiting; // held files reached, and by whom

    template <typename Done> bool waitFor(Done done) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(30), done);
    }
    bool reached(const QString& name) {
        return std::any_of(waiting.cbegin(), waiting.cend(),
                           [&](const auto& w) { return w.first == name; });
    }
    void release() {
        const std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

class GatedFs : public LibraryFs {
public:
    GatedFs(const QString& folder, Gate& gate) : LibraryFs(folder), m_gate(gate) {}
    Read readFile(const QString& path, qint64 limit, const std::atomic<bool>* cancel) override {
        Read read = LibraryFs::readFile(path, limit, cancel);
        const QString name = QFileInfo(path).fileName();
        std::unique_lock lock(m_gate.mutex);
        m_gate.read.append(name);
        if (m_gate.held.contains(name)) {
            m_gate.waiting.emplace_back(name, std::this_thread::get_id());
            m_gate.changed.notify_all();
            QElapsedTimer waited;
            waited.start();
            while (!m_gate.open && !(cancel && cancel->load()) && waited.elapsed() < 60000)
                m_gate.changed.wait_for(lock, std::chrono::milliseconds(10));
            if (!m_gate.open) {
                read.cancelled = true;
                read.bytes.clear();
                read.result = Result::failure(path, QStringLiteral("cancelled"));
            }
        }
        m_gate.changed.notify_all();
        return read;
    }

private:
    Gate& m_gate;
};

std::unique_ptr<SnippetIndex> gatedIndex(const QString& folder, Gate& gate) {
    return std::make_unique<SnippetIndex>(
        [folder, &gate] { return std::make_unique<GatedFs>(folder, gate); });
}

} // namespace

class TestIndexThreads : public QObject {
    Q_OBJECT

private slots:
    void ownChangesDuringPass_data();
    void ownChangesDuringPass();
    void destroyedWhileBusy_data();
    void destroyedWhileBusy();
    void searchesMatchPlainScan();
};

enum class Change { Save, Delete, RemoveCategory, SaveOverMissing };
Q_DECLARE_METATYPE(Change)

void TestIndexThreads::ownChangesDuringPass_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("save") << Change::Save << QStringList{"Cat//One:1:new words"};
    QTest::newRow("delete") << Change::Delete << QStringList{};
    QTest::newRow("remove category") << Change::RemoveCategory << QStringList{};
    QTest::newRow("save over a file the pass found missing")
        << Change::SaveOverMissing << QStringList{"Cat//One:1:new words"};
}

// The pass has read the file as it was, and publishes after the program's change: the change
// must stand, at once and once the pass has ended.
void TestIndexThreads::ownChangesDuringPass() {
    QFETCH(Change, change);
    QFETCH(QStringList, after);

    QTemporaryDir dir;
    const QString lib = dir.path() + QStringLiteral("/Code/");
    const QString one = lib + QStringLiteral("Cat/One.code");
    write(one, "old words");
    Gate gate;
    const auto index = gatedIndex(dir.path(), gate);
    index->refresh();
    QVERIFY(index->waitForIdle(30000));

    // The next pass reads a new file that keeps it waiting, and One again, as changed outside.
    write(lib + "Cat/Gate.code", "gate");
    if (change == Change::SaveOverMissing)
        QVERIFY(QFile::remove(one));
    else
        write(one, "outside words");
    {
        const std::lock_guard lock(gate.mutex);
        gate.held = QStringList{"Gate.code"};
        gate.read.clear();
    }
    index->refresh();
    QVERIFY(gate.waitFor([&] {
        return gate.reached("Gate.code") &&
               (change == Change::SaveOverMissing || gate.read.contains("One.code"));
    }));
    QVERIFY(index->progress().running);

    switch (change) {
    case Change::Save:
    case Change::SaveOverMissing:
        write(one, "new words");
        index->fileChanged(one);
        break;
    case Change::Delete:
        QVERIFY(QFile::remove(one));
        index->fileChanged(one);
        break;
    case Change::RemoveCategory:
        QVERIFY(QDir(lib + "Cat").removeRecursively());
        index->folderChanged(lib + "Cat");
        break;
    }
    QCOMPARE(describe(index->find(QStringLiteral("words"), 50)), after);
    QVERIFY2(index->progress().running, "the change did not land in the middle of the pass");
    gate.release();
    QVERIFY(index->waitForIdle(30000));
    QCOMPARE(describe(index->find(QStringLiteral("words"), 50)), after);
}

enum class Busy { Pass, Search, QueuedChanges };
Q_DECLARE_METATYPE(Busy)

void TestIndexThreads::destroyedWhileBusy_data() {
    QTest::addColumn<Busy>("busy");
    QTest::newRow("a pass reading a slow file") << Busy::Pass;
    QTest::newRow("a search taking in a change from a slow file") << Busy::Search;
    QTest::newRow("changes queued behind a pass") << Busy::QueuedChanges;
}

// Quit must not wait for a slow disk: the index stops reading part way.
void TestIndexThreads::destroyedWhileBusy() {
    QFETCH(Busy, busy);

    QTemporaryDir dir;
    const QString lib = dir.path() + QStringLiteral("/Code/");
    write(lib + "Cat/Gate.code", "gate");
    write(lib + "Cat/Slow.code", "slow");
    for (int i = 0; i < 100; ++i)
        write(lib + QStringLiteral("Cat/N%1.code").arg(i), "words");
    Gate gate;
    gate.held = QStringList{"Gate.code", "Slow.code"};
    auto index = gatedIndex(dir.path(), gate);
    index->refresh();
    QVERIFY(gate.waitFor([&] { return gate.reached("Gate.code"); }));

    std::thread searcher;
    SnippetIndex::Results found;
    found.total = -1;
    if (busy == Busy::Search) {
        // The pass waits on its file, so the search itself takes the change in.
        index->fileChanged(lib + "Cat/Slow.code");
        searcher = std::thread([&] { found = index->find(QStringLiteral("slow"), 10); });
        const std::thread::id searching = searcher.get_id();
        QVERIFY(gate.waitFor([&] {
            return std::any_of(gate.waiting.cbegin(), gate.waiting.cend(), [&](const auto& w) {
                return w.first == QLatin1String("Slow.code") && w.second == searching;
            });
        }));
    } else if (busy == Busy::QueuedChanges) {
        for (int i = 0; i < 100; ++i)
            index->fileChanged(lib + QStringLiteral("Cat/N%1.code").arg(i));
        index->folderChanged(lib + "Cat");
    }

    QElapsedTimer destroying;
    destroying.start();
    index.reset();
    QVERIFY2(destroying.elapsed() < 10000, "the index waited for the slow file");
    QVERIFY(!gate.open);
    if (searcher.joinable()) {
        searcher.join();
        QCOMPARE(found.total, 0);
    }
}

namespace {

// A snippet as the plain scan sees it: ASCII only, so folding is lower-casing.
struct Model {
    QString category, subCategory, name, text;
    QByteArray foldedName, foldedText;
};

QString syllables(QRandomGenerator& random, int count) {
    static const char* const parts[] = {"ka", "Lo", "mi", "ZU", "pe", "rA", "to", "ne", "Qi", "su"};
    QString out;
    for (int i = 0; i < count; ++i)
        out += QLatin1String(parts[random.bounded(10)]);
    return out;
}

QString randomText(QRandomGenerator& random, bool marked) {
    QString text;
    const int lines = 6 + random.bounded(12);
    for (int l = 0; l < lines; ++l) {
        if (l > 0)
            text += QLatin1Char('\n');
        text += QString(random.bounded(3), QLatin1Char(' '));
        const int words = 2 + random.bounded(8);
        for (int w = 0; w < words; ++w)
            text += syllables(random, 1 + random.bounded(4)) + QLatin1Char(' ');
    }
    return marked ? text + QStringLiteral("\nqqmark") : text;
}

qsizetype find(const QByteArray& in, const QByteArray& word) {
    const void* at =
        ::memmem(in.constData(), size_t(in.size()), word.constData(), size_t(word.size()));
    return at ? static_cast<const char*>(at) - in.constData() : -1;
}

// What the index should answer, found by looking at every snippet in turn.
QStringList plainScan(const std::vector<const Model*>& sorted, const QString& query, int limit,
                      int& total) {
    QStringList words;
    for (const QString& w : SnippetIndex::words(query)) {
        if (!words.contains(w.toLower()))
            words.append(w.toLower());
    }
    QByteArrayList wanted;
    for (const QString& w : words) {
        if (std::none_of(words.cbegin(), words.cend(),
                         [&](const QString& o) { return o.size() > w.size() && o.contains(w); }))
            wanted.append(w.toLatin1());
    }
    std::vector<std::pair<const Model*, qsizetype>> nameHits, textHits;
    for (const Model* m : sorted) {
        qsizetype first = -1; // earliest text offset of a word not in the name
        bool all = !wanted.isEmpty();
        for (qsizetype i = 0; all && i < wanted.size(); ++i) {
            if (find(m->foldedName, wanted[i]) >= 0)
                continue;
            const qsizetype at = find(m->foldedText, wanted[i]);
            all = at >= 0;
            if (at >= 0 && (first < 0 || at < first))
                first = at;
        }
        if (all)
            (first < 0 ? nameHits : textHits).emplace_back(m, first);
    }
    total = int(nameHits.size() + textHits.size());
    nameHits.insert(nameHits.end(), textHits.begin(), textHits.end());
    QStringList listed;
    for (const auto& [m, first] : nameHits) {
        if (listed.size() == limit)
            break;
        QString s = m->category + QLatin1Char('/') + m->subCategory + QLatin1Char('/') + m->name;
        if (first >= 0) {
            const qsizetype start =
                first == 0 ? 0 : m->text.lastIndexOf(QLatin1Char('\n'), first - 1) + 1;
            qsizetype end = m->text.indexOf(QLatin1Char('\n'), first);
            if (end < 0)
                end = m->text.size();
            s += QStringLiteral(":%1:%2")
                     .arg(m->text.left(start).count(QLatin1Char('\n')) + 1)
                     .arg(m->text.mid(start, end - start).trimmed().left(200));
        }
        listed.append(s);
    }
    return listed;
}

} // namespace

// A library large enough that searches split over two threads and half-emptied blocks are
// compacted, changed by the program and outside it, searched from two threads at once.
void TestIndexThreads::searchesMatchPlainScan() {
    QTemporaryDir dir;
    const QString lib = dir.path() + QStringLiteral("/Code/");
    QRandomGenerator random(20240611);
    std::map<QString, Model> library;
    std::vector<QString> paths;
    // Over 4,096 snippets of about 400 bytes: whole blocks are searched on two threads. One in
    // four is marked, so that typing "qqmark" then another word searches one record at a time.
    constexpr int Snippets = 6000;
    for (int i = 0; i < Snippets; ++i) {
        Model m;
        const int folder = i % 80;
        m.category = QStringLiteral("%1at%2").arg(folder / 4 % 2 ? "C" : "c").arg(folder / 4);
        if (folder % 4)
            m.subCategory = QStringLiteral("Sub%1").arg(folder % 4);
        m.name = syllables(random, 2) + QStringLiteral(" %1").arg(i);
        m.text = randomText(random, i % 4 == 1);
        const QString path = m.category + QLatin1Char('/') +
                             (m.subCategory.isEmpty() ? QString() : m.subCategory + '/') + m.name +
                             QStringLiteral(".code");
        paths.push_back(path);
        library[path] = m;
    }
    const auto save = [&](const QString& path) {
        Model& m = library[path];
        m.foldedName = m.name.toLower().toLatin1();
        m.foldedText = m.text.toLower().toLatin1();
        write(lib + path, m.text.toLatin1());
    };
    for (const QString& path : paths)
        save(path);
    SnippetIndex index(dir.path());
    index.refresh();
    QVERIFY(index.waitForIdle(300000));
    QCOMPARE(index.snippetCount(), Snippets);

    // The categories read first, whose records fill the first blocks, stored again by the
    // program and from outside, and snippets here and there removed both ways.
    for (int i = 0; i < Snippets; ++i) {
        const QString& path = paths[size_t(i)];
        const int category = i % 80 / 4;
        if (category < 2 || (category >= 10 && category <= 15)) {
            library[path].text = randomText(random, i % 4 == 1) + QStringLiteral("+");
            save(path);
        } else if (random.bounded(20) == 0) {
            QVERIFY(QFile::remove(lib + path));
            library.erase(path);
        } else {
            continue;
        }
        if (i % 2)
            index.fileChanged(lib + path);
    }
    index.refresh();
    QVERIFY(index.waitForIdle(300000));
    QCOMPARE(index.snippetCount(), int(library.size()));

    QStringList queries{QStringLiteral("qqmark"), QStringLiteral("qqmark ZU"),
                        QStringLiteral("qqmark zuka lo"), QStringLiteral("+ qqmark")};
    for (int q = 0; q < 30; ++q) {
        const Model& m = std::next(library.begin(), random.bounded(int(library.size())))->second;
        QString query;
        for (int w = random.bounded(3); w >= 0; --w) {
            const QString& from = random.bounded(3) ? m.text : m.name;
            const qsizetype at = random.bounded(int(from.size()));
            query += from.mid(at, 2 + random.bounded(5)).toUpper() + QLatin1Char(' ');
        }
        queries.append(query);
    }
    // Each thread types its queries a key at a time, each search refining the one before,
    // whichever thread asked it.
    std::vector<std::map<QString, std::pair<int, QStringList>>> answers(2);
    const auto typeQueries = [&](int part) {
        for (qsizetype q = part; q < queries.size(); q += 2) {
            for (qsizetype n = 1; n <= queries[q].size(); ++n) {
                const SnippetIndex::Results r = index.find(queries[q].left(n), 100);
                answers[size_t(part)][queries[q].left(n)] = {r.total, describe(r)};
            }
        }
    };
    QElapsedTimer T;
    T.start();
    std::thread other(typeQueries, 1);
    typeQueries(0);
    other.join();
    // In the order the results are listed in.
    std::vector<const Model*> sorted;
    for (const auto& [path, m] : library)
        sorted.push_back(&m);
    const auto key = [](const Model* m) {
        return std::tuple(m->category.toLower(), m->subCategory.toLower(), m->foldedName, m->name);
    };
    std::sort(sorted.begin(), sorted.end(),
              [&](const Model* a, const Model* b) { return key(a) < key(b); });
    for (const auto& answered : answers) {
        for (const auto& [query, answer] : answered) {
            int total = 0;
            const QStringList expected = plainScan(sorted, query, 100, total);
            QVERIFY2(answer.second == expected && answer.first == total,
                     qPrintable(QStringLiteral("query \"%1\": %2 found, %3 expected\n%4\n%5")
                                    .arg(query)
                                    .arg(answer.first)
                                    .arg(total)
                                    .arg(answer.second.mid(0, 3).join(u'|'))
                                    .arg(expected.mid(0, 3).join(u'|'))));
        }
    }
}

QTEST_GUILESS_MAIN(TestIndexThreads)
#include "test_indexthreads.moc"
