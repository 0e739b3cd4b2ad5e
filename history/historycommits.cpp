// SPDX-License-Identifier: MIT
// The program's commands, each one commit made from the last one's tree.
#include "history/historyworker.h"

#include <cstring>

using namespace gitsupport;
using namespace historydetail;

namespace {

// Commands write about this many objects: a blob, two or three trees, a commit.
constexpr int ObjectsPerCommit = 4;

// Enough for the trees on the paths of the last few dozen commands, categories of tens of
// thousands of snippets among them.
constexpr size_t TreesKept = 64;
constexpr qsizetype TreeBytesKept = 32 << 20;

bool plainFile(QByteArrayView mode) {
    return mode == "100644" || mode == "100755";
}

} // namespace

namespace historydetail {

QString shownPath(const QString& path) {
    return path.endsWith(QStringLiteral(".code")) ? path.chopped(5) : path;
}

// The machine's name names the copy a sync keeps of a snippet both sides changed.
QByteArray message(History::Action action, const QString& subject, const QStringList& paths,
                   const QString& host) {
    QByteArray text = subject.toUtf8() + "\n\nQuillary-Action: " + actionWord(action) +
                      "\nQuillary-Host: " + host.toUtf8() + "\n";
    for (const QString& path : paths)
        text += pathTrailer(path);
    return text;
}

} // namespace historydetail

