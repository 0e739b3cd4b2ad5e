// SPDX-License-Identifier: MIT
// The program's own changes: told on the window's thread, which neither reads nor waits, and
// taken in in order by the index's thread or by the next search, whichever comes first.
#include "search/snippetindex.h"

#include "library/names.h"

namespace {

// "cat/name.code" or "cat/sub/name.code" split into its folder and file name.
bool splitRelative(const QString& rel, QString& folderRel, QString& fileName) {
    const qsizetype slash = rel.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0)
        return false;
    folderRel = rel.left(slash);
    fileName = rel.mid(slash + 1);
    return folderRel.count(QLatin1Char('/')) <= 1 && !Names::snippetNameOfFile(fileName).isNull();
}

} // namespace

void SnippetIndex::fileChanged(const QString& path) {
    QString rel = relativePath(path), folderRel, fileName;
    if (splitRelative(rel, folderRel, fileName))
        enqueue(std::move(rel), false);
}

void SnippetIndex::folderChanged(const QString& path) {
    QString folderRel = relativePath(path);
    if (!folderRel.isEmpty() && folderRel.count(QLatin1Char('/')) <= 1)
        enqueue(std::move(folderRel), true);
}

void SnippetIndex::enqueue(QString rel, bool folder) {
    {
        const std::lock_guard state(m_state);
        // Taken at once: a pass that read the file before now must not undo the change.
        m_queue.push_back({std::move(rel), folder, ++m_clock});
    }
    m_wake.notify_all();
    // Find Snippets searches again, and its search takes the change in.
    noteChange(true);
}

bool SnippetIndex::applyChanges(bool wait) {
    std::unique_lock applying(m_applying, std::defer_lock);
    if (wait)
        applying.lock();
    else if (!applying.try_lock())
        return true;
    for (;;) {
        Change change;
        {
            const std::lock_guard state(m_state);
            if (m_cancel)
                return false;
            if (m_queue.empty())
                return true;
            change = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_applyingNow;
        }
        if (change.folder)
            applyFolder(change);
        else
            applyFile(change);
        const std::lock_guard state(m_state);
        --m_applyingNow;
    }
}

void SnippetIndex::applyFile(const Change& change) {
    LibraryFs& fs = *m_applyFs;
    QString folderRel, fileName;
    splitRelative(change.rel, folderRel, fileName);
    const QString path = LibraryFs::fileInFolder(folderPath(fs, folderRel), fileName);
    Look look = readSnippetFile(fs, path, fs.stamp(path));
    if (look.cancelled)
        return;
    const std::unique_lock lock(m_lock);
    m_touched.insert(change.rel, change.clock);
    if (look.stamp.exists) {
        m_store.upsert(snippetOf({folderRel, fileName}, std::move(look)));
    } else {
        const int id = m_store.lookup(folderRel, Names::snippetNameOfFile(fileName));
        if (id >= 0)
            m_store.remove({quint32(id)});
    }
    m_store.commit();
}

void SnippetIndex::applyFolder(const Change& change) {
    LibraryFs& fs = *m_applyFs;
    const QString& top = change.rel;
    // Whatever the folder (and a category's sub-folders) holds now, nothing more.
    QStringList folders{top};
    QSet<QString> keptFolders;
    if (!top.contains(QLatin1Char('/'))) {
        const LibraryFs::Listing subs = fs.listFolders(fs.categoryFolder(top));
        if (!subs.result.ok && fs.folderExists(fs.categoryFolder(top)))
            keptFolders.insert(top + QLatin1Char('/'));
        for (const QString& sub : subs.names)
            folders.append(top + QLatin1Char('/') + sub);
    }
    std::vector<ReadSnippet> found;
    QSet<QString> present;
    for (const QString& folderRel : folders) {
        const QString folder = folderPath(fs, folderRel);
        const LibraryFs::Listing files = fs.listFiles(folder);
        if (!files.result.ok && fs.folderExists(folder))
            keptFolders.insert(folderRel);
        for (const QString& file : files.names) {
            if (Names::snippetNameOfFile(file).isNull())
                continue;
            const QString path = LibraryFs::fileInFolder(folder, file);
            Look look = readSnippetFile(fs, path, fs.stamp(path));
            if (look.cancelled)
                return;
            if (!look.stamp.exists)
                continue;
            present.insert(folderRel + QLatin1Char('/') + file);
            found.push_back(snippetOf({folderRel, file}, std::move(look)));
        }
    }
    const std::unique_lock lock(m_lock);
    m_touched.insert(top, change.clock);
    std::vector<quint32> gone;
    for (quint32 id : m_store.order()) {
        if (m_store.inFolder(id, top) && !present.contains(m_store.relativeFile(id)) &&
            !kept(keptFolders, m_store.folder(m_store.entries()[id]).rel))
            gone.push_back(id);
    }
    m_store.remove(gone);
    for (ReadSnippet& snippet : found)
        m_store.upsert(std::move(snippet));
    m_store.commit();
}
