// SPDX-License-Identifier: MIT
#include "history/sync.h"

#include "history/gitsupport.h"
#include "history/synclocal.h"
#include "history/syncmerge.h"
#include "history/syncplan.h"
#include "history/synctransport.h"
#include "history/syncwrite.h"
#include "history/transportchild.h"
#include "library/libraryfs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSysInfo>
#include <QUrl>
#include <chrono>
#include <optional>

using namespace gitsupport;
using namespace syncmerge;

const char* const LibrarySync::ActionWord = "sync";

namespace {

// A remote that keeps moving on is given up on after this many rounds.
constexpr int Rounds = 3;
// Commands recorded while a push waits each take another round, up to this many.
constexpr int MostLocalRounds = 20;

class Run {
public:
    Run(const QString& gitFolder, LibraryFs& fs, const QString& remote,
        const std::atomic<bool>& cancel, const LibrarySync& owner)
        : m_gitFolder(gitFolder), m_fs(fs), m_remote(remote), m_cancel(cancel), m_owner(owner) {
        const QString password = QUrl(remote).password();
        if (remote.contains(QLatin1String("://")) && !password.isEmpty())
            m_secrets.append(password);
    }

    // The cause as a message may show it: no secret the user gave, nor one written in the URL.
    QString scrubbed(QString cause) const {
        cause.replace(m_remote, LibrarySync::shown(m_remote));
        if (const QUrl url(m_remote);
            url.scheme().startsWith(QLatin1String("http"), Qt::CaseInsensitive) &&
            !url.userName().isEmpty())
            cause.replace(url.userName(QUrl::FullyEncoded) + QLatin1Char('@'), QString());
        for (const QString& secret : m_secrets) {
            cause.replace(secret, QStringLiteral("***"));
            cause.replace(QString::fromUtf8(QUrl::toPercentEncoding(secret)),
                          QStringLiteral("***"));
        }
        return cause;
    }

    void run(SyncOutcome& outcome) {
        if (SyncTransport::sshAddress(m_remote) && !(git_libgit2_features() & GIT_FEATURE_SSH))
            throw Failure{QCoreApplication::translate(
                "LibrarySync", "this program's libgit2 was built without ssh; use an "
                               "https remote")};
        if (git_repository_open_ext(m_repo.out(), QFile::encodeName(m_gitFolder).constData(),
                                    GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr) < 0)
            throw Failure{lastError()};
        int localRounds = 0;
        for (int round = 1;; ++round) {
            step(LibrarySync::Step::Fetch);
            const std::optional<git_oid> theirs = fetch();
            const std::optional<git_oid> ours = localHead();
            step(LibrarySync::Step::Merge);
            const Plan plan =
                syncplan::Planner(m_repo.get(), m_fs, m_owner.ignoresCase).bringIn(ours, theirs);
            if (plan.target && (!theirs || !git_oid_equal(&*plan.target, &*theirs))) {
                step(LibrarySync::Step::Push);
                if (!push(*plan.target, theirs)) {
                    if (round < Rounds)
                        continue;
                    throw Failure{QCoreApplication::translate(
                        "LibrarySync", "the remote kept changing while it was "
                                       "synced; try again")};
                }
                // A command recorded while the push waited: the next round brings it along.
                const std::optional<git_oid> now = localHead();
                const bool moved =
                    now.has_value() != ours.has_value() || (now && !git_oid_equal(&*now, &*ours));
                if (moved && ++localRounds < MostLocalRounds) {
                    --round;
                    continue;
                }
            }
            // The remote holds the result now: the rest is local and is done whatever the flag.
            if (!plan.target || (ours && git_oid_equal(&*plan.target, &*ours)))
                return;
            if (m_owner.beforeStep)
                m_owner.beforeStep(LibrarySync::Step::Write);
            syncwrite::write(m_repo.get(), m_fs, plan, ours, outcome);
            return;
        }
    }

private:
    void step(LibrarySync::Step which) {
        if (m_owner.beforeStep)
            m_owner.beforeStep(which);
        if (cancelled())
            throw Cancelled{};
    }

    bool cancelled() const { return m_cancel.load(std::memory_order_acquire); }

