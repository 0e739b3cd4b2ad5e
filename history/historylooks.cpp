// SPDX-License-Identifier: MIT
// Looks at the library: what other programs changed, and the first version.
#include "history/historyworker.h"
#include "history/syncmerge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>

using namespace gitsupport;
using namespace historydetail;

namespace {

// A look that fails the same way again is tried this often from git's index on disk. A file
// gone between listing and reading it fails the look with another file's name each time: the
// look goes on with what it read, and another program deleting a whole tree runs out of files
// long before the second limit.
constexpr int LookAttempts = 3;
constexpr int MostLookAttempts = 1000;

// Attributes that leave every byte as it is, written last in the repository's info/attributes,
// which outranks the library's .gitattributes and the user's own attributes files.
const QByteArray KeepBytes = "* -text -filter -ident -working-tree-encoding\n";
// git status names no file the history does not keep.
const QByteArray OnlySnippets = "*\n!*/\n!*.code\n";

struct ScanPayload {
    const std::atomic<bool>* cancel;
    QByteArray workdir;
    bool adding = true;
    git_index* index = nullptr;
    git_odb* odb = nullptr;
};

// A version the library cannot hold as a file (a sync kept it in the history alone) is no
// deletion when it is missing.
bool neverOnDisk(const ScanPayload& payload, const char* path, int error) {
    if (error == ENOTDIR || error == ENAMETOOLONG || error == ELOOP)
        return true;
    // Under a category that links elsewhere: the sync never writes through it.
    const QByteArray relative(path);
    for (qsizetype slash = relative.indexOf('/'); slash > 0;
         slash = relative.indexOf('/', slash + 1)) {
        struct stat info {};
        if (lstat((payload.workdir + relative.left(slash)).constData(), &info) == 0 &&
            S_ISLNK(info.st_mode))
            return true;
    }
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
        // Gone: nothing to add, and the index forgets it, unless the library could never hold it.
        return payload->adding || neverOnDisk(*payload, path, errno) ? 1 : 0;
    if (S_ISREG(info.st_mode) && info.st_size > LargestRecorded)
        return 1;
    return 0;
}

// git_index_read_tree refuses a whole tree for one name the index cannot hold ("..", ".git",
// which a remote may bring); the rest is then read entry by entry, and those stay in the
// history alone.
bool readTree(git_index* index, git_tree* tree) {
    if (git_index_read_tree(index, tree) == 0)
        return true;
    if (git_index_clear(index) < 0)
        return false;
    const auto add = [](const char* root, const git_tree_entry* entry, void* data) {
        if (git_tree_entry_type(entry) == GIT_OBJECT_TREE)
            return 0;
        const QByteArray path = QByteArray(root) + git_tree_entry_name(entry);
        git_index_entry added{};
        added.mode = git_tree_entry_filemode(entry);
        added.id = *git_tree_entry_id(entry);
        added.path = path.constData();
        git_index_add(static_cast<git_index*>(data), &added);
        return 0;
    };
    return git_tree_walk(tree, GIT_TREEWALK_PRE, add, index) == 0;
}

bool indexCanHold(git_index* scratch, const git_diff_file& file) {
    git_index_entry entry{};
    entry.mode = file.mode;
    entry.id = file.id;
    entry.path = file.path;
    return git_index_clear(scratch) == 0 && git_index_add(scratch, &entry) == 0;
}

} // namespace

