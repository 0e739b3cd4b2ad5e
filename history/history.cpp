// SPDX-License-Identifier: MIT
#include "history/history.h"

#include "history/gitsupport.h"
#include "history/syncmerge.h"
#include "library/libraryfs.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSet>
#include <QSysInfo>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace gitsupport;

const QString History::MainRef = QStringLiteral("refs/heads/main");
const QString History::DraftsRef = QStringLiteral("refs/quillary/drafts");

namespace {

// libgit2 never packs by itself; loose objects past this many are packed on the worker.
constexpr int PackAfterLooseObjects = 4000;
// Commands write about this many objects: a blob, two or three trees, a commit.
constexpr int ObjectsPerCommit = 4;
// Files larger than a snippet may be are left out, as the editor leaves them unopened.
constexpr qint64 LargestRecorded = LibraryFs::SnippetReadLimit;
// What a crash can leave behind in a git directory.
const char* const LeftoverLocks[] = {"index.lock",           "HEAD.lock",
                                     "refs/heads/main.lock", "refs/quillary/drafts.lock",
                                     "packed-refs.lock",     "config.lock"};

QString shownPath(const QString& path) {
    return path.endsWith(QStringLiteral(".code")) ? path.chopped(5) : path;
}

// The machine's name names the copy a sync keeps of a snippet both sides changed.
QByteArray message(History::Action action, const QString& subject, const QStringList& paths,
                   const QString& host) {
    QByteArray text = subject.toUtf8() + "\n\nQuillary-Action: " + actionWord(action) +
                      "\nQuillary-Host: " + host.toUtf8() + "\n";
    for (const QString& path : paths)
        text += "Quillary-Path: " + path.toUtf8() + "\n";
    return text;
}

QString loginName() {
    if (const passwd* user = getpwuid(getuid()); user && user->pw_name && *user->pw_name)
        return QString::fromLocal8Bit(user->pw_name);
    const QString fromEnvironment = qEnvironmentVariable("USER");
    return fromEnvironment.isEmpty() ? QStringLiteral("quillary") : fromEnvironment;
}

struct ScanPayload {
    const std::atomic<bool>* cancel;
    QByteArray workdir;
    git_index* index = nullptr;
    git_odb* odb = nullptr;
};

// A version the library cannot hold as a file (a sync kept it in the history alone) is no
// deletion when it is missing.
bool neverOnDisk(const ScanPayload& payload, const char* path, int error) {
    if (error == ENOTDIR || error == ENAMETOOLONG || error == ELOOP)
        return true;
    const git_index_entry* entry = git_index_get_bypath(payload.index, path, 0);
    size_t size = 0;
    git_object_t type = GIT_OBJECT_INVALID;
    return entry && (!syncmerge::belongsOnDisk(path, {entry->id, git_filemode_t(entry->mode)}) ||
                     (git_odb_read_header(&size, &type, payload.odb, &entry->id) == 0 &&
                      !syncmerge::libraryCanHold(path, qint64(size))));
}

// Skips what is not a snippet file of a sensible size, and stops when the program quits.
int scanFilter(const char* path, const char*, void* data) {
    auto* payload = static_cast<ScanPayload*>(data);
    if (payload->cancel->load(std::memory_order_acquire))
        return -1;
    struct stat info {};
    const QByteArray full = payload->workdir + path;
    if (lstat(full.constData(), &info) != 0)
        return neverOnDisk(*payload, path, errno) ? 1 : 0; // else gone: the index forgets it
    if (S_ISREG(info.st_mode) && info.st_size > LargestRecorded)
        return 1;
    return 0;
}

} // namespace

