// SPDX-License-Identifier: MIT
// The worker's queue and thread: opening the repository, running each job in turn, and the
// sync's questions to the window.
#include "history/historyworker.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

using namespace gitsupport;
using namespace historydetail;

namespace {

// git's index is written whole, as long as the library is large: it waits for a pause in the
// user's commands, so a burst of saves is not held up behind it.
constexpr std::chrono::milliseconds AlignIndexAfter{1000};

} // namespace

void History::Worker::post(Job job) {
    {
        const std::lock_guard guard(mutex);
        if (state.load(std::memory_order_acquire) == State::Off || stopping)
            return;
        if (job.kind == Job::Kind::Scan) {
            if (scanQueued)
                return;
            scanQueued = true;
        }
        jobs.push_back(std::move(job));
    }
    wake.notify_one();
}

void History::Worker::tell(const QString& text) {
    {
        const std::lock_guard guard(mutex);
        if (reported)
            return;
        reported = true;
        report = text;
    }
    emit owner->reportReady();
}

void History::Worker::failed(const QString& what) {
    tell(History::tr("The history could not record %1 (%2). The command itself was done; "
                     "the history goes on recording what comes next.")
             .arg(what, lastError()));
}

void History::Worker::run() {
    const Library git;
    {
        // The window comes first: the history opens once start-up is over, or at once when
        // the program ends sooner.
        std::unique_lock guard(mutex);
        wake.wait_for(guard, startDelay, [this] { return stopping; });
    }
    bool opened = open();
    state.store(opened ? State::On : State::Off, std::memory_order_release);
    std::unique_lock guard(mutex);
    if (!opened)
        jobs.clear();
    for (;;) {
        if (opened) {
            // Commands told while the history opened come after the look at the library, so
            // the first version holds the library as it was before them.
            jobs.push_front(Job{Job::Kind::Scan, Action::ChangedOutside, {}, {}});
            scanQueued = true;
            opened = false;
        }
        busy = false;
        idle.notify_all();
        wake.wait(guard, [this] { return stopping || !jobs.empty() || takeOverAsked; });
        if (takeOverAsked) {
            takeOverAsked = false;
            if (stopping || state.load(std::memory_order_acquire) != State::Off)
                continue;
            busy = true;
            guard.unlock();
            takeOver();
            opened = open();
            guard.lock();
            if (opened)
                state.store(State::On, std::memory_order_release);
            continue;
        }
        if (jobs.empty())
            break;
        Job job = std::move(jobs.front());
        jobs.pop_front();
        if (job.kind == Job::Kind::Scan) {
            scanQueued = false;
            if (stopping)
                continue; // quitting never waits for a look over the library
        }
        if (job.kind == Job::Kind::Sync && stopping) {
            syncing = false;
            continue; // nor for a sync that has not begun
        }
        busy = true;
        guard.unlock();
        if (lockLost.load(std::memory_order_acquire)) {
            tell(History::tr("History is off: another copy of Quillary took over the history "
                             "in \"%1\" while this one was not refreshing its lock.")
                     .arg(QDir::toNativeSeparators(gitFolder)));
            state.store(State::Off, std::memory_order_release);
            guard.lock();
            jobs.clear();
            continue;
        }
        if (job.kind == Job::Kind::Command || job.kind == Job::Kind::OnDisk) {
            // No command is dropped because the first version could not be made yet: each one
            // waits, in order, for a look that succeeds.
            held.push_back(std::move(job));
            if (firstVersionExists()) {
                while (!held.empty()) {
                    Job next = std::move(held.front());
                    held.pop_front();
                    execute(next);
                }
            }
        } else {
            execute(job);
        }
        guard.lock();
        // Packing and the index can wait for the next run: quitting never waits for them.
        if (!stopping && jobs.empty()) {
            guard.unlock();
            packIfNeeded();
            const bool behind = indexBehind();
            guard.lock();
            // A burst of commands brings the index in line once, when they pause; one who
            // waits for the history to be idle needs it now.
            if (behind && (idleWanted > 0 || !wake.wait_for(guard, AlignIndexAfter, [this] {
                    return stopping || !jobs.empty() || takeOverAsked || idleWanted > 0;
                }))) {
                guard.unlock();
                alignIndex();
                guard.lock();
            }
        }
    }
    guard.unlock();
    keepWhatWaits();
    repo.reset();
    refreshWake.notify_all(); // stopping is set: the refresher ends
    if (refresher.joinable())
        refresher.join();
    lock.reset();
}