// The index's tree lacks what git's index cannot hold, though the last version may hold it (a
// remote's ".." or ".git"): the look's changes are then laid onto the last version path by
// path, and those entries stay as they were. Otherwise the index's tree is the new version.
bool History::Worker::layOnto(Repository& in, git_tree* base, git_oid& tree) {
    if (git_oid_equal(&tree, git_tree_id(base)))
        return true;
    Tree found;
    Diff diff;
    Index scratch;
    if (git_tree_lookup(found.out(), in.get(), &tree) < 0 ||
        git_diff_tree_to_tree(diff.out(), in.get(), base, found.get(), nullptr) < 0 ||
        git_index_new(scratch.out()) < 0)
        return false;
    std::vector<git_tree_update> updates;
    bool keptOut = false;
    for (size_t i = 0; i < git_diff_num_deltas(diff.get()); ++i) {
        const git_diff_delta* delta = git_diff_get_delta(diff.get(), i);
        git_tree_update update{};
        if (delta->status == GIT_DELTA_DELETED) {
            TreeEntry replaced; // a file that became a link or a folder: the upsert has it
            if (git_tree_entry_bypath(replaced.out(), found.get(), delta->old_file.path) == 0)
                continue;
            if (!indexCanHold(scratch.get(), delta->old_file)) {
                keptOut = true;
                continue;
            }
            update.action = GIT_TREE_UPDATE_REMOVE;
            update.path = delta->old_file.path;
        } else {
            update.action = GIT_TREE_UPDATE_UPSERT;
            update.path = delta->new_file.path;
            update.id = delta->new_file.id;
            update.filemode = git_filemode_t(delta->new_file.mode);
        }
        updates.push_back(update);
    }
    return !keptOut ||
           git_tree_create_updated(&tree, in.get(), base, updates.size(), updates.data()) == 0;
}

