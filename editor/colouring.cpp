// SPDX-License-Identifier: MIT
#include "editor/colouring.h"

#include <memory>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace Colouring {

char16_t lowerUnit(char16_t unit) {
    if (unit < 128)
        return (unit >= u'A' && unit <= u'Z') ? char16_t(unit + 32) : unit;
    return QChar(unit).toLower().unicode();
}

QString lowered(QStringView text) {
    QString result(text.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(result.data());
    const char16_t* in = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = lowerUnit(in[i]);
    return result;
}

namespace {

struct Interval {
    int start;
    int end;
};

struct Node {
    int childBegin = 0;
    int childCount = 0;
    int fail = 0;
    int dict = 0; // nearest terminal proper suffix, 0 for none
    int depth = 0;
    int nextAllowed = 0;
    char16_t unit = 0; // on the edge from the parent
    bool terminal = false;
};

struct Range {
    std::size_t lo, hi;
};

// Scratch space kept between calls on one thread: building a large automaton or a long list of
// occurrences in fresh memory every time costs more in page faults than in work.
struct Scratch {
    std::vector<Node> nodes; // breadth-first; 0 is the root
    std::vector<Range> ranges;
    std::vector<std::uint16_t> dense16;
    std::vector<std::uint32_t> dense32;
    std::vector<Interval> keywordRuns;
    std::vector<Interval> commentRuns;

    void releaseIfLarge() {
        const std::size_t bytes =
            nodes.capacity() * sizeof(Node) + ranges.capacity() * sizeof(Range) +
            dense16.capacity() * 2 + dense32.capacity() * 4 +
            (keywordRuns.capacity() + commentRuns.capacity()) * sizeof(Interval);
        if (bytes > (std::size_t(16) << 20))
            *this = Scratch();
    }
};

Scratch& scratch() {
    thread_local Scratch instance;
    return instance;
}

// Aho-Corasick over the keywords. Node ids follow breadth-first order, so the children of a node
// are consecutive ids and a node's failure target always comes before it. Automata of fewer than
// 4M table entries also get a dense transition table over the ASCII units the keywords use, upper
// case sharing the column of lower case, so the hot loop neither lowers nor searches; other units,
// and automata too large for a table, step through the sparse trie.
class Matcher {
public:
    Matcher(std::vector<std::u16string_view> keywords, Scratch& scratch)
        : m_scratch(scratch), m_nodes(scratch.nodes) {
        build(std::move(keywords));
    }
    Matcher(const Matcher&) = delete;
    Matcher& operator=(const Matcher&) = delete;

    // The union of the accepted occurrences of every keyword, as sorted disjoint runs. Each
    // keyword is searched left to right, each search resuming after the whole previous
    // occurrence, and an occurrence is accepted when it is a whole word.
    void acceptedRuns(QStringView text, std::vector<Interval>& runs) {
        runs.clear();
        if (m_nodes.size() <= 1)
            return;
        for (Node& node : m_nodes)
            node.nextAllowed = 0;
        const char16_t* units = text.utf16();
        const int length = int(text.size());
        Node* nodes = m_nodes.data();
        // Called with the ends in increasing order, so a new occurrence can only merge with the
        // runs at the back.
        auto report = [&](int node, int end) {
            int t = nodes[node].terminal ? node : nodes[node].dict;
            while (t != 0) {
                Node& keyword = nodes[t];
                int start = end - keyword.depth;
                if (start >= keyword.nextAllowed) {
                    keyword.nextAllowed = end;
                    if ((start == 0 || isBoundary(units[start - 1])) &&
                        (end == length || isBoundary(units[end]))) {
                        while (!runs.empty() && runs.back().end >= start) {
                            start = std::min(start, runs.back().start);
                            runs.pop_back();
                        }
                        runs.push_back({start, end});
                    }
                }
                t = keyword.dict;
            }
        };
        if (m_dense16)
            scanDense(m_dense16, units, length, report);
        else if (m_dense32)
            scanDense(m_dense32, units, length, report);
        else
            scanSparse(units, length, report);
    }

private:
    static constexpr std::size_t MaxDenseEntries = std::size_t(1) << 22;

    template <typename Entry, typename Report>
    void scanDense(const Entry* delta, const char16_t* units, int length, Report& report) const {
        const unsigned shift = m_shift - 1;
        std::uint32_t s = 0; // state << 1, bit 0 set when it has output
        for (int i = 0; i < length; ++i) {
            const char16_t c = units[i];
            if (c < 128) {
                s = delta[((s & ~1u) << shift) + m_class[c]];
            } else {
                const int next = step(int(s >> 1), lowerUnit(c));
                s = (std::uint32_t(next) << 1) | (hasOutput(next) ? 1u : 0u);
            }
            if (s & 1u)
                report(int(s >> 1), i + 1);
        }
    }

    template <typename Report>
    void scanSparse(const char16_t* units, int length, Report& report) const {
        int s = 0;
        for (int i = 0; i < length; ++i) {
            s = step(s, lowerUnit(units[i]));
            if (hasOutput(s))
                report(s, i + 1);
        }
    }

    bool hasOutput(int node) const {
        return m_nodes[std::size_t(node)].terminal || m_nodes[std::size_t(node)].dict != 0;
    }
    bool usedUnit(char16_t unit) const { return (m_usedUnits[unit >> 6] >> (unit & 63)) & 1u; }

    int child(int node, char16_t unit) const {
        const int begin = m_nodes[std::size_t(node)].childBegin;
        const int end = begin + m_nodes[std::size_t(node)].childCount;
        int lo = begin;
        int hi = end;
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (m_nodes[std::size_t(mid)].unit < unit)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo < end && m_nodes[std::size_t(lo)].unit == unit ? lo : -1;
    }

    // The transition on an already lowered unit.
    int step(int node, char16_t unit) const {
        if (unit < 128) {
            const std::size_t at = (std::size_t(node) << m_shift) + m_class[unit];
            if (m_dense16)
                return m_dense16[at] >> 1;
            if (m_dense32)
                return int(m_dense32[at] >> 1);
        }
        if (!usedUnit(unit))
            return 0;
        for (;;) {
            const int next = child(node, unit);
            if (next >= 0)
                return next;
            if (node == 0)
                return 0;
            node = m_nodes[std::size_t(node)].fail;
        }
    }

    void build(std::vector<std::u16string_view> keywords) {
        std::sort(keywords.begin(), keywords.end());
        keywords.erase(std::unique(keywords.begin(), keywords.end()), keywords.end());
        std::size_t total = 1;
        for (std::u16string_view keyword : keywords)
            total += keyword.size();

        // Breadth-first over ranges of the sorted keywords that share a prefix: a node's
        // children get consecutive ids in unit order.
        std::vector<Range>& ranges = m_scratch.ranges;
        ranges.clear();
        ranges.reserve(total);
        m_nodes.clear();
        m_nodes.reserve(total);
        ranges.push_back({0, keywords.size()});
        m_nodes.emplace_back();
        m_usedUnits.assign(1024, 0);
        for (std::size_t node = 0; node < m_nodes.size(); ++node) {
            auto [lo, hi] = ranges[node];
            const int depth = m_nodes[node].depth;
            if (lo < hi && keywords[lo].size() == std::size_t(depth)) {
                m_nodes[node].terminal = true;
                ++lo;
            }
            m_nodes[node].childBegin = int(m_nodes.size());
            while (lo < hi) {
                const char16_t unit = keywords[lo][std::size_t(depth)];
                std::size_t groupEnd = lo + 1;
                while (groupEnd < hi && keywords[groupEnd][std::size_t(depth)] == unit)
                    ++groupEnd;
                m_usedUnits[unit >> 6] |= std::uint64_t(1) << (unit & 63);
                Node next;
                next.depth = depth + 1;
                next.unit = unit;
                m_nodes.push_back(next);
                ranges.push_back({lo, groupEnd});
                lo = groupEnd;
            }
            m_nodes[node].childCount = int(m_nodes.size()) - m_nodes[node].childBegin;
        }
        const int nodeCount = int(m_nodes.size());

        // ASCII units that no keyword uses share class 0, whose column always leads to the root;
        // an upper-case letter takes the class of its lower case, since the text is not lowered
        // before the table is consulted.
        int classes = 1;
        for (int node = 1; node < nodeCount; ++node) {
            const char16_t unit = m_nodes[std::size_t(node)].unit;
            if (unit < 128 && !(unit >= u'A' && unit <= u'Z') && m_class[unit] == 0)
                m_class[unit] = std::uint8_t(classes++);
        }
        for (char16_t unit = u'A'; unit <= u'Z'; ++unit)
            m_class[unit] = m_class[unit + 32];
        m_shift = 1;
        while ((1 << m_shift) < classes)
            ++m_shift;
        const std::size_t entries = std::size_t(nodeCount) << m_shift;
        if (nodeCount < 32768) {
            if (m_scratch.dense16.size() < entries)
                m_scratch.dense16.resize(entries);
            m_dense16 = m_scratch.dense16.data();
        } else if (entries <= MaxDenseEntries) {
            if (m_scratch.dense32.size() < entries)
                m_scratch.dense32.resize(entries);
            m_dense32 = m_scratch.dense32.data();
        }

        for (int node = 0; node < nodeCount; ++node) {
            const Node& parent = m_nodes[std::size_t(node)];
            const int begin = parent.childBegin;
            const int end = begin + parent.childCount;
            for (int c = begin; c < end; ++c) {
                Node& next = m_nodes[std::size_t(c)];
                const int f = node == 0 ? 0 : step(parent.fail, next.unit);
                next.fail = f;
                next.dict = m_nodes[std::size_t(f)].terminal ? f : m_nodes[std::size_t(f)].dict;
            }
            if (m_dense16)
                fillRow(m_dense16, node);
            else if (m_dense32)
                fillRow(m_dense32, node);
        }
    }

    // A state's row is its failure state's row with its own edges on top.
    template <typename Entry> void fillRow(Entry* table, int node) {
        const std::size_t stride = std::size_t(1) << m_shift;
        const Node& parent = m_nodes[std::size_t(node)];
        Entry* row = table + (std::size_t(node) << m_shift);
        if (node == 0)
            std::fill(row, row + stride, Entry(0));
        else
            std::memcpy(row, table + (std::size_t(parent.fail) << m_shift), stride * sizeof(Entry));
        for (int c = parent.childBegin; c < parent.childBegin + parent.childCount; ++c) {
            const char16_t unit = m_nodes[std::size_t(c)].unit;
            // Lowered text never reaches an upper-case edge.
            if (unit < 128 && !(unit >= u'A' && unit <= u'Z'))
                row[m_class[unit]] = Entry((std::uint32_t(c) << 1) | (hasOutput(c) ? 1u : 0u));
        }
    }

    Scratch& m_scratch;
    std::vector<Node>& m_nodes;
    std::vector<std::uint64_t> m_usedUnits; // a bit per unit found in any keyword
    std::uint8_t m_class[128] = {};
    unsigned m_shift = 1; // log2 of the row length of the dense tables
    // Per state and class: the next state << 1, bit 0 set when that state has output.
    std::uint16_t* m_dense16 = nullptr;
    std::uint32_t* m_dense32 = nullptr;
};

// From after each line's first apostrophe up to and including the line's break.
void findComments(QStringView text, std::vector<Interval>& runs) {
    runs.clear();
    const qsizetype length = text.size();
    qsizetype from = 0;
    while (from < length) {
        const qsizetype apostrophe = text.indexOf(QLatin1Char('\''), from);
        if (apostrophe < 0)
            break;
        const qsizetype lineBreak = text.indexOf(QLatin1Char('\n'), apostrophe);
        const qsizetype end = lineBreak < 0 ? length : lineBreak + 1;
        if (end > apostrophe + 1)
            runs.push_back({int(apostrophe + 1), int(end)});
        from = end;
    }
}

void append(QList<ColourRun>& out, int start, int end, quint32 colour) {
    if (start >= end)
        return;
    if (!out.isEmpty() && out.last().colour == colour &&
        out.last().start + out.last().length == start) {
        out.last().length += end - start;
        return;
    }
    out.append({start, end - start, colour});
}

std::vector<std::u16string_view> views(const QStringList& keywords) {
    std::vector<std::u16string_view> result;
    result.reserve(std::size_t(keywords.size()));
    for (const QString& keyword : keywords) {
        if (!keyword.isEmpty())
            result.emplace_back(reinterpret_cast<const char16_t*>(keyword.utf16()),
                                std::size_t(keyword.size()));
    }
    return result;
}

// The automaton of the last keyword list, kept while the list stays the same: the list is read
// at every colouring, but it seldom changes, and building it can cost as much as the scan.
struct CachedMatcher {
    QStringList keywords;
    QStringList lastAsked; // shares its data with the caller's list, so asking again is one test
    Scratch space;
    std::unique_ptr<Matcher> matcher;
};

Matcher& matcherFor(const QStringList& keywords) {
    thread_local CachedMatcher cache;
    if (cache.matcher && keywords.constData() == cache.lastAsked.constData() &&
        keywords.size() == cache.lastAsked.size())
        return *cache.matcher;
    cache.lastAsked = keywords;
    if (!cache.matcher || cache.keywords != keywords) {
        cache.matcher.reset();
        cache.space = Scratch();
        cache.keywords = keywords;
        cache.matcher = std::make_unique<Matcher>(views(cache.keywords), cache.space);
    }
    return *cache.matcher;
}

} // namespace

QList<ColourRun> colour(QStringView text, const QStringList& keywords) {
    Scratch& space = scratch();
    matcherFor(keywords).acceptedRuns(text, space.keywordRuns);
    findComments(text, space.commentRuns);
    const std::vector<Interval>& keywordRanges = space.keywordRuns;
    const std::vector<Interval>& comments = space.commentRuns;

    // Keyword runs less the comments, then both merged in order. A comment splits at most one
    // keyword run in two.
    QList<ColourRun> out;
    out.reserve(qsizetype(keywordRanges.size() + 2 * comments.size()));
    std::size_t c = 0;
    auto emitCommentsBefore = [&](int position) {
        while (c < comments.size() && comments[c].start < position) {
            append(out, comments[c].start, comments[c].end, Colours::Comment);
            ++c;
        }
    };
    for (const Interval& k : keywordRanges) {
        int cursor = k.start;
        while (cursor < k.end) {
            emitCommentsBefore(cursor + 1);
            // The comment that was emitted last may still cover the cursor.
            if (c > 0 && comments[c - 1].end > cursor) {
                cursor = comments[c - 1].end;
                continue;
            }
            const int stop = c < comments.size() ? std::min(k.end, comments[c].start) : k.end;
            append(out, cursor, stop, Colours::Keyword);
            cursor = stop;
        }
    }
    emitCommentsBefore(int(text.size()) + 1);
    space.releaseIfLarge();
    return out;
}

} // namespace Colouring