QString History::subject(Action action, const QString& path) {
    const QString shown = shownPath(path);
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

struct History::Worker {
    enum class State { Starting, On, Off };
    struct Job {
        enum class Kind { Command, Draft, Scan, Sync } kind;
        Action action = Action::Save;
        QStringList paths; // a sync's remote
        QList<QByteArray> bytes;
        std::optional<LibrarySync::Login> login = {};
    };

    History* owner = nullptr;
    QString library; // ends with '/'
    QString gitFolder;
    std::chrono::milliseconds startDelay{0};

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<Job> jobs; // guarded by mutex
    bool busy = true;     // guarded; the opening counts as work
    bool stopping = false;
    bool scanQueued = false;
    QString report; // guarded; at most one per run of the program
    bool reported = false;
    std::atomic<State> state = State::Starting;
    std::atomic<bool> cancel = false;
    std::thread thread;

    // Syncing: set by the window's thread, read by the worker, all guarded by mutex.
    bool syncing = false;
    std::atomic<bool> syncCancel = false;
    SyncProgress progress;
    std::chrono::steady_clock::time_point progressSent;
    std::optional<SyncQuestion> question;
    std::optional<std::pair<bool, LibrarySync::Login>> answer;
    std::condition_variable answered;
    SyncOutcome outcome;
    std::optional<LibrarySync::Login> workedLogin;
    std::chrono::milliseconds syncStall{30000}; // set before the first sync

    // The worker's own, touched by no other thread.
    Repository repo;
    std::unique_ptr<QLockFile> lock;
    QString authorName;
    QString authorEmail;
    QString hostName; // git config quillary.host, else the machine's
    int looseObjects = 0;
    QHash<QString, QString> lastDraft; // path -> blob id
    // Objects written since the last pack, with the paths that let the pack find their deltas.
    std::vector<std::pair<git_oid, QByteArray>> written;

    void post(Job job) {
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

    void tell(const QString& text) {
        {
            const std::lock_guard guard(mutex);
            if (reported)
                return;
            reported = true;
            report = text;
        }
        emit owner->reportReady();
    }

    void failed(const QString& what) {
        tell(History::tr("The history could not record %1 (%2). The command itself was done; "
                         "the history goes on recording what comes next.")
                 .arg(what, lastError()));
    }

    void run() {
        const Library git;
        {
            // The window comes first: the history opens once start-up is over, or at once when
            // the program ends sooner.
            std::unique_lock guard(mutex);
            wake.wait_for(guard, startDelay, [this] { return stopping; });
        }
        const bool opened = open();
        state.store(opened ? State::On : State::Off, std::memory_order_release);
        std::unique_lock guard(mutex);
        if (!opened) {
            jobs.clear();
        } else {
            // Commands told while the history opened come after the look at the library, so
            // the first version holds the library as it was before them.
            jobs.push_front(Job{Job::Kind::Scan, Action::ChangedOutside, {}, {}});
            scanQueued = true;
        }
        busy = false;
        idle.notify_all();
        for (;;) {
            wake.wait(guard, [this] { return stopping || !jobs.empty(); });
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
            switch (job.kind) {
            case Job::Kind::Command:
                command(job);
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
            guard.lock();
            // Packing can wait for the next run: quitting never waits for it.
            if (!stopping) {
                guard.unlock();
                packIfNeeded();
                guard.lock();
            }
            busy = false;
            idle.notify_all();
        }
        repo.reset();
        lock.reset();
    }

    bool open() {
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
            options.flags = GIT_REPOSITORY_INIT_MKPATH | GIT_REPOSITORY_INIT_BARE |
                            GIT_REPOSITORY_INIT_NO_REINIT;
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

        lock = std::make_unique<QLockFile>(gitFolder + QStringLiteral("/quillary.lock"));
        lock->setStaleLockTime(0); // stale only when its process is gone
        if (!lock->tryLock(0)) {
            const bool other = lock->error() == QLockFile::LockFailedError;
            lock.reset();
            repo.reset();
            tell(other ? History::tr("History is off in this copy of Quillary: another copy "
                                     "is recording the history in \"%1\", so this one records "
                                     "nothing.")
                             .arg(where)
                       : History::tr("History is off: the history in \"%1\" cannot be "
                                     "written to. Quillary works as before, without it.")
                             .arg(where));
            return false;
        }
        // No copy of Quillary holds the history, so locks left there are a crash's leftovers.
        for (const char* name : LeftoverLocks)
            QFile::remove(gitFolder + QLatin1Char('/') + QLatin1String(name));

        if (!useLibraryAsWorkTree(repo))
            return unreadable(lastError());
        // Snippets are kept byte for byte, whatever the user's own git settings say of line ends.
        Config config;
        if (git_repository_config(config.out(), repo.get()) == 0) {
            int autocrlf = 0;
            if (git_config_get_bool(&autocrlf, config.get(), "core.autocrlf") != 0 || autocrlf)
                git_config_set_bool(config.get(), "core.autocrlf", 0);
            // Nor does a file's executable bit count: a version keeps the mode it came with.
            int filemode = 1;
            if (git_config_get_bool(&filemode, config.get(), "core.filemode") != 0 || filemode)
                git_config_set_bool(config.get(), "core.filemode", 0);
        }
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
        return true;
    }

    // The repository names its work tree relative to itself, so this holds unless the folders
    // were moved apart. libgit2 1.5 leaks a little memory setting one, so it is set only then.
    bool useLibraryAsWorkTree(Repository& in) const {
        const char* current = git_repository_workdir(in.get());
        if (current &&
            QDir(QFile::decodeName(current)).canonicalPath() == QDir(library).canonicalPath())
            return true;
        return git_repository_set_workdir(in.get(), QFile::encodeName(library).constData(), 0) == 0;
    }

    QStringList countLoose() const {
        QStringList loose;
        const QDir objects(gitFolder + QStringLiteral("/objects"));
        const QStringList fans = objects.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& fan : fans) {
            if (fan.size() != 2)
                continue;
            const QStringList files = QDir(objects.filePath(fan)).entryList(QDir::Files);
            for (const QString& file : files) {
                if (file.size() == GIT_OID_HEXSZ - 2)
                    loose.append(fan + file);
            }
        }
        return loose;
    }

    // The head commit and its tree; false when they cannot be read, `unborn` when there is none.
    bool head(Repository& in, Commit& commit, Tree& tree, bool& unborn) {
        const int none = git_repository_head_unborn(in.get());
        if (none < 0)
            return false;
        unborn = none == 1;
        if (unborn)
            return true;
        git_oid id;
        return git_reference_name_to_id(&id, in.get(), "HEAD") == 0 &&
               git_commit_lookup(commit.out(), in.get(), &id) == 0 &&
               git_commit_tree(tree.out(), commit.get()) == 0;
    }

    bool signature(Signature& out) {
        return git_signature_now(out.out(), authorName.toUtf8().constData(),
                                 authorEmail.toUtf8().constData()) == 0;
    }

    void command(const Job& job) {
        const QString what = QStringLiteral("\"%1\"").arg(subject(job.action, job.paths.value(0)));
        Commit parent;
        Tree base;
        bool unborn = false;
        if (!head(repo, parent, base, unborn))
            return failed(what);
        if (unborn)
            return; // the first version, when it is made, holds what is on disk
        std::vector<QByteArray> paths;
        std::vector<git_tree_update> updates;
        paths.reserve(size_t(job.paths.size()));
        for (int i = 0; i < job.paths.size(); ++i) {
            paths.push_back(job.paths[i].toUtf8());
            TreeEntry existing;
            const bool exists =
                git_tree_entry_bypath(existing.out(), base.get(), paths.back().constData()) == 0;
            git_tree_update update{};
            update.path = paths.back().constData();
            switch (job.action) {
            case Action::Save:
            case Action::SaveAs:
            case Action::Restore: {
                const QByteArray& bytes = job.bytes.value(i);
                if (git_blob_create_from_buffer(&update.id, repo.get(), bytes.constData(),
                                                size_t(bytes.size())) < 0)
                    return failed(what);
                update.action = GIT_TREE_UPDATE_UPSERT;
                update.filemode = exists && git_tree_entry_filemode(existing.get()) ==
                                                GIT_FILEMODE_BLOB_EXECUTABLE
                                      ? GIT_FILEMODE_BLOB_EXECUTABLE
                                      : GIT_FILEMODE_BLOB;
                if (exists && git_tree_entry_type(existing.get()) != GIT_OBJECT_BLOB)
                    continue; // a folder of that name: the next look over the library settles it
                updates.push_back(update);
                break;
            }
            case Action::Delete:
            case Action::RemoveCategory:
                if (!exists)
                    continue;
                update.action = GIT_TREE_UPDATE_REMOVE;
                updates.push_back(update);
                break;
            default:
                break;
            }
        }
        git_oid tree = *git_tree_id(base.get());
        const bool spliced = updates.size() == 1 && updates[0].action == GIT_TREE_UPDATE_UPSERT &&
                             replaceInTrees(base.get(), updates[0].path, updates[0].id, tree);
        if (!spliced && !updates.empty() &&
            git_tree_create_updated(&tree, repo.get(), base.get(), updates.size(), updates.data()) <
                0)
            return failed(what);
        QString shown = job.paths.value(0);
        if (job.paths.size() > 1)
            shown =
                QStringLiteral("%1 and %2 more").arg(shownPath(shown)).arg(job.paths.size() - 1);
        git_oid made;
        if (!commit(job.action, subject(job.action, shown), job.paths, tree, parent.get(), "HEAD",
                    &made))
            return failed(what);
        remember(tree, job.paths, made);
        emit owner->recorded();
    }

    // A save of a snippet that is already recorded changes one id in each tree on its path.
    // Writing those trees as they are with the one id replaced keeps a save into a category of
    // tens of thousands of snippets quick: no tree is taken apart and built again. False when
    // the path does not lead to a recorded file, so the general way is taken.
    bool replaceInTrees(git_tree* root, const QByteArray& path, const git_oid& blob,
                        git_oid& newRoot) {
        const QList<QByteArray> names = path.split('/');
        std::vector<git_oid> trees{*git_tree_id(root)};
        for (qsizetype i = 0; i + 1 < names.size(); ++i) {
            TreeEntry entry;
            if (git_tree_entry_bypath(entry.out(), root,
                                      names.mid(0, i + 1).join('/').constData()) < 0 ||
                git_tree_entry_type(entry.get()) != GIT_OBJECT_TREE)
                return false;
            trees.push_back(*git_tree_entry_id(entry.get()));
        }
        Odb odb;
        if (git_repository_odb(odb.out(), repo.get()) < 0)
            return false;
        git_oid child = blob;
        for (qsizetype level = names.size() - 1; level >= 0; --level) {
            git_odb_object* raw = nullptr;
            if (git_odb_read(&raw, odb.get(), &trees[size_t(level)]) < 0)
                return false;
            QByteArray data(static_cast<const char*>(git_odb_object_data(raw)),
                            qsizetype(git_odb_object_size(raw)));
            git_odb_object_free(raw);
            // Entries are "mode name\0" and twenty bytes of id.
            qsizetype at = 0;
            qsizetype idAt = -1;
            while (at < data.size()) {
                const qsizetype space = data.indexOf(' ', at);
                const qsizetype end = space < 0 ? -1 : data.indexOf('\0', space);
                if (end < 0 || end + 1 + GIT_OID_RAWSZ > data.size())
                    return false;
                if (QByteArrayView(data).sliced(space + 1, end - space - 1) == names[level]) {
                    idAt = end + 1;
                    break;
                }
                at = end + 1 + GIT_OID_RAWSZ;
            }
            if (idAt < 0)
                return false;
            std::memcpy(data.data() + idAt, child.id, GIT_OID_RAWSZ);
            if (git_odb_write(&child, odb.get(), data.constData(), size_t(data.size()),
                              GIT_OBJECT_TREE) < 0)
                return false;
        }
        newRoot = child;
        return true;
    }

    void remember(const git_oid& treeId, const QStringList& paths, const git_oid& commitId) {
        looseObjects += ObjectsPerCommit;
        written.emplace_back(commitId, QByteArray());
        written.emplace_back(treeId, QByteArray());
        Tree root;
        if (git_tree_lookup(root.out(), repo.get(), &treeId) < 0)
            return;
        for (const QString& path : paths) {
            const QByteArray whole = path.toUtf8();
            for (qsizetype at = whole.indexOf('/');; at = whole.indexOf('/', at + 1)) {
                const QByteArray prefix = at < 0 ? whole : whole.left(at);
                TreeEntry entry;
                if (git_tree_entry_bypath(entry.out(), root.get(), prefix.constData()) == 0)
                    written.emplace_back(*git_tree_entry_id(entry.get()), prefix);
                if (at < 0)
                    break;
            }
        }
    }

    bool commit(Action action, const QString& subjectText, const QStringList& paths,
                const git_oid& treeId, git_commit* parent, const char* ref,
                git_oid* made = nullptr) {
        Tree tree;
        Signature author;
        if (git_tree_lookup(tree.out(), repo.get(), &treeId) < 0 || !signature(author))
            return false;
        git_oid id;
        const git_commit* parents[] = {parent};
        const QByteArray text = message(action, subjectText, paths, hostName);
        if (git_commit_create(&id, repo.get(), ref, author.get(), author.get(), nullptr,
                              text.constData(), tree.get(), parent ? 1 : 0, parents) < 0)
            return false;
        if (made)
            *made = id;
        return true;
    }

    void draft(const Job& job) {
        const QString path = job.paths.value(0);
        const QByteArray& bytes = job.bytes.value(0);
        const QString what = QStringLiteral("the text of \"%1\"").arg(shownPath(path));
        git_oid blob;
        if (git_blob_create_from_buffer(&blob, repo.get(), bytes.constData(),
                                        size_t(bytes.size())) < 0)
            return failed(what);
        const QString blobHex = hex(blob);
        if (lastDraft.value(path) == blobHex)
            return;
        const QByteArray pathUtf8 = path.toUtf8();
        // Text that equals the last saved version is no discarded edit.
        Commit parent;
        Tree base;
        bool unborn = false;
        if (head(repo, parent, base, unborn) && !unborn) {
            TreeEntry saved;
            if (git_tree_entry_bypath(saved.out(), base.get(), pathUtf8.constData()) == 0 &&
                git_oid_equal(git_tree_entry_id(saved.get()), &blob))
                return;
        }
        Commit tip;
        git_oid tipId;
        const QByteArray draftsRef = DraftsRef.toUtf8();
        if (git_reference_name_to_id(&tipId, repo.get(), draftsRef.constData()) == 0) {
            if (git_commit_lookup(tip.out(), repo.get(), &tipId) < 0)
                return failed(what);
            Tree previous;
            TreeEntry same;
            if (lastDraft.isEmpty() && git_commit_tree(previous.out(), tip.get()) == 0 &&
                git_tree_entry_bypath(same.out(), previous.get(), pathUtf8.constData()) == 0 &&
                git_oid_equal(git_tree_entry_id(same.get()), &blob)) {
                lastDraft.insert(path, blobHex);
                return;
            }
        }
        git_oid empty;
        git_treebuilder* builder = nullptr;
        if (git_treebuilder_new(&builder, repo.get(), nullptr) < 0)
            return failed(what);
        const int written = git_treebuilder_write(&empty, builder);
        git_treebuilder_free(builder);
        Tree emptyTree;
        if (written < 0 || git_tree_lookup(emptyTree.out(), repo.get(), &empty) < 0)
            return failed(what);
        git_tree_update update{GIT_TREE_UPDATE_UPSERT, blob, GIT_FILEMODE_BLOB,
                               pathUtf8.constData()};
        git_oid tree;
        git_oid made;
        if (git_tree_create_updated(&tree, repo.get(), emptyTree.get(), 1, &update) < 0 ||
            !commit(Action::Draft, subject(Action::Draft, path), {path}, tree, tip.get(),
                    draftsRef.constData(), &made))
            return failed(what);
        lastDraft.insert(path, blobHex);
        remember(tree, {path}, made);
        emit owner->recorded();
    }

    // Compares the library with the last version through the stat cache of git's index, and
    // records what differs; the first time, records it whole. New objects are gathered in memory
    // and written as one pack, so a first recording of many files writes one file, not many.
    void scan() {
        if (!QFileInfo(library).isDir())
            return;
        const QString what = QStringLiteral("the changes made outside Quillary");
        Repository scanning;
        if (git_repository_open_ext(scanning.out(), QFile::encodeName(gitFolder).constData(),
                                    GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr) < 0)
            return failed(what);
        const QByteArray workdir = QFile::encodeName(library);
        Odb odb;
        git_odb_backend* memory = nullptr;
        if (!useLibraryAsWorkTree(scanning) || git_repository_odb(odb.out(), scanning.get()) < 0 ||
            git_mempack_new(&memory) < 0)
            return failed(what);
        if (git_odb_add_backend(odb.get(), memory, 1000) < 0) {
            memory->free(memory);
            return failed(what);
        }
        Commit parent;
        Tree base;
        bool unborn = false;
        Index index;
        if (!head(scanning, parent, base, unborn) ||
            git_repository_index(index.out(), scanning.get()) < 0 ||
            git_index_read(index.get(), 0) < 0)
            return failed(what);
        // A lost or new index: the last version is the starting point, hashed once again.
        if (!unborn && git_index_entrycount(index.get()) == 0 &&
            git_index_read_tree(index.get(), base.get()) < 0)
            return failed(what);
        char pattern[] = "*.code";
        char* patterns[] = {pattern};
        const git_strarray pathspec{patterns, 1};
        ScanPayload payload{&cancel, workdir, index.get(), odb.get()};
        const int added =
            git_index_add_all(index.get(), &pathspec, GIT_INDEX_ADD_FORCE, scanFilter, &payload);
        if (cancel.load(std::memory_order_acquire))
            return;
        // A folder of the library that cannot be read fails the look; the window says so when
        // the user opens it, and the next look tries again, so the history says nothing here.
        if (added < 0 || git_index_update_all(index.get(), &pathspec, scanFilter, &payload) < 0)
            return;
        git_oid tree;
        // The stat cache of a large library is a tenth smaller with paths stored as differences.
        git_index_set_version(index.get(), 4);
        if (git_index_write_tree(&tree, index.get()) < 0)
            return failed(what);
        if (!unborn && git_oid_equal(&tree, git_tree_id(base.get()))) {
            git_index_write(index.get());
            return;
        }
        Tree treeObject;
        Signature author;
        git_oid made;
        const Action action = unborn ? Action::FirstVersion : Action::ChangedOutside;
        if (git_tree_lookup(treeObject.out(), scanning.get(), &tree) < 0)
            return failed(what);
        const QByteArray text =
            message(action, subject(action, {}),
                    unborn ? QStringList() : changedPaths(scanning, base.get(), treeObject.get()),
                    hostName);
        const git_commit* parents[] = {parent.get()};
        if (!signature(author) ||
            git_commit_create(&made, scanning.get(), nullptr, author.get(), author.get(), nullptr,
                              text.constData(), treeObject.get(), unborn ? 0 : 1, parents) < 0)
            return failed(what);
        if (!writePack(scanning, memory) ||
            !moveHead(made, unborn ? nullptr : git_commit_id(parent.get())))
            return failed(what);
        git_index_write(index.get());
        emit owner->recorded();
    }

    // The paths a look at the library found changed, so a snippet's history need not read every
    // tree; none when there are too many to name, and readers then compare the trees.
    static QStringList changedPaths(Repository& in, git_tree* before, git_tree* after) {
        constexpr size_t MostNamed = 1000;
        QStringList paths;
        Diff diff;
        if (git_diff_tree_to_tree(diff.out(), in.get(), before, after, nullptr) < 0 ||
            git_diff_num_deltas(diff.get()) > MostNamed)
            return {};
        for (size_t i = 0; i < git_diff_num_deltas(diff.get()); ++i) {
            const git_diff_delta* delta = git_diff_get_delta(diff.get(), i);
            const char* path =
                delta->status == GIT_DELTA_DELETED ? delta->old_file.path : delta->new_file.path;
            if (std::strchr(path, '\n'))
                return {}; // a trailer is one line
            paths.append(QString::fromUtf8(path));
        }
        return paths;
    }

    bool writePack(Repository& from, git_odb_backend* memory) {
        git_buf pack{};
        Odb target;
        git_odb_writepack* writer = nullptr;
        git_indexer_progress progress{};
        bool ok = git_mempack_dump(&pack, from.get(), memory) == 0 &&
                  git_repository_odb(target.out(), repo.get()) == 0 &&
                  git_odb_write_pack(&writer, target.get(), nullptr, nullptr) == 0;
        ok = ok && writer->append(writer, pack.ptr, pack.size, &progress) == 0 &&
             writer->commit(writer, &progress) == 0;
        if (writer)
            writer->free(writer);
        git_buf_dispose(&pack);
        git_mempack_reset(memory);
        return ok;
    }

    // Points HEAD's branch at `made`, only if it is still where the scan found it.
    bool moveHead(const git_oid& made, const git_oid* was) {
        Reference headRef;
        if (git_reference_lookup(headRef.out(), repo.get(), "HEAD") < 0)
            return false;
        const char* branch = git_reference_symbolic_target(headRef.get());
        Reference moved;
        const char* log = "Quillary: recorded";
        if (!branch)
            return git_reference_set_target(moved.out(), headRef.get(), &made, log) == 0;
        return git_reference_create_matching(moved.out(), repo.get(), branch, &made, 1, was, log) ==
               0;
    }

    void sync(const Job& job) {
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
    void recordWhileSyncing() {
        for (;;) {
            std::optional<Job> job;
            {
                const std::lock_guard guard(mutex);
                if (jobs.empty() || stopping ||
                    (jobs.front().kind != Job::Kind::Command &&
                     jobs.front().kind != Job::Kind::Draft))
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

    void moved(LibrarySync::Step step, quint64 done, quint64 total, bool stepped) {
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
    std::pair<bool, LibrarySync::Login> ask(const SyncQuestion& asked) {
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

    void packIfNeeded() {
        if (looseObjects < PackAfterLooseObjects || !repo)
            return;
        looseObjects = 0;
        const QStringList loose = countLoose();
        if (loose.size() < PackAfterLooseObjects / 2)
            return;
        Packbuilder builder;
        if (git_packbuilder_new(builder.out(), repo.get()) < 0)
            return failed(History::tr("a packed copy of its objects"));
        // Named first, so that each version of a tree or snippet finds the one before it.
        const QSet<QString> looseSet(loose.cbegin(), loose.cend());
        for (const auto& [id, name] : written) {
            if (looseSet.contains(hex(id)))
                git_packbuilder_insert(builder.get(), &id, name.constData());
        }
        written.clear();
        for (const QString& name : loose) {
            const std::optional<git_oid> id = oidOf(name);
            if (id)
                git_packbuilder_insert(builder.get(), &*id, nullptr);
        }
        if (git_packbuilder_write(builder.get(), nullptr, 0, nullptr, nullptr) < 0)
            return failed(History::tr("a packed copy of its objects"));
        // Only now that the pack is whole on disk may the loose copies go.
        const QDir objects(gitFolder + QStringLiteral("/objects"));
        for (const QString& name : loose)
            QFile::remove(objects.filePath(name.left(2) + QLatin1Char('/') + name.mid(2)));
        Odb odb;
        if (git_repository_odb(odb.out(), repo.get()) == 0)
            git_odb_refresh(odb.get());
    }
};

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
    return m_worker->idle.wait_for(guard, std::chrono::milliseconds(milliseconds),
                                   [this] { return m_worker->jobs.empty() && !m_worker->busy; });
}