    // The network is reached from a process of its own, which is ended on a cancel, at the
    // program's end, or when the remote stops answering; its questions come here.
    transportchild::Result transport(const QString& operation) {
        transportchild::Relay relay;
        relay.cancelled = [this] { return cancelled(); };
        relay.whileWaiting = m_owner.whileWaiting;
        relay.stallTimeout = m_owner.stallTimeout;
        relay.progress = [this](quint64 done, quint64 total) { report(done, total); };
        relay.trustUnknownHost = m_owner.trustUnknownHost;
        relay.askLogin = [this](const QString& user,
                                int attempt) -> std::optional<LibrarySync::Login> {
            if (attempt == 0 && m_worked)
                return m_worked; // the login that worked serves every connection after
            if (m_loginsAsked >= SyncTransport::MaxLogins || !m_owner.askLogin)
                return std::nullopt;
            std::optional<LibrarySync::Login> login =
                m_owner.askLogin(LibrarySync::shown(m_remote), user, m_loginsAsked++);
            if (login && !login->secret.isEmpty())
                m_secrets.append(login->secret);
            return login;
        };
        relay.loginWorked = [this](const LibrarySync::Login& login) {
            if (!m_worked && m_owner.loginWorked)
                m_owner.loginWorked(LibrarySync::shown(m_remote), login);
            m_worked = login;
        };
        return transportchild::run(operation, m_gitFolder, m_remote, relay);
    }

    void report(quint64 done, quint64 total) {
        if (m_owner.progress)
            m_owner.progress(m_progressStep, done, total);
    }

    std::optional<git_oid> fetch() {
        m_progressStep = LibrarySync::Step::Fetch;
        const std::optional<git_oid> head = transport(QStringLiteral("fetch")).head;
        // The child wrote the objects and refs through a handle of its own.
        if (Odb odb; git_repository_odb(odb.out(), m_repo.get()) == 0)
            git_odb_refresh(odb.get());
        return head;
    }

    // False when the remote moved on meanwhile; never forced.
    bool push(const git_oid& target, const std::optional<git_oid>& theirs) {
        m_progressStep = LibrarySync::Step::Push;
        if (const std::optional<QString> bare = synclocal::bareRepository(m_remote)) {
            synclocal::Hooks hooks;
            hooks.cancelled = [this] { return cancelled(); };
            hooks.progress = [this](quint64 done, quint64 total) { report(done, total); };
            return synclocal::push(m_repo.get(), *bare, target, theirs, hooks);
        }
        Reference temporary;
        if (git_reference_create(temporary.out(), m_repo.get(), SyncTransport::PushRef, &target, 1,
                                 "sync: push") < 0)
            throw Failure{lastError()};
        const auto dropTemporary =
            qScopeGuard([&temporary] { git_reference_delete(temporary.get()); });
        return !transport(QStringLiteral("push")).behind;
    }
    std::optional<git_oid> localHead() {
        const int unborn = git_repository_head_unborn(m_repo.get());
        if (unborn < 0)
            throw Failure{lastError()};
        if (unborn == 1)
            return std::nullopt;
        git_oid id;
        if (git_reference_name_to_id(&id, m_repo.get(), "HEAD") < 0)
            throw Failure{lastError()};
        return id;
    }

    QString m_gitFolder;
    LibraryFs& m_fs;
    QString m_remote;
    const std::atomic<bool>& m_cancel;
    const LibrarySync& m_owner;
    Repository m_repo;
    QStringList m_secrets; // never shown in a message
    int m_loginsAsked = 0;
    std::optional<LibrarySync::Login> m_worked;
    LibrarySync::Step m_progressStep = LibrarySync::Step::Fetch;
};

} // namespace

LibrarySync::LibrarySync(const QString& gitFolder, LibraryFs& fs)
    : m_gitFolder(QDir::cleanPath(gitFolder)), m_fs(fs) {}

QString LibrarySync::hostName() {
    const QString host = fileSafe(QSysInfo::machineHostName());
    return host.isEmpty() ? QStringLiteral("other") : host;
}

QString LibrarySync::shown(const QString& remote) {
    if (!remote.contains(QLatin1String("://")))
        return remote; // a folder, or scp's user@host:path, which has no place for a secret
    QUrl url(remote);
    if (!url.isValid())
        return remote.section(QLatin1Char('@'), -1); // whatever sat before an '@' may be secret
    // Over http a user name in the URL is often a token; ssh's is the login name.
    if (url.scheme().startsWith(QLatin1String("http"), Qt::CaseInsensitive))
        url.setUserInfo({});
    else
        url.setPassword({});
    return url.toString();
}

SyncOutcome LibrarySync::run(const QString& remote, const std::atomic<bool>& cancel) {
    const Library git;
    SyncOutcome outcome;
    Run running(m_gitFolder, m_fs, remote, cancel, *this);
    try {
        running.run(outcome);
    } catch (const Cancelled&) {
        outcome = {};
        outcome.result = SyncOutcome::Result::Cancelled;
    } catch (const Failure& failure) {
        outcome = {};
        outcome.result = SyncOutcome::Result::Failed;
        outcome.failure = QCoreApplication::translate(
                              "LibrarySync", "The library could not be synced with \"%1\": %2.")
                              .arg(shown(remote), running.scrubbed(failure.cause));
    }
    return outcome;
}
