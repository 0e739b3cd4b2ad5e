// SPDX-License-Identifier: MIT
// The last step of a sync: the library's files brought to the merged version, then HEAD moved.
#pragma once

#include "history/sync.h"
#include "history/syncmerge.h"

class LibraryFs;

namespace syncwrite {

// What the library holds at `path`: its id as a blob, or none when nothing is there.
// A file that cannot be read counts as an edit, so it is never overwritten.
std::optional<syncmerge::Entry> onDisk(LibraryFs& fs, const QByteArray& path, bool& unreadable);
// Whether the library's file at `path` is still what the last version holds.
bool unchanged(LibraryFs& fs, const QByteArray& path, const syncmerge::Files& before);

// Whether the library's folder ignores case (FAT, exFAT): a file made under one spelling is
// looked for under another.
bool ignoresCase(LibraryFs& fs);

// Writes what changed into the library, then moves HEAD from `ours` to the plan's target; a
// failed write undoes the ones before it and HEAD stays. Throws syncmerge::Failure.
void write(git_repository* repo, LibraryFs& fs, const syncmerge::Plan& plan,
           const std::optional<git_oid>& ours, SyncOutcome& outcome);

} // namespace syncwrite
