// SPDX-License-Identifier: MIT
#pragma once

#include "search/foldedtext.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <array>
#include <memory>
#include <utility>
#include <vector>

// A snippet as a look at its file found it, on its way into the store.
struct ReadSnippet {
    QString folderRel; // "category" or "category/sub-category"
    QString name;      // the file name less its ending
    qint64 size = 0;
    qint64 modified = 0;
    FoldedText text; // empty for a snippet kept by its name only
};

// Every snippet's folded name and text, and the order the results are listed in. Not guarded:
// the index holds its lock around every use.
class RecordStore {
public:
    // The size kept for a file that could not be read, which no file has: the next pass reads it
    // again.
    static constexpr qint64 Unread = -1;

    struct Folder {
        QString rel;
        QString category;
        QString subCategory; // empty for a category's own snippets
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
        qint64 size = Unread;
        qint64 modified = 0;
        const char* record(const std::vector<Chunk>& chunks) const {
            return chunks[size_t(chunk)].data.get() + start;
        }
        const char* text(const std::vector<Chunk>& chunks) const {
            return record(chunks) + nameLength + 1;
        }
        qsizetype recordLength() const { return nameLength + 1 + textLength + 1; }
    };

    // The entry of snippet `name` in `folderRel`; -1 when there is none.
    int lookup(const QString& folderRel, const QString& name) const;
    // Adds the snippet or replaces what is kept of it. New entries join the order at commit().
    void upsert(ReadSnippet&& snippet);
    // Entries gone from the disk.
    void remove(const std::vector<quint32>& ids);
    // Ends a batch of changes: new entries take their places and searches start afresh.
    void commit();

    // "category/sub-category/name.code" of a live entry.
    QString relativeFile(quint32 id) const;
    bool inFolder(quint32 id, const QString& folderRel) const; // or in one of its sub-folders

    const std::vector<Entry>& entries() const { return m_entries; }
    const std::vector<Chunk>& chunks() const { return m_chunks; }
    const std::vector<quint32>& order() const { return m_order; }
    const Folder& folder(const Entry& e) const { return m_folders[size_t(e.folder)]; }
    qsizetype liveBytes() const { return m_liveBytes; }
    const std::array<quint64, 256>& byteCounts() const { return m_byteCounts; }
    quint64 generation() const { return m_generation; }
    qsizetype memoryBytes() const; // allocations included

private:
    struct PathKey {
        int folder;
        QString name;
        bool operator==(const PathKey& o) const { return folder == o.folder && name == o.name; }
        friend size_t qHash(const PathKey& k, size_t seed = 0) {
            return qHashMulti(seed, k.folder, k.name);
        }
    };

    void store(quint32 id, const QByteArray& foldedName, QByteArrayView text);
    void release(quint32 id); // drops the entry's record from its chunk
    void compact(int chunk);
    bool lessKey(quint32 a, quint32 b) const;
    int folderId(const QString& folderRel);

    std::vector<Entry> m_entries;
    std::vector<quint32> m_free;
    std::vector<quint32> m_order; // live entries sorted by category, sub-category, name
    std::vector<quint32> m_added; // not yet in the order
    std::vector<Chunk> m_chunks;
    qsizetype m_liveBytes = 0;
    std::array<quint64, 256> m_byteCounts{};
    QHash<PathKey, quint32> m_byPath;
    std::vector<Folder> m_folders;
    QHash<QString, int> m_folderIds;
    quint64 m_generation = 0;
};
