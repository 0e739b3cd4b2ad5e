// SPDX-License-Identifier: MIT
#include "search/snippetindex.h"

#include "library/libraryfs.h"
#include "library/names.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstring>
#include <functional>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

using Names::SnippetEnding;
// Publishing often keeps the window's view of a pass fresh; each publication holds the write
// lock only while entries are moved in.
constexpr qsizetype BatchBytes = 4 << 20;
constexpr size_t BatchFiles = 1024;
constexpr int BatchMilliseconds = 100;
constexpr qint64 NoticeMilliseconds = 200;
// Below this many candidates a second thread costs more than it saves.
constexpr size_t ParallelFrom = 4096;
constexpr int LineTextLimit = 200;
constexpr qsizetype ChunkBytes = 1 << 20;
// A snippet's count of words found when it is not among the snippets searched.
constexpr quint8 Excluded = 0xFF;
constexpr int MaxWords = 64;

// Finds a word by two of its rarest bytes, sixteen places at a time, then compares the rest.
class WordFinder {
public:
    WordFinder(const QByteArray& word, const std::array<quint64, 256>& counts) : m_word(word) {
        const auto rarer = [&](qsizetype a, qsizetype b) {
            return counts[uchar(word[a])] < counts[uchar(word[b])];
        };
        for (qsizetype i = 1; i < word.size(); ++i) {
            if (rarer(i, m_first))
                m_first = i;
        }
        m_second = m_first == 0 ? 1 : 0;
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (i != m_first && rarer(i, m_second))
                m_second = i;
        }
    }

    const char* find(const char* p, const char* end) const {
        const qsizetype n = m_word.size();
        if (end - p < n)
            return nullptr;
        const char* word = m_word.constData();
        if (n == 1)
            return static_cast<const char*>(std::memchr(p, word[0], size_t(end - p)));
        const char* last = end - n; // the last place a match can start
        const char first = word[m_first];
        const char second = word[m_second];
#ifdef __SSE2__
        const __m128i firsts = _mm_set1_epi8(first);
        const __m128i seconds = _mm_set1_epi8(second);
        for (; last - p >= 15; p += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + m_first));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + m_second));
            unsigned mask = unsigned(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi8(a, firsts), _mm_cmpeq_epi8(b, seconds))));
            while (mask) {
                const char* at = p + std::countr_zero(mask);
                if (std::memcmp(at, word, size_t(n)) == 0)
                    return at;
                mask &= mask - 1;
            }
        }
#endif
        for (; p <= last; ++p) {
            if (p[m_first] == first && p[m_second] == second &&
                std::memcmp(p, word, size_t(n)) == 0)
                return p;
        }
        return nullptr;
    }

private:
    QByteArray m_word;
    qsizetype m_first = 0;
    qsizetype m_second = 0;
};

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

SnippetIndex::SnippetIndex(const QString& folder, QObject* parent)
    : SnippetIndex(LibraryLocations::beside(folder), parent) {}

