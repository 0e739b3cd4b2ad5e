// SPDX-License-Identifier: MIT
#include "history/sync.h"

#include "history/gitsupport.h"
#include "library/libraryfs.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QSysInfo>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <optional>
#include <pwd.h>
#include <unistd.h>
#include <vector>

using namespace gitsupport;

const char* const LibrarySync::ActionWord = "sync";

namespace {

using Remote = Own<git_remote, git_remote_free>;

const char* const TrackedMain = "refs/remotes/sync/main";
const char* const PushRef = "refs/quillary/sync-push";
const QString HostTrailer = QStringLiteral("Quillary-Host:");
// A remote that keeps moving on is given up on after this many rounds.
constexpr int Rounds = 3;

struct Entry {
    git_oid id{};
    git_filemode_t mode = GIT_FILEMODE_BLOB;
    bool operator==(const Entry& other) const {
        return mode == other.mode && git_oid_equal(&id, &other.id);
    }
};
using Files = QMap<QByteArray, Entry>; // every blob of a tree by its path

struct Failure {
    QString cause;
};

struct Cancelled {};

int collect(const char* root, const git_tree_entry* entry, void* payload) {
    if (git_tree_entry_type(entry) == GIT_OBJECT_BLOB)
        static_cast<Files*>(payload)->insert(
            QByteArray(root) + git_tree_entry_name(entry),
            {*git_tree_entry_id(entry), git_tree_entry_filemode(entry)});
    return 0;
}

int transferProgress(const git_indexer_progress*, void* payload) {
    return static_cast<const std::atomic<bool>*>(payload)->load(std::memory_order_acquire) ? -1 : 0;
}

struct PushPayload {
    const std::atomic<bool>* cancel;
    QString refused; // the remote's reason, when it refused the update
};

int pushProgress(unsigned int, unsigned int, size_t, void* payload) {
    return static_cast<PushPayload*>(payload)->cancel->load(std::memory_order_acquire) ? -1 : 0;
}

int pushUpdate(const char*, const char* status, void* data) {
    if (status)
        static_cast<PushPayload*>(data)->refused = QString::fromUtf8(status);
    return 0;
}

// Only snippet files and category folders are written into the library; anything else a
// remote's tree holds stays in the history alone.
bool belongsOnDisk(const QByteArray& path, const Entry& entry) {
    if (entry.mode != GIT_FILEMODE_BLOB && entry.mode != GIT_FILEMODE_BLOB_EXECUTABLE)
        return false;
    if (!path.endsWith(".code") || QString::fromUtf8(path).toUtf8() != path)
        return false; // a name the library could not show or write back
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == "." || part == ".." || part.startsWith(".git") ||
            part.contains('\\') || part.contains('\0'))
            return false;
    }
    return true;
}

QString loginName() {
    if (const passwd* user = getpwuid(getuid()); user && user->pw_name && *user->pw_name)
        return QString::fromLocal8Bit(user->pw_name);
    const QString fromEnvironment = qEnvironmentVariable("USER");
    return fromEnvironment.isEmpty() ? QStringLiteral("quillary") : fromEnvironment;
}

// A machine's name as it may stand in a file name.
QString fileSafe(QString host) {
    host.remove(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|()\\x00-\\x1f]")));
    host = host.trimmed();
    return host.size() > 40 ? host.left(40) : host;
}

// "Strings/Reverse.code" -> "Strings/Reverse (HOST).code", numbered while the name is taken.
QByteArray copyName(const QByteArray& path, const QString& host,
                    const std::function<bool(const QByteArray&)>& taken) {
    const qsizetype slash = path.lastIndexOf('/');
    const qsizetype dot = path.lastIndexOf('.');
    const qsizetype cut = dot > slash + 1 ? dot : path.size();
    const QByteArray stem = path.left(cut);
    const QByteArray ending = path.mid(cut);
    for (int n = 1;; ++n) {
        const QByteArray tag = n == 1 ? host.toUtf8() : host.toUtf8() + ' ' + QByteArray::number(n);
        const QByteArray name = stem + " (" + tag + ")" + ending;
        if (!taken(name))
            return name;
    }
}

