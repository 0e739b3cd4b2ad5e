// SPDX-License-Identifier: MIT
#pragma once

#include "history/sync.h"
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// The library's history: a git repository whose git directory sits beside the library, with the
// library as its work tree. Every command that changes the library is one commit on the main
// branch; text the editor threw away is a commit on a ref of its own, so the files never change.
// Everything is written on a thread of the history's own; the window's thread only queues.
//
// A commit's message is its subject in the program's words ("Save Strings/Reverse"), a blank
// line, then trailers the program reads back, never the subject:
//     Quillary-Action: save | save-as | delete | add-category | remove-category | restore |
//                      changed-outside | first-version | draft
//     Quillary-Path: Strings/Reverse.code        (one line per path the command touched; a path
//                                                 holding a line break or starting with '"' is
//                                                 quoted, with \\ \" \n \r escaped)
// A draft commit's tree holds the one drafted file at its path, its parent the previous draft.
class History : public QObject {
    Q_OBJECT
public:
    enum class Action {
        Save,
        SaveAs,
        Delete,
        AddCategory,
        RemoveCategory,
        Restore,
        ChangedOutside, // noticed, not commanded
        FirstVersion,   // the library as it was when its history began
        Draft,          // text the editor replaced without a save
        Sync,           // what another machine's library brought in
    };

    // Paths given to the history are relative to the library, with '/': "Strings/Reverse.code",
    // "Graphics" or "Graphics/Icons" for a category.
    static constexpr const char* UnsavedText = "Unsaved text";     // a draft of no snippet
    static constexpr const char* ClipboardText = "Code Clipboard"; // the scratch window's text
    static const QString MainRef;                                  // "refs/heads/main"
    static const QString DraftsRef;                                // "refs/quillary/drafts"

    // Opens the repository at `gitFolder`, or makes it when nothing is there. A folder that is
    // there but is no readable repository is left untouched, and the history is off.
    // It opens after `startDelayMs`, so that a window starting meanwhile has the machine to itself.
    History(const QString& libraryFolder, const QString& gitFolder, int startDelayMs = 0,
            QObject* parent = nullptr);
    // Writes the drafts and commands already told, then returns; a scan under way is cancelled.
    ~History() override;

    bool isOn() const;
    // The machine that holds the history's lock while this copy cannot record, and when it
    // last renewed it; nothing when the history is not held elsewhere.
    struct LockHolder {
        QString host; // empty when the lock does not say
        QDateTime since;
    };
    std::optional<LockHolder> lockHolder() const;
    // Removes the lock the holder left and opens the history again, as the user decided.
    void takeOver();
    // A failure to tell the user, once; empty when there is none (or it was taken already).
    QString takeReport();

    // The program's own commands, told after the command changed the disk. `bytes` is what a
    // save or restore wrote; `paths` the snippets a restore of a deleted entry brought back.
    void recordCommand(Action action, const QString& path, const QByteArray& bytes = {});
    void recordRestore(const QStringList& paths, const QList<QByteArray>& bytes);
    // What the files held just before a command replaces or deletes them, told before the
    // command writes (`present` false: there was no file). Whatever differs from the last
    // recorded version is recorded first, as changed outside Quillary.
    void recordOnDisk(const QStringList& paths, const QList<QByteArray>& bytes,
                      const QList<bool>& present);
    // Text the editor is about to replace; `path` is the snippet it came from, or UnsavedText
    // or ClipboardText. Nothing is recorded when it equals the last saved or drafted text.
    void recordDraft(const QString& path, const QByteArray& bytes);
    // Other programs may have changed the library: it is compared with the last version.
    void noticeOutsideChanges();

    // Syncs the library with `remote` on the history's thread, after a look at the library, so
    // commits and syncs never interleave. False when the history is off or a sync is under way.
    // `storedLogin` answers the first login an https remote asks for.
    bool startSync(const QString& remote, std::optional<LibrarySync::Login> storedLogin = {});
    // A sync whose remote sends nothing for this long fails (30 s unless told).
    void setSyncStallTimeout(std::chrono::milliseconds timeout);
    // How often the history's lock is renewed while the program runs (30 s unless told).
    void setLockRenewal(std::chrono::milliseconds period);
    // The sync under way stops as soon as it can, leaving the library as it was.
    void cancelSync();
    bool isSyncing() const;
    struct SyncProgress {
        bool started = false; // false while commands or the look at the library go first
        LibrarySync::Step step = LibrarySync::Step::Fetch;
        quint64 done = 0;
        quint64 total = 0;
    };
    SyncProgress syncProgress() const;
    // What the sync waits for the user to answer, with answerSyncQuestion.
    struct SyncQuestion {
        enum class Kind { TrustHost, Login } kind = Kind::TrustHost;
        QString remote;
        QString host, keyType, fingerprint; // an unknown ssh host
        QString user;                       // the login's user name as the URL gives it
        int attempt = 0;                    // a later attempt: the one before was refused
    };
    std::optional<SyncQuestion> syncQuestion() const;
    void answerSyncQuestion(bool yes, const LibrarySync::Login& login = {});
    // Once `synced` is sent: what the sync did, and the login that worked, if one was asked for.
    SyncOutcome takeSyncOutcome();
    std::optional<LibrarySync::Login> takeWorkedLogin();

    // For tests and benchmarks: waits until everything told has been written.
    bool waitForIdle(int milliseconds);
    // The commit message's first line for an action, as the history shows it.
    static QString subject(Action action, const QString& path);

signals:
    // A report waits (takeReport), or a commit was written; sent from the history's thread.
    void reportReady();
    void recorded();
    // Sent from the history's thread: a sync moved on, asks a question, or ended.
    void syncProgressed();
    void syncAsks();
    void synced();

private:
    struct Worker;
    std::unique_ptr<Worker> m_worker;
};

// One version of a snippet, as the history of the snippet lists it.
struct HistoryVersion {
    History::Action action = History::Action::Save;
    bool deleted = false; // the snippet was gone after this commit
    QDateTime when;
    QString commit; // hex id
    QString blob;   // hex id of the text; empty when deleted
    qint64 size = -1;
};

// A deleted snippet, or a removed category with the snippets it held.
struct DeletedEntry {
    bool category = false;
    QString path; // "Strings/Reverse.code", or "Graphics" for a category
    QDateTime when;
    QString commit;    // the commit that deleted it; its parent holds the files
    QStringList files; // the snippets to bring back, relative to the library
    QStringList blobs; // their texts' ids, in the same order
};

// Reads the history; its own handle on the repository, for one thread at a time.
class HistoryReader {
public:
    explicit HistoryReader(const QString& gitFolder);
    ~HistoryReader();
    HistoryReader(const HistoryReader&) = delete;
    HistoryReader& operator=(const HistoryReader&) = delete;

    bool isOpen() const;
    // Newest first: the commits that changed `path` on the main branch, and its drafts.
    QList<HistoryVersion> versions(const QString& path) const;
    // Newest first; snippets that are back in the library are left out.
    QList<DeletedEntry> deleted() const;
    std::optional<QByteArray> text(const QString& blob) const;
    // How many commits the main branch holds.
    int commitCount() const;

private:
    struct Repo;
    std::unique_ptr<Repo> m_repo;
};
