// SPDX-License-Identifier: MIT
#include "history/history.h"

#include "history/historyworker.h"

#include <QDir>

using namespace gitsupport;
using namespace historydetail;

const QString History::MainRef = QStringLiteral("refs/heads/main");
const QString History::DraftsRef = QStringLiteral("refs/quillary/drafts");
QString History::subject(Action action, const QString& path) {
    // A subject is one line, whatever the name holds.
    QString shown = shownPath(path);
    shown.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    switch (action) {
    case Action::Save:
        return QStringLiteral("Save ") + shown;
    case Action::SaveAs:
        return QStringLiteral("Save As ") + shown;
    case Action::Delete:
        return QStringLiteral("Delete ") + shown;
    case Action::AddCategory:
        return QStringLiteral("Add Category ") + shown;
    case Action::RemoveCategory:
        return QStringLiteral("Remove Category ") + shown;
    case Action::Restore:
        return QStringLiteral("Restore ") + shown;
    case Action::ChangedOutside:
        return QStringLiteral("Changed outside Quillary");
    case Action::FirstVersion:
        return QStringLiteral("First version of the library");
    case Action::Draft:
        return QStringLiteral("Draft of ") + shown;
    case Action::Sync:
        return QStringLiteral("Sync");
    }
    return shown;
}

History::History(const QString& libraryFolder, const QString& gitFolder, int startDelayMs,
                 QObject* parent)
    : QObject(parent), m_worker(std::make_unique<Worker>()) {
    Worker& w = *m_worker;
    w.startDelay = std::chrono::milliseconds(startDelayMs);
    w.owner = this;
    w.library =
        libraryFolder.endsWith(QLatin1Char('/')) ? libraryFolder : libraryFolder + QLatin1Char('/');
    w.gitFolder = QDir::cleanPath(gitFolder);
    w.thread = std::thread([&w] { w.run(); });
}

History::~History() {
    {
        const std::lock_guard guard(m_worker->mutex);
        m_worker->stopping = true;
    }
    m_worker->cancel.store(true, std::memory_order_release);
    m_worker->syncCancel.store(true, std::memory_order_release);
    m_worker->wake.notify_all();
    m_worker->answered.notify_all();
    m_worker->refreshWake.notify_all();
    m_worker->thread.join();
}

bool History::isOn() const {
    return m_worker->state.load(std::memory_order_acquire) != Worker::State::Off;
}

QString History::takeReport() {
    const std::lock_guard guard(m_worker->mutex);
    return std::exchange(m_worker->report, QString());
}

void History::recordCommand(Action action, const QString& path, const QByteArray& bytes) {
    m_worker->post({Worker::Job::Kind::Command, action, {path}, {bytes}});
}

void History::recordRestore(const QStringList& paths, const QList<QByteArray>& bytes) {
    m_worker->post({Worker::Job::Kind::Command, Action::Restore, paths, bytes});
}

void History::recordOnDisk(const QStringList& paths, const QList<QByteArray>& bytes,
                           const QList<bool>& present) {
    m_worker->post({Worker::Job::Kind::OnDisk, Action::ChangedOutside, paths, bytes, {}, present});
}

std::optional<History::LockHolder> History::lockHolder() const {
    const std::lock_guard guard(m_worker->mutex);
    if (!m_worker->holder)
        return std::nullopt;
    return LockHolder{m_worker->holder->host, m_worker->holder->since};
}

void History::takeOver() {
    {
        const std::lock_guard guard(m_worker->mutex);
        if (!m_worker->holder)
            return;
        m_worker->takeOverAsked = true;
    }
    m_worker->wake.notify_all();
}

void History::recordDraft(const QString& path, const QByteArray& bytes) {
    m_worker->post({Worker::Job::Kind::Draft, Action::Draft, {path}, {bytes}});
}

void History::noticeOutsideChanges() {
    m_worker->post({Worker::Job::Kind::Scan, Action::ChangedOutside, {}, {}});
}

bool History::startSync(const QString& remote, std::optional<LibrarySync::Login> storedLogin) {
    Worker& w = *m_worker;
    {
        const std::lock_guard guard(w.mutex);
        if (w.syncing || w.stopping ||
            w.state.load(std::memory_order_acquire) == Worker::State::Off)
            return false;
        w.syncing = true;
        w.syncCancel.store(false, std::memory_order_release);
        w.progress = {};
        w.outcome = {};
        w.workedLogin.reset();
        w.jobs.push_back({Worker::Job::Kind::Sync, Action::Sync, {remote}, {}, storedLogin});
    }
    w.wake.notify_one();
    return true;
}

void History::setSyncStallTimeout(std::chrono::milliseconds timeout) {
    const std::lock_guard guard(m_worker->mutex);
    m_worker->syncStall = timeout;
}

void History::setLockRenewal(std::chrono::milliseconds period) {
    {
        const std::lock_guard guard(m_worker->mutex);
        m_worker->lockRenewal = period;
    }
    m_worker->refreshWake.notify_all();
}

void History::cancelSync() {
    {
        const std::lock_guard guard(m_worker->mutex);
        if (!m_worker->syncing)
            return;
        m_worker->syncCancel.store(true, std::memory_order_release);
    }
    m_worker->answered.notify_all();
}

bool History::isSyncing() const {
    const std::lock_guard guard(m_worker->mutex);
    return m_worker->syncing;
}

History::SyncProgress History::syncProgress() const {
    const std::lock_guard guard(m_worker->mutex);
    return m_worker->progress;
}

std::optional<History::SyncQuestion> History::syncQuestion() const {
    const std::lock_guard guard(m_worker->mutex);
    return m_worker->answer ? std::nullopt : m_worker->question;
}

void History::answerSyncQuestion(bool yes, const LibrarySync::Login& login) {
    {
        const std::lock_guard guard(m_worker->mutex);
        if (!m_worker->question)
            return;
        m_worker->answer = std::pair(yes, login);
    }
    m_worker->answered.notify_all();
}

SyncOutcome History::takeSyncOutcome() {
    const std::lock_guard guard(m_worker->mutex);
    return std::exchange(m_worker->outcome, SyncOutcome());
}

std::optional<LibrarySync::Login> History::takeWorkedLogin() {
    const std::lock_guard guard(m_worker->mutex);
    return std::exchange(m_worker->workedLogin, std::nullopt);
}

bool History::waitForIdle(int milliseconds) {
    std::unique_lock guard(m_worker->mutex);
    ++m_worker->idleWanted;
    m_worker->wake.notify_all();
    const bool idle =
        m_worker->idle.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] {
            return m_worker->jobs.empty() && !m_worker->busy && !m_worker->takeOverAsked;
        });
    --m_worker->idleWanted;
    return idle;
}