class Run {
public:
    Run(const QString& gitFolder, LibraryFs& fs, const QString& remote,
        const std::atomic<bool>& cancel, const std::function<void(LibrarySync::Step)>& step)
        : m_gitFolder(gitFolder), m_fs(fs), m_url(remote.toUtf8()), m_cancel(cancel), m_step(step) {
    }

    void run(SyncOutcome& outcome) {
        if (git_repository_open_ext(m_repo.out(), QFile::encodeName(m_gitFolder).constData(),
                                    GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr) < 0)
            throw Failure{lastError()};
        for (int round = 1;; ++round) {
            step(LibrarySync::Step::Fetch);
            const std::optional<git_oid> theirs = fetch();
            const std::optional<git_oid> ours = localHead();
            step(LibrarySync::Step::Merge);
            const Plan plan = bringIn(ours, theirs);
            if (plan.target && (!theirs || !git_oid_equal(&*plan.target, &*theirs))) {
                step(LibrarySync::Step::Push);
                if (!push(*plan.target)) {
                    if (round < Rounds)
                        continue;
                    throw Failure{QStringLiteral("the remote kept changing while it was "
                                                 "synced; try again")};
                }
            }
            // The remote holds the result now: the rest is local and is done whatever the flag.
            write(plan, ours, outcome);
            return;
        }
    }

private:
    struct Plan {
        std::optional<git_oid> target; // the commit main is to be; none when both are empty
        Files before;                  // the library's last version
        Files after;                   // the target's
        QStringList copies;
    };

    void step(LibrarySync::Step which) {
        if (m_step)
            m_step(which);
        if (m_cancel.load(std::memory_order_acquire))
            throw Cancelled{};
    }

    static git_remote_callbacks callbacks(void* payload) {
        git_remote_callbacks made;
        git_remote_init_callbacks(&made, GIT_REMOTE_CALLBACKS_VERSION);
        made.payload = payload;
        return made;
    }

    // The remote's main, fetched; none when the remote has no main yet.
    std::optional<git_oid> fetch() {
        Remote remote;
        if (git_remote_create_anonymous(remote.out(), m_repo.get(), m_url.constData()) < 0)
            throw Failure{lastError()};
        git_fetch_options options;
        git_fetch_options_init(&options, GIT_FETCH_OPTIONS_VERSION);
        options.callbacks = callbacks(const_cast<std::atomic<bool>*>(&m_cancel));
        options.callbacks.transfer_progress = transferProgress;
        options.prune = GIT_FETCH_NO_PRUNE;
        options.update_fetchhead = 0;
        options.download_tags = GIT_REMOTE_DOWNLOAD_TAGS_NONE;
        char mainSpec[] = "+refs/heads/main:refs/remotes/sync/main";
        char draftSpec[] = "+refs/quillary/drafts:refs/remotes/sync/drafts";
        char* fetched[] = {mainSpec, draftSpec};
        const git_strarray refspecs{fetched, 2};
        if (git_remote_fetch(remote.get(), &refspecs, &options, "sync: fetch") < 0)
            throwCancelledOr(lastError());
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
        if (git_reference_lookup(stale.out(), m_repo.get(), TrackedMain) == 0)
            git_reference_delete(stale.get());
        return std::nullopt;
    }

