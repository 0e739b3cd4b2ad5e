// SPDX-License-Identifier: MIT
// A push to a bare repository on this machine (a folder or a file:// remote), done in this
// process without a transport: objects go straight into the remote's object store.
#pragma once

#include <QString>
#include <functional>
#include <git2.h>
#include <optional>

namespace synclocal {

struct Hooks {
    std::function<bool()> cancelled;
    std::function<void(quint64 done, quint64 total)> progress;
};

// The bare repository a folder or file:// remote names; none for any other remote.
std::optional<QString> bareRepository(const QString& remote);

// Sends what `target` reaches to the bare repository at `path` and moves its main there from
// `theirs` (what the fetch saw), never forced: false when the remote moved on meanwhile.
// Throws syncmerge::Failure or syncmerge::Cancelled.
bool push(git_repository* repo, const QString& path, const git_oid& target,
          const std::optional<git_oid>& theirs, const Hooks& hooks);

} // namespace synclocal