SnippetIndex::SnippetIndex(const LibraryLocations& locations, QObject* parent)
    : QObject(parent), m_fs(std::make_unique<LibraryFs>(locations)),
      m_workerFs(std::make_unique<LibraryFs>(locations)) {
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
    }
    {
        // Searches go on meanwhile: only the pass's own thread writes, and not here.
        QReadLocker locker(&m_lock);
        known.reserve(qsizetype(m_order.size()));
        for (quint32 id : m_order) {
            const Entry& e = m_entries[id];
            known.insert(m_folders[size_t(e.folder)].rel + QLatin1Char('/') + e.name +
                             SnippetEnding,
                         {e.size, e.modified});
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

    // What a look at one file finds. Files whose size and time are those indexed are not read.
    struct Look {
        LibraryFs::Stamp stamp;
        bool same = false;
        FoldedText text;
    };
    const auto lookAt = [&](const Job& job) {
        Look look;
        const QString path = m_libraryPath + job.folderRel + QLatin1Char('/') + job.fileName;
        const auto seen = known.constFind(job.folderRel + QLatin1Char('/') + job.fileName);
        // A file new to the index is read at once: opening it tells what it is, and saves a
        // look at its path per file on the first pass.
        LibraryFs::Read read;
        if (seen == known.cend())
            read = fs.readFile(path);
        look.stamp = read.stamp.exists ? read.stamp : fs.stamp(path);
        look.same = seen != known.cend() && seen->first == look.stamp.size &&
                    seen->second == look.stamp.modified;
        // Anything but a plain file (a named pipe, a device) is found by its name only.
        if (!look.stamp.exists || look.same || !look.stamp.regular)
            return look;
        if (!read.stamp.exists)
            read = fs.readFile(path);
        if (read.result.ok)
            look.text = TextFold::fromFileBytes(read.bytes);
        return look;
    };

    // Files are looked at a few dozen at a time, half of them on a second thread, so that one
    // core folds what the other reads.
    constexpr size_t Together = 64;
    std::vector<Look> looks(Together);
    QThreadPool helper;
    helper.setMaxThreadCount(1);
    std::vector<Item> batch;
    qsizetype batchBytes = 0;
    QElapsedTimer sincePublish;
    sincePublish.start();
    for (size_t first = 0; first < jobs.size(); first += Together) {
        if (m_cancel)
            return;
        const size_t end = std::min(jobs.size(), first + Together);
        const size_t middle = first + (end - first) / 2;
        // Taken before anything is read: a change of the program's own after it wins.
        const quint64 readClock = m_clock.load();
        QSemaphore helped;
        helper.start([&] {
            for (size_t i = first; i < middle; ++i)
                looks[i - first] = lookAt(jobs[i]);
            helped.release();
        });
        for (size_t i = middle; i < end; ++i)
            looks[i - first] = lookAt(jobs[i]);
        helped.acquire();

        for (size_t i = first; i < end; ++i) {
            m_done = int(i + 1);
            const Job& job = jobs[i];
            Look& look = looks[i - first];
            if (!look.stamp.exists)
                continue; // gone since the listing: removed below if it was indexed
            const QString rel = job.folderRel + QLatin1Char('/') + job.fileName;
            known.remove(rel);
            if (look.same)
                continue;
            Item item{rel,
                      job.folderRel,
                      Names::snippetNameOfFile(job.fileName),
                      look.stamp.size,
                      look.stamp.modified,
                      std::move(look.text),
                      readClock};
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
    }
    publish(batch);

    {
        QWriteLocker locker(&m_lock);
        std::vector<quint32> gone;
        for (auto it = known.cbegin(); it != known.cend(); ++it) {
            if (touchedSince(it.key(), start))
                continue;
            const int id = lookup(it.key());
            if (id >= 0)
                gone.push_back(quint32(id));
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

int SnippetIndex::lookup(const QString& rel) const {
    QString folderRel, fileName;
    if (!splitRelative(rel, folderRel, fileName))
        return -1;
    const int folder = m_folderIds.value(folderRel, -1);
    if (folder < 0)
        return -1;
    const auto found = m_byPath.constFind(PathKey{folder, Names::snippetNameOfFile(fileName)});
    return found == m_byPath.cend() ? -1 : int(*found);
}

void SnippetIndex::upsert(const QString& rel, const QString& folderRel, const QString& name,
                          qint64 size, qint64 modified, FoldedText&& text,
                          std::vector<quint32>& added) {
    const int known = lookup(rel);
    quint32 id;
    if (known >= 0) {
        id = quint32(known);
        release(id);
    } else if (!m_free.empty()) {
        id = m_free.back();
        m_free.pop_back();
    } else {
        id = quint32(m_entries.size());
        m_entries.emplace_back();
    }
    Entry& e = m_entries[id];
    e.upper = std::move(text.upper);
    e.others = std::move(text.others);
    e.size = size;
    e.modified = modified;
    if (known >= 0) {
        store(id, TextFold::fold(name), text.bytes);
        return;
    }
    e.folder = folderId(folderRel);
    e.name = name;
    store(id, TextFold::fold(name), text.bytes);
    m_byPath.insert(PathKey{e.folder, e.name}, id);
    added.push_back(id);
}

void SnippetIndex::store(quint32 id, const QByteArray& foldedName, const QByteArray& text) {
    Entry& e = m_entries[id];
    const qsizetype length = foldedName.size() + 1 + text.size() + 1;
    if (m_chunks.empty() || m_chunks.back().capacity - m_chunks.back().used < length) {
        Chunk chunk;
        chunk.capacity = std::max(ChunkBytes, length);
        chunk.data.reset(new char[size_t(chunk.capacity)]);
        m_chunks.push_back(std::move(chunk));
    }
    Chunk& chunk = m_chunks.back();
    char* out = chunk.data.get() + chunk.used;
    std::memcpy(out, foldedName.constData(), size_t(foldedName.size()));
    out[foldedName.size()] = '\0';
    std::memcpy(out + foldedName.size() + 1, text.constData(), size_t(text.size()));
    out[length - 1] = '\0';
    e.chunk = int(m_chunks.size() - 1);
    e.start = quint32(chunk.used);
    e.nameLength = quint32(foldedName.size());
    e.textLength = quint32(text.size());
    chunk.spans.push_back({e.start, id});
    // A sample of the bytes is enough to tell rare ones from common ones.
    for (qsizetype i = 0; i < length; i += 7)
        ++m_byteCounts[uchar(out[i])];
    chunk.used += length;
    m_liveBytes += length;
}

void SnippetIndex::release(quint32 id) {
    Entry& e = m_entries[id];
    if (e.chunk < 0)
        return;
    const int c = e.chunk;
    Chunk& chunk = m_chunks[size_t(c)];
    chunk.dead += e.recordLength();
    m_liveBytes -= e.recordLength();
    e.chunk = -1;
    // A block half dead is copied down to its live records; the block being filled waits.
    if (c + 1 < int(m_chunks.size()) && chunk.dead * 2 > chunk.used)
        compact(c);
}

void SnippetIndex::compact(int c) {
    Chunk old = std::move(m_chunks[size_t(c)]);
    m_chunks[size_t(c)] = Chunk{};
    for (const Span& span : old.spans) {
        Entry& e = m_entries[span.id];
        if (e.chunk != c || e.start != span.offset)
            continue;
        const char* record = old.data.get() + span.offset;
        const QByteArray name = QByteArray::fromRawData(record, e.nameLength);
        const QByteArray text = QByteArray::fromRawData(record + e.nameLength + 1, e.textLength);
        m_liveBytes -= e.recordLength();
        store(span.id, name, text);
    }
}

// The slot is freed by the caller once the order no longer holds it.
void SnippetIndex::removeEntry(quint32 id) {
    Entry& e = m_entries[id];
    release(id);
    m_byPath.remove(PathKey{e.folder, e.name});
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
    const int c = std::memcmp(x.record(m_chunks), y.record(m_chunks),
                              std::min(x.nameLength, y.nameLength) + 1);
    if (c != 0)
        return c < 0;
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

void SnippetIndex::fileChanged(const QString& path) {
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
        const int found = lookup(rel);
        if (found < 0)
            return;
        const quint32 id = quint32(found);
        removeEntry(id);
        std::erase(m_order, id);
        m_free.push_back(id);
        ++m_generation;
    }
    noteChange(true);
}

void SnippetIndex::folderChanged(const QString& path) {
    const QString folderRel = relativePath(path);
    if (folderRel.isEmpty() || folderRel.count(QLatin1Char('/')) > 1)
        return;
    const quint64 clock = ++m_clock;
    // Whatever the folder (and a category's sub-folders) holds now, nothing more.
    QStringList folders{folderRel};
    if (!folderRel.contains(QLatin1Char('/'))) {
        for (const QString& sub : m_fs->listFolders(path).names)
            folders.append(folderRel + QLatin1Char('/') + sub);
    }
    std::vector<Item> items;
    QSet<QString> present;
    for (const QString& rel : folders) {
        for (const QString& file : m_fs->listFiles(m_libraryPath + rel).names) {
            const QString name = Names::snippetNameOfFile(file);
            const QString filePath = m_libraryPath + rel + QLatin1Char('/') + file;
            const LibraryFs::Stamp stamp = m_fs->stamp(filePath);
            if (name.isNull() || !stamp.exists)
                continue;
            Item item{
                rel + QLatin1Char('/') + file, rel, name, stamp.size, stamp.modified, {}, clock};
            if (stamp.regular) {
                const LibraryFs::Read read = m_fs->readFile(filePath);
                if (read.result.ok)
                    item.text = TextFold::fromFileBytes(read.bytes);
            }
            present.insert(item.rel);
            items.push_back(std::move(item));
        }
    }
    {
        QWriteLocker locker(&m_lock);
        m_touched.insert(folderRel, clock);
        const QString below = folderRel + QLatin1Char('/');
        std::vector<quint32> gone;
        for (quint32 id : m_order) {
            const Entry& e = m_entries[id];
            const QString& rel = m_folders[size_t(e.folder)].rel;
            if ((rel == folderRel || rel.startsWith(below)) &&
                !present.contains(rel + QLatin1Char('/') + e.name + SnippetEnding))
                gone.push_back(id);
        }
        for (quint32 id : gone)
            removeEntry(id);
        if (!gone.empty())
            std::erase_if(m_order, [this](quint32 id) { return m_entries[id].folder < 0; });
        m_free.insert(m_free.end(), gone.begin(), gone.end());
        std::vector<quint32> added;
        for (Item& item : items)
            upsert(item.rel, item.folderRel, item.name, item.size, item.modified,
                   std::move(item.text), added);
        insertIntoOrder(added);
        ++m_generation;
    }
    noteChange(true);
}

// Searching -------------------------------------------------------------------------------------

struct SnippetIndex::Scan {
    std::vector<WordFinder> words;
    std::vector<quint8> found;       // per entry: words found so far, or Excluded
    std::vector<quint8> outsideName; // per entry: some word was found in the text only
    std::vector<quint32> firstText;  // per entry: earliest text offset of such a word
};

QStringList SnippetIndex::words(const QString& query) {
    QString cleaned = query;
    for (QChar& c : cleaned) {
        if (c.unicode() < 0x20)
            c = QLatin1Char(' '); // never part of a word, so no word spans two records
    }
    return cleaned.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

void SnippetIndex::scanChunks(Scan& scan, size_t word, int first, int end,
                              std::vector<quint32>& found) const {
    const WordFinder& finder = scan.words[word];
    for (int c = first; c < end; ++c) {
        const Chunk& chunk = m_chunks[size_t(c)];
        const char* base = chunk.data.get();
        size_t k = 0;
        qsizetype p = 0;
        while (p < chunk.used) {
            const char* hit = finder.find(base + p, base + chunk.used);
            if (!hit)
                break;
            const qsizetype at = hit - base;
            while (k + 1 < chunk.spans.size() && chunk.spans[k + 1].offset <= at)
                ++k;
            const Span& span = chunk.spans[k];
            p = k + 1 < chunk.spans.size() ? qsizetype(chunk.spans[k + 1].offset) : chunk.used;
            const Entry& e = m_entries[span.id];
            if (e.chunk != c || e.start != span.offset || scan.found[span.id] != word)
                continue;
            const qsizetype inRecord = at - span.offset;
            if (inRecord > qsizetype(e.nameLength)) {
                const auto offset = quint32(inRecord - e.nameLength - 1);
                if (!scan.outsideName[span.id] || offset < scan.firstText[span.id])
                    scan.firstText[span.id] = offset;
                scan.outsideName[span.id] = 1;
            }
            scan.found[span.id] = quint8(word + 1);
            found.push_back(span.id);
        }
    }
}

void SnippetIndex::checkEntries(Scan& scan, size_t fromWord, const quint32* ids,
                                qsizetype count) const {
    for (qsizetype i = 0; i < count; ++i) {
        const quint32 id = ids[i];
        if (scan.found[id] != fromWord)
            continue;
        const Entry& e = m_entries[id];
        const char* record = e.record(m_chunks);
        const char* end = record + e.recordLength() - 1;
        for (size_t w = fromWord; w < scan.words.size(); ++w) {
            const char* hit = scan.words[w].find(record, end);
            if (!hit)
                break;
            const qsizetype inRecord = hit - record;
            if (inRecord > qsizetype(e.nameLength)) {
                const auto offset = quint32(inRecord - e.nameLength - 1);
                if (!scan.outsideName[id] || offset < scan.firstText[id])
                    scan.firstText[id] = offset;
                scan.outsideName[id] = 1;
            }
            scan.found[id] = quint8(w + 1);
        }
    }
}

SnippetIndex::Results SnippetIndex::find(const QString& query, int listLimit) {
    const QMutexLocker one(&m_finding);
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
        if (!implied && wanted.size() < MaxWords)
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
    const std::vector<quint32> candidates = refine ? std::move(m_lastMatches) : m_order;

    Scan scan;
    for (const QByteArray& word : wanted)
        scan.words.emplace_back(word, m_byteCounts);
    scan.found.assign(m_entries.size(), refine ? Excluded : 0);
    if (refine) {
        for (quint32 id : candidates)
            scan.found[id] = 0;
    }
    scan.outsideName.assign(m_entries.size(), 0);
    scan.firstText.assign(m_entries.size(), 0);

    // Few candidates: each record on its own. Many: whole blocks, one pass per word, until
    // few are left. Either way a large search is split in two for the second core; part 0,
    // on this thread, does everything the other part does not.
    const qsizetype average = m_order.empty() ? 1 : m_liveBytes / qsizetype(m_order.size());
    const auto fewFor = [&](size_t count, qsizetype bytes) {
        return qsizetype(count) * average * 4 < bytes;
    };
    const auto runInParallel = [&](const std::function<void(int)>& part, bool split) {
        if (!split) {
            part(0);
            return;
        }
        QSemaphore done;
        m_pool.start([&] {
            part(1);
            done.release();
        });
        part(0);
        done.acquire();
    };
    if (fewFor(candidates.size(), m_liveBytes)) {
        const bool split = candidates.size() >= ParallelFrom;
        const qsizetype half = split ? qsizetype(candidates.size() / 2) : 0;
        runInParallel(
            [&](int part) {
                checkEntries(scan, 0, candidates.data() + (part ? 0 : half),
                             part ? half : qsizetype(candidates.size()) - half);
            },
            split);
    } else {
        // Two runs of whole blocks holding about half the bytes each.
        const bool split = m_liveBytes >= qsizetype(ParallelFrom) * average;
        int middle = 0;
        qsizetype bytes = 0;
        while (split && middle < int(m_chunks.size()) && bytes * 2 < m_liveBytes)
            bytes += m_chunks[size_t(middle++)].used;
        runInParallel(
            [&](int part) {
                const int first = part ? 0 : middle;
                const int end = part ? middle : int(m_chunks.size());
                qsizetype partBytes = 0;
                for (int c = first; c < end; ++c)
                    partBytes += m_chunks[size_t(c)].used;
                // One block at a time: the later words look only at the block's survivors,
                // while the block is still in the cache.
                std::vector<quint32> alive;
                for (int c = first; c < end; ++c) {
                    alive.clear();
                    scanChunks(scan, 0, c, c + 1, alive);
                    if (wanted.size() > 1)
                        checkEntries(scan, 1, alive.data(), qsizetype(alive.size()));
                }
            },
            split);
    }

    const auto all = quint8(wanted.size());
    m_lastMatches.clear();
    for (quint32 id : candidates) {
        if (scan.found[id] == all)
            m_lastMatches.push_back(id);
    }
    results.total = int(m_lastMatches.size());
    m_lastWords = wanted;
    m_lastGeneration = m_generation;

    for (const bool nameMatches : {true, false}) {
        for (quint32 id : m_lastMatches) {
            if (results.listed.size() >= listLimit)
                break;
            if (bool(scan.outsideName[id]) == nameMatches)
                continue;
            const Entry& e = m_entries[id];
            const Folder& folder = m_folders[size_t(e.folder)];
            Hit hit{folder.category, folder.subCategory, e.name, nameMatches, 0, {}};
            if (!nameMatches) {
                const char* text = e.record(m_chunks) + e.nameLength + 1;
                const qsizetype at = scan.firstText[id];
                const void* before = ::memrchr(text, '\n', size_t(at));
                const qsizetype lineStart =
                    before ? static_cast<const char*>(before) - text + 1 : 0;
                const void* after = std::memchr(text + at, '\n', size_t(e.textLength - at));
                const qsizetype lineEnd =
                    after ? static_cast<const char*>(after) - text : qsizetype(e.textLength);
                hit.line = 1 + int(std::count(text, text + lineStart, '\n'));
                hit.lineText = TextFold::original(QByteArrayView(text, e.textLength), e.upper,
                                                  e.others, lineStart, lineEnd)
                                   .trimmed()
                                   .left(LineTextLimit);
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
    for (const Chunk& chunk : m_chunks)
        total += chunk.capacity + qsizetype(chunk.spans.capacity() * sizeof(Span)) + 2 * Header;
    for (const Entry& e : m_entries) {
        if (e.folder < 0)
            continue;
        total += e.name.capacity() * 2 + e.upper.capacity() +
                 qsizetype(e.others.capacity() * sizeof(e.others[0])) + 3 * Header;
    }
    // The hash's nodes and buckets; its names are shared with the entries.
    total += m_byPath.size() * qsizetype(sizeof(PathKey) + sizeof(quint32) + 8) +
             qsizetype(m_byPath.capacity()) * 8;
    for (const Folder& f : m_folders)
        total += qsizetype(sizeof(Folder)) +
                 (f.rel.capacity() + f.category.capacity() + f.subCategory.capacity()) * 2 +
                 f.sortKey.capacity() + 4 * Header + 32;
    return total;
}
