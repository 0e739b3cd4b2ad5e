// SPDX-License-Identifier: MIT
#pragma once

#include "library/locations.h"
#include "search/foldedtext.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QReadWriteLock>
#include <QString>
#include <QThreadPool>
#include <array>
#include <atomic>
#include <memory>
#include <vector>

class LibraryFs;
class QThread;

// Every snippet's name and text, case-folded in memory, searched word by word. Passes over the
// library run on a thread of their own; searching and the program's own changes run on the
// caller's thread. A search sees the index as the last published batch left it.
class SnippetIndex : public QObject {
    Q_OBJECT
public:
    struct Hit {
        QString category;
        QString subCategory;    // empty for a snippet of a category
        QString name;           // the snippet name: its file name less ".code"
        bool nameMatch = false; // every word is in the name
        int line = 0;           // first line holding a word of the text (from 1); 0 for none
        QString lineText;       // that line, as written
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

    explicit SnippetIndex(const LibraryLocations& locations, QObject* parent = nullptr);
    // The library in `folder`, as in a portable copy.
    explicit SnippetIndex(const QString& folder, QObject* parent = nullptr);
    ~SnippetIndex() override;

    // Starts a background pass; only files whose size or modification time changed are read
    // again. Asked while a pass runs, another follows it.
    void refresh();
    Progress progress() const;
    bool waitForIdle(int milliseconds); // for tests and the benchmark

    // Any thread may search; searches run one at a time.
    Results find(const QString& query, int listLimit);
    // The words a query looks for, as typed.
    static QStringList words(const QString& query);

    // The program's own changes, applied at once: the file or folder is looked at again now.
    // Paths are absolute, as the program builds them.
    void fileChanged(const QString& path);
    void folderChanged(const QString& path);

    int snippetCount() const;
    qsizetype memoryBytes() const; // what the index holds, allocations included

signals:
    // The content or the progress changed; sent at most a few times a second during a pass.
    void changed();

private:
    struct Folder {
        QString rel; // "category" or "category/sub-category"
        QString category;
        QString subCategory;
        QByteArray sortKey;
    };
    // Folded names and texts live back to back in large blocks, each record "name\0text\0",
    // so that a word is looked for in one pass over a block rather than once per snippet.
    struct Span {
        quint32 offset;
        quint32 id;
    };
    struct Chunk {
        std::unique_ptr<char[]> data;
        qsizetype capacity = 0;
        qsizetype used = 0;
        qsizetype dead = 0;
        std::vector<Span> spans; // by offset; a span whose entry moved on is dead
    };
    struct Entry {
        int folder = -1; // -1: a free slot
        int chunk = -1;
        quint32 start = 0; // of the record in its chunk
        quint32 nameLength = 0;
        quint32 textLength = 0;
        QString name;
        QByteArray upper;
        std::vector<std::pair<quint32, char32_t>> others;
        qint64 size = -1;
        qint64 modified = 0;
        const char* record(const std::vector<Chunk>& chunks) const {
            return chunks[size_t(chunk)].data.get() + start;
        }
        qsizetype recordLength() const { return nameLength + 1 + textLength + 1; }
    };
    struct PathKey {
        int folder;
        QString name;
        bool operator==(const PathKey& o) const { return folder == o.folder && name == o.name; }
        friend size_t qHash(const PathKey& k, size_t seed = 0) {
            return qHashMulti(seed, k.folder, k.name);
        }
    };
    struct Item; // a file read by a pass, not yet published
    struct Scan; // the state of one search

    void runPass();
    void publish(std::vector<Item>& items);
    void upsert(const QString& rel, const QString& folderRel, const QString& name, qint64 size,
                qint64 modified, FoldedText&& text, std::vector<quint32>& added);
    void fileRemoved(const QString& path);
    void removeEntry(quint32 id);
    void store(quint32 id, const QByteArray& foldedName, const QByteArray& text);
    void release(quint32 id); // drops the entry's record from its chunk
    void compact(int chunk);
    int lookup(const QString& rel) const; // -1 when not indexed
    void insertIntoOrder(std::vector<quint32>& added);
    bool touchedSince(const QString& rel, quint64 clock) const;
    int folderId(const QString& folderRel);
    bool lessKey(quint32 a, quint32 b) const;
    void noteChange(bool force);
    QString relativePath(const QString& path) const; // empty when outside the library
    // Looks for one word in whole blocks; `found` gets the entries that now have every word so far.
    void scanChunks(Scan& scan, size_t word, int first, int end, std::vector<quint32>& found) const;
    // Looks for the words from `fromWord` on in the given entries, one record at a time.
    void checkEntries(Scan& scan, size_t fromWord, const quint32* ids, qsizetype count) const;

    QString m_libraryPath;
    std::unique_ptr<LibraryFs> m_fs;       // the caller's thread
    std::unique_ptr<LibraryFs> m_workerFs; // the pass's thread

    mutable QReadWriteLock m_lock; // guards everything below up to the pass state
    std::vector<Entry> m_entries;
    std::vector<quint32> m_free;
    std::vector<quint32> m_order; // live entries sorted by category, sub-category, name
    std::vector<Chunk> m_chunks;
    qsizetype m_liveBytes = 0;
    std::array<quint64, 256> m_byteCounts{};
    QHash<PathKey, quint32> m_byPath;
    std::vector<Folder> m_folders;
    QHash<QString, int> m_folderIds;
    QHash<QString, quint64> m_touched; // relative file or folder path -> clock of the change
    quint64 m_generation = 0;

    std::atomic<quint64> m_clock{0};
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_running{false};
    std::atomic<int> m_done{0};
    std::atomic<int> m_total{0};
    std::atomic<qint64> m_lastNotice{0};
    QThread* m_thread = nullptr;
    bool m_again = false;

    // The last search, refined when the next one only adds to its words.
    QMutex m_finding;
    QList<QByteArray> m_lastWords;
    std::vector<quint32> m_lastMatches;
    quint64 m_lastGeneration = ~quint64(0);
    QThreadPool m_pool;
};
