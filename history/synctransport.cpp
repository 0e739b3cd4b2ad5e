// SPDX-License-Identifier: MIT
// The transport's fetch and push, their progress and their failures; the logins are in
// synclogins.cpp.
#include "history/synctransport.h"

#include "history/gitsupport.h"

#include <QCoreApplication>
#include <QUrl>
#include <cstring>

using namespace gitsupport;
using syncmerge::Cancelled;
using syncmerge::Failure;

namespace {

using Remote = Own<git_remote, git_remote_free>;

} // namespace

std::optional<SyncTransport::SshAddress> SyncTransport::sshAddress(const QString& remote) {
    const bool sshScheme = remote.startsWith(QLatin1String("ssh://"), Qt::CaseInsensitive) ||
                           remote.startsWith(QLatin1String("ssh+git://"), Qt::CaseInsensitive) ||
                           remote.startsWith(QLatin1String("git+ssh://"), Qt::CaseInsensitive);
    if (sshScheme) {
        const QUrl url(remote);
        if (!url.isValid() || url.host().isEmpty())
            return std::nullopt;
        return SshAddress{url.host(), url.port(22)};
    }
    const qsizetype colon = remote.indexOf(QLatin1Char(':'));
    const qsizetype slash = remote.indexOf(QLatin1Char('/'));
    if (remote.contains(QLatin1String("://")) || colon <= 0 || (slash >= 0 && slash < colon))
        return std::nullopt;
    QString host = remote.left(colon).section(QLatin1Char('@'), -1);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    return SshAddress{host, 22};
}

SyncTransport::SyncTransport(git_repository* repo, LibraryFs& fs, const QString& remote,
                             Hooks hooks)
    : m_repo(repo), m_fs(fs), m_remote(remote), m_url(remote.toUtf8()), m_hooks(std::move(hooks)),
      m_ssh(sshAddress(remote)) {
    // A login written into the URL is handed over only where any other would be, never sent
    // by libgit2 unasked.
    QUrl url(remote);
    if (remote.contains(QLatin1String("://")) && !url.password().isEmpty()) {
        m_secrets.append(url.password());
        m_urlLogin = LibrarySync::Login{url.userName(), url.password()};
        url.setPassword({});
        m_url = url.toEncoded();
    }
    // Over http the user name too is handed over only as part of a login.
    if (url.scheme().startsWith(QLatin1String("http"), Qt::CaseInsensitive) &&
        !url.userInfo().isEmpty()) {
        if (!m_urlLogin) // a token as the user name, as some hosts take it
            m_urlLogin = LibrarySync::Login{url.userName(), QString()};
        url.setUserInfo({});
        m_url = url.toEncoded();
    }
}

// Every connection (the fetch's, the push's) asks for a login and checks the host anew.
git_remote_callbacks SyncTransport::callbacks() {
    git_remote_callbacks made;
    git_remote_init_callbacks(&made, GIT_REMOTE_CALLBACKS_VERSION);
    made.payload = this;
    made.credentials = credentials;
    made.certificate_check = certificateCheck;
    made.transfer_progress = transferProgress;
    made.pack_progress = packProgress;
    made.push_transfer_progress = pushProgress;
    made.push_update_reference = pushUpdate;
    made.sideband_progress = sideband;
    m_freshConnection = true;
    m_lastProgress = {};
    m_progressShown = 0;
    m_bytesSeen = 0;
    return made;
}

// Told at most every tenth of a second, or every hundredth of the whole, and at the end.
void SyncTransport::report(quint64 done, quint64 total) {
    touch();
    if (!m_hooks.progress)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (done != total && now - m_lastProgress < std::chrono::milliseconds(100) &&
        (done - m_progressShown) * 100 < total)
        return;
    if (done == total && m_progressShown == done && m_lastProgress.time_since_epoch().count())
        return;
    m_lastProgress = now;
    m_progressShown = done;
    m_hooks.progress(done, total);
}

// The remote is alive while bytes move: told at most once a second.
void SyncTransport::touch() {
    const auto now = std::chrono::steady_clock::now();
    if (!m_hooks.alive || now - m_lastAlive < std::chrono::seconds(1))
        return;
    m_lastAlive = now;
    m_hooks.alive();
}

int SyncTransport::sideband(const char*, int, void* payload) {
    SyncTransport& run = *static_cast<SyncTransport*>(payload);
    run.touch();
    return run.cancelled() ? -1 : 0;
}

int SyncTransport::transferProgress(const git_indexer_progress* stats, void* payload) {
    SyncTransport& run = *static_cast<SyncTransport*>(payload);
    if (run.cancelled())
        return -1;
    if (stats->received_bytes != run.m_bytesSeen) {
        run.m_bytesSeen = stats->received_bytes;
        run.touch();
    }
    run.report(stats->received_objects, stats->total_objects);
    return 0;
}

int SyncTransport::packProgress(int, uint32_t, uint32_t, void* payload) {
    SyncTransport& run = *static_cast<SyncTransport*>(payload);
    run.touch(); // packing a large history is work, not a stall
    return run.cancelled() ? -1 : 0;
}

int SyncTransport::pushProgress(unsigned int done, unsigned int total, size_t bytes,
                                void* payload) {
    SyncTransport& run = *static_cast<SyncTransport*>(payload);
    if (run.cancelled())
        return -1;
    if (bytes != run.m_bytesSeen) {
        run.m_bytesSeen = bytes;
        run.touch();
    }
    run.report(done, total);
    return 0;
}

int SyncTransport::pushUpdate(const char*, const char* status, void* payload) {
    if (status)
        static_cast<SyncTransport*>(payload)->m_refused = QString::fromUtf8(status);
    return 0;
}

