// SPDX-License-Identifier: MIT
#include "search/recordstore.h"

#include "library/names.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr qsizetype ChunkBytes = 1 << 20;
} // namespace

int RecordStore::lookup(const QString& folderRel, const QString& name) const {
    const int folder = m_folderIds.value(folderRel, -1);
    if (folder < 0)
        return -1;
    const auto found = m_byPath.constFind(PathKey{folder, name});
    return found == m_byPath.cend() ? -1 : int(*found);
}

void RecordStore::upsert(ReadSnippet&& snippet) {
    const int known = lookup(snippet.folderRel, snippet.name);
    quint32 id;
    if (known >= 0) {
        id = quint32(known);
        release(id);
    } else if (!m_free.empty()) {
        id = m_free.back();
        m_free.pop_back();
    } else {
        id = quint32(m_entries.size());
        m_entries.emplace_back();
    }
    Entry& e = m_entries[id];
    e.upper = std::move(snippet.text.upper);
    e.others = std::move(snippet.text.others);
    e.size = snippet.size;
    e.modified = snippet.modified;
    if (known < 0) {
        e.folder = folderId(snippet.folderRel);
        e.name = snippet.name;
        m_byPath.insert(PathKey{e.folder, e.name}, id);
        m_added.push_back(id);
    }
    store(id, TextFold::fold(e.name), snippet.text.bytes);
}

void RecordStore::remove(const std::vector<quint32>& ids) {
    if (ids.empty())
        return;
    for (quint32 id : ids) {
        Entry& e = m_entries[id];
        release(id);
        m_byPath.remove(PathKey{e.folder, e.name});
        e = Entry{};
    }
    const auto freed = [this](quint32 id) { return m_entries[id].folder < 0; };
    std::erase_if(m_order, freed);
    std::erase_if(m_added, freed);
    m_free.insert(m_free.end(), ids.begin(), ids.end());
    ++m_generation;
}

void RecordStore::commit() {
    ++m_generation;
    if (m_added.empty())
        return;
    const auto less = [this](quint32 a, quint32 b) { return lessKey(a, b); };
    std::sort(m_added.begin(), m_added.end(), less);
    std::vector<quint32> merged;
    merged.reserve(m_order.size() + m_added.size());
    auto from = m_order.begin();
    for (quint32 id : m_added) {
        const auto at = std::upper_bound(from, m_order.end(), id, less);
        merged.insert(merged.end(), from, at);
        merged.push_back(id);
        from = at;
    }
    merged.insert(merged.end(), from, m_order.end());
    m_order.swap(merged);
    m_added.clear();
}

QString RecordStore::relativeFile(quint32 id) const {
    const Entry& e = m_entries[id];
    return folder(e).rel + QLatin1Char('/') + Names::snippetFileName(e.name);
}

bool RecordStore::inFolder(quint32 id, const QString& folderRel) const {
    const QString& rel = folder(m_entries[id]).rel;
    return rel.startsWith(folderRel) &&
           (rel.size() == folderRel.size() || rel.at(folderRel.size()) == QLatin1Char('/'));
}

void RecordStore::store(quint32 id, const QByteArray& foldedName, QByteArrayView text) {
    Entry& e = m_entries[id];
    const qsizetype length = foldedName.size() + 1 + text.size() + 1;
    if (m_chunks.empty() || m_chunks.back().capacity - m_chunks.back().used < length) {
        Chunk chunk;
        chunk.capacity = std::max(ChunkBytes, length);
        chunk.data.reset(new char[size_t(chunk.capacity)]);
        m_chunks.push_back(std::move(chunk));
    }
    Chunk& chunk = m_chunks.back();
    char* out = chunk.data.get() + chunk.used;
    std::memcpy(out, foldedName.constData(), size_t(foldedName.size()));
    out[foldedName.size()] = '\0';
    if (!text.isEmpty()) // a snippet kept by name has no text, and no pointer to it
        std::memcpy(out + foldedName.size() + 1, text.data(), size_t(text.size()));
    out[length - 1] = '\0';
    e.chunk = int(m_chunks.size() - 1);
    e.start = quint32(chunk.used);
    e.nameLength = quint32(foldedName.size());
    e.textLength = quint32(text.size());
    chunk.spans.push_back({e.start, id});
    // A sample of the bytes is enough to tell rare ones from common ones.
    for (qsizetype i = 0; i < length; i += 7)
        ++m_byteCounts[uchar(out[i])];
    chunk.used += length;
    m_liveBytes += length;
}