void History::Worker::execute(Job& job) {
    switch (job.kind) {
    case Job::Kind::Command:
        command(job);
        break;
    case Job::Kind::OnDisk:
        keepOnDisk(job);
        break;
    case Job::Kind::Draft:
        draft(job);
        break;
    case Job::Kind::Scan:
        scan();
        break;
    case Job::Kind::Sync:
        sync(job);
        break;
    }
}

bool History::Worker::open() {
    // A library that has gone has nothing to record; the window says why when it is used.
    if (!QFileInfo(library).isDir())
        return false;
    const QFileInfo folder(gitFolder);
    const QString where = QDir::toNativeSeparators(gitFolder);
    // An empty folder holds nothing to keep: it is where the history goes.
    if (!folder.exists() ||
        (folder.isDir() && QDir(gitFolder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                   QDir::Hidden | QDir::System))) {
        // Made bare, then given its work tree: made with one, libgit2 would leave a ".git"
        // link inside the library, which the tree would show as a category.
        git_repository_init_options options{};
        git_repository_init_options_init(&options, GIT_REPOSITORY_INIT_OPTIONS_VERSION);
        options.flags =
            GIT_REPOSITORY_INIT_MKPATH | GIT_REPOSITORY_INIT_BARE | GIT_REPOSITORY_INIT_NO_REINIT;
        options.initial_head = "main";
        Config config;
        // Relative, so a portable copy still finds its library after it is moved.
        const QString relative = QDir(gitFolder).relativeFilePath(library);
        if (git_repository_init_ext(repo.out(), QFile::encodeName(gitFolder).constData(),
                                    &options) < 0 ||
            git_repository_config(config.out(), repo.get()) < 0 ||
            git_config_set_bool(config.get(), "core.bare", 0) < 0 ||
            git_config_set_string(config.get(), "core.worktree",
                                  QFile::encodeName(relative).constData()) < 0 ||
            git_config_set_bool(config.get(), "core.logallrefupdates", 0) < 0) {
            tell(History::tr("History is off: it cannot be made in \"%1\" (%2). Quillary "
                             "works as before, without it.")
                     .arg(where, lastError()));
            return false;
        }
        repo.reset();
    }
    const auto unreadable = [&](const QString& why) {
        tell(History::tr("History is off: the history in \"%1\" cannot be read (%2). "
                         "Quillary works as before, without it, and leaves that folder "
                         "as it is.")
                 .arg(where, why));
        repo.reset();
        return false;
    };
    if (git_repository_open_ext(repo.out(), QFile::encodeName(gitFolder).constData(),
                                GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr) < 0)
        return unreadable(lastError());
    const int unborn = git_repository_head_unborn(repo.get());
    if (unborn < 0)
        return unreadable(lastError());
    if (unborn == 0) {
        Commit head;
        git_oid id;
        Tree tree;
        if (git_reference_name_to_id(&id, repo.get(), "HEAD") < 0 ||
            git_commit_lookup(head.out(), repo.get(), &id) < 0 ||
            git_commit_tree(tree.out(), head.get()) < 0)
            return unreadable(lastError());
    }

    if (!takeLock()) {
        repo.reset();
        return false;
    }
    if (!useLibraryAsWorkTree(repo))
        return unreadable(lastError());
    if (!settleRepositorySettings())
        return unreadable(lastError());
    hostName = LibrarySync::hostName();
    if (Config settings; git_repository_config(settings.out(), repo.get()) == 0) {
        git_buf named{};
        if (git_config_get_string_buf(&named, settings.get(), "quillary.host") == 0 &&
            named.size > 0)
            hostName = QString::fromUtf8(named.ptr, qsizetype(named.size));
        git_buf_dispose(&named);
    }
    Signature configured;
    if (git_signature_default(configured.out(), repo.get()) == 0) {
        authorName = QString::fromUtf8(configured.get()->name);
        authorEmail = QString::fromUtf8(configured.get()->email);
    } else {
        authorName = loginName();
        authorEmail = authorName + QLatin1Char('@') + QSysInfo::machineHostName();
    }
    looseObjects = countLoose().size();
    firstVersionPartial = partialFirstVersion();
    return true;
}