// Stops libgit2 with a cause of the program's own.
int SyncTransport::stop(const QString& cause) {
    m_stop = cause;
    git_error_set_str(GIT_ERROR_NONE, "");
    return GIT_EUSER;
}

void SyncTransport::failNet(int error) {
    if (cancelled())
        throw Cancelled{};
    throw Failure{netCause(error)};
}

// Why a fetch or a push failed, as the user can act on it.
QString SyncTransport::netCause(int error) const {
    if (!m_stop.isEmpty())
        return m_stop;
    const git_error* last = git_error_last();
    const int kind = last ? last->klass : GIT_ERROR_NONE;
    const QString said = lastError();
    const auto has = [&](const char* words) {
        return said.contains(QLatin1String(words), Qt::CaseInsensitive);
    };
    QString cause;
    if (has("failed to resolve address"))
        cause = QCoreApplication::translate(
            "LibrarySync", "the host was not found; the computer may be offline, or the "
                           "address is wrong");
    else if (has("failed to connect") || has("connection refused") || has("timed out"))
        cause = QCoreApplication::translate(
            "LibrarySync", "the host did not answer; the computer may be offline, or the "
                           "server is down");
    else if (error == GIT_EAUTH || has("authentication") || has("status code: 401") ||
             has("status code: 403"))
        cause = QCoreApplication::translate("LibrarySync", "the login was refused");
    else if (error == GIT_ECERTIFICATE || kind == GIT_ERROR_SSL)
        cause =
            QCoreApplication::translate("LibrarySync", "the server's certificate is not trusted");
    else if (has("could not find repository") || has("failed to resolve path") ||
             has("status code: 404") || has("not a git repository") ||
             has("not appear to be a git repository") || has("repository not found") ||
             has("does not exist"))
        cause =
            QCoreApplication::translate("LibrarySync", "there is no repository at that address");
    else if (has("early EOF") || has("unexpected EOF") || has("remote closed the connection"))
        cause = QCoreApplication::translate(
            "LibrarySync", "the remote closed the connection; there may be no repository "
                           "at that address");
    else if (has("unsupported URL protocol"))
        cause = QCoreApplication::translate("LibrarySync",
                                            "this program cannot reach a remote of that kind");
    return cause.isEmpty() ? said : cause + QStringLiteral(" (") + said + QLatin1Char(')');
}

// The remote's main, fetched; none when the remote has no main yet.
std::optional<git_oid> SyncTransport::fetch() {
    Remote remote;
    if (git_remote_create_anonymous(remote.out(), m_repo, m_url.constData()) < 0)
        throw Failure{lastError()};
    git_fetch_options options;
    git_fetch_options_init(&options, GIT_FETCH_OPTIONS_VERSION);
    options.callbacks = callbacks();
    options.prune = GIT_FETCH_NO_PRUNE;
    options.update_fetchhead = 0;
    options.download_tags = GIT_REMOTE_DOWNLOAD_TAGS_NONE;
    char mainSpec[] = "+refs/heads/main:refs/remotes/sync/main";
    char draftSpec[] = "+refs/quillary/drafts:refs/remotes/sync/drafts";
    char* fetched[] = {mainSpec, draftSpec};
    const git_strarray refspecs{fetched, 2};
    if (const int error = git_remote_fetch(remote.get(), &refspecs, &options, "sync: fetch");
        error < 0)
        failNet(error);
    connected();
    const git_remote_head** heads = nullptr;
    size_t count = 0;
    if (git_remote_ls(&heads, &count, remote.get()) < 0)
        throw Failure{lastError()};
    for (size_t i = 0; i < count; ++i) {
        if (std::strcmp(heads[i]->name, "refs/heads/main") == 0)
            return heads[i]->oid;
    }
    // Gone there, so gone here: what main was is no reason to merge with it again.
    Reference stale;
    if (git_reference_lookup(stale.out(), m_repo, TrackedMain) == 0)
        git_reference_delete(stale.get());
    return std::nullopt;
}

// False when the remote moved on meanwhile; never forced.
bool SyncTransport::push() {
    git_oid target;
    if (git_reference_name_to_id(&target, m_repo, PushRef) < 0)
        throw Failure{lastError()};
    Remote remote;
    m_refused.clear();
    git_push_options options;
    git_push_options_init(&options, GIT_PUSH_OPTIONS_VERSION);
    options.callbacks = callbacks();
    options.pb_parallelism = 0; // as many threads as the machine has, for the deltas
    char pushSpec[] = "refs/quillary/sync-push:refs/heads/main";
    char* pushed[] = {pushSpec};
    const git_strarray refspecs{pushed, 1};
    int error = git_remote_create_anonymous(remote.out(), m_repo, m_url.constData());
    if (error == 0)
        error = git_remote_push(remote.get(), &refspecs, &options);
    const QString cause = error < 0 && error != GIT_ENONFASTFORWARD ? netCause(error) : QString();
    if (error == GIT_ENONFASTFORWARD ||
        (error == 0 && (m_refused.contains(QLatin1String("fast-forward")) ||
                        m_refused.contains(QLatin1String("fetch first")))))
        return false;
    if (error < 0) {
        if (cancelled())
            throw Cancelled{};
        throw Failure{cause};
    }
    connected();
    if (!m_refused.isEmpty())
        throw Failure{
            QCoreApplication::translate("LibrarySync", "the remote refused the update (%1)")
                .arg(m_refused)};
    Reference tracked;
    git_reference_create(tracked.out(), m_repo, TrackedMain, &target, 1, "sync: push");
    return true;
}
