// SPDX-License-Identifier: MIT
// A pass over the library: every snippet file looked at, those changed read and folded, and
// what is gone from the disk dropped.
#include "search/snippetindex.h"

#include "library/names.h"

#include <QElapsedTimer>
#include <algorithm>

namespace {

// Publishing often keeps the window's view of a pass fresh; each publication holds the write
// lock only while entries are moved in.
constexpr qsizetype BatchBytes = 4 << 20;
constexpr size_t BatchFiles = 1024;
constexpr int BatchMilliseconds = 100;
// Files are looked at this many at a time, half of them on a second thread.
constexpr size_t Together = 64;

} // namespace

void SnippetIndex::runPass() {
    LibraryFs& fs = *m_passFs;
    const quint64 start = m_clock.load();
    QHash<QString, std::pair<qint64, qint64>> known;
    {
        const std::unique_lock lock(m_lock);
        // Changes older than this pass cannot make its reads stale.
        m_touched.removeIf([start](const auto& it) { return it.value() <= start; });
    }
    {
        // Searches go on meanwhile: only this thread and the queue's taker write, and not here.
        const std::shared_lock lock(m_lock);
        known.reserve(qsizetype(m_store.order().size()));
        for (quint32 id : m_store.order()) {
            const RecordStore::Entry& e = m_store.entries()[id];
            known.insert(m_store.relativeFile(id), {e.size, e.modified});
        }
    }

    std::vector<Job> jobs;
    QSet<QString> keptFolders;
    const auto listFolder = [&](const QString& folderRel) {
        const QString path = folderPath(fs, folderRel);
        const LibraryFs::Listing files = fs.listFiles(path);
        if (!files.result.ok && fs.folderExists(path))
            keptFolders.insert(folderRel);
        for (const QString& file : files.names) {
            if (!Names::snippetNameOfFile(file).isNull())
                jobs.push_back({folderRel, file});
        }
        m_total = int(jobs.size());
    };
    const LibraryFs::Listing categories = fs.listFolders(fs.libraryPath());
    if (!categories.result.ok)
        return; // nothing is known to have gone
    for (const QString& category : categories.names) {
        if (m_cancel)
            return;
        listFolder(category);
        const LibraryFs::Listing subs = fs.listFolders(fs.categoryFolder(category));
        if (!subs.result.ok && fs.folderExists(fs.categoryFolder(category)))
            keptFolders.insert(category + QLatin1Char('/'));
        for (const QString& sub : subs.names)
            listFolder(category + QLatin1Char('/') + sub);
    }
    noteChange(false);

    // One core folds what the other reads.
    std::vector<Look> looks(Together);
    std::vector<std::pair<ReadSnippet, quint64>> batch;
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
        const auto lookAtRange = [&](LibraryFs& with, size_t from, size_t to) {
            for (size_t i = from; i < to && !m_cancel; ++i)
                looks[i - first] = lookAt(with, jobs[i], known);
        };
        m_passHelper.together([&] { lookAtRange(*m_helperFs, first, middle); },
                              [&] { lookAtRange(fs, middle, end); });
        if (m_cancel)
            return;

        for (size_t i = first; i < end; ++i) {
            m_done = int(i + 1);
            const Job& job = jobs[i];
            Look& look = looks[i - first];
            if (!look.stamp.exists)
                continue; // gone since the listing: dropped below if it was indexed
            known.remove(job.folderRel + QLatin1Char('/') + job.fileName);
            if (look.same)
                continue;
            batchBytes += look.text.bytes.size();
            batch.emplace_back(snippetOf(job, std::move(look)), readClock);
            if (batchBytes >= BatchBytes || batch.size() >= BatchFiles ||
                sincePublish.elapsed() >= BatchMilliseconds) {
                publish(batch);
                batchBytes = 0;
                sincePublish.restart();
                applyChanges(false);
                noteChange(false);
            }
        }
    }
    publish(batch);

    const std::unique_lock lock(m_lock);
    std::vector<quint32> gone;
    for (auto it = known.cbegin(); it != known.cend(); ++it) {
        const QString& rel = it.key();
        const QString folderRel = rel.left(rel.lastIndexOf(QLatin1Char('/')));
        if (touchedSince(rel, start) || kept(keptFolders, folderRel))
            continue;
        const int id = m_store.lookup(
            folderRel, Names::snippetNameOfFile(QStringView(rel).mid(folderRel.size() + 1)));
        if (id >= 0)
            gone.push_back(quint32(id));
    }
    m_store.remove(gone);
}

SnippetIndex::Look
SnippetIndex::lookAt(LibraryFs& fs, const Job& job,
                     const QHash<QString, std::pair<qint64, qint64>>& known) const {
    const QString path = LibraryFs::fileInFolder(folderPath(fs, job.folderRel), job.fileName);
    const auto seen = known.constFind(job.folderRel + QLatin1Char('/') + job.fileName);
    // A file new to the index is read at once: opening it tells what it is, and saves a look at
    // its path per file on the first pass.
    if (seen == known.cend())
        return readSnippetFile(fs, path, {});
    Look look;
    look.stamp = fs.stamp(path);
    look.same = seen->first == look.stamp.size && seen->second == look.stamp.modified;
    if (!look.stamp.exists || look.same)
        return look;
    return readSnippetFile(fs, path, look.stamp);
}

SnippetIndex::Look SnippetIndex::readSnippetFile(LibraryFs& fs, const QString& path,
                                                 LibraryFs::Stamp stamp) const {
    Look look;
    look.stamp = stamp;
    // Anything but a plain file (a named pipe, a device) is found by its name only.
    if (stamp.exists && !stamp.regular)
        return look;
    // So is a file too large to open: reading it whole would take several times its size.
    LibraryFs::Read read = fs.readFile(path, LibraryFs::SnippetReadLimit, &m_cancel);
    if (read.cancelled) {
        look.cancelled = true;
        return look;
    }
    if (read.stamp.exists)
        look.stamp = read.stamp;
    else if (!look.stamp.exists)
        look.stamp = fs.stamp(path);
    if (read.result.ok) {
        look.text = TextFold::fromFileBytes(std::move(read.bytes), &m_cancel);
        look.cancelled = m_cancel;
    } else if (!read.tooLarge && look.stamp.regular)
        look.failed = true;
    return look;
}

ReadSnippet SnippetIndex::snippetOf(const Job& job, Look&& look) {
    return {job.folderRel, Names::snippetNameOfFile(job.fileName),
            look.failed ? RecordStore::Unread : look.stamp.size, look.stamp.modified,
            std::move(look.text)};
}

void SnippetIndex::publish(std::vector<std::pair<ReadSnippet, quint64>>& items) {
    if (items.empty())
        return;
    const std::unique_lock lock(m_lock);
    for (auto& [snippet, readClock] : items) {
        const QString rel =
            snippet.folderRel + QLatin1Char('/') + Names::snippetFileName(snippet.name);
        if (touchedSince(rel, readClock))
            continue; // the program changed it after it was read
        m_store.upsert(std::move(snippet));
    }
    m_store.commit();
    items.clear();
}

bool SnippetIndex::kept(const QSet<QString>& keptFolders, const QString& folderRel) {
    if (keptFolders.isEmpty())
        return false;
    const qsizetype slash = folderRel.indexOf(QLatin1Char('/'));
    return keptFolders.contains(folderRel) ||
           (slash > 0 && keptFolders.contains(folderRel.left(slash + 1)));
}
