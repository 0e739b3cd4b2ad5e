// SPDX-License-Identifier: MIT
// The history's lock: one copy of Quillary records at a time, a lock nobody renews goes stale on
// any machine, and git's own locks are removed only when a crashed copy left them.
#include "history/historyworker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <fcntl.h>
#include <sys/stat.h>

using namespace gitsupport;

namespace {

// A lock not renewed for this long is stale, whichever machine wrote it.
constexpr std::chrono::milliseconds StaleLockAfter = std::chrono::minutes(5);
// A copy renews its lock this often; git's locks that a crashed copy left are measured by it.
constexpr std::chrono::milliseconds RenewLockEvery = std::chrono::seconds(30);
// What a crash can leave behind in a git directory.
const char* const LeftoverLocks[] = {"index.lock",           "HEAD.lock",
                                     "refs/heads/main.lock", "refs/quillary/drafts.lock",
                                     "packed-refs.lock",     "config.lock"};

} // namespace

bool History::Worker::takeLock() {
    const QString path = gitFolder + QStringLiteral("/quillary.lock");
    const QString where = QDir::toNativeSeparators(gitFolder);
    // A lock found here and taken as stale is a crashed copy's: when it was last refreshed says
    // when that copy was last alive.
    const QFileInfo before(path);
    const QDateTime crashedAfter = before.exists() ? before.lastModified() : QDateTime();
    lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(int(StaleLockAfter.count()));
    if (!lock->tryLock(0)) {
        const bool other = lock->error() == QLockFile::LockFailedError;
        qint64 pid = 0;
        QString host;
        QString application;
        const bool known = other && lock->getLockInfo(&pid, &host, &application);
        lock.reset();
        const QDateTime since = QFileInfo(path).lastModified();
        if (other) {
            const std::lock_guard guard(mutex);
            holder = Holder{known ? host : QString(), since};
        }
        tell(other ? History::tr("History is off in this copy of Quillary: Quillary on the "
                                 "machine \"%1\" holds the history in \"%2\" (its lock was last "
                                 "renewed %3), so this one records nothing.")
                         .arg(known && !host.isEmpty() ? host : History::tr("unknown"), where,
                              QLocale().toString(since, QLocale::ShortFormat))
                   : History::tr("History is off: the history in \"%1\" cannot be "
                                 "written to. Quillary works as before, without it.")
                         .arg(where));
        return false;
    }
    {
        const std::lock_guard guard(mutex);
        holder.reset();
    }
    // git's own locks are removed only when a crashed copy of Quillary left them: made before
    // that copy last renewed its lock, or within one renewal after. A lock the user's git holds
    // now is newer than that.
    if (crashedAfter.isValid()) {
        const QDateTime latest = crashedAfter.addMSecs(qint64(RenewLockEvery.count()) + 2000);
        for (const char* name : LeftoverLocks) {
            const QFileInfo left(gitFolder + QLatin1Char('/') + QLatin1String(name));
            if (left.exists() && left.lastModified() <= latest)
                QFile::remove(left.filePath());
        }
    }
    lockLost.store(false, std::memory_order_release);
    if (!refresher.joinable())
        refresher = std::thread([this] { refreshLock(); });
    return true;
}

// Renews the lock's time while the program runs; a lock that is no longer this copy's means
// another copy took the history over.
void History::Worker::refreshLock() {
    const QByteArray path = QFile::encodeName(gitFolder + QStringLiteral("/quillary.lock"));
    const QByteArray mine = QByteArray::number(QCoreApplication::applicationPid());
    std::unique_lock guard(mutex);
    for (;;) {
        const std::chrono::milliseconds period = lockRenewal;
        if (refreshWake.wait_for(guard, period,
                                 [&] { return stopping || lockRenewal != period; })) {
            if (stopping)
                break;
            continue; // a new period starts now
        }
        if (lockLost.load(std::memory_order_acquire) ||
            state.load(std::memory_order_acquire) != State::On)
            continue;
        guard.unlock();
        QFile file(QFile::decodeName(path));
        const bool ours = file.open(QIODevice::ReadOnly) && file.readLine().trimmed() == mine;
        file.close();
        if (ours)
            ::utimensat(AT_FDCWD, path.constData(), nullptr, 0);
        else
            lockLost.store(true, std::memory_order_release);
        guard.lock();
    }
}

// The user took the history over from a copy that holds its lock without renewing it.
void History::Worker::takeOver() {
    {
        const std::lock_guard guard(mutex);
        reported = false;
        holder.reset();
    }
    QFile::remove(gitFolder + QStringLiteral("/quillary.lock"));
}
