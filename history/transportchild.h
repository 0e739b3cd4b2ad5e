// SPDX-License-Identifier: MIT
// One fetch or push run in quillary-transport, a process of its own that the history can kill:
// libgit2 has no network timeout, and a remote that stops answering would otherwise hold the
// history's thread (and the program's end) for good. The child tells what it does line by
// line; its questions are relayed here and answered back.
#pragma once

#include "history/sync.h"

#include <QStringList>
#include <chrono>
#include <functional>
#include <git2.h>
#include <optional>

namespace transportchild {

struct Relay {
    std::function<bool()> cancelled;
    // Called every few hundredths of a second while the child waits on the network.
    std::function<void()> whileWaiting;
    std::function<void(quint64 done, quint64 total)> progress;
    std::function<bool(const QString& host, const QString& keyType, const QString& fingerprint)>
        trustUnknownHost;
    std::function<std::optional<LibrarySync::Login>(const QString& user, int attempt)> askLogin;
    std::function<void(const LibrarySync::Login&)> loginWorked;
    std::chrono::milliseconds stallTimeout{30000};
};

// What the child reported at its end.
struct Result {
    std::optional<git_oid> head; // a fetch: the remote's main
    bool behind = false;         // a push: the remote moved on meanwhile
};

// Runs "fetch" or "push" for `remote` on the repository at `gitFolder`. Throws
// syncmerge::Failure or syncmerge::Cancelled; the child is gone when this returns.
Result run(const QString& operation, const QString& gitFolder, const QString& remote, Relay& relay);

// Where the transport's program is: beside the running program, else where it is installed,
// else where the build made it.
QString program();

// The child's side: runs the operation its arguments name, talking over stdin and stdout.
int childMain(int argc, char** argv);

} // namespace transportchild