// Compares the library with the last version through the stat cache of git's index, and
// records what differs; the first time, records it whole.
void History::Worker::scan() {
    if (!QFileInfo(library).isDir())
        return;
    // An index behind the head would take what the head holds and the disk cannot (a sync's
    // entry it could not write) for a deletion.
    if (indexBehind())
        alignIndex();
    const QString what = QStringLiteral("the changes made outside Quillary");
    Repository scanning;
    if (git_repository_open_ext(scanning.out(), QFile::encodeName(gitFolder).constData(),
                                GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr) < 0)
        return failed(what);
    const QByteArray workdir = QFile::encodeName(library);
    Odb odb;
    Commit parent;
    Tree base;
    bool unborn = false;
    Index index;
    if (!useLibraryAsWorkTree(scanning) || git_repository_odb(odb.out(), scanning.get()) < 0 ||
        !head(scanning, parent, base, unborn) ||
        git_repository_index(index.out(), scanning.get()) < 0 || git_index_read(index.get(), 0) < 0)
        return failed(what);
    // After a quit that kept only what commands replaced, the rest is the first version too.
    const bool first = unborn || firstVersionPartial;
    // A first version's objects are gathered in memory and written as one pack of the whole
    // tree, so a first recording of many files writes one file, not many. A later look writes
    // the few it finds loose, to be packed with the commands' objects: a pack of its commit
    // would hold the whole library again.
    git_odb_backend* memory = nullptr;
    if (first) {
        if (git_mempack_new(&memory) < 0)
            return failed(what);
        if (git_odb_add_backend(odb.get(), memory, 1000) < 0) {
            memory->free(memory);
            return failed(what);
        }
    }
    char pattern[] = "*.code";
    char languages[] = ".quillary-languages"; // the categories' languages, kept like a snippet
    char* patterns[] = {pattern, languages};
    const git_strarray pathspec{patterns, 2};
    bool looked = false;
    QByteArray lastFailure;
    for (int repeats = 0, attempts = 0;
         !looked && repeats < LookAttempts && attempts < MostLookAttempts; ++attempts) {
        // A lost or new index: the last version is the starting point, hashed once again.
        if (!unborn && git_index_entrycount(index.get()) == 0 && !readTree(index.get(), base.get()))
            return failed(what);
        ScanPayload payload{&cancel, workdir, true, index.get(), odb.get()};
        int error =
            git_index_add_all(index.get(), &pathspec, GIT_INDEX_ADD_FORCE, scanFilter, &payload);
        payload.adding = false;
        if (error == 0)
            error = git_index_update_all(index.get(), &pathspec, scanFilter, &payload);
        if (cancel.load(std::memory_order_acquire))
            return;
        looked = error == 0;
        if (looked)
            break;
        const git_error* last = git_error_last();
        const QByteArray failure = last && last->message ? QByteArray(last->message) : QByteArray();
        if (failure == lastFailure) {
            ++repeats;
            if (git_index_read(index.get(), 1) < 0)
                return failed(what);
        }
        lastFailure = failure;
    }
    // Said once; the next look tries again, and commands wait for a first version.
    if (!looked)
        return failed(what);
    takeBeforeCommands(index.get());
    git_oid tree;
    // The stat cache of a large library is a tenth smaller with paths stored as differences.
    git_index_set_version(index.get(), 4);
    if (git_index_write_tree(&tree, index.get()) < 0)
        return failed(what);
    const git_oid indexTree = tree;
    if (!unborn && !layOnto(scanning, base.get(), tree))
        return failed(what);
    // The index remembers the trees it wrote, which must then be in the repository; one the
    // pack leaves out is forgotten with the index, which the head's tree replaces later.
    const bool keepIndex = !memory || git_oid_equal(&indexTree, &tree);
    if (!unborn && git_oid_equal(&tree, git_tree_id(base.get()))) {
        if (keepIndex && git_index_write(index.get()) == 0) {
            indexHead = *git_commit_id(parent.get());
            indexDirty.clear();
        }
        if (firstVersionPartial)
            markFirstVersionPartial(false);
        return;
    }
    Tree treeObject;
    Signature author;
    git_oid made;
    const Action action = first ? Action::FirstVersion : Action::ChangedOutside;
    if (git_tree_lookup(treeObject.out(), scanning.get(), &tree) < 0)
        return failed(what);
    const QStringList changed =
        first ? QStringList() : changedPaths(scanning, base.get(), treeObject.get());
    const qsizetype changedCount = changed.isEmpty() ? 1000 : changed.size();
    const QByteArray text = message(action, subject(action, {}), changed, hostName);
    const git_commit* parents[] = {parent.get()};
    if (!signature(author) ||
        git_commit_create(&made, scanning.get(), nullptr, author.get(), author.get(), nullptr,
                          text.constData(), treeObject.get(), unborn ? 0 : 1, parents) < 0)
        return failed(what);
    if ((memory && !writePack(scanning, memory)) ||
        !moveHead(made, unborn ? nullptr : git_commit_id(parent.get())))
        return failed(what);
    if (firstVersionPartial)
        markFirstVersionPartial(false);
    if (!memory)
        looseObjects += 2 + 3 * int(changedCount);
    if (keepIndex && git_index_write(index.get()) == 0) {
        indexHead = made;
        indexDirty.clear();
    }
    emit owner->recorded();
}

// A look sees the disk after the program's own commands still queued have written it; those
// files are taken as they were before the commands, which then record what they wrote.
void History::Worker::takeBeforeCommands(git_index* index) {
    QSet<QString> taken;
    const auto take = [&](const Job& job) {
        if (job.kind != Job::Kind::OnDisk)
            return;
        for (int i = 0; i < job.paths.size(); ++i) {
            const QString& path = job.paths[i];
            if (taken.contains(path))
                continue;
            taken.insert(path);
            const QByteArray name = path.toUtf8();
            if (!job.present.value(i)) {
                git_index_remove_bypath(index, name.constData());
                continue;
            }
            const git_index_entry* was = git_index_get_bypath(index, name.constData(), 0);
            if (was && was->mode == GIT_FILEMODE_LINK)
                continue;
            git_index_entry entry{};
            entry.mode = was ? was->mode : unsigned(GIT_FILEMODE_BLOB);
            entry.path = name.constData();
            const QByteArray& bytes = job.bytes[i];
            git_index_add_from_buffer(index, &entry, bytes.constData(), size_t(bytes.size()));
        }
    };
    for (const Job& job : held)
        take(job);
    const std::lock_guard guard(mutex);
    for (const Job& job : jobs)
        take(job);
}

