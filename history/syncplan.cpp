// SPDX-License-Identifier: MIT
#include "history/syncplan.h"

#include "history/gitsupport.h"
#include "history/sync.h"
#include "history/syncwrite.h"
#include "library/libraryfs.h"

#include <QCoreApplication>
#include <vector>

using namespace gitsupport;
using namespace syncmerge;

namespace syncplan {

namespace {

const QString HostTrailer = QStringLiteral("Quillary-Host:");

} // namespace

Files Planner::filesOf(const std::optional<git_oid>& commitId) {
    Files files;
    if (!commitId)
        return files;
    Commit commit;
    if (git_commit_lookup(commit.out(), m_repo, &*commitId) < 0)
        throw Failure{lastError()};
    // Walked by hand, folder by folder, with limits: libgit2's own walk recurses, and a
    // remote's tree may be made to be deep enough to end the program.
    std::vector<std::pair<QByteArray, git_oid>> folders{{{}, *git_commit_tree_id(commit.get())}};
    while (!folders.empty()) {
        auto [prefix, id] = std::move(folders.back());
        folders.pop_back();
        Tree tree;
        if (git_tree_lookup(tree.out(), m_repo, &id) < 0)
            throw Failure{lastError()};
        const size_t count = git_tree_entrycount(tree.get());
        if (files.size() + folders.size() + qsizetype(count) > MostEntries)
            throw Failure{QCoreApplication::translate(
                              "LibrarySync", "the history holds more than %1 entries, more "
                                             "than this program takes in")
                              .arg(MostEntries)};
        for (size_t i = 0; i < count; ++i) {
            const git_tree_entry* entry = git_tree_entry_byindex(tree.get(), i);
            const QByteArray path = prefix + git_tree_entry_name(entry);
            if (git_tree_entry_type(entry) == GIT_OBJECT_TREE) {
                if (prefix.count('/') + 1 >= MostFolderDepth)
                    throw Failure{QCoreApplication::translate("LibrarySync",
                                                              "the history holds folders more than "
                                                              "%1 deep (\"%2...\"), more than this "
                                                              "program takes in")
                                      .arg(MostFolderDepth)
                                      .arg(QString::fromUtf8(path.left(80)))};
                folders.emplace_back(path + '/', *git_tree_entry_id(entry));
            } else if (git_tree_entry_type(entry) == GIT_OBJECT_BLOB) {
                files.insert(path, {*git_tree_entry_id(entry), git_tree_entry_filemode(entry)});
            }
        }
    }
    return files;
}

// The other side's machine: its own trailer, else the host of its author's address.
QString Planner::otherHost(const git_oid& theirs) {
    Commit commit;
    if (git_commit_lookup(commit.out(), m_repo, &theirs) < 0)
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

Plan Planner::bringIn(const std::optional<git_oid>& ours, const std::optional<git_oid>& theirs) {
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
    if (ours && git_graph_descendant_of(m_repo, &*ours, &*theirs) == 1) {
        plan.target = ours; // we are ahead: the push brings the remote along
        plan.after = plan.before;
        return plan;
    }
    const Files other = filesOf(theirs);
    const bool fastForward = !ours || git_graph_descendant_of(m_repo, &*theirs, &*ours) == 1;
    std::optional<git_oid> base;
    if (!fastForward) {
        git_oid found;
        const int error = git_merge_base(&found, m_repo, &*ours, &*theirs);
        if (error == 0)
            base = found;
        else if (error != GIT_ENOTFOUND)
            throw Failure{lastError()}; // no base: unrelated histories are joined
    }
    plan.host = otherHost(*theirs);
    const Files baseFiles = fastForward ? Files() : filesOf(base);
    QStringList moved;
    Files merged = resolve(
        fastForward ? nullptr : &baseFiles, other,
        [this](const QByteArray& path) {
            OnDisk now;
            now.entry = syncwrite::onDisk(m_fs, path, now.unreadable);
            return now;
        },
        ignoresCase(), plan, moved);
    if (fastForward && moved.isEmpty()) {
        plan.target = theirs;
        plan.after = std::move(merged);
        return plan;
    }
    QStringList named = moved;
    if (!fastForward)
        sideBySide(plan.before, merged, Files(),
                   [&named](const QByteArray& path, const std::optional<Entry>& was,
                            const std::optional<Entry>& will, const std::optional<Entry>&) {
                       if (was != will)
                           named.append(QString::fromUtf8(path));
                   });
    named.removeDuplicates();
    plan.target = commit(
        merged, fastForward ? std::vector<git_oid>{*theirs} : std::vector<git_oid>{*ours, *theirs},
        named, *theirs, other);
    plan.after = std::move(merged);
    return plan;
}

git_oid Planner::commit(const Files& files, const std::vector<git_oid>& parentIds,
                        const QStringList& paths, const git_oid& theirs, const Files& theirFiles) {
    Tree start;
    Commit theirCommit;
    if (git_commit_lookup(theirCommit.out(), m_repo, &theirs) < 0 ||
        git_commit_tree(start.out(), theirCommit.get()) < 0)
        throw Failure{lastError()};
    std::vector<git_tree_update> updates;
    // The keys live in the maps, which outlive the update.
    sideBySide(files, theirFiles, Files(),
               [&](const QByteArray& path, const std::optional<Entry>& will,
                   const std::optional<Entry>& there, const std::optional<Entry>&) {
                   if (will == there)
                       return;
                   const char* name = (will ? files : theirFiles).constFind(path).key().constData();
                   if (will)
                       updates.push_back({GIT_TREE_UPDATE_UPSERT, will->id, will->mode, name});
                   else
                       updates.push_back({GIT_TREE_UPDATE_REMOVE, {}, GIT_FILEMODE_BLOB, name});
               });
    git_oid treeId;
    Tree tree;
    if (git_tree_create_updated(&treeId, m_repo, start.get(), updates.size(), updates.data()) < 0 ||
        git_tree_lookup(tree.out(), m_repo, &treeId) < 0)
        throw Failure{lastError()};

    std::vector<Commit> parents(parentIds.size());
    std::vector<const git_commit*> raw;
    for (size_t i = 0; i < parentIds.size(); ++i) {
        if (git_commit_lookup(parents[i].out(), m_repo, &parentIds[i]) < 0)
            throw Failure{lastError()};
        raw.push_back(parents[i].get());
    }
    QByteArray text = "Sync\n\nQuillary-Action: " + QByteArray(LibrarySync::ActionWord) +
                      "\nQuillary-Host: " + LibrarySync::hostName().toUtf8() + "\n";
    for (const QString& path : paths)
        text += pathTrailer(path);
    Signature author;
    if (git_signature_default(author.out(), m_repo) < 0) {
        const QString name = loginName();
        if (git_signature_now(
                author.out(), name.toUtf8().constData(),
                (name + QLatin1Char('@') + LibrarySync::hostName()).toUtf8().constData()) < 0)
            throw Failure{lastError()};
    }
    git_oid made;
    if (git_commit_create(&made, m_repo, nullptr, author.get(), author.get(), nullptr,
                          text.constData(), tree.get(), raw.size(), raw.data()) < 0)
        throw Failure{lastError()};
    return made;
}

bool Planner::ignoresCase() {
    if (!m_ignoresCase)
        m_ignoresCase = syncwrite::ignoresCase(m_fs);
    return *m_ignoresCase;
}

} // namespace syncplan
