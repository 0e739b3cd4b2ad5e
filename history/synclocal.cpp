// SPDX-License-Identifier: MIT
#include "history/synclocal.h"

#include "history/gitsupport.h"
#include "history/syncmerge.h"
#include "history/synctransport.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSet>
#include <QUrl>
#include <QtEndian>
#include <algorithm>
#include <vector>

using namespace gitsupport;
using syncmerge::Cancelled;
using syncmerge::Failure;

namespace synclocal {

namespace {

using Ids = QSet<QByteArray>; // raw object ids

QByteArray raw(const git_oid& id) {
    return QByteArray(reinterpret_cast<const char*>(id.id), GIT_OID_RAWSZ);
}

[[noreturn]] void fail(const Hooks& hooks) {
    if (hooks.cancelled && hooks.cancelled())
        throw Cancelled{};
    throw Failure{lastError()};
}

int packBuilt(int, uint32_t, uint32_t, void* payload) {
    const Hooks& hooks = *static_cast<const Hooks*>(payload);
    return hooks.cancelled && hooks.cancelled() ? -1 : 0;
}

int packWritten(const git_indexer_progress* stats, void* payload) {
    const Hooks& hooks = *static_cast<const Hooks*>(payload);
    if (hooks.cancelled && hooks.cancelled())
        return -1;
    if (hooks.progress)
        hooks.progress(stats->received_objects, stats->total_objects);
    return 0;
}

// Every object `target` reaches: its commits, their trees and blobs (a submodule's commit is
// not ours to send).
Ids reachable(git_repository* repo, const git_oid& target, const Hooks& hooks) {
    Ids ids;
    Revwalk walk;
    if (git_revwalk_new(walk.out(), repo) < 0 || git_revwalk_push(walk.get(), &target) < 0)
        fail(hooks);
    std::vector<git_oid> trees;
    git_oid id;
    while (git_revwalk_next(&id, walk.get()) == 0) {
        Commit commit;
        if (git_commit_lookup(commit.out(), repo, &id) < 0)
            fail(hooks);
        ids.insert(raw(id));
        trees.push_back(*git_commit_tree_id(commit.get()));
    }
    while (!trees.empty()) {
        const git_oid treeId = trees.back();
        trees.pop_back();
        if (ids.contains(raw(treeId)))
            continue;
        ids.insert(raw(treeId));
        Tree tree;
        if (git_tree_lookup(tree.out(), repo, &treeId) < 0)
            fail(hooks);
        for (size_t i = 0, count = git_tree_entrycount(tree.get()); i < count; ++i) {
            const git_tree_entry* entry = git_tree_entry_byindex(tree.get(), i);
            if (git_tree_entry_type(entry) == GIT_OBJECT_TREE)
                trees.push_back(*git_tree_entry_id(entry));
            else if (git_tree_entry_type(entry) == GIT_OBJECT_BLOB)
                ids.insert(raw(*git_tree_entry_id(entry)));
        }
        if (hooks.cancelled && hooks.cancelled())
            throw Cancelled{};
    }
    return ids;
}

// The objects a pack's index (version 2) names; none when it cannot be read.
std::vector<QByteArray> packed(const QString& indexFile) {
    QFile in(indexFile);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = in.readAll();
    constexpr qsizetype Ids = 8 + 256 * 4;
    if (bytes.size() < Ids || !bytes.startsWith("\377tOc") ||
        qFromBigEndian<quint32>(bytes.constData() + 4) != 2)
        return {};
    const quint32 count = qFromBigEndian<quint32>(bytes.constData() + 8 + 255 * 4);
    if (bytes.size() < Ids + qsizetype(count) * GIT_OID_RAWSZ)
        return {};
    std::vector<QByteArray> ids;
    ids.reserve(count);
    for (quint32 i = 0; i < count; ++i)
        ids.push_back(bytes.mid(Ids + qsizetype(i) * GIT_OID_RAWSZ, GIT_OID_RAWSZ));
    return ids;
}

bool copied(const QString& from, const QString& to) {
    const QString part = to + QStringLiteral(".part");
    QFile::remove(part);
    if (QFile::copy(from, part) && QFile::rename(part, to))
        return true;
    QFile::remove(part);
    return false;
}

// Each of our packs that holds nothing but objects the push sends goes over whole, as it is,
// as git's own push reuses what is packed: a pack built anew inflates and compresses every
// object once more and searches for deltas again. Returns what is left to send.
Ids handOver(git_repository* repo, git_repository* remote, Ids wanted, const Hooks& hooks) {
    const QString ours =
        QFile::decodeName(git_repository_path(repo)) + QStringLiteral("objects/pack/");
    const QString theirs =
        QFile::decodeName(git_repository_path(remote)) + QStringLiteral("objects/pack/");
    const qsizetype total = wanted.size();
    for (const QString& index : QDir(ours).entryList({QStringLiteral("pack-*.idx")}, QDir::Files)) {
        const std::vector<QByteArray> ids = packed(ours + index);
        if (ids.empty() || !std::all_of(ids.cbegin(), ids.cend(),
                                        [&](const QByteArray& id) { return wanted.contains(id); }))
            continue;
        const QString pack = index.chopped(4) + QStringLiteral(".pack");
        // The pack first: git takes a pack as there once its index is.
        if (!QFile::exists(theirs + index) &&
            (!copied(ours + pack, theirs + pack) || !copied(ours + index, theirs + index))) {
            QFile::remove(theirs + pack);
            continue;
        }
        for (const QByteArray& id : ids)
            wanted.remove(id);
        if (hooks.cancelled && hooks.cancelled())
            throw Cancelled{};
        if (hooks.progress)
            hooks.progress(quint64(total - wanted.size()), quint64(total));
    }
    return wanted;
}

} // namespace

std::optional<QString> bareRepository(const QString& remote) {
    QString path = remote;
    if (path.startsWith(QLatin1String("file://"), Qt::CaseInsensitive))
        path = QUrl(path).toLocalFile();
    else if (path.contains(QLatin1String("://")) || SyncTransport::sshAddress(remote))
        return std::nullopt;
    Repository repository;
    if (path.isEmpty() ||
        git_repository_open_ext(repository.out(), QFile::encodeName(path).constData(),
                                GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr) < 0 ||
        !git_repository_is_bare(repository.get())) {
        git_error_clear();
        return std::nullopt;
    }
    return path;
}

// The remote is given a pack in one piece: libgit2's own local push hands its indexer one object
// at a time, and the indexer unmaps the whole pack after each, which made a first push of a
// large history ten times slower than git's.
bool push(git_repository* repo, const QString& path, const git_oid& target,
          const std::optional<git_oid>& theirs, const Hooks& hooks) {
    Repository remote;
    Odb odb;
    if (git_repository_open_ext(remote.out(), QFile::encodeName(path).constData(),
                                GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr) < 0 ||
        git_repository_odb(odb.out(), remote.get()) < 0)
        fail(hooks);
    // A remote without a main holds nothing the push could leave out: whole packs may go.
    std::optional<Ids> left;
    if (!theirs) {
        const Ids wanted = reachable(repo, target, hooks);
        left = handOver(repo, remote.get(), wanted, hooks);
        if (left->size() == wanted.size())
            left.reset();
        else
            git_odb_refresh(odb.get());
    }
    if (!left || !left->isEmpty()) {
        Packbuilder builder;
        Revwalk walk;
        if (git_packbuilder_new(builder.out(), repo) < 0 ||
            git_packbuilder_set_callbacks(builder.get(), packBuilt, const_cast<Hooks*>(&hooks)) < 0)
            fail(hooks);
        git_packbuilder_set_threads(builder.get(), 0); // as many as the machine has
        if (left) {
            for (const QByteArray& id : *left) {
                git_oid oid;
                git_oid_fromraw(&oid, reinterpret_cast<const unsigned char*>(id.constData()));
                if (git_packbuilder_insert(builder.get(), &oid, nullptr) < 0)
                    fail(hooks);
            }
        } else if (git_revwalk_new(walk.out(), repo) < 0 ||
                   git_revwalk_push(walk.get(), &target) < 0 ||
                   (theirs && git_revwalk_hide(walk.get(), &*theirs) < 0) ||
                   git_packbuilder_insert_walk(builder.get(), walk.get()) < 0) {
            fail(hooks);
        }
        git_buf pack = GIT_BUF_INIT;
        const auto freePack = qScopeGuard([&pack] { git_buf_dispose(&pack); });
        if (git_packbuilder_write_buf(&pack, builder.get()) < 0)
            fail(hooks);
        git_odb_writepack* writer = nullptr;
        if (git_odb_write_pack(&writer, odb.get(), packWritten, const_cast<Hooks*>(&hooks)) < 0)
            fail(hooks);
        const auto freeWriter = qScopeGuard([writer] { writer->free(writer); });
        git_indexer_progress stats{};
        if (writer->append(writer, pack.ptr, pack.size, &stats) < 0 ||
            writer->commit(writer, &stats) < 0)
            fail(hooks);
    }
    Reference moved;
    const char* const branch = "refs/heads/main";
    const int error =
        theirs ? git_reference_create_matching(moved.out(), remote.get(), branch, &target, 1,
                                               &*theirs, "push")
               : git_reference_create(moved.out(), remote.get(), branch, &target, 0, "push");
    if (error == GIT_EMODIFIED || error == GIT_EEXISTS)
        return false;
    if (error < 0)
        fail(hooks);
    // The sync made the remote's first branch: a plain clone of it checks that one out.
    Reference head;
    Reference named;
    if (!theirs && git_reference_lookup(head.out(), remote.get(), "HEAD") == 0 &&
        git_reference_type(head.get()) == GIT_REFERENCE_SYMBOLIC &&
        git_reference_lookup(named.out(), remote.get(),
                             git_reference_symbolic_target(head.get())) == GIT_ENOTFOUND)
        git_repository_set_head(remote.get(), branch);
    git_error_clear();
    Reference tracked;
    git_reference_create(tracked.out(), repo, SyncTransport::TrackedMain, &target, 1, "sync: push");
    return true;
}

} // namespace synclocal
