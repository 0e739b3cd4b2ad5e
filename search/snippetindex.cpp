// SPDX-License-Identifier: MIT
#include "snippetindex.h"

#include "libraryfs.h"
#include "names.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

const QString SnippetEnding = QStringLiteral(".code");
constexpr qsizetype NotFound = -1;
// Publishing often keeps the window's view of a pass fresh; each publication holds the write
// lock only while entries are moved in.
constexpr qsizetype BatchBytes = 4 << 20;
constexpr size_t BatchFiles = 1024;
constexpr int BatchMilliseconds = 100;
constexpr qint64 NoticeMilliseconds = 200;
// Below this many candidates a second thread costs more than it saves.
constexpr size_t ParallelFrom = 4096;
constexpr int LineTextLimit = 200;

qsizetype findIn(const QByteArray& haystack, const QByteArray& word) {
    const void* at = ::memmem(haystack.constData(), size_t(haystack.size()), word.constData(),
                              size_t(word.size()));
    return at ? static_cast<const char*>(at) - haystack.constData() : NotFound;
}

qint64 nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// "cat/name.code" or "cat/sub/name.code" split into its folder and file name.
bool splitRelative(const QString& rel, QString& folderRel, QString& fileName) {
    const qsizetype slash = rel.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0)
        return false;
    folderRel = rel.left(slash);
    fileName = rel.mid(slash + 1);
    return folderRel.count(QLatin1Char('/')) <= 1 && !fileName.isEmpty();
}

} // namespace

struct SnippetIndex::Item {
    QString rel;
    QString folderRel;
    QString name;
    qint64 size = 0;
    qint64 modified = 0;
    FoldedText text;
    quint64 readClock = 0;
};

SnippetIndex::SnippetIndex(const QString& programFolder, QObject* parent)
    : QObject(parent), m_fs(std::make_unique<LibraryFs>(programFolder)),
      m_workerFs(std::make_unique<LibraryFs>(programFolder)) {
    m_libraryPath = QDir::cleanPath(m_fs->libraryPath()) + QLatin1Char('/');
    m_pool.setMaxThreadCount(1);
    m_pool.setExpiryTimeout(-1);
}

SnippetIndex::~SnippetIndex() {
    m_cancel = true;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
    m_pool.waitForDone();
}

// Passes ----------------------------------------------------------------------------------------

void SnippetIndex::refresh() {
    if (m_running) {
        m_again = true;
        return;
    }
    m_running = true;
    m_cancel = false;
    m_done = 0;
    m_total = 0;
    m_thread = QThread::create([this] { runPass(); });
    connect(m_thread, &QThread::finished, this, [this] {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
        m_running = false;
        if (m_again && !m_cancel) {
            m_again = false;
            refresh();
        }
        noteChange(true);
    });
    m_thread->start(QThread::LowPriority);
}

SnippetIndex::Progress SnippetIndex::progress() const {
    return {m_running.load(), m_done.load(), m_total.load()};
}