bool History::Worker::indexBehind() {
    git_oid now;
    if (!repo || git_reference_name_to_id(&now, repo.get(), "HEAD") != 0)
        return false; // no first version yet
    return !indexDirty.isEmpty() || !indexHead || !git_oid_equal(&now, &*indexHead);
}

void History::Worker::alignIndex() {
    Commit commit;
    Tree tree;
    bool unborn = false;
    if (!repo || !head(repo, commit, tree, unborn) || unborn)
        return;
    const git_oid* now = git_commit_id(commit.get());
    const bool moved = !indexHead || !git_oid_equal(&*indexHead, now);
    if (!moved && indexDirty.isEmpty())
        return;
    Index index;
    if (git_repository_index(index.out(), repo.get()) < 0 || git_index_read(index.get(), 0) < 0)
        return;
    // Entries the head keeps as they were keep their stat data; the rest are hashed again.
    bool whole = moved;
    for (auto path = indexDirty.cbegin(); !whole && path != indexDirty.cend(); ++path) {
        TreeEntry kept;
        git_index_remove_directory(index.get(), path->constData(), 0);
        if (git_tree_entry_bypath(kept.out(), tree.get(), path->constData()) != 0) {
            git_index_remove_bypath(index.get(), path->constData());
            continue;
        }
        if (git_tree_entry_type(kept.get()) != GIT_OBJECT_BLOB) {
            whole = true;
            break;
        }
        git_index_entry entry{};
        entry.mode = git_tree_entry_filemode(kept.get());
        entry.id = *git_tree_entry_id(kept.get());
        entry.path = path->constData();
        if (git_index_add(index.get(), &entry) < 0)
            whole = true;
    }
    if (whole && !readTree(index.get(), tree.get()))
        return;
    if (git_index_write(index.get()) == 0) {
        indexHead = *now;
        indexDirty.clear();
    }
}

bool History::Worker::settleRepositorySettings() {
    // Snippets are kept byte for byte, whatever the user's own git settings say: line ends,
    // filters and the case of names are the repository's own, never inherited.
    Config config;
    if (git_repository_config(config.out(), repo.get()) < 0)
        return false;
    const auto setBool = [&](const char* name, bool value) {
        int now = 0;
        if (git_config_get_bool(&now, config.get(), name) != 0 || bool(now) != value)
            return git_config_set_bool(config.get(), name, value) == 0;
        return true;
    };
    // Nor does a file's executable bit count: a version keeps the mode it came with.
    if (!setBool("core.autocrlf", false) || !setBool("core.ignorecase", false) ||
        !setBool("core.symlinks", true) || !setBool("core.filemode", false))
        return false;
    const auto endWith = [this](const QString& name, const QByteArray& lines) {
        const QString path = gitFolder + QStringLiteral("/info/") + name;
        QFile file(path);
        QByteArray held;
        if (file.open(QIODevice::ReadOnly))
            held = file.readAll();
        file.close();
        if (held.endsWith(lines))
            return true;
        if (!held.isEmpty() && !held.endsWith('\n'))
            held += '\n';
        QDir().mkpath(gitFolder + QStringLiteral("/info"));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(held + lines) == held.size() + lines.size();
    };
    return endWith(QStringLiteral("attributes"), KeepBytes) &&
           endWith(QStringLiteral("exclude"), OnlySnippets);
}

// The paths a look at the library found changed, so a snippet's history need not read every
// tree; none when there are too many to name, and readers then compare the trees.
QStringList History::Worker::changedPaths(Repository& in, git_tree* before, git_tree* after) {
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
        paths.append(QString::fromUtf8(path));
    }
    return paths;
}

bool History::Worker::writePack(Repository& from, git_odb_backend* memory) {
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