    [[noreturn]] void throwCancelledOr(const QString& cause) const {
        if (m_cancel.load(std::memory_order_acquire))
            throw Cancelled{};
        throw Failure{cause};
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

    Files filesOf(const std::optional<git_oid>& commitId) {
        Files files;
        if (!commitId)
            return files;
        Commit commit;
        Tree tree;
        if (git_commit_lookup(commit.out(), m_repo.get(), &*commitId) < 0 ||
            git_commit_tree(tree.out(), commit.get()) < 0 ||
            git_tree_walk(tree.get(), GIT_TREEWALK_PRE, collect, &files) < 0)
            throw Failure{lastError()};
        return files;
    }

    // What the library holds at `path`: its id as a blob, or none when nothing is there.
    // A file that cannot be read counts as an edit, so it is never overwritten.
    std::optional<Entry> onDisk(const QByteArray& path, bool& unreadable) {
        unreadable = false;
        const QString full = m_fs.libraryPath() + QString::fromUtf8(path);
        if (!m_fs.fileExists(full))
            return std::nullopt;
        const LibraryFs::Read read = m_fs.readFile(full, LibraryFs::SnippetReadLimit);
        Entry entry;
        if (!read.result.ok || read.tooLarge ||
            git_odb_hash(&entry.id, read.bytes.constData(), size_t(read.bytes.size()),
                         GIT_OBJECT_BLOB) < 0) {
            unreadable = true;
            return std::nullopt;
        }
        return entry;
    }

    // Whether the library's file at `path` is still what the last version holds.
    bool unchanged(const QByteArray& path, const Files& before) {
        bool unreadable = false;
        const std::optional<Entry> disk = onDisk(path, unreadable);
        if (unreadable)
            return false;
        const auto was = before.constFind(path);
        if (was == before.cend())
            return !disk;
        return disk && git_oid_equal(&disk->id, &was->id);
    }

    // The other side's machine: its own trailer, else the host of its author's address.
    QString otherHost(const git_oid& theirs) {
        Commit commit;
        if (git_commit_lookup(commit.out(), m_repo.get(), &theirs) < 0)
            return QStringLiteral("other");
        const QStringList lines =
            QString::fromUtf8(git_commit_message(commit.get())).split(QLatin1Char('\n'));
        for (const QString& line : lines) {
            if (line.startsWith(HostTrailer)) {
                const QString host = fileSafe(line.mid(HostTrailer.size()));
                if (!host.isEmpty())
                    return host;
            }
        }
        const QString email = QString::fromUtf8(git_commit_author(commit.get())->email);
        const qsizetype at = email.lastIndexOf(QLatin1Char('@'));
        const QString host = at < 0 ? QString() : fileSafe(email.mid(at + 1));
        return host.isEmpty() ? QStringLiteral("other") : host;
    }

    Plan bringIn(const std::optional<git_oid>& ours, const std::optional<git_oid>& theirs) {
        Plan plan;
        plan.before = filesOf(ours);
        if (!theirs) {
            plan.target = ours;
            plan.after = plan.before;
            return plan;
        }
        if (ours && git_oid_equal(&*ours, &*theirs)) {
            plan.target = ours;
            plan.after = plan.before;
            return plan;
        }
        if (ours && git_graph_descendant_of(m_repo.get(), &*ours, &*theirs) == 1) {
            plan.target = ours; // we are ahead: the push brings the remote along
            plan.after = plan.before;
            return plan;
        }
        const Files other = filesOf(theirs);
        const bool fastForward =
            !ours || git_graph_descendant_of(m_repo.get(), &*theirs, &*ours) == 1;
        std::optional<git_oid> base;
        if (!fastForward) {
            git_oid found;
            const int error = git_merge_base(&found, m_repo.get(), &*ours, &*theirs);
            if (error == 0)
                base = found;
            else if (error != GIT_ENOTFOUND)
                throw Failure{lastError()}; // no base: unrelated histories are joined
        }
        std::vector<std::pair<QByteArray, Entry>> clashes;
        Files merged = fastForward ? other : merge(filesOf(base), plan.before, other, clashes);
        keepBoth(plan.before, merged, otherHost(*theirs), std::move(clashes), plan);
        if (fastForward && plan.copies.isEmpty()) {
            plan.target = theirs;
            plan.after = std::move(merged);
            return plan;
        }
        QStringList named = plan.copies;
        if (!fastForward) {
            for (auto it = merged.cbegin(); it != merged.cend(); ++it) {
                const auto was = plan.before.constFind(it.key());
                if (was == plan.before.cend() || !(*was == *it))
                    named.append(QString::fromUtf8(it.key()));
            }
            for (auto it = plan.before.cbegin(); it != plan.before.cend(); ++it) {
                if (!merged.contains(it.key()))
                    named.append(QString::fromUtf8(it.key()));
            }
        }
        named.removeDuplicates();
        plan.target = commit(merged,
                             fastForward ? std::vector<git_oid>{*theirs}
                                         : std::vector<git_oid>{*ours, *theirs},
                             named, *theirs);
        plan.after = std::move(merged);
        return plan;
    }

    // Path by path: a side that changed nothing takes the other's; a change beats a deletion;
    // two different versions are both kept, the other side's beside ours under a new name.
    static Files merge(const Files& base, const Files& ours, const Files& theirs,
                       std::vector<std::pair<QByteArray, Entry>>& clashes) {
        QSet<QByteArray> paths;
        for (const Files* side : {&base, &ours, &theirs}) {
            for (auto it = side->cbegin(); it != side->cend(); ++it)
                paths.insert(it.key());
        }
        Files merged;
        for (const QByteArray& path : paths) {
            const std::optional<Entry> b = lookup(base, path);
            const std::optional<Entry> o = lookup(ours, path);
            const std::optional<Entry> t = lookup(theirs, path);
            std::optional<Entry> kept;
            if (o == t || t == b)
                kept = o;
            else if (o == b)
                kept = t;
            else if (!o || !t)
                kept = o ? o : t;
            else {
                kept = o;
                clashes.emplace_back(path, *t);
            }
            if (kept)
                merged.insert(path, *kept);
        }
        return merged;
    }

    static std::optional<Entry> lookup(const Files& files, const QByteArray& path) {
        const auto it = files.constFind(path);
        return it == files.cend() ? std::nullopt : std::optional<Entry>(*it);
    }

    // Gives the other side's version of each clash a name of its own. A file in the library
    // that differs from its last version is an edit not yet recorded: it stays as it is, and
    // what would have replaced it is kept beside it too.
    void keepBoth(const Files& before, Files& merged, const QString& host,
                  std::vector<std::pair<QByteArray, Entry>> keep, Plan& plan) {
        QSet<QByteArray> paths;
        for (const Files* side : {&before, static_cast<const Files*>(&merged)}) {
            for (auto it = side->cbegin(); it != side->cend(); ++it)
                paths.insert(it.key());
        }
        for (const QByteArray& path : paths) {
            const std::optional<Entry> was = lookup(before, path);
            const std::optional<Entry> will = lookup(merged, path);
            if (was == will || (will && !belongsOnDisk(path, *will)) ||
                (!will && !belongsOnDisk(path, *was)) || unchanged(path, before))
                continue;
            bool unreadable = false;
            const std::optional<Entry> disk = onDisk(path, unreadable);
            if (!unreadable && disk && will && git_oid_equal(&disk->id, &will->id))
                continue; // the edit is what arrives
            if (will)
                keep.emplace_back(path, *will);
        }
        std::sort(keep.begin(), keep.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [path, entry] : keep) {
            const QByteArray name = copyName(path, host, [&](const QByteArray& candidate) {
                return merged.contains(candidate) ||
                       m_fs.fileExists(m_fs.libraryPath() + QString::fromUtf8(candidate));
            });
            merged.insert(name, entry);
            plan.copies.append(QString::fromUtf8(name));
        }
    }

    git_oid commit(const Files& files, const std::vector<git_oid>& parentIds,
                   const QStringList& paths, const git_oid& theirs) {
        Tree start;
        Commit theirCommit;
        if (git_commit_lookup(theirCommit.out(), m_repo.get(), &theirs) < 0 ||
            git_commit_tree(start.out(), theirCommit.get()) < 0)
            throw Failure{lastError()};
        const Files startFiles = filesOf(theirs);
        std::vector<git_tree_update> updates;
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            const auto there = startFiles.constFind(it.key());
            if (there == startFiles.cend() || !(*there == *it))
                updates.push_back({GIT_TREE_UPDATE_UPSERT, it->id, it->mode, it.key().constData()});
        }
        for (auto it = startFiles.cbegin(); it != startFiles.cend(); ++it) {
            if (!files.contains(it.key()))
                updates.push_back(
                    {GIT_TREE_UPDATE_REMOVE, {}, GIT_FILEMODE_BLOB, it.key().constData()});
        }
        git_oid treeId;
        Tree tree;
        if (git_tree_create_updated(&treeId, m_repo.get(), start.get(), updates.size(),
                                    updates.data()) < 0 ||
            git_tree_lookup(tree.out(), m_repo.get(), &treeId) < 0)
            throw Failure{lastError()};

        std::vector<Commit> parents(parentIds.size());
        std::vector<const git_commit*> raw;
        for (size_t i = 0; i < parentIds.size(); ++i) {
            if (git_commit_lookup(parents[i].out(), m_repo.get(), &parentIds[i]) < 0)
                throw Failure{lastError()};
            raw.push_back(parents[i].get());
        }
        QByteArray text = "Sync\n\nQuillary-Action: " + QByteArray(LibrarySync::ActionWord) +
                          "\nQuillary-Host: " + LibrarySync::hostName().toUtf8() + "\n";
        for (const QString& path : paths) {
            if (!path.contains(QLatin1Char('\n'))) // a trailer is one line
                text += "Quillary-Path: " + path.toUtf8() + "\n";
        }
        Signature author;
        if (git_signature_default(author.out(), m_repo.get()) < 0) {
            const QString name = loginName();
            if (git_signature_now(
                    author.out(), name.toUtf8().constData(),
                    (name + QLatin1Char('@') + LibrarySync::hostName()).toUtf8().constData()) < 0)
                throw Failure{lastError()};
        }
        git_oid made;
        if (git_commit_create(&made, m_repo.get(), nullptr, author.get(), author.get(), nullptr,
                              text.constData(), tree.get(), raw.size(), raw.data()) < 0)
            throw Failure{lastError()};
        return made;
    }