bool SnippetIndex::waitForIdle(int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (m_running || m_again) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void SnippetIndex::runPass() {
    LibraryFs& fs = *m_workerFs;
    const quint64 start = m_clock.load();
    QHash<QString, std::pair<qint64, qint64>> known;
    {
        QWriteLocker locker(&m_lock);
        // Changes older than this pass cannot make its reads stale.
        m_touched.removeIf([start](const auto& it) { return it.value() <= start; });
        known.reserve(m_byPath.size());
        for (auto it = m_byPath.cbegin(); it != m_byPath.cend(); ++it) {
            const Entry& e = m_entries[it.value()];
            known.insert(it.key(), {e.size, e.modified});
        }
    }

    struct Job {
        QString folderRel;
        QString fileName;
    };
    std::vector<Job> jobs;
    auto listFolder = [&](const QString& folderRel) {
        const LibraryFs::Listing files = fs.listFiles(m_libraryPath + folderRel);
        for (const QString& file : files.names) {
            if (!Names::snippetNameOfFile(file).isNull())
                jobs.push_back({folderRel, file});
        }
        m_total = int(jobs.size());
    };
    const LibraryFs::Listing categories = fs.listFolders(m_libraryPath);
    for (const QString& category : categories.names) {
        if (m_cancel)
            return;
        listFolder(category);
        const LibraryFs::Listing subs = fs.listFolders(m_libraryPath + category);
        for (const QString& sub : subs.names)
            listFolder(category + QLatin1Char('/') + sub);
    }
    noteChange(false);

    std::vector<Item> batch;
    qsizetype batchBytes = 0;
    QElapsedTimer sincePublish;
    sincePublish.start();
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (m_cancel)
            return;
        const Job& job = jobs[i];
        const QString rel = job.folderRel + QLatin1Char('/') + job.fileName;
        const QString path = m_libraryPath + rel;
        const quint64 readClock = m_clock.load();
        const LibraryFs::Stamp stamp = fs.stamp(path);
        m_done = int(i + 1);
        if (!stamp.exists)
            continue; // gone since the listing: removed below if it was indexed
        const auto seen = known.constFind(rel);
        const bool same =
            seen != known.cend() && seen->first == stamp.size && seen->second == stamp.modified;
        if (seen != known.cend())
            known.erase(seen);
        if (same)
            continue;
        Item item{rel,        job.folderRel,  Names::snippetNameOfFile(job.fileName),
                  stamp.size, stamp.modified, {},
                  readClock};
        // Anything but a plain file (a named pipe, a device) is found by its name only.
        if (stamp.regular) {
            const LibraryFs::Read read = fs.readFile(path);
            if (read.result.ok)
                item.text = TextFold::fromFileBytes(read.bytes);
        }
        batchBytes += item.text.bytes.size();
        batch.push_back(std::move(item));
        if (batchBytes >= BatchBytes || batch.size() >= BatchFiles ||
            sincePublish.elapsed() >= BatchMilliseconds) {
            publish(batch);
            batchBytes = 0;
            sincePublish.restart();
            noteChange(false);
        }
    }
    publish(batch);

    {
        QWriteLocker locker(&m_lock);
        std::vector<quint32> gone;
        for (auto it = known.cbegin(); it != known.cend(); ++it) {
            if (touchedSince(it.key(), start))
                continue;
            const auto id = m_byPath.constFind(it.key());
            if (id != m_byPath.cend())
                gone.push_back(*id);
        }
        if (!gone.empty()) {
            for (quint32 id : gone)
                removeEntry(id);
            std::erase_if(m_order, [this](quint32 id) { return m_entries[id].folder < 0; });
            m_free.insert(m_free.end(), gone.begin(), gone.end());
            ++m_generation;
        }
    }
    noteChange(true);
}

void SnippetIndex::publish(std::vector<Item>& items) {
    if (items.empty())
        return;
    QWriteLocker locker(&m_lock);
    std::vector<quint32> added;
    for (Item& item : items) {
        if (touchedSince(item.rel, item.readClock))
            continue; // the program changed it after it was read
        upsert(item.rel, item.folderRel, item.name, item.size, item.modified, std::move(item.text),
               added);
    }
    insertIntoOrder(added);
    ++m_generation;
    items.clear();
}

// Entries ---------------------------------------------------------------------------------------

void SnippetIndex::upsert(const QString& rel, const QString& folderRel, const QString& name,
                          qint64 size, qint64 modified, FoldedText&& text,
                          std::vector<quint32>& added) {
    const auto found = m_byPath.constFind(rel);
    if (found != m_byPath.cend()) {
        Entry& e = m_entries[*found];
        e.text = std::move(text);
        e.size = size;
        e.modified = modified;
        return;
    }
    quint32 id;
    if (!m_free.empty()) {
        id = m_free.back();
        m_free.pop_back();
    } else {
        id = quint32(m_entries.size());
        m_entries.emplace_back();
    }
    Entry& e = m_entries[id];
    e.folder = folderId(folderRel);
    e.name = name;
    e.foldedName = TextFold::fold(name);
    e.text = std::move(text);
    e.size = size;
    e.modified = modified;
    m_byPath.insert(rel, id);
    added.push_back(id);
}

// The slot is freed by the caller once the order no longer holds it.
void SnippetIndex::removeEntry(quint32 id) {
    Entry& e = m_entries[id];
    m_byPath.remove(m_folders[e.folder].rel + QLatin1Char('/') + e.name + SnippetEnding);
    e = Entry{};
}

