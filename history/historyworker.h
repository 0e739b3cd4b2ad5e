// SPDX-License-Identifier: MIT
// The history's worker: one thread that takes the window's commands, drafts, looks at the
// library and syncs from a queue, and is the only one to write the repository.
#pragma once

#include "history/gitsupport.h"
#include "history/history.h"
#include "history/loosetree.h"
#include "library/libraryfs.h"

#include <QDateTime>
#include <QHash>
#include <QLockFile>
#include <QSet>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace historydetail {

// Files larger than a snippet may be are left out, as the editor leaves them unopened.
constexpr qint64 LargestRecorded = LibraryFs::SnippetReadLimit;

// "Strings/Reverse.code" as the user knows it: "Strings/Reverse".
QString shownPath(const QString& path);

// A commit message: the subject, then the trailers the program reads back.
QByteArray message(History::Action action, const QString& subject, const QStringList& paths,
                   const QString& host);

} // namespace historydetail

struct History::Worker {
    enum class State { Starting, On, Off };
    struct Job {
        // OnDisk: what the files held just before a command of the program replaced them.
        enum class Kind { Command, OnDisk, Draft, Scan, Sync } kind;
        Action action = Action::Save;
        QStringList paths; // a sync's remote
        QList<QByteArray> bytes;
        std::optional<LibrarySync::Login> login = {};
        QList<bool> present = {}; // OnDisk: whether each file was there at all
    };
    // Who holds the history's lock when this copy cannot.
    struct Holder {
        QString host;
        QDateTime since;
    };

    History* owner = nullptr;
    QString library; // ends with '/'
    QString gitFolder;
    std::chrono::milliseconds startDelay{0};

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<Job> jobs; // guarded by mutex
    bool busy = true;     // guarded; the opening counts as work
    bool stopping = false;
    bool scanQueued = false;
    QString report; // guarded; at most one per run of the program
    bool reported = false;
    std::atomic<State> state = State::Starting;
    std::atomic<bool> cancel = false;
    std::thread thread;
    std::optional<Holder> holder; // guarded
    bool takeOverAsked = false;   // guarded
    int idleWanted = 0;           // guarded: callers of waitForIdle waiting now

    // The lock is refreshed while the program runs, so that a lock nobody refreshes is stale
    // whichever machine wrote it; a thread of its own, as a sync or a first look may take long.
    std::thread refresher;
    std::condition_variable refreshWake;
    std::atomic<bool> lockLost = false;
    std::chrono::milliseconds lockRenewal{30000}; // guarded by mutex

    // Syncing: set by the window's thread, read by the worker, all guarded by mutex.
    bool syncing = false;
    std::atomic<bool> syncCancel = false;
    SyncProgress progress;
    std::chrono::steady_clock::time_point progressSent;
    std::optional<SyncQuestion> question;
    std::optional<std::pair<bool, LibrarySync::Login>> answer;
    std::condition_variable answered;
    SyncOutcome outcome;
    std::optional<LibrarySync::Login> workedLogin;
    std::chrono::milliseconds syncStall{30000};

    // The worker's own, touched by no other thread.
    gitsupport::Repository repo;
    std::unique_ptr<QLockFile> lock;
    QString authorName;
    QString authorEmail;
    QString hostName; // git config quillary.host, else the machine's
    int looseObjects = 0;
    QHash<QString, QString> lastDraft; // path -> blob id
    // Objects written since the last pack, with the paths that let the pack find their deltas.
    std::vector<std::pair<git_oid, QByteArray>> written;
    // The raw form of the trees the last commands went through, newest first, and of the
    // large ones the pieces they were written in.
    struct KeptTree {
        git_oid id;
        QByteArray data;
        std::shared_ptr<const loosetree::Packed> packed;
    };
    std::deque<KeptTree> rawTrees;
    // Commands that came before the first version existed, run in order once it does.
    std::deque<Job> held;
    // The first version holds only what commands replaced before an earlier quit.
    bool firstVersionPartial = false;
    // git's index matches this commit but for the paths commands changed since; another head
    // (a sync, the user's git) means the index is read again from the head's tree.
    std::optional<git_oid> indexHead;
    QSet<QByteArray> indexDirty;

    // The queue and the thread (historyworker.cpp).
    void post(Job job);
    void tell(const QString& text);
    void failed(const QString& what);
    void run();
    void execute(Job& job);
    bool firstVersionExists();
    // The first version and the commands that wait for it (historyfirstversion.cpp).
    bool partialFirstVersion();
    bool markFirstVersionPartial(bool partial);
    void keepWhatWaits();
    bool open();
    bool takeLock();
    void refreshLock();
    void takeOver();
    bool useLibraryAsWorkTree(gitsupport::Repository& in) const;
    void sync(const Job& job);
    void recordWhileSyncing();
    void moved(LibrarySync::Step step, quint64 done, quint64 total, bool stepped);
    std::pair<bool, LibrarySync::Login> ask(const SyncQuestion& asked);

    // Commits of the program's commands (historycommits.cpp).
    bool head(gitsupport::Repository& in, gitsupport::Commit& commit, gitsupport::Tree& tree,
              bool& unborn);
    bool signature(gitsupport::Signature& out);
    void command(const Job& job);
    void keepOnDisk(const Job& job);
    void noteIndex(const git_oid& from, const git_oid& to, const std::vector<QByteArray>& paths);
    // The trees on a path, root first, where each holds the next id, and the last entry.
    struct Walked {
        std::vector<QByteArray> trees;
        std::vector<git_oid> treeIds;
        std::vector<qsizetype> idAt;
        QByteArray mode;
        git_oid id{};
    };
    std::optional<QByteArray> rawTree(const git_oid& id);
    void keepTree(const git_oid& id, const QByteArray& data,
                  std::shared_ptr<const loosetree::Packed> packed = {});
    bool writeTree(const QByteArray& data, const git_oid& was, git_oid& id);
    std::optional<Walked> walk(const git_oid& root, const QByteArray& path);
    bool replaceInTrees(const git_oid& root, const QByteArray& path, const git_oid& blob,
                        git_oid& newRoot, std::vector<std::pair<git_oid, QByteArray>>& made);
    std::vector<std::pair<git_oid, QByteArray>> namedObjects(const git_oid& treeId,
                                                             const QStringList& paths);
    void remember(const git_oid& commitId, std::vector<std::pair<git_oid, QByteArray>> objects);
    bool commit(Action action, const QString& subjectText, const QStringList& paths,
                const git_oid& treeId, git_commit* parent, const char* ref,
                git_oid* made = nullptr);
    bool moveHead(const git_oid& made, const git_oid* was);

    // Text the editor threw away (historydrafts.cpp).
    void draft(const Job& job);

    // Looks at the library for what other programs changed (historylooks.cpp).
    void scan();
    static QStringList changedPaths(gitsupport::Repository& in, git_tree* before, git_tree* after);
    bool writePack(gitsupport::Repository& from, git_odb_backend* memory);
    bool layOnto(gitsupport::Repository& in, git_tree* base, git_oid& tree);
    // What was on disk before the program's own commands still waiting in the queue.
    void takeBeforeCommands(git_index* index);
    // Brings git's index in line with the head, so `git status` shows nothing.
    void alignIndex();
    bool indexBehind();
    // Makes the user's git settings powerless over what the history records.
    bool settleRepositorySettings();

    // Packing loose objects (historypacking.cpp).
    void packIfNeeded();
    QStringList countLoose() const;
};
