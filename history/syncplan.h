// SPDX-License-Identifier: MIT
// The middle step of a sync: the library's last version and the remote's main brought together
// by the merge rules, the result committed, and what the library's files are to become.
#pragma once

#include "history/syncmerge.h"

#include <git2.h>
#include <optional>

class LibraryFs;

namespace syncplan {

// Reads trees with limits (a remote's history is not trusted) and commits the merge.
// Throws syncmerge::Failure.
class Planner {
public:
    // `ignoresCase` none: the library's folder is probed when a merge needs to know.
    Planner(git_repository* repo, LibraryFs& fs, std::optional<bool> ignoresCase)
        : m_repo(repo), m_fs(fs), m_ignoresCase(ignoresCase) {}

    syncmerge::Plan bringIn(const std::optional<git_oid>& ours,
                            const std::optional<git_oid>& theirs);

private:
    syncmerge::Files filesOf(const std::optional<git_oid>& commitId);
    QString otherHost(const git_oid& theirs);
    git_oid commit(const syncmerge::Files& files, const std::vector<git_oid>& parentIds,
                   const QStringList& paths, const git_oid& theirs,
                   const syncmerge::Files& theirFiles);
    bool ignoresCase();

    git_repository* m_repo;
    LibraryFs& m_fs;
    std::optional<bool> m_ignoresCase;
};

} // namespace syncplan