    // False when the remote moved on meanwhile; never forced.
    bool push(const git_oid& target) {
        Reference temporary;
        if (git_reference_create(temporary.out(), m_repo.get(), PushRef, &target, 1, "sync: push") <
            0)
            throw Failure{lastError()};
        Remote remote;
        PushPayload payload{&m_cancel, {}};
        git_push_options options;
        git_push_options_init(&options, GIT_PUSH_OPTIONS_VERSION);
        options.callbacks = callbacks(&payload);
        options.callbacks.push_transfer_progress = pushProgress;
        options.callbacks.push_update_reference = pushUpdate;
        char pushSpec[] = "refs/quillary/sync-push:refs/heads/main";
        char* pushed[] = {pushSpec};
        const git_strarray refspecs{pushed, 1};
        int error = git_remote_create_anonymous(remote.out(), m_repo.get(), m_url.constData());
        if (error == 0)
            error = git_remote_push(remote.get(), &refspecs, &options);
        const QString cause = lastError();
        git_reference_delete(temporary.get());
        if (error == GIT_ENONFASTFORWARD ||
            (error == 0 && (payload.refused.contains(QLatin1String("fast-forward")) ||
                            payload.refused.contains(QLatin1String("fetch first")))))
            return false;
        if (error < 0)
            throwCancelledOr(cause);
        if (!payload.refused.isEmpty())
            throw Failure{
                QStringLiteral("the remote refused the update (%1)").arg(payload.refused)};
        Reference tracked;
        git_reference_create(tracked.out(), m_repo.get(), TrackedMain, &target, 1, "sync: push");
        return true;
    }