void SnippetIndex::insertIntoOrder(std::vector<quint32>& added) {
    if (added.empty())
        return;
    const auto less = [this](quint32 a, quint32 b) { return lessKey(a, b); };
    std::sort(added.begin(), added.end(), less);
    std::vector<quint32> merged;
    merged.reserve(m_order.size() + added.size());
    auto from = m_order.begin();
    for (quint32 id : added) {
        const auto at = std::upper_bound(from, m_order.end(), id, less);
        merged.insert(merged.end(), from, at);
        merged.push_back(id);
        from = at;
    }
    merged.insert(merged.end(), from, m_order.end());
    m_order.swap(merged);
    added.clear();
}

bool SnippetIndex::lessKey(quint32 a, quint32 b) const {
    const Entry& x = m_entries[a];
    const Entry& y = m_entries[b];
    if (x.folder != y.folder) {
        const Folder& fx = m_folders[size_t(x.folder)];
        const Folder& fy = m_folders[size_t(y.folder)];
        if (fx.sortKey != fy.sortKey)
            return fx.sortKey < fy.sortKey;
        return fx.rel < fy.rel;
    }
    if (x.foldedName != y.foldedName)
        return x.foldedName < y.foldedName;
    if (x.name != y.name)
        return x.name < y.name;
    return a < b;
}

int SnippetIndex::folderId(const QString& folderRel) {
    const auto found = m_folderIds.constFind(folderRel);
    if (found != m_folderIds.cend())
        return *found;
    Folder folder;
    folder.rel = folderRel;
    const qsizetype slash = folderRel.indexOf(QLatin1Char('/'));
    folder.category = slash < 0 ? folderRel : folderRel.left(slash);
    folder.subCategory = slash < 0 ? QString() : folderRel.mid(slash + 1);
    // A category's own snippets come before those of its sub-categories.
    folder.sortKey = TextFold::fold(folder.category) + '\x01' + TextFold::fold(folder.subCategory);
    m_folders.push_back(std::move(folder));
    const int id = int(m_folders.size() - 1);
    m_folderIds.insert(folderRel, id);
    return id;
}

bool SnippetIndex::touchedSince(const QString& rel, quint64 clock) const {
    if (m_touched.isEmpty())
        return false;
    if (m_touched.value(rel) > clock)
        return true;
    for (qsizetype slash = rel.indexOf(QLatin1Char('/')); slash > 0;
         slash = rel.indexOf(QLatin1Char('/'), slash + 1)) {
        if (m_touched.value(rel.left(slash)) > clock)
            return true;
    }
    return false;
}

void SnippetIndex::noteChange(bool force) {
    const qint64 now = nowMs();
    qint64 last = m_lastNotice.load();
    if (!force && now - last < NoticeMilliseconds)
        return;
    if (!force && !m_lastNotice.compare_exchange_strong(last, now))
        return;
    m_lastNotice = now;
    emit changed();
}

QString SnippetIndex::relativePath(const QString& path) const {
    const QString clean = QDir::cleanPath(path);
    if (!clean.startsWith(m_libraryPath))
        return QString();
    return clean.mid(m_libraryPath.size());
}

// The program's own changes ---------------------------------------------------------------------

void SnippetIndex::fileWritten(const QString& path) {
    const QString rel = relativePath(path);
    QString folderRel, fileName;
    if (!splitRelative(rel, folderRel, fileName))
        return;
    const QString name = Names::snippetNameOfFile(fileName);
    if (name.isNull())
        return;
    const quint64 clock = ++m_clock;
    const LibraryFs::Stamp stamp = m_fs->stamp(path);
    if (!stamp.exists) {
        fileRemoved(path);
        return;
    }
    FoldedText text;
    if (stamp.regular) {
        const LibraryFs::Read read = m_fs->readFile(path);
        if (read.result.ok)
            text = TextFold::fromFileBytes(read.bytes);
    }
    {
        QWriteLocker locker(&m_lock);
        m_touched.insert(rel, clock);
        std::vector<quint32> added;
        upsert(rel, folderRel, name, stamp.size, stamp.modified, std::move(text), added);
        insertIntoOrder(added);
        ++m_generation;
    }
    noteChange(true);
}

