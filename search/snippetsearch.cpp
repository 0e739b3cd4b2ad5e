// SPDX-License-Identifier: MIT
// Searching: every word of a query looked for in the folded names and texts.
#include "search/snippetindex.h"

#include "search/wordfinder.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

// Below this many candidates a second thread costs more than it saves.
constexpr size_t ParallelFrom = 4096;
constexpr int LineTextLimit = 200;
// A snippet's count of words found when it is not among the snippets searched.
constexpr quint8 Excluded = 0xFF;
constexpr int MaxWords = 64;
// How often a look at one record at a time asks whether the index is going away.
constexpr qsizetype CancelEvery = 1024;

bool isAsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

struct SnippetIndex::Scan {
    std::vector<WordFinder> words;
    std::vector<quint8> found;       // per entry: words found so far, or Excluded
    std::vector<quint8> outsideName; // per entry: some word was found in the text only
    std::vector<quint32> firstText;  // per entry: earliest text offset of such a word
};

QStringList SnippetIndex::words(const QString& query) {
    QString cleaned = query;
    for (QChar& c : cleaned) {
        if (c.unicode() < 0x20)
            c = QLatin1Char(' '); // never part of a word, so no word spans two records
    }
    return cleaned.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

void SnippetIndex::searchBlocks(Scan& scan, size_t word, int first, int end,
                                std::vector<quint32>& found) const {
    const WordFinder& finder = scan.words[word];
    const std::vector<RecordStore::Chunk>& chunks = m_store.chunks();
    const std::vector<RecordStore::Entry>& entries = m_store.entries();
    for (int c = first; c < end && !m_cancel.load(std::memory_order_relaxed); ++c) {
        const RecordStore::Chunk& chunk = chunks[size_t(c)];
        const char* base = chunk.data.get();
        size_t k = 0;
        qsizetype p = 0;
        while (p < chunk.used) {
            const char* hit = finder.find(base + p, base + chunk.used);
            if (!hit)
                break;
            const qsizetype at = hit - base;
            while (k + 1 < chunk.spans.size() && chunk.spans[k + 1].offset <= at)
                ++k;
            const RecordStore::Span& span = chunk.spans[k];
            p = k + 1 < chunk.spans.size() ? qsizetype(chunk.spans[k + 1].offset) : chunk.used;
            const RecordStore::Entry& e = entries[span.id];
            if (e.chunk != c || e.start != span.offset || scan.found[span.id] != word)
                continue;
            const qsizetype inRecord = at - span.offset;
            if (inRecord > qsizetype(e.nameLength)) {
                const auto offset = quint32(inRecord - e.nameLength - 1);
                if (!scan.outsideName[span.id] || offset < scan.firstText[span.id])
                    scan.firstText[span.id] = offset;
                scan.outsideName[span.id] = 1;
            }
            scan.found[span.id] = quint8(word + 1);
            found.push_back(span.id);
        }
    }
}

void SnippetIndex::checkEntries(Scan& scan, size_t fromWord, const quint32* ids,
                                qsizetype count) const {
    for (qsizetype i = 0; i < count; ++i) {
        if (i % CancelEvery == 0 && m_cancel.load(std::memory_order_relaxed))
            return;
        const quint32 id = ids[i];
        if (scan.found[id] != fromWord)
            continue;
        const RecordStore::Entry& e = m_store.entries()[id];
        const char* record = e.record(m_store.chunks());
        const char* end = record + e.recordLength() - 1;
        for (size_t w = fromWord; w < scan.words.size(); ++w) {
            const char* hit = scan.words[w].find(record, end);
            if (!hit)
                break;
            const qsizetype inRecord = hit - record;
            if (inRecord > qsizetype(e.nameLength)) {
                const auto offset = quint32(inRecord - e.nameLength - 1);
                if (!scan.outsideName[id] || offset < scan.firstText[id])
                    scan.firstText[id] = offset;
                scan.outsideName[id] = 1;
            }
            scan.found[id] = quint8(w + 1);
        }
    }
}

SnippetIndex::Results SnippetIndex::find(const QString& query, int listLimit) {
    const std::lock_guard one(m_finding);
    Results results;
    // What the program changed before this search is part of its answer.
    if (!applyChanges(true))
        return results;
    QList<QByteArray> folded;
    for (const QString& word : words(query)) {
        const QByteArray f = TextFold::fold(word);
        if (!folded.contains(f))
            folded.append(f);
    }
    // A word inside another word is found wherever that one is.
    QList<QByteArray> wanted;
    for (const QByteArray& w : folded) {
        const bool implied = std::any_of(folded.cbegin(), folded.cend(), [&](const QByteArray& o) {
            return o.size() > w.size() && o.contains(w);
        });
        if (!implied && wanted.size() < MaxWords)
            wanted.append(w);
    }
    // Longer words are rarer: they rule out most snippets first.
    std::stable_sort(wanted.begin(), wanted.end(),
                     [](const QByteArray& a, const QByteArray& b) { return a.size() > b.size(); });
    if (wanted.isEmpty()) {
        m_lastWords.clear();
        m_lastMatches.clear();
        return results;
    }

    const std::shared_lock lock(m_lock);
    const RecordStore& store = m_store;
    // Every earlier word inside a word of this query: this query's matches are among the last.
    const bool refine =
        m_lastGeneration == store.generation() && !m_lastWords.isEmpty() &&
        std::all_of(m_lastWords.cbegin(), m_lastWords.cend(), [&](const auto& old) {
            return std::any_of(wanted.cbegin(), wanted.cend(),
                               [&](const QByteArray& w) { return w.contains(old); });
        });
    const std::vector<quint32> candidates = refine ? std::move(m_lastMatches) : store.order();

    Scan scan;
    for (const QByteArray& word : wanted)
        scan.words.emplace_back(word, store.byteCounts());
    scan.found.assign(store.entries().size(), refine ? Excluded : 0);
    if (refine) {
        for (quint32 id : candidates)
            scan.found[id] = 0;
    }
    scan.outsideName.assign(store.entries().size(), 0);
    scan.firstText.assign(store.entries().size(), 0);

    // Few candidates: each record on its own. Many: whole blocks, one pass per word, until
    // few are left. Either way a large search is split in two for the second core; part 0,
    // on this thread, does everything the other part does not.
    const qsizetype liveBytes = store.liveBytes();
    const std::vector<RecordStore::Chunk>& chunks = store.chunks();
    const qsizetype average =
        store.order().empty() ? 1 : liveBytes / qsizetype(store.order().size());
    const auto inParts = [&](const std::function<void(int)>& part, bool split) {
        if (split)
            m_searchHelper.together([&] { part(1); }, [&] { part(0); });
        else
            part(0);
    };
    if (qsizetype(candidates.size()) * average * 4 < liveBytes) {
        const bool split = candidates.size() >= ParallelFrom;
        const qsizetype half = split ? qsizetype(candidates.size() / 2) : 0;
        inParts(
            [&](int part) {
                checkEntries(scan, 0, candidates.data() + (part ? 0 : half),
                             part ? half : qsizetype(candidates.size()) - half);
            },
            split);
    } else {
        // Two runs of whole blocks holding about half the bytes each.
        const bool split = liveBytes >= qsizetype(ParallelFrom) * average;
        int middle = 0;
        qsizetype bytes = 0;
        while (split && middle < int(chunks.size()) && bytes * 2 < liveBytes)
            bytes += chunks[size_t(middle++)].used;
        inParts(
            [&](int part) {
                const int first = part ? 0 : middle;
                const int end = part ? middle : int(chunks.size());
                // One block at a time: the later words look only at the block's survivors,
                // while the block is still in the cache.
                std::vector<quint32> alive;
                for (int c = first; c < end; ++c) {
                    alive.clear();
                    searchBlocks(scan, 0, c, c + 1, alive);
                    if (wanted.size() > 1)
                        checkEntries(scan, 1, alive.data(), qsizetype(alive.size()));
                }
            },
            split);
    }
    if (m_cancel) {
        m_lastWords.clear();
        m_lastMatches.clear();
        return results;
    }

    const auto all = quint8(wanted.size());
    m_lastMatches.clear();
    for (quint32 id : candidates) {
        if (scan.found[id] == all)
            m_lastMatches.push_back(id);
    }
    results.total = int(m_lastMatches.size());
    m_lastWords = wanted;
    m_lastGeneration = store.generation();

    for (const bool nameMatches : {true, false}) {
        for (quint32 id : m_lastMatches) {
            if (results.listed.size() >= listLimit)
                break;
            if (bool(scan.outsideName[id]) == nameMatches)
                continue;
            const RecordStore::Entry& e = store.entries()[id];
            const RecordStore::Folder& folder = store.folder(e);
            Hit hit{folder.category, folder.subCategory, e.name, nameMatches, 0, {}};
            if (!nameMatches) {
                const char* text = e.text(chunks);
                const qsizetype at = scan.firstText[id];
                const void* before = ::memrchr(text, '\n', size_t(at));
                const qsizetype lineStart =
                    before ? static_cast<const char*>(before) - text + 1 : 0;
                const void* after = std::memchr(text + at, '\n', size_t(e.textLength - at));
                const qsizetype lineEnd =
                    after ? static_cast<const char*>(after) - text : qsizetype(e.textLength);
                hit.line = 1 + int(std::count(text, text + lineStart, '\n'));
                hit.lineText = lineText(e, lineStart, lineEnd);
            }
            results.listed.append(std::move(hit));
        }
    }
    return results;
}

QString SnippetIndex::lineText(const RecordStore::Entry& e, qsizetype lineStart,
                               qsizetype lineEnd) const {
    // Only the start of a line is shown, so only the start is decoded: a line of megabytes
    // would otherwise be copied whole under the lock.
    const char* text = e.text(m_store.chunks());
    while (lineStart < lineEnd && isAsciiSpace(text[lineStart]))
        ++lineStart;
    // Four bytes at most per character; more only while wider spaces are trimmed away.
    for (qsizetype window = 4 * (LineTextLimit + 4);; window *= 2) {
        qsizetype end = std::min(lineEnd, lineStart + window);
        while (end < lineEnd && (uchar(text[end]) & 0xC0) == 0x80)
            --end; // not inside a character
        const QString shown = TextFold::original(QByteArrayView(text, e.textLength), e.upper,
                                                 e.others, lineStart, end)
                                  .trimmed();
        if (end == lineEnd || shown.size() >= LineTextLimit)
            return shown.left(LineTextLimit);
    }
}