    // Writes what changed into the library, then moves HEAD; a failed write undoes the ones
    // before it and HEAD stays.
    void write(const Plan& plan, const std::optional<git_oid>& ours, SyncOutcome& outcome) {
        if (!plan.target || (ours && git_oid_equal(&*plan.target, &*ours)))
            return;
        if (m_step)
            m_step(LibrarySync::Step::Write);
        struct Undo {
            QString path;
            std::optional<QByteArray> bytes; // none: the file was not there
        };
        std::vector<Undo> undo;
        QStringList madeFolders;
        const QString library = m_fs.libraryPath();
        const auto undoAll = [&] {
            for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
                if (it->bytes)
                    m_fs.writeSnippet(it->path, *it->bytes);
                else
                    m_fs.deleteSnippet(it->path);
            }
            for (auto it = madeFolders.crbegin(); it != madeFolders.crend(); ++it)
                m_fs.removeEmptyFolder(*it);
        };
        const auto fail = [&](const LibraryFs::Result& result) {
            undoAll();
            throw Failure{QStringLiteral("\"%1\" could not be written (%2); the library is as "
                                         "it was")
                              .arg(QDir::toNativeSeparators(result.path), result.reason)};
        };
        const auto keepForUndo = [&](const QString& full) {
            if (!m_fs.fileExists(full)) {
                undo.push_back({full, std::nullopt});
                return;
            }
            const LibraryFs::Read read = m_fs.readFile(full, LibraryFs::SnippetReadLimit);
            if (!read.result.ok || read.tooLarge)
                fail(read.result.ok ? LibraryFs::Result::failure(full, QStringLiteral("too large"))
                                    : read.result);
            undo.push_back({full, read.bytes});
        };
        const QSet<QString> copies(plan.copies.cbegin(), plan.copies.cend());
        QStringList written;
        QStringList removed;
        QSet<QString> emptied;
        for (auto it = plan.after.cbegin(); it != plan.after.cend(); ++it) {
            const std::optional<Entry> was = lookup(plan.before, it.key());
            const QString rel = QString::fromUtf8(it.key());
            if ((was && *was == *it) || !belongsOnDisk(it.key(), *it))
                continue;
            const bool copy = copies.contains(rel);
            if (!copy && !unchanged(it.key(), plan.before))
                continue; // an edit not yet recorded: its arriving version is a copy beside it
            Blob blob;
            if (git_blob_lookup(blob.out(), m_repo.get(), &it->id) < 0)
                fail(LibraryFs::Result::failure(library + rel, lastError()));
            const QString full = library + rel;
            QString folder = library;
            const QStringList parts = rel.split(QLatin1Char('/'));
            for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
                folder += parts[i] + QLatin1Char('/');
                if (m_fs.folderExists(folder))
                    continue;
                const LibraryFs::Create made = m_fs.createCategoryFolder(folder);
                if (made.outcome == LibraryFs::CreateOutcome::Failed)
                    fail(made.result);
                madeFolders.append(folder);
            }
            keepForUndo(full);
            const LibraryFs::Result result = m_fs.writeSnippet(
                full, QByteArray(static_cast<const char*>(git_blob_rawcontent(blob.get())),
                                 qsizetype(git_blob_rawsize(blob.get()))));
            if (!result.ok)
                fail(result);
            written.append(rel);
        }
        for (auto it = plan.before.cbegin(); it != plan.before.cend(); ++it) {
            const QString rel = QString::fromUtf8(it.key());
            if (plan.after.contains(it.key()) || !belongsOnDisk(it.key(), *it) ||
                !unchanged(it.key(), plan.before))
                continue;
            const QString full = library + rel;
            keepForUndo(full);
            const LibraryFs::Result result = m_fs.deleteSnippet(full);
            if (!result.ok)
                fail(result);
            removed.append(rel);
            emptied.insert(rel.section(QLatin1Char('/'), 0, -2));
        }
        const QByteArray branch = "refs/heads/main";
        Reference moved;
        const int error =
            ours ? git_reference_create_matching(moved.out(), m_repo.get(), branch.constData(),
                                                 &*plan.target, 1, &*ours, "sync")
                 : git_reference_create(moved.out(), m_repo.get(), branch.constData(),
                                        &*plan.target, 0, "sync");
        if (error < 0) {
            const QString cause = lastError();
            undoAll();
            throw Failure{QStringLiteral("the history could not be moved on (%1)").arg(cause)};
        }
        // A category the sync emptied of snippets goes with its last one, as Remove Category
        // would have left it; one that still holds anything stays.
        for (QString folder : emptied) {
            while (!folder.isEmpty()) {
                const QByteArray prefix = folder.toUtf8() + '/';
                const bool stillThere =
                    std::any_of(plan.after.keyBegin(), plan.after.keyEnd(),
                                [&](const QByteArray& path) { return path.startsWith(prefix); });
                if (stillThere || !m_fs.removeEmptyFolder(library + folder).ok)
                    break;
                removed.append(folder);
                folder = folder.section(QLatin1Char('/'), 0, -2);
            }
        }
        outcome.written = written;
        outcome.removed = removed;
        outcome.copies = plan.copies;
    }

    QString m_gitFolder;
    LibraryFs& m_fs;
    QByteArray m_url;
    const std::atomic<bool>& m_cancel;
    const std::function<void(LibrarySync::Step)>& m_step;
    Repository m_repo;
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
    url.setPassword({});
    return url.toString();
}

SyncOutcome LibrarySync::run(const QString& remote, const std::atomic<bool>& cancel) {
    const Library git;
    SyncOutcome outcome;
    try {
        Run(m_gitFolder, m_fs, remote, cancel, beforeStep).run(outcome);
    } catch (const Cancelled&) {
        outcome = {};
        outcome.result = SyncOutcome::Result::Cancelled;
    } catch (const Failure& failure) {
        outcome = {};
        outcome.result = SyncOutcome::Result::Failed;
        outcome.failure = QStringLiteral("The library could not be synced with \"%1\": %2.")
                              .arg(shown(remote), failure.cause);
    }
    return outcome;
}