void SnippetIndex::fileRemoved(const QString& path) {
    const QString rel = relativePath(path);
    const quint64 clock = ++m_clock;
    {
        QWriteLocker locker(&m_lock);
        m_touched.insert(rel, clock);
        const auto found = m_byPath.constFind(rel);
        if (found == m_byPath.cend())
            return;
        const quint32 id = *found;
        removeEntry(id);
        std::erase(m_order, id);
        m_free.push_back(id);
        ++m_generation;
    }
    noteChange(true);
}

void SnippetIndex::folderAdded(const QString& path) {
    const QString folderRel = relativePath(path);
    if (folderRel.isEmpty() || folderRel.count(QLatin1Char('/')) > 1)
        return;
    const quint64 clock = ++m_clock;
    // A folder made afresh is empty; one that was already there brings its snippets.
    std::vector<Item> items;
    for (const QString& file : m_fs->listFiles(path).names) {
        const QString name = Names::snippetNameOfFile(file);
        const QString filePath = LibraryFs::fileInFolder(path, file);
        const LibraryFs::Stamp stamp = m_fs->stamp(filePath);
        if (name.isNull() || !stamp.exists)
            continue;
        Item item{folderRel + QLatin1Char('/') + file,
                  folderRel,
                  name,
                  stamp.size,
                  stamp.modified,
                  {},
                  clock};
        if (stamp.regular) {
            const LibraryFs::Read read = m_fs->readFile(filePath);
            if (read.result.ok)
                item.text = TextFold::fromFileBytes(read.bytes);
        }
        items.push_back(std::move(item));
    }
    {
        QWriteLocker locker(&m_lock);
        m_touched.insert(folderRel, clock);
        std::vector<quint32> added;
        for (Item& item : items)
            upsert(item.rel, item.folderRel, item.name, item.size, item.modified,
                   std::move(item.text), added);
        insertIntoOrder(added);
        ++m_generation;
    }
    noteChange(true);
}

void SnippetIndex::folderRemoved(const QString& path) {
    const QString folderRel = relativePath(path);
    if (folderRel.isEmpty())
        return;
    const quint64 clock = ++m_clock;
    {
        QWriteLocker locker(&m_lock);
        m_touched.insert(folderRel, clock);
        const QString below = folderRel + QLatin1Char('/');
        std::vector<quint32> gone;
        for (quint32 id : m_order) {
            const QString& rel = m_folders[size_t(m_entries[id].folder)].rel;
            if (rel == folderRel || rel.startsWith(below))
                gone.push_back(id);
        }
        if (gone.empty())
            return;
        for (quint32 id : gone)
            removeEntry(id);
        std::erase_if(m_order, [this](quint32 id) { return m_entries[id].folder < 0; });
        m_free.insert(m_free.end(), gone.begin(), gone.end());
        ++m_generation;
    }
    noteChange(true);
}

// Searching -------------------------------------------------------------------------------------

