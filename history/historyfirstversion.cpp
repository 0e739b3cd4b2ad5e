// SPDX-License-Identifier: MIT
// The first version of the library, and the commands that wait for it. Quitting before the
// first look is done keeps what those commands replaced; the next start records the rest.
#include "history/historyworker.h"

#include <QSet>

using namespace gitsupport;
using namespace historydetail;

namespace {

// Set while the history's first version holds only the files commands replaced before the
// program quit; the next look adds the rest of the library as the first version.
constexpr const char* PartialKey = "quillary.partialFirstVersion";

} // namespace

// The first version is made by a look at the library; one that failed is tried again here.
bool History::Worker::firstVersionExists() {
    const int unborn = git_repository_head_unborn(repo.get());
    if (unborn == 0 && !firstVersionPartial)
        return true;
    if (unborn < 0 || cancel.load(std::memory_order_acquire))
        return false;
    scan();
    return git_repository_head_unborn(repo.get()) == 0 && !firstVersionPartial;
}

bool History::Worker::partialFirstVersion() {
    Config config;
    int partial = 0;
    return git_repository_config(config.out(), repo.get()) == 0 &&
           git_config_get_bool(&partial, config.get(), PartialKey) == 0 && partial;
}

bool History::Worker::markFirstVersionPartial(bool partial) {
    Config config;
    if (git_repository_config(config.out(), repo.get()) < 0)
        return false;
    const int done = partial ? git_config_set_bool(config.get(), PartialKey, 1)
                             : git_config_delete_entry(config.get(), PartialKey);
    if (done < 0 && !(done == GIT_ENOTFOUND && !partial))
        return false;
    firstVersionPartial = partial;
    return true;
}

// The program quits before the first version exists, so the commands still waiting for it
// would be lost, and with them the text they replaced. What the files held before those
// commands becomes the first version of just those files, the commands follow in order, and the
// next start's look adds the rest of the library to the first version.
void History::Worker::keepWhatWaits() {
    if (held.empty() || !repo || state.load(std::memory_order_acquire) != State::On ||
        lockLost.load(std::memory_order_acquire))
        return;
    const QString what = QStringLiteral("the commands made during the first recording");
    Commit parent;
    Tree base;
    bool unborn = false;
    if (!head(repo, parent, base, unborn))
        return failed(what);
    if (unborn) {
        git_treebuilder* builder = nullptr;
        git_oid empty;
        const bool made = git_treebuilder_new(&builder, repo.get(), nullptr) == 0 &&
                          git_treebuilder_write(&empty, builder) == 0;
        git_treebuilder_free(builder);
        if (!made || git_tree_lookup(base.out(), repo.get(), &empty) < 0)
            return failed(what);
    }
    // The first text told for each path is what the disk held before any command touched it.
    std::vector<QByteArray> names;
    names.reserve(size_t(held.size()) * 2);
    std::vector<git_tree_update> updates;
    QStringList kept;
    QSet<QString> seen;
    for (const Job& job : held) {
        if (job.kind != Job::Kind::OnDisk)
            continue;
        for (int i = 0; i < job.paths.size(); ++i) {
            const QString& path = job.paths[i];
            if (seen.contains(path))
                continue;
            seen.insert(path);
            names.push_back(path.toUtf8());
            TreeEntry recorded;
            // Already in a first version kept at an earlier quit: the commands compare with it.
            if (!job.present.value(i) ||
                git_tree_entry_bypath(recorded.out(), base.get(), names.back().constData()) == 0)
                continue;
            git_tree_update update{};
            update.action = GIT_TREE_UPDATE_UPSERT;
            update.path = names.back().constData();
            update.filemode = GIT_FILEMODE_BLOB;
            const QByteArray& bytes = job.bytes.value(i);
            if (git_blob_create_from_buffer(&update.id, repo.get(), bytes.constData(),
                                            size_t(bytes.size())) < 0)
                return failed(what);
            updates.push_back(update);
            kept.append(path);
        }
    }
    // No text was replaced: the next start's first version finds every file as it is.
    if (updates.empty() && unborn)
        return;
    if (!updates.empty()) {
        git_oid tree;
        // Marked first: a crash between the two leaves a first version that the next look
        // completes, never one taken for changes made outside.
        if (!markFirstVersionPartial(true) ||
            git_tree_create_updated(&tree, repo.get(), base.get(), updates.size(), updates.data()) <
                0 ||
            !commit(Action::FirstVersion, subject(Action::FirstVersion, {}), kept, tree,
                    unborn ? nullptr : parent.get(), "HEAD"))
            return failed(what);
    }
    while (!held.empty()) {
        Job next = std::move(held.front());
        held.pop_front();
        execute(next);
    }
}
