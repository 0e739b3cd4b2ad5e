// SPDX-License-Identifier: MIT
// Text the editor threw away, kept on a ref of its own.
#include "history/historyworker.h"

using namespace gitsupport;
using namespace historydetail;

void History::Worker::draft(const Job& job) {
    const QString path = job.paths.value(0);
    const QByteArray& bytes = job.bytes.value(0);
    const QString what = QStringLiteral("the text of \"%1\"").arg(shownPath(path));
    git_oid blob;
    if (git_blob_create_from_buffer(&blob, repo.get(), bytes.constData(), size_t(bytes.size())) < 0)
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
    git_tree_update update{GIT_TREE_UPDATE_UPSERT, blob, GIT_FILEMODE_BLOB, pathUtf8.constData()};
    git_oid tree;
    git_oid made;
    if (git_tree_create_updated(&tree, repo.get(), emptyTree.get(), 1, &update) < 0 ||
        !commit(Action::Draft, subject(Action::Draft, path), {path}, tree, tip.get(),
                draftsRef.constData(), &made))
        return failed(what);
    lastDraft.insert(path, blobHex);
    remember(made, namedObjects(tree, {path}));
    emit owner->recorded();
}