QStringList SnippetIndex::words(const QString& query) {
    return query.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

void SnippetIndex::matchRange(const QList<QByteArray>& words, const quint32* ids, qsizetype count,
                              std::vector<Match>& out) const {
    for (qsizetype i = 0; i < count; ++i) {
        const Entry& e = m_entries[ids[i]];
        bool allInName = true;
        bool all = true;
        qsizetype first = NotFound;
        for (const QByteArray& word : words) {
            if (findIn(e.foldedName, word) != NotFound)
                continue;
            allInName = false;
            const qsizetype at = findIn(e.text.bytes, word);
            if (at == NotFound) {
                all = false;
                break;
            }
            if (first == NotFound || at < first)
                first = at;
        }
        if (all)
            out.push_back({ids[i], allInName, first});
    }
}

SnippetIndex::Results SnippetIndex::find(const QString& query, int listLimit) {
    Results results;
    QList<QByteArray> folded;
    for (const QString& word : words(query)) {
        const QByteArray f = TextFold::fold(word);
        if (!folded.contains(f))
            folded.append(f);
    }
    // A word inside another word is found wherever that one is.
    QList<QByteArray> wanted;
    for (const QByteArray& w : folded) {
        const bool implied = std::any_of(folded.cbegin(), folded.cend(), [&](const QByteArray& o) {
            return o.size() > w.size() && o.contains(w);
        });
        if (!implied)
            wanted.append(w);
    }
    // Longer words are rarer: they rule out most snippets first.
    std::stable_sort(wanted.begin(), wanted.end(),
                     [](const QByteArray& a, const QByteArray& b) { return a.size() > b.size(); });
    if (wanted.isEmpty()) {
        m_lastWords.clear();
        m_lastMatches.clear();
        return results;
    }

    QReadLocker locker(&m_lock);
    // Every earlier word inside a word of this query: this query's matches are among the last.
    const bool refine =
        m_lastGeneration == m_generation && !m_lastWords.isEmpty() &&
        std::all_of(m_lastWords.cbegin(), m_lastWords.cend(), [&](const auto& old) {
            return std::any_of(wanted.cbegin(), wanted.cend(),
                               [&](const QByteArray& w) { return w.contains(old); });
        });
    std::vector<quint32> candidates = refine ? std::move(m_lastMatches) : m_order;

    std::vector<Match> matches;
    if (candidates.size() >= ParallelFrom) {
        const size_t half = candidates.size() / 2;
        std::vector<Match> second;
        QSemaphore done;
        m_pool.start([&] {
            matchRange(wanted, candidates.data() + half, qsizetype(candidates.size() - half),
                       second);
            done.release();
        });
        matchRange(wanted, candidates.data(), qsizetype(half), matches);
        done.acquire();
        matches.insert(matches.end(), second.begin(), second.end());
    } else {
        matchRange(wanted, candidates.data(), qsizetype(candidates.size()), matches);
    }

    results.total = int(matches.size());
    m_lastWords = wanted;
    m_lastGeneration = m_generation;
    m_lastMatches.clear();
    m_lastMatches.reserve(matches.size());
    for (const Match& m : matches)
        m_lastMatches.push_back(m.id);

    for (const bool nameMatches : {true, false}) {
        for (const Match& m : matches) {
            if (results.listed.size() >= listLimit)
                break;
            if (m.nameMatch != nameMatches)
                continue;
            const Entry& e = m_entries[m.id];
            const Folder& folder = m_folders[size_t(e.folder)];
            Hit hit{folder.category, folder.subCategory, e.name, m.nameMatch, 0, {}};
            if (m.textPos != NotFound) {
                const QByteArray& bytes = e.text.bytes;
                const char* data = bytes.constData();
                const void* before = ::memrchr(data, '\n', size_t(m.textPos));
                const qsizetype lineStart =
                    before ? static_cast<const char*>(before) - data + 1 : 0;
                const void* after =
                    std::memchr(data + m.textPos, '\n', size_t(bytes.size() - m.textPos));
                const qsizetype lineEnd =
                    after ? static_cast<const char*>(after) - data : bytes.size();
                hit.line = 1 + int(std::count(data, data + lineStart, '\n'));
                hit.lineText =
                    TextFold::original(e.text, lineStart, lineEnd).trimmed().left(LineTextLimit);
            }
            results.listed.append(std::move(hit));
        }
    }
    return results;
}

int SnippetIndex::snippetCount() const {
    QReadLocker locker(&m_lock);
    return int(m_order.size());
}

qsizetype SnippetIndex::memoryBytes() const {
    QReadLocker locker(&m_lock);
    // Each allocation costs its heap header too.
    constexpr qsizetype Header = 16;
    qsizetype total = qsizetype(m_entries.capacity() * sizeof(Entry)) +
                      qsizetype(m_order.capacity() + m_free.capacity()) * 4;
    for (const Entry& e : m_entries) {
        if (e.folder < 0)
            continue;
        total +=
            e.name.capacity() * 2 + e.foldedName.capacity() + e.text.memoryBytes() + 5 * Header;
    }
    for (auto it = m_byPath.cbegin(); it != m_byPath.cend(); ++it)
        total += it.key().capacity() * 2 + Header + 32;
    for (const Folder& f : m_folders)
        total += qsizetype(sizeof(Folder)) +
                 (f.rel.capacity() + f.category.capacity() + f.subCategory.capacity()) * 2 +
                 f.sortKey.capacity() + 4 * Header + 32;
    return total;
}