// The repository names its work tree relative to itself, so this holds unless the folders
// were moved apart. libgit2 1.5 leaks a little memory setting one, so it is set only then.
bool History::Worker::useLibraryAsWorkTree(Repository& in) const {
    const char* current = git_repository_workdir(in.get());
    if (current &&
        QDir(QFile::decodeName(current)).canonicalPath() == QDir(library).canonicalPath())
        return true;
    return git_repository_set_workdir(in.get(), QFile::encodeName(library).constData(), 0) == 0;
}

void History::Worker::sync(const Job& job) {
    const QString remote = job.paths.value(0);
    // What other programs changed is recorded first, so the sync takes nothing unrecorded.
    scan();
    LibraryFs fs(LibraryLocations{library, {}});
    LibrarySync syncer(gitFolder, fs);
    syncer.beforeStep = [this](LibrarySync::Step step) { moved(step, 0, 0, true); };
    syncer.progress = [this](LibrarySync::Step step, quint64 done, quint64 total) {
        moved(step, done, total, false);
    };
    syncer.trustUnknownHost = [&](const QString& host, const QString& keyType,
                                  const QString& fingerprint) {
        SyncQuestion asked;
        asked.kind = SyncQuestion::Kind::TrustHost;
        asked.remote = remote;
        asked.host = host;
        asked.keyType = keyType;
        asked.fingerprint = fingerprint;
        return ask(asked).first;
    };
    syncer.askLogin = [&](const QString&, const QString& user,
                          int attempt) -> std::optional<LibrarySync::Login> {
        if (attempt == 0 && job.login)
            return job.login;
        SyncQuestion asked;
        asked.kind = SyncQuestion::Kind::Login;
        asked.remote = remote;
        asked.user = user;
        asked.attempt = attempt;
        const auto [yes, login] = ask(asked);
        return yes ? std::optional(login) : std::nullopt;
    };
    syncer.whileWaiting = [this] { recordWhileSyncing(); };
    {
        const std::lock_guard guard(mutex);
        syncer.stallTimeout = syncStall;
    }
    syncer.loginWorked = [this](const QString&, const LibrarySync::Login& login) {
        const std::lock_guard guard(mutex);
        workedLogin = login;
    };
    SyncOutcome done = syncer.run(remote, syncCancel);
    // The sync wrote objects and moved the branch through a handle of its own.
    if (Odb odb; repo && git_repository_odb(odb.out(), repo.get()) == 0)
        git_odb_refresh(odb.get());
    // Before any look that is queued: a stale index would take the sync's entries for deletions.
    alignIndex();
    const bool changed = done.ok() && (!done.written.isEmpty() || !done.removed.isEmpty());
    {
        const std::lock_guard guard(mutex);
        outcome = std::move(done);
        syncing = false;
    }
    emit owner->synced();
    if (changed)
        emit owner->recorded();
}

// Commands told while a sync waits on the network are recorded meanwhile, in their order.
void History::Worker::recordWhileSyncing() {
    for (;;) {
        std::optional<Job> job;
        {
            const std::lock_guard guard(mutex);
            if (jobs.empty() || stopping ||
                (jobs.front().kind != Job::Kind::Command && jobs.front().kind != Job::Kind::Draft))
                return;
            job = std::move(jobs.front());
            jobs.pop_front();
        }
        if (job->kind == Job::Kind::Command)
            command(*job);
        else
            draft(*job);
    }
}

void History::Worker::moved(LibrarySync::Step step, quint64 done, quint64 total, bool stepped) {
    const auto now = std::chrono::steady_clock::now();
    {
        const std::lock_guard guard(mutex);
        // The window needs no more than a few updates a second.
        if (!stepped && now - progressSent < std::chrono::milliseconds(100))
            return;
        progressSent = now;
        progress = {true, step, done, total};
    }
    emit owner->syncProgressed();
}

// Waits for the window's answer; a cancel or the program's end answers no.
std::pair<bool, LibrarySync::Login> History::Worker::ask(const SyncQuestion& asked) {
    {
        const std::lock_guard guard(mutex);
        question = asked;
        answer.reset();
    }
    emit owner->syncAsks();
    std::unique_lock guard(mutex);
    answered.wait(guard, [this] {
        return answer.has_value() || stopping || syncCancel.load(std::memory_order_acquire);
    });
    question.reset();
    if (!answer)
        return {false, {}};
    return *std::exchange(answer, std::nullopt);
}