void RecordStore::release(quint32 id) {
    Entry& e = m_entries[id];
    if (e.chunk < 0)
        return;
    const int c = e.chunk;
    Chunk& chunk = m_chunks[size_t(c)];
    chunk.dead += e.recordLength();
    m_liveBytes -= e.recordLength();
    e.chunk = -1;
    // A block half dead is copied down to its live records; the block being filled waits.
    if (c + 1 < int(m_chunks.size()) && chunk.dead * 2 > chunk.used)
        compact(c);
}

void RecordStore::compact(int c) {
    Chunk old = std::move(m_chunks[size_t(c)]);
    m_chunks[size_t(c)] = Chunk{};
    for (const Span& span : old.spans) {
        Entry& e = m_entries[span.id];
        if (e.chunk != c || e.start != span.offset)
            continue;
        const char* record = old.data.get() + span.offset;
        const QByteArray name = QByteArray::fromRawData(record, e.nameLength);
        m_liveBytes -= e.recordLength();
        store(span.id, name, QByteArrayView(record + e.nameLength + 1, e.textLength));
    }
}

bool RecordStore::lessKey(quint32 a, quint32 b) const {
    const Entry& x = m_entries[a];
    const Entry& y = m_entries[b];
    if (x.folder != y.folder) {
        const Folder& fx = folder(x);
        const Folder& fy = folder(y);
        if (fx.sortKey != fy.sortKey)
            return fx.sortKey < fy.sortKey;
        return fx.rel < fy.rel;
    }
    const int c = std::memcmp(x.record(m_chunks), y.record(m_chunks),
                              std::min(x.nameLength, y.nameLength) + 1);
    if (c != 0)
        return c < 0;
    if (x.name != y.name)
        return x.name < y.name;
    return a < b;
}

int RecordStore::folderId(const QString& folderRel) {
    const auto found = m_folderIds.constFind(folderRel);
    if (found != m_folderIds.cend())
        return *found;
    Folder folder;
    folder.rel = folderRel;
    const qsizetype slash = folderRel.indexOf(QLatin1Char('/'));
    folder.category = slash < 0 ? folderRel : folderRel.left(slash);
    folder.subCategory = slash < 0 ? QString() : folderRel.mid(slash + 1);
    // A category's own snippets come before those of its sub-categories.
    folder.sortKey = TextFold::fold(folder.category) + '\x01' + TextFold::fold(folder.subCategory);
    m_folders.push_back(std::move(folder));
    const int id = int(m_folders.size() - 1);
    m_folderIds.insert(folderRel, id);
    return id;
}

qsizetype RecordStore::memoryBytes() const {
    // Each allocation costs its heap header too.
    constexpr qsizetype Header = 16;
    qsizetype total = qsizetype(m_entries.capacity() * sizeof(Entry)) +
                      qsizetype(m_order.capacity() + m_free.capacity() + m_added.capacity()) * 4;
    for (const Chunk& chunk : m_chunks)
        total += chunk.capacity + qsizetype(chunk.spans.capacity() * sizeof(Span)) + 2 * Header;
    for (const Entry& e : m_entries) {
        if (e.folder < 0)
            continue;
        total += e.name.capacity() * 2 + e.upper.capacity() +
                 qsizetype(e.others.capacity() * sizeof(e.others[0])) + 3 * Header;
    }
    // The hash's nodes and buckets; its names are shared with the entries.
    total += m_byPath.size() * qsizetype(sizeof(PathKey) + sizeof(quint32) + 8) +
             qsizetype(m_byPath.capacity()) * 8;
    for (const Folder& f : m_folders)
        total += qsizetype(sizeof(Folder)) +
                 (f.rel.capacity() + f.category.capacity() + f.subCategory.capacity()) * 2 +
                 f.sortKey.capacity() + 4 * Header + 32;
    return total;
}
