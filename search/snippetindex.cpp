// SPDX-License-Identifier: MIT
// The index's own thread, its orders, and what the window asks of it between searches.
#include "search/snippetindex.h"

#include "library/libraryfs.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <chrono>

namespace {

constexpr qint64 NoticeMilliseconds = 200;

qint64 nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

SnippetIndex::SnippetIndex(const QString& folder, QObject* parent)
    : SnippetIndex(LibraryLocations::beside(folder), parent) {}

SnippetIndex::SnippetIndex(const LibraryLocations& locations, QObject* parent)
    : SnippetIndex([locations] { return std::make_unique<LibraryFs>(locations); }, parent) {}

SnippetIndex::SnippetIndex(const FsFactory& makeFs, QObject* parent)
    : QObject(parent), m_passFs(makeFs()), m_helperFs(makeFs()), m_applyFs(makeFs()) {
    m_libraryPath = QDir::cleanPath(m_passFs->libraryPath()) + QLatin1Char('/');
    m_thread = std::thread([this] { work(); });
}

SnippetIndex::~SnippetIndex() {
    {
        const std::lock_guard state(m_state);
        m_cancel = true;
    }
    m_wake.notify_all();
    m_thread.join();
    // A search on another thread sees the flag within a block and ends.
    const std::lock_guard searching(m_finding);
}

void SnippetIndex::work() {
    std::unique_lock state(m_state);
    for (;;) {
        m_wake.wait(state, [this] { return m_cancel || m_passWanted || !m_queue.empty(); });
        if (m_cancel)
            return;
        const bool pass = m_passWanted;
        m_passWanted = false;
        state.unlock();
        if (pass) {
            m_done = 0;
            m_total = 0;
            runPass();
        }
        applyChanges(true);
        state.lock();
        // Asked for again meanwhile: the next pass follows at once.
        if (!m_passWanted)
            m_running = false;
        state.unlock();
        noteChange(true);
        state.lock();
    }
}

void SnippetIndex::refresh() {
    {
        const std::lock_guard state(m_state);
        m_passWanted = true;
        m_running = true;
    }
    m_wake.notify_all();
}

SnippetIndex::Progress SnippetIndex::progress() const {
    return {m_running.load(), m_done.load(), m_total.load()};
}

bool SnippetIndex::waitForIdle(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    const auto idle = [this] {
        const std::lock_guard state(m_state);
        return !m_running && !m_passWanted && m_queue.empty() && m_applyingNow == 0;
    };
    while (!idle()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    QCoreApplication::processEvents();
    return true;
}

int SnippetIndex::snippetCount() const {
    const std::shared_lock lock(m_lock);
    return int(m_store.order().size());
}

qsizetype SnippetIndex::memoryBytes() const {
    const std::shared_lock lock(m_lock);
    return m_store.memoryBytes();
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

QString SnippetIndex::folderPath(const LibraryFs& fs, const QString& folderRel) const {
    const qsizetype slash = folderRel.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return fs.categoryFolder(folderRel);
    return fs.subCategoryFolder(folderRel.left(slash), folderRel.mid(slash + 1));
}
