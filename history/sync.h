// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

class LibraryFs;

// What one sync did, for the window to refresh what it shows, or why it failed.
struct SyncOutcome {
    enum class Result { Synced, Cancelled, Failed };
    Result result = Result::Synced;
    QString failure;     // names the remote and the cause
    QStringList written; // relative to the library, copies of the other side included
    QStringList removed;
    QStringList copies;  // "NAME (HOST).code": the other side's version of a snippet both changed
    QStringList skipped; // one message for each arriving snippet the library cannot hold
    bool ok() const { return result == Result::Synced; }
};

// One sync of the library's history with a remote (a folder, file://, ssh or https URL):
// fetches the remote's main branch and drafts, brings the other side's commits in, pushes main.
// Nothing is ever lost: a snippet both sides changed is kept twice, a change beats a deletion.
// The remote is pushed to before the library is written, and HEAD moves only once every file is
// written, so a failure or a cancel leaves the library and its history as they were.
// Runs on any thread but the window's; the caller keeps commits from running meanwhile.
class LibrarySync {
public:
    enum class Step { Fetch, Merge, Push, Write };

    LibrarySync(const QString& gitFolder, LibraryFs& fs);
    SyncOutcome run(const QString& remote, const std::atomic<bool>& cancel);

    // Told before each step, on the syncing thread.
    std::function<void(Step)> beforeStep;
    // Called every few hundredths of a second while the network is waited for, on the syncing
    // thread: the history records commands meanwhile.
    std::function<void()> whileWaiting;
    // A fetch or push that hears nothing from the remote for this long fails.
    std::chrono::milliseconds stallTimeout{30000};
    // Whether the library's file system ignores case (a FAT stick); none: it is probed.
    std::optional<bool> ignoresCase;
    // Objects received or sent so far in a fetch or push, on the syncing thread.
    std::function<void(Step, quint64 done, quint64 total)> progress;

    // What the sync needs from the user; asked on the syncing thread, which waits for the answer.
    // None set means "no": an unknown host is refused and no login is tried.
    struct Login {
        QString user;
        QString secret; // a token or password
    };
    // An ssh host not in ~/.ssh/known_hosts: whether to trust it (and add it there). `host` as
    // known_hosts names it ("[host]:port" off port 22), `fingerprint` as ssh shows it
    // ("SHA256:..."). A host known with another key fails unasked.
    // An ssh login tries ssh-agent, then ~/.ssh/id_ed25519, then ~/.ssh/id_rsa, each once.
    std::function<bool(const QString& host, const QString& keyType, const QString& fingerprint)>
        trustUnknownHost;
    // A login for an https remote. `attempt` counts from 0; a later attempt means the one before
    // was refused; after three refused the sync fails. nullopt gives up; a login that worked is
    // told to `loginWorked`. Both are given the remote as `shown` gives it.
    std::function<std::optional<Login>(const QString& remote, const QString& user, int attempt)>
        askLogin;
    std::function<void(const QString& remote, const Login&)> loginWorked;

    // The trailer the sync's commits carry, and the name it gives this machine in them.
    static const char* const ActionWord; // "sync"
    static QString hostName();
    // The remote as messages may show it: a password or token written into the URL left out.
    static QString shown(const QString& remote);

private:
    QString m_gitFolder;
    LibraryFs& m_fs;
};
