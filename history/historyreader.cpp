// SPDX-License-Identifier: MIT
#include "history/gitsupport.h"
#include "history/history.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <vector>

using namespace gitsupport;

struct HistoryReader::Repo {
    Library git;
    Repository repo;
};

namespace {

QByteArray key(const git_oid& id) {
    return QByteArray(reinterpret_cast<const char*>(id.id), GIT_OID_RAWSZ);
}

// Finds one path in many trees. Each commit has a tree of its own, but most of their sub-trees
// are shared, so what a sub-tree holds at the path is remembered by its id.
class PathFinder {
public:
    PathFinder(git_repository* repo, const QString& path) : m_repo(repo) {
        const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (const QString& part : parts)
            m_parts.push_back(part.toUtf8());
        m_known.resize(m_parts.size());
    }
    // The entry's id at the path; nothing when the tree does not hold it.
    std::optional<git_oid> in(const git_oid& tree) { return at(tree, 0); }

private:
    std::optional<git_oid> at(const git_oid& treeId, size_t level) {
        if (level >= m_parts.size())
            return std::nullopt;
        const QByteArray treeKey = key(treeId);
        if (const auto known = m_known[level].constFind(treeKey); known != m_known[level].cend())
            return *known;
        std::optional<git_oid> found;
        Tree tree;
        if (git_tree_lookup(tree.out(), m_repo, &treeId) == 0) {
            const git_tree_entry* entry =
                git_tree_entry_byname(tree.get(), m_parts[level].constData());
            if (entry) {
                const bool last = level + 1 == m_parts.size();
                // A link's "text" is where it points: never a version to give back.
                const bool blob = git_tree_entry_type(entry) == GIT_OBJECT_BLOB &&
                                  git_tree_entry_filemode(entry) != GIT_FILEMODE_LINK;
                if (last && blob)
                    found = *git_tree_entry_id(entry);
                else if (!last && git_tree_entry_type(entry) == GIT_OBJECT_TREE)
                    found = at(*git_tree_entry_id(entry), level + 1);
            }
        }
        m_known[level].insert(treeKey, found);
        return found;
    }

    git_repository* m_repo;
    std::vector<QByteArray> m_parts;
    std::vector<QHash<QByteArray, std::optional<git_oid>>> m_known;
};

QDateTime timeOf(const git_commit* commit) {
    return QDateTime::fromSecsSinceEpoch(git_commit_time(commit));
}

// Whether a commit may have changed `path`. The program's commits name what they touched; any
// other commit, a merge, or a look at the library that found too much to name, may have.
bool mayTouch(const git_commit* commit, const Trailers& trailers, const QString& path) {
    if (!trailers.action || git_commit_parentcount(commit) != 1)
        return true;
    if (trailers.paths.isEmpty())
        return trailers.action == History::Action::ChangedOutside ||
               trailers.action == History::Action::FirstVersion;
    for (const QString& named : trailers.paths) {
        if (named == path || path.startsWith(named + QLatin1Char('/')))
            return true;
    }
    return false;
}

bool same(const std::optional<git_oid>& a, const std::optional<git_oid>& b) {
    return a.has_value() == b.has_value() && (!a || git_oid_equal(&*a, &*b));
}

// Walks a ref's commits, newest first; stops when `visit` returns false.
template <typename Visit> void walk(git_repository* repo, const char* ref, Visit visit) {
    Revwalk walker;
    if (git_revwalk_new(walker.out(), repo) < 0)
        return;
    // Children before parents: commits made in one second (a change found outside and the
    // command after it) keep their order.
    git_revwalk_sorting(walker.get(), GIT_SORT_TOPOLOGICAL | GIT_SORT_TIME);
    if (git_revwalk_push_ref(walker.get(), ref) < 0)
        return;
    git_oid id;
    while (git_revwalk_next(&id, walker.get()) == 0) {
        Commit commit;
        if (git_commit_lookup(commit.out(), repo, &id) < 0)
            continue;
        if (!visit(commit.get()))
            return;
    }
}

} // namespace

HistoryReader::HistoryReader(const QString& gitFolder) : m_repo(std::make_unique<Repo>()) {
    if (git_repository_open_ext(m_repo->repo.out(), QFile::encodeName(gitFolder).constData(),
                                GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr) < 0)
        m_repo->repo.reset();
}

HistoryReader::~HistoryReader() = default;

bool HistoryReader::isOpen() const {
    return bool(m_repo->repo);
}

