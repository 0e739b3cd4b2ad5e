// SPDX-License-Identifier: MIT
// The network half of a sync: one fetch or one push through libgit2, with the ssh host check,
// ssh keys and https logins. Runs in the transport's own process (quillary-transport), which the
// history can end at any moment; nothing here touches the library's files.
#pragma once

#include "history/sync.h"
#include "history/syncmerge.h"

#include <QStringList>
#include <chrono>
#include <functional>
#include <git2.h>
#include <optional>
#include <vector>

class LibraryFs;

class SyncTransport {
public:
    struct Hooks {
        std::function<bool()> cancelled;
        // Objects moved so far; and `alive` whenever bytes move or the remote speaks.
        std::function<void(quint64 done, quint64 total)> progress;
        std::function<void()> alive;
        std::function<bool(const QString& host, const QString& keyType, const QString& fingerprint)>
            trustUnknownHost;
        std::function<std::optional<LibrarySync::Login>(const QString& user, int attempt)> askLogin;
        std::function<void(const LibrarySync::Login&)> loginWorked;
    };

    SyncTransport(git_repository* repo, LibraryFs& fs, const QString& remote, Hooks hooks);

    // The remote's main, fetched into TrackedMain (its drafts too); none when it has no main.
    // Throws syncmerge::Failure or syncmerge::Cancelled.
    std::optional<git_oid> fetch();
    // Pushes PushRef to the remote's main, never forced; false when the remote moved on.
    bool push();

    // Secrets the user gave or the URL holds, never to be shown.
    const QStringList& secrets() const { return m_secrets; }

    static constexpr const char* TrackedMain = "refs/remotes/sync/main";
    static constexpr const char* PushRef = "refs/quillary/sync-push";
    static constexpr int MaxLogins = 3;

    // Where an ssh remote is, or nothing for any other kind.
    struct SshAddress {
        QString host;
        int port = 22;
    };
    static std::optional<SshAddress> sshAddress(const QString& remote);

private:
    git_remote_callbacks callbacks();
    bool cancelled() const { return m_hooks.cancelled && m_hooks.cancelled(); }
    void report(quint64 done, quint64 total);
    void touch();
    int stop(const QString& cause);
    static int credentials(git_credential** out, const char* url, const char* userFromUrl,
                           unsigned int allowed, void* payload);
    static int certificateCheck(git_cert* cert, int valid, const char* host, void* payload);
    static int transferProgress(const git_indexer_progress* stats, void* payload);
    static int packProgress(int, uint32_t, uint32_t, void* payload);
    static int pushProgress(unsigned int done, unsigned int total, size_t bytes, void* payload);
    static int pushUpdate(const char*, const char* status, void* payload);
    static int sideband(const char*, int, void* payload);
    struct SshKey {
        QString privateKey; // empty: ssh-agent
        QString shownAs;
    };
    std::vector<SshKey> sshKeys();
    int sshKey(git_credential** out, const QString& user);
    int login(git_credential** out, const QString& url, const QString& user);
    void connected();
    int checkHost(const git_cert_hostkey& cert, const QString& host);
    [[noreturn]] void failNet(int error);
    QString netCause(int error) const;

    git_repository* m_repo;
    LibraryFs& m_fs;
    QString m_remote;
    QByteArray m_url;
    Hooks m_hooks;
    const std::optional<SshAddress> m_ssh;
    QStringList m_secrets;
    QString m_stop;    // why a callback stopped libgit2
    QString m_refused; // the remote's reason, when it refused the push
    bool m_freshConnection = false;
    bool m_sshKeysFound = false;
    std::vector<SshKey> m_sshKeys;
    QStringList m_sshSkipped;
    int m_sshKey = -1; // the one offered last
    int m_loginsAsked = 0;
    std::optional<LibrarySync::Login> m_login;
    std::optional<LibrarySync::Login> m_urlLogin;
    bool m_loginUsed = false;
    bool m_loginTold = false;
    std::chrono::steady_clock::time_point m_lastProgress;
    std::chrono::steady_clock::time_point m_lastAlive;
    quint64 m_progressShown = 0;
    quint64 m_bytesSeen = 0;
};