// The head commit and its tree; false when they cannot be read, `unborn` when there is none.
bool History::Worker::head(Repository& in, Commit& commit, Tree& tree, bool& unborn) {
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

bool History::Worker::signature(Signature& out) {
    return git_signature_now(out.out(), authorName.toUtf8().constData(),
                             authorEmail.toUtf8().constData()) == 0;
}

void History::Worker::command(const Job& job) {
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
    const bool writes =
        job.action == Action::Save || job.action == Action::SaveAs || job.action == Action::Restore;
    git_oid tree = *git_tree_id(base.get());
    std::vector<std::pair<git_oid, QByteArray>> objects;
    std::optional<git_oid> blob;
    if (writes && job.paths.size() == 1) {
        const QByteArray path = job.paths[0].toUtf8();
        const QByteArray& bytes = job.bytes.value(0);
        if (git_blob_create_from_buffer(&blob.emplace(), repo.get(), bytes.constData(),
                                        size_t(bytes.size())) < 0)
            return failed(what);
        if (replaceInTrees(tree, path, *blob, tree, objects))
            objects.emplace_back(*blob, path);
        else
            objects.clear();
    }
    for (int i = 0; objects.empty() && i < job.paths.size(); ++i) {
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
            if (blob && i == 0)
                update.id = *blob;
            else if (git_blob_create_from_buffer(&update.id, repo.get(), bytes.constData(),
                                                 size_t(bytes.size())) < 0)
                return failed(what);
            update.action = GIT_TREE_UPDATE_UPSERT;
            update.filemode =
                exists && git_tree_entry_filemode(existing.get()) == GIT_FILEMODE_BLOB_EXECUTABLE
                    ? GIT_FILEMODE_BLOB_EXECUTABLE
                    : GIT_FILEMODE_BLOB;
            // A folder or a link of that name: the next look over the library settles it.
            if (exists && (git_tree_entry_type(existing.get()) != GIT_OBJECT_BLOB ||
                           git_tree_entry_filemode(existing.get()) == GIT_FILEMODE_LINK))
                continue;
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
    if (!updates.empty() &&
        git_tree_create_updated(&tree, repo.get(), base.get(), updates.size(), updates.data()) < 0)
        return failed(what);
    if (objects.empty())
        objects = namedObjects(tree, job.paths);
    QString shown = job.paths.value(0);
    if (job.paths.size() > 1)
        shown = QStringLiteral("%1 and %2 more").arg(shownPath(shown)).arg(job.paths.size() - 1);
    git_oid made;
    if (!commit(job.action, subject(job.action, shown), job.paths, tree, parent.get(), "HEAD",
                &made))
        return failed(what);
    remember(made, std::move(objects));
    if (paths.empty())
        paths.push_back(job.paths[0].toUtf8());
    noteIndex(*git_commit_id(parent.get()), made, paths);
    emit owner->recorded();
}

// Before a command replaces or deletes files, what they held is recorded when it is not what
// the history last saw there: another program wrote it.
void History::Worker::keepOnDisk(const Job& job) {
    const QString what = QStringLiteral("the changes made outside Quillary");
    Commit parent;
    Tree base;
    bool unborn = false;
    if (!head(repo, parent, base, unborn) || unborn)
        return failed(what);
    std::vector<QByteArray> paths;
    std::vector<git_tree_update> updates;
    QStringList changed;
    paths.reserve(size_t(job.paths.size()));
    for (int i = 0; i < job.paths.size(); ++i) {
        if (!job.present.value(i))
            continue;
        paths.push_back(job.paths[i].toUtf8());
        // A folder or a link of that name is left to the next look over the library.
        const std::optional<Walked> existing = walk(*git_tree_id(base.get()), paths.back());
        if (existing && !plainFile(existing->mode))
            continue;
        const QByteArray& bytes = job.bytes[i];
        git_tree_update update{};
        // Mostly the file holds what the history last saw: then nothing is written.
        if (git_odb_hash(&update.id, bytes.constData(), size_t(bytes.size()), GIT_OBJECT_BLOB) < 0)
            return failed(what);
        if (existing && git_oid_equal(&update.id, &existing->id))
            continue;
        if (git_blob_create_from_buffer(&update.id, repo.get(), bytes.constData(),
                                        size_t(bytes.size())) < 0)
            return failed(what);
        update.action = GIT_TREE_UPDATE_UPSERT;
        update.path = paths.back().constData();
        update.filemode = existing && existing->mode == "100755" ? GIT_FILEMODE_BLOB_EXECUTABLE
                                                                 : GIT_FILEMODE_BLOB;
        updates.push_back(update);
        changed.append(job.paths[i]);
    }
    if (updates.empty())
        return;
    git_oid tree;
    git_oid made;
    if (git_tree_create_updated(&tree, repo.get(), base.get(), updates.size(), updates.data()) <
            0 ||
        !commit(Action::ChangedOutside, subject(Action::ChangedOutside, {}), changed, tree,
                parent.get(), "HEAD", &made))
        return failed(what);
    remember(made, namedObjects(tree, changed));
    noteIndex(*git_commit_id(parent.get()), made, paths);
    emit owner->recorded();
}

// git's index followed the head to `from`: now only `paths` differ from `to`.
void History::Worker::noteIndex(const git_oid& from, const git_oid& to,
                                const std::vector<QByteArray>& paths) {
    if (!indexHead || !git_oid_equal(&*indexHead, &from))
        return;
    indexHead = to;
    for (const QByteArray& path : paths)
        indexDirty.insert(path);
}

// The raw form of a tree: one of the few kept in memory, or read from the object database.
std::optional<QByteArray> History::Worker::rawTree(const git_oid& id) {
    for (auto kept = rawTrees.begin(); kept != rawTrees.end(); ++kept) {
        if (git_oid_equal(&kept->id, &id)) {
            if (kept != rawTrees.begin()) {
                KeptTree moved = std::move(*kept);
                rawTrees.erase(kept);
                rawTrees.push_front(std::move(moved));
            }
            return rawTrees.front().data;
        }
    }
    Odb odb;
    git_odb_object* raw = nullptr;
    if (git_repository_odb(odb.out(), repo.get()) < 0 || git_odb_read(&raw, odb.get(), &id) < 0)
        return std::nullopt;
    std::optional<QByteArray> data;
    if (git_odb_object_type(raw) == GIT_OBJECT_TREE)
        data.emplace(static_cast<const char*>(git_odb_object_data(raw)),
                     qsizetype(git_odb_object_size(raw)));
    git_odb_object_free(raw);
    if (data)
        keepTree(id, *data);
    return data;
}

void History::Worker::keepTree(const git_oid& id, const QByteArray& data,
                               std::shared_ptr<const loosetree::Packed> packed) {
    rawTrees.push_front({id, data, std::move(packed)});
    const auto bytes = [](const KeptTree& kept) {
        return kept.data.size() + (kept.packed ? 2 * kept.packed->object.size() : 0);
    };
    qsizetype total = 0;
    for (const KeptTree& kept : rawTrees)
        total += bytes(kept);
    while (rawTrees.size() > 1 && (rawTrees.size() > TreesKept || total > TreeBytesKept)) {
        total -= bytes(rawTrees.back());
        rawTrees.pop_back();
    }
}

// A tree that differs from the tree `was` only in ids replaced in place. A large one is
// written by the history itself, compressing again only the pieces that changed: hashing and
// compressing a category of 20,000 snippets whole would be most of a save's commit.
bool History::Worker::writeTree(const QByteArray& data, const git_oid& was, git_oid& id) {
    if (data.size() >= loosetree::LargeTree) {
        // The version it replaces is seldom wanted again: its place goes to this one.
        std::shared_ptr<const loosetree::Packed> before;
        for (auto kept = rawTrees.begin(); kept != rawTrees.end(); ++kept) {
            if (git_oid_equal(&kept->id, &was)) {
                before = kept->packed;
                rawTrees.erase(kept);
                break;
            }
        }
        if (std::shared_ptr<const loosetree::Packed> packed = loosetree::pack(data, before.get())) {
            const QByteArray raw = loosetree::id(*packed);
            QString error;
            if (!loosetree::write(gitFolder + QStringLiteral("/objects"), raw, *packed, error)) {
                git_error_set_str(GIT_ERROR_OS, error.toUtf8().constData());
                return false;
            }
            git_oid_fromraw(&id, reinterpret_cast<const unsigned char*>(raw.constData()));
            keepTree(id, data, std::move(packed));
            return true;
        }
    }
    Odb odb;
    if (git_repository_odb(odb.out(), repo.get()) < 0 ||
        git_odb_write(&id, odb.get(), data.constData(), size_t(data.size()), GIT_OBJECT_TREE) < 0)
        return false;
    keepTree(id, data);
    return true;
}

// Follows `path` from the tree `root` through the trees' raw form, so a category of tens of
// thousands of snippets is never taken apart into entries; nothing when it leads nowhere.
std::optional<History::Worker::Walked> History::Worker::walk(const git_oid& root,
                                                             const QByteArray& path) {
    const QList<QByteArray> names = path.split('/');
    Walked walked;
    git_oid id = root;
    for (qsizetype level = 0; level < names.size(); ++level) {
        if (level > 0 && walked.mode != "40000")
            return std::nullopt;
        const git_oid treeId = id;
        std::optional<QByteArray> tree = rawTree(treeId);
        if (!tree)
            return std::nullopt;
        // Entries are "mode name\0" and twenty bytes of id.
        const QByteArrayView data(*tree);
        qsizetype at = 0;
        qsizetype idAt = -1;
        while (at < data.size()) {
            const qsizetype space = data.indexOf(' ', at);
            const qsizetype end = space < 0 ? -1 : data.indexOf('\0', space);
            if (end < 0 || end + 1 + GIT_OID_RAWSZ > data.size())
                return std::nullopt;
            if (data.sliced(space + 1, end - space - 1) == names[level]) {
                walked.mode = data.sliced(at, space - at).toByteArray();
                idAt = end + 1;
                break;
            }
            at = end + 1 + GIT_OID_RAWSZ;
        }
        if (idAt < 0)
            return std::nullopt;
        git_oid_fromraw(&id, reinterpret_cast<const unsigned char*>(data.data() + idAt));
        walked.trees.push_back(std::move(*tree));
        walked.treeIds.push_back(treeId);
        walked.idAt.push_back(idAt);
    }
    walked.id = id;
    return walked;
}

// A save of a snippet that is already recorded changes one id in each tree on its path.
// Writing those trees as they are with the one id replaced keeps a save into a category of
// tens of thousands of snippets quick: no tree is taken apart and built again. False when
// the path does not lead to a recorded file, so the general way is taken; `written` gets the
// trees made, named by their paths.
bool History::Worker::replaceInTrees(const git_oid& root, const QByteArray& path,
                                     const git_oid& blob, git_oid& newRoot,
                                     std::vector<std::pair<git_oid, QByteArray>>& made) {
    std::optional<Walked> walked = walk(root, path);
    if (!walked || !plainFile(walked->mode))
        return false;
    git_oid child = blob;
    for (qsizetype level = qsizetype(walked->trees.size()) - 1; level >= 0; --level) {
        QByteArray& data = walked->trees[size_t(level)];
        std::memcpy(data.data() + walked->idAt[size_t(level)], child.id, GIT_OID_RAWSZ);
        if (!writeTree(data, walked->treeIds[size_t(level)], child))
            return false;
        qsizetype slash = -1;
        for (qsizetype i = 0; i < level; ++i)
            slash = path.indexOf('/', slash + 1);
        made.emplace_back(child, level == 0 ? QByteArray() : path.left(slash));
    }
    newRoot = child;
    return true;
}

// The trees and files a commit of `treeId` wrote for `paths`, named by their paths, as the
// packing wants them.
std::vector<std::pair<git_oid, QByteArray>>
History::Worker::namedObjects(const git_oid& treeId, const QStringList& paths) {
    std::vector<std::pair<git_oid, QByteArray>> named{{treeId, QByteArray()}};
    Tree root;
    if (git_tree_lookup(root.out(), repo.get(), &treeId) < 0)
        return named;
    for (const QString& path : paths) {
        const QByteArray whole = path.toUtf8();
        for (qsizetype at = whole.indexOf('/');; at = whole.indexOf('/', at + 1)) {
            const QByteArray prefix = at < 0 ? whole : whole.left(at);
            TreeEntry entry;
            if (git_tree_entry_bypath(entry.out(), root.get(), prefix.constData()) == 0)
                named.emplace_back(*git_tree_entry_id(entry.get()), prefix);
            if (at < 0)
                break;
        }
    }
    return named;
}

void History::Worker::remember(const git_oid& commitId,
                               std::vector<std::pair<git_oid, QByteArray>> objects) {
    looseObjects += ObjectsPerCommit;
    written.emplace_back(commitId, QByteArray());
    for (auto& object : objects)
        written.push_back(std::move(object));
}

bool History::Worker::commit(Action action, const QString& subjectText, const QStringList& paths,
                             const git_oid& treeId, git_commit* parent, const char* ref,
                             git_oid* made) {
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

// Points HEAD's branch at `made`, only if it is still where the scan found it.
bool History::Worker::moveHead(const git_oid& made, const git_oid* was) {
    Reference headRef;
    if (git_reference_lookup(headRef.out(), repo.get(), "HEAD") < 0)
        return false;
    const char* branch = git_reference_symbolic_target(headRef.get());
    Reference moved;
    const char* log = "Quillary: recorded";
    if (!branch)
        return git_reference_set_target(moved.out(), headRef.get(), &made, log) == 0;
    return git_reference_create_matching(moved.out(), repo.get(), branch, &made, 1, was, log) == 0;
}