QList<HistoryVersion> HistoryReader::versions(const QString& path) const {
    QList<HistoryVersion> list;
    git_repository* repo = m_repo->repo.get();
    if (!repo)
        return list;
    Odb odb;
    git_repository_odb(odb.out(), repo);
    const auto sizeOf = [&odb](const git_oid& blob) -> qint64 {
        size_t size = 0;
        git_object_t type{};
        return odb && git_odb_read_header(&size, &type, odb.get(), &blob) == 0 ? qint64(size) : -1;
    };
    PathFinder finder(repo, path);
    walk(repo, "HEAD", [&](git_commit* commit) {
        const Trailers trailers = trailersOf(git_commit_message(commit));
        if (!mayTouch(commit, trailers, path))
            return true;
        const std::optional<git_oid> now = finder.in(*git_commit_tree_id(commit));
        std::optional<git_oid> before;
        if (git_commit_parentcount(commit) > 0) {
            Commit parent;
            if (git_commit_parent(parent.out(), commit, 0) == 0)
                before = finder.in(*git_commit_tree_id(parent.get()));
        }
        if (same(now, before))
            return true;
        HistoryVersion version;
        version.action = trailers.action.value_or(History::Action::ChangedOutside);
        version.deleted = !now;
        version.when = timeOf(commit);
        version.commit = hex(*git_commit_id(commit));
        if (now) {
            version.blob = hex(*now);
            version.size = sizeOf(*now);
        }
        list.append(version);
        return true;
    });
    PathFinder drafts(repo, path);
    QList<HistoryVersion> drafted;
    walk(repo, History::DraftsRef.toUtf8().constData(), [&](git_commit* commit) {
        const std::optional<git_oid> text = drafts.in(*git_commit_tree_id(commit));
        if (!text)
            return true;
        HistoryVersion version;
        version.action = History::Action::Draft;
        version.when = timeOf(commit);
        version.commit = hex(*git_commit_id(commit));
        version.blob = hex(*text);
        version.size = sizeOf(*text);
        drafted.append(version);
        return true;
    });
    list.append(drafted);
    std::stable_sort(
        list.begin(), list.end(),
        [](const HistoryVersion& a, const HistoryVersion& b) { return a.when > b.when; });
    return list;
}

QList<DeletedEntry> HistoryReader::deleted() const {
    QList<DeletedEntry> list;
    git_repository* repo = m_repo->repo.get();
    if (!repo)
        return list;
    Tree now;
    {
        Commit head;
        git_oid id;
        if (git_reference_name_to_id(&id, repo, "HEAD") < 0 ||
            git_commit_lookup(head.out(), repo, &id) < 0 ||
            git_commit_tree(now.out(), head.get()) < 0)
            return list;
    }
    QSet<QString> seen;
    QSet<QString> categoriesAddedSince;
    walk(repo, "HEAD", [&](git_commit* commit) {
        const Trailers trailers = trailersOf(git_commit_message(commit));
        if (trailers.action == History::Action::AddCategory && !trailers.paths.isEmpty())
            categoriesAddedSince.insert(trailers.paths.first());
        // Only these commits delete; the rest are passed without reading their trees.
        const bool mayDelete = !trailers.action || git_commit_parentcount(commit) != 1 ||
                               trailers.action == History::Action::Delete ||
                               trailers.action == History::Action::RemoveCategory ||
                               trailers.action == History::Action::ChangedOutside;
        if (!mayDelete)
            return true;
        Commit parent;
        Tree before;
        Tree after;
        if (git_commit_parentcount(commit) == 0 || git_commit_parent(parent.out(), commit, 0) < 0 ||
            git_commit_tree(before.out(), parent.get()) < 0 ||
            git_commit_tree(after.out(), commit) < 0)
            return true;
        Diff diff;
        if (git_diff_tree_to_tree(diff.out(), repo, before.get(), after.get(), nullptr) < 0)
            return true;
        QStringList files;
        QStringList blobs;
        for (size_t i = 0; i < git_diff_num_deltas(diff.get()); ++i) {
            const git_diff_delta* delta = git_diff_get_delta(diff.get(), i);
            if (delta->status != GIT_DELTA_DELETED || delta->old_file.mode == GIT_FILEMODE_LINK)
                continue;
            const QString path = QString::fromUtf8(delta->old_file.path);
            TreeEntry back;
            if (seen.contains(path) ||
                git_tree_entry_bypath(back.out(), now.get(), delta->old_file.path) == 0)
                continue;
            seen.insert(path);
            files.append(path);
            blobs.append(hex(delta->old_file.id));
        }
        if (trailers.action == History::Action::RemoveCategory && !trailers.paths.isEmpty()) {
            const QString category = trailers.paths.first();
            if (files.isEmpty() && categoriesAddedSince.contains(category))
                return true;
            if (seen.contains(category + QLatin1Char('/')))
                return true;
            seen.insert(category + QLatin1Char('/'));
            list.append(
                {true, category, timeOf(commit), hex(*git_commit_id(commit)), files, blobs});
            return true;
        }
        for (int i = 0; i < files.size(); ++i) {
            list.append({false,
                         files[i],
                         timeOf(commit),
                         hex(*git_commit_id(commit)),
                         {files[i]},
                         {blobs[i]}});
        }
        return true;
    });
    return list;
}

std::optional<QByteArray> HistoryReader::text(const QString& blob) const {
    const std::optional<git_oid> id = oidOf(blob);
    Blob object;
    if (!m_repo->repo || !id || git_blob_lookup(object.out(), m_repo->repo.get(), &*id) < 0)
        return std::nullopt;
    return QByteArray(static_cast<const char*>(git_blob_rawcontent(object.get())),
                      qsizetype(git_blob_rawsize(object.get())));
}

int HistoryReader::commitCount() const {
    int count = 0;
    if (m_repo->repo)
        walk(m_repo->repo.get(), "HEAD", [&count](git_commit*) { return ++count, true; });
    return count;
}
