// SPDX-License-Identifier: MIT
#pragma once

#include "library/libraryfs.h"
#include "library/locations.h"
#include "search/recordstore.h"
#include "search/secondthread.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <vector>

// Every snippet's name and text, case-folded in memory, searched word by word. Passes over the
// library and the program's own changes are taken in on a thread of the index's own; a search
// runs on the caller's thread and first takes in the changes told before it.
class SnippetIndex : public QObject {
    Q_OBJECT
public:
    struct Hit {
        QString category;
        QString subCategory;    // empty for a snippet of a category
        QString name;           // the snippet name: its file name less ".code"
        bool nameMatch = false; // every word is in the name
        int line = 0;           // first line holding a word of the text (from 1); 0 for none
        QString lineText;       // that line, as written, at most its first 200 characters
    };
    struct Results {
        int total = 0;     // every snippet that matches
        QList<Hit> listed; // name matches first, then by category and name; at most the limit
    };
    struct Progress {
        bool running = false;
        int done = 0;
        int total = 0;
    };
    // Makes the disk access of one thread; the index calls it once for each thread it uses.
    using FsFactory = std::function<std::unique_ptr<LibraryFs>()>;

    explicit SnippetIndex(const LibraryLocations& locations, QObject* parent = nullptr);
    // The library in `folder`, as in a portable copy.
    explicit SnippetIndex(const QString& folder, QObject* parent = nullptr);
    explicit SnippetIndex(const FsFactory& makeFs, QObject* parent = nullptr);
    // Returns promptly whatever runs: a pass, a search on another thread, queued changes.
    ~SnippetIndex() override;

    // Starts a background pass; only files whose size or modification time changed, and files
    // that could not be read, are read again. Asked while a pass runs, another follows it.
    void refresh();
    Progress progress() const;
    bool waitForIdle(int milliseconds); // passes and queued changes; for tests and benchmarks

    // Any thread may search; searches run one at a time.
    Results find(const QString& query, int listLimit);
    // The words a query looks for, as typed.
    static QStringList words(const QString& query);

    // The program's own changes: the file or folder is looked at again, off the caller's
    // thread, before the next search. Paths are absolute, as the program builds them. Neither
    // waits for a search or a pass.
    void fileChanged(const QString& path);
    void folderChanged(const QString& path);

    int snippetCount() const;
    qsizetype memoryBytes() const; // what the index holds, allocations included

signals:
    // The content or the progress changed; sent at most a few times a second during a pass,
    // from the index's thread.
    void changed();

private:
    struct Change {
        QString rel; // "category/name.code", "category/sub/name.code", "category" or "category/sub"
        bool folder = false;
        quint64 clock = 0;
    };
    // What a look at one file found.
    struct Look {
        LibraryFs::Stamp stamp; // nothing exists: the file has gone
        bool same = false;      // as indexed: not read
        bool failed = false;    // could not be read: kept by name until a pass reads it
        bool cancelled = false;
        FoldedText text;
    };
    struct Job {
        QString folderRel;
        QString fileName;
    };
    struct Scan; // the state of one search

    void work(); // the index's thread
    void runPass();
    Look lookAt(LibraryFs& fs, const Job& job,
                const QHash<QString, std::pair<qint64, qint64>>& known) const;
    // Reads the snippet file at `path`; `stamp` is a look already taken at it, or none.
    Look readSnippetFile(LibraryFs& fs, const QString& path, LibraryFs::Stamp stamp) const;
    static ReadSnippet snippetOf(const Job& job, Look&& look);
    void publish(std::vector<std::pair<ReadSnippet, quint64>>& items);
    // Whether a listing failed for the folder, or for its category's sub-folders: what the
    // index holds of it stays.
    static bool kept(const QSet<QString>& keptFolders, const QString& folderRel);
    void enqueue(QString rel, bool folder);
    // Takes in the queued changes, one at a time in the order told; without `wait`, only when
    // no one else is. False when cancelled.
    bool applyChanges(bool wait);
    void applyFile(const Change& change);
    void applyFolder(const Change& change);
    bool touchedSince(const QString& rel, quint64 clock) const;
    void noteChange(bool force);
    QString relativePath(const QString& path) const; // empty when outside the library
    QString folderPath(const LibraryFs& fs, const QString& folderRel) const;
    void searchBlocks(Scan& scan, size_t word, int first, int end,
                      std::vector<quint32>& found) const;
    void checkEntries(Scan& scan, size_t fromWord, const quint32* ids, qsizetype count) const;
    QString lineText(const RecordStore::Entry& e, qsizetype lineStart, qsizetype lineEnd) const;

    QString m_libraryPath;
    std::unique_ptr<LibraryFs> m_passFs;   // the index's thread, in a pass
    std::unique_ptr<LibraryFs> m_helperFs; // the pass's second thread
    std::unique_ptr<LibraryFs> m_applyFs;  // whoever holds m_applying

    // Guards the store and the touched paths. Held shared by searches and a pass's reading of
    // the store, exclusively only while entries are moved in or out.
    mutable std::shared_mutex m_lock;
    RecordStore m_store;
    QHash<QString, quint64> m_touched; // relative file or folder path -> clock of the change

    // Taken by whoever takes in the queue, so that changes go in in order and a search after a
    // change sees it.
    std::mutex m_applying;

    // The queue and the index thread's orders; held only for moments.
    mutable std::mutex m_state;
    std::condition_variable m_wake;
    std::deque<Change> m_queue;
    int m_applyingNow = 0; // changes taken from the queue and not yet in
    bool m_passWanted = false;

    std::atomic<quint64> m_clock{0};
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_running{false};
    std::atomic<int> m_done{0};
    std::atomic<int> m_total{0};
    std::atomic<qint64> m_lastNotice{0};
    SecondThread m_passHelper;

    // The last search, refined when the next one only adds to its words.
    std::mutex m_finding;
    QList<QByteArray> m_lastWords;
    std::vector<quint32> m_lastMatches;
    quint64 m_lastGeneration = ~quint64(0);
    SecondThread m_searchHelper;

    std::thread m_thread; // last: it starts once everything above is made
};
