// SPDX-License-Identifier: MIT
// Looks at the library: what other programs changed, and the first version.
#include "history/historyworker.h"
#include "history/syncmerge.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

using namespace gitsupport;
using namespace historydetail;

namespace {

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

// Compares the library with the last version through the stat cache of git's index, and
// records what differs; the first time, records it whole. New objects are gathered in memory
// and written as one pack, so a first recording of many files writes one file, not many.
void History::Worker::scan() {
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
        git_repository_index(index.out(), scanning.get()) < 0 || git_index_read(index.get(), 0) < 0)
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
    const QByteArray text = message(
        action, subject(action, {}),
        unborn ? QStringList() : changedPaths(scanning, base.get(), treeObject.get()), hostName);
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
        if (std::strchr(path, '\n'))
            return {}; // a trailer is one line
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
