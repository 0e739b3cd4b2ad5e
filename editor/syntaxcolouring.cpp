// SPDX-License-Identifier: MIT
#include "editor/syntaxcolouring.h"

#include "editor/languages.h"

#include <tree_sitter/api.h>

#include <algorithm>
#include <cstdlib>

namespace {

TSTree* parse(TSParser* parser, const CodeLanguage& language, TSTree* old, QStringView text) {
    if (!ts_parser_set_language(parser, language.grammar))
        return nullptr;
    return ts_parser_parse_string_encoding(parser, old, reinterpret_cast<const char*>(text.utf16()),
                                           uint32_t(text.size() * 2), TSInputEncodingUTF16);
}

// Where `to` stands as tree-sitter counts (rows, and columns in bytes of UTF-16), counted on
// from `at`, which stands at `from`.
TSPoint pointAt(QStringView text, qsizetype from, TSPoint at, qsizetype to) {
    for (qsizetype i = from; i < to; ++i) {
        if (text[i] == u'\n')
            at = {at.row + 1, 0};
        else
            at.column += 2;
    }
    return at;
}

using Parts = std::vector<std::pair<int, int>>;

// Adds [from, to), merged with the parts it meets or touches.
void addPart(Parts& parts, int from, int to) {
    auto first =
        std::lower_bound(parts.begin(), parts.end(), from,
                         [](const std::pair<int, int>& p, int at) { return p.second < at; });
    auto last = first;
    while (last != parts.end() && last->first <= to) {
        from = std::min(from, last->first);
        to = std::max(to, last->second);
        ++last;
    }
    first = parts.erase(first, last);
    parts.insert(first, {from, to});
}

Parts without(const Parts& parts, const Parts& taken) {
    Parts out;
    auto cut = taken.begin();
    for (auto [from, to] : parts) {
        while (cut != taken.end() && cut->second <= from)
            ++cut;
        for (auto c = cut; c != taken.end() && c->first < to; ++c) {
            if (c->first > from)
                out.push_back({from, c->first});
            from = std::max(from, c->second);
        }
        if (from < to)
            out.push_back({from, to});
    }
    return out;
}

Parts within(const Parts& parts, int from, int to) {
    Parts out;
    for (auto [a, b] : parts) {
        a = std::max(a, from);
        b = std::min(b, to);
        if (a < b)
            out.push_back({a, b});
    }
    return out;
}

// Where the parts stand once [start, oldEnd) became [start, newEnd); a part the edit cut into
// takes in what the edit put there.
void moveThroughEdit(Parts& parts, int start, int oldEnd, int newEnd) {
    const auto moved = [&](int at, bool isEnd) {
        if (at < start || (at == start && !isEnd))
            return at;
        if (at >= oldEnd)
            return at - oldEnd + newEnd;
        return isEnd ? newEnd : start;
    };
    Parts before;
    before.swap(parts);
    for (auto [from, to] : before)
        addPart(parts, moved(from, false), moved(to, true));
}

// Whole lines: a change may recolour the rest of its line, and lines are what the editor paints.
Parts wholeLines(const Parts& parts, QStringView text) {
    Parts out;
    for (auto [from, to] : parts) {
        from = std::clamp(from, 0, int(text.size()));
        to = std::clamp(to, from, int(text.size()));
        const qsizetype lineStart = from == 0 ? -1 : text.lastIndexOf(u'\n', from - 1);
        const qsizetype lineEnd = text.indexOf(u'\n', std::max(to - 1, from));
        addPart(out, int(lineStart + 1), lineEnd < 0 ? int(text.size()) : int(lineEnd + 1));
    }
    return out;
}

// The colours of [from, to), a long stretch cut in pieces coloured side by side: walking the tree
// is most of a colouring's time, and each piece's colours are exact on their own.
QList<ColourRun> colourSpread(const HighlightQuery& query, const TSTree* tree, QStringView text,
                              int from, int to, HighlightQuery::Reach& reach) {
    constexpr int Stretch = 64 * 1024;
    const int pieces = std::min(int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u)),
                                (to - from) / Stretch);
    if (pieces <= 1)
        return query.colour(tree, text, from, to, &reach);
    std::vector<int> cuts;
    for (int i = 0; i < pieces; ++i)
        cuts.push_back(from + int(qint64(to - from) * i / pieces));
    cuts.push_back(to);
    std::vector<QList<ColourRun>> runs(static_cast<std::size_t>(pieces));
    std::vector<HighlightQuery::Reach> reaches(static_cast<std::size_t>(pieces));
    std::vector<std::thread> helpers;
    for (std::size_t i = 1; i < std::size_t(pieces); ++i) {
        // A tree is read by one thread at a time; a copy costs a reference.
        helpers.emplace_back([&, i, copy = ts_tree_copy(tree)] {
            runs[i] = query.colour(copy, text, cuts[i], cuts[i + 1], &reaches[i]);
            ts_tree_delete(copy);
        });
    }
    runs[0] = query.colour(tree, text, cuts[0], cuts[1], &reaches[0]);
    for (std::thread& helper : helpers)
        helper.join();
    QList<ColourRun> out = std::move(runs[0]);
    reach = reaches[0];
    for (std::size_t i = 1; i < runs.size(); ++i) {
        for (const ColourRun& run : runs[i]) {
            if (!out.isEmpty() && out.back().start + out.back().length == run.start &&
                out.back().colour == run.colour)
                out.back().length += run.length;
            else
                out.append(run);
        }
        reach = {std::min(reach.from, reaches[i].from), std::max(reach.to, reaches[i].to)};
    }
    return out;
}

} // namespace

SyntaxColouring::SyntaxColouring() : m_parser(ts_parser_new()), m_thread([this] { run(); }) {
    ts_parser_set_cancellation_flag(m_parser, reinterpret_cast<const size_t*>(&m_cancel));
}

SyntaxColouring::~SyntaxColouring() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_cancel = 1;
    }
    m_wake.notify_all();
    m_thread.join();
    if (m_tree)
        ts_tree_delete(m_tree);
    ts_parser_delete(m_parser);
}

QList<ColourRun> SyntaxColouring::colourNow(const CodeLanguage& language, QStringView text) {
    TSParser* parser = ts_parser_new();
    TSTree* tree = parse(parser, language, nullptr, text);
    const HighlightQuery* query = language.highlights();
    QList<ColourRun> runs = query ? query->colour(tree, text) : QList<ColourRun>();
    if (tree)
        ts_tree_delete(tree);
    ts_parser_delete(parser);
    return runs;
}

template <typename Change> void SyntaxColouring::queue(Change change, bool cancel) {
    {
        std::lock_guard lock(m_mutex);
        change(m_request);
        m_result.reset();
        if (cancel)
            m_cancel = 1;
    }
    m_wake.notify_all();
}

void SyntaxColouring::colour(const CodeLanguage* language, const QString& text, quint64 generation,
                             Span visible) {
    // Not cancelled: an edit's parse reuses the tree of the parse before it.
    queue([&](std::optional<Request>& queued) {
        // A new text not taken up yet stays new: the window holds none of its colours.
        const bool drop = queued && queued->drop;
        const bool whole = queued && queued->whole && (!queued->ahead || queued->colourAhead);
        queued = Request{.language = language,
                         .text = text,
                         .generation = generation,
                         .visible = visible,
                         .drop = drop,
                         .whole = whole};
    });
}

void SyntaxColouring::colourNew(const CodeLanguage* language, const QString& text,
                                quint64 generation, Span visible) {
    // Not cancelled: a parse under way may be this text's, started ahead.
    queue([&](std::optional<Request>& queued) {
        queued = Request{.language = language,
                         .text = text,
                         .generation = generation,
                         .visible = visible,
                         .whole = true};
    });
}

void SyntaxColouring::colourEdits(const CodeLanguage* language, std::vector<Edit> edits, int length,
                                  quint64 generation, Span visible) {
    queue([&](std::optional<Request>& queued) {
        if (queued && !queued->drop && (!queued->ahead || queued->colourAhead) &&
            queued->language == language) {
            // The text they were made to is not taken up yet: they follow it.
            for (Edit& edit : edits)
                queued->edits.push_back(std::move(edit));
            queued->length = length;
            queued->generation = generation;
            queued->visible = visible;
        } else {
            queued = Request{.language = language,
                             .generation = generation,
                             .visible = visible,
                             .edits = std::move(edits),
                             .length = length,
                             .toTreeText = true};
        }
    });
}

void SyntaxColouring::parseAhead(const CodeLanguage* language, std::function<QString()> text,
                                 quint64 ticket) {
    queue(
        [&](std::optional<Request>& queued) {
            queued = Request{
                .language = language, .whole = true, .ahead = std::move(text), .ticket = ticket};
        },
        true);
}

void SyntaxColouring::colourParsedAhead(const CodeLanguage* language, quint64 ticket, int length,
                                        quint64 generation, Span visible) {
    // Not cancelled: the parse under way may be this one.
    queue([&](std::optional<Request>& queued) {
        if (queued && queued->ahead && queued->ticket == ticket && queued->language == language) {
            // Not taken up yet: it is coloured as soon as it is parsed.
            queued->colourAhead = true;
            queued->aheadLength = length;
            queued->generation = generation;
            queued->visible = visible;
        } else {
            queued = Request{.language = language,
                             .generation = generation,
                             .visible = visible,
                             .whole = true,
                             .ticket = ticket,
                             .fromAhead = true,
                             .aheadLength = length};
        }
    });
}

void SyntaxColouring::stop() {
    queue([](std::optional<Request>& queued) { queued = Request{.drop = true}; }, true);
}

std::optional<SyntaxColouring::Result> SyntaxColouring::take(quint64 generation) {
    std::lock_guard lock(m_mutex);
    if (!m_result || m_result->generation > generation)
        return std::nullopt;
    if (m_result->generation < generation) {
        m_result.reset();
        return std::nullopt;
    }
    m_delivered = m_result->sequence;
    return std::exchange(m_result, std::nullopt);
}

void SyntaxColouring::forgetTree() {
    if (m_tree)
        ts_tree_delete(m_tree);
    m_tree = nullptr;
    m_treeLanguage = nullptr;
    m_treeText.clear();
    m_treeTicket = 0;
    m_pending.clear();
    m_published.clear();
}

void SyntaxColouring::run() {
    // Every grammar's ABI is checked at start-up, off the window's thread.
    Languages::usable();
    emit ready();
    for (;;) {
        Request request;
        quint64 delivered = 0;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || m_request; });
            if (m_quit)
                return;
            request = std::move(*m_request);
            m_request.reset();
            m_cancel = 0;
            delivered = m_delivered;
        }
        if (request.drop || request.language != m_treeLanguage)
            forgetTree();
        // A result taken holds every one handed over before it.
        for (const auto& [sequence, parts] : m_published) {
            if (sequence == delivered)
                m_pending = without(m_pending, parts);
        }
        m_published.clear();
        if ((request.ahead || request.fromAhead) && !tookAheadText(request)) {
            if (request.colourAhead || request.fromAhead) {
                // Whatever tree is left is another text's: the window's text is parsed anew.
                forgetTree();
                m_lostText = true;
                emit ready();
            }
            continue;
        }
        if (request.length >= 0 && !madeEdits(request)) {
            m_lostText = true;
            emit ready();
            continue;
        }
        if (request.language)
            work(request);
    }
}

bool SyntaxColouring::tookAheadText(Request& request) {
    if (request.ahead) {
        request.text = request.ahead();
        if (request.text.size() > Languages::SizeLimit)
            return false;
    } else if (m_tree && m_treeTicket == request.ticket) {
        request.text = m_treeText;
    } else {
        return false;
    }
    return request.aheadLength < 0 || request.text.size() == request.aheadLength;
}

bool SyntaxColouring::madeEdits(Request& request) {
    const bool onTree = request.toTreeText;
    if (onTree && !m_tree)
        return false;
    QString text = onTree ? m_treeText : request.text;
    for (const Edit& edit : request.edits) {
        if (edit.position < 0 || edit.removed < 0 || edit.position > text.size() - edit.removed)
            return false;
        text.replace(edit.position, edit.removed, edit.inserted);
    }
    if (text.size() != request.length)
        return false;
    request.text = std::move(text);
    return true;
}

void SyntaxColouring::work(const Request& request) {
    const QString& text = request.text;
    if (request.whole && m_tree && m_treeText == text) { // parsed ahead, or before
        if (request.ahead && request.length < 0)
            m_treeTicket = request.ticket;
        if (request.ahead && !request.colourAhead)
            return;
        m_pending = {{0, int(text.size())}};
        colourPending(request);
        return;
    }
    // Another text's tree would be edited all over: a parse from nothing costs less.
    if (request.whole)
        forgetTree();
    TSTree* old = m_tree;
    int start = 0, oldEnd = 0, newEnd = 0;
    if (old) {
        // The edit is what lies between the texts' common beginning and common end.
        const QStringView before(m_treeText), after(text);
        qsizetype same = 0;
        const qsizetype shorter = std::min(before.size(), after.size());
        while (same < shorter && before[same] == after[same])
            ++same;
        qsizetype tail = 0;
        while (tail < shorter - same &&
               before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
            ++tail;
        start = int(same);
        oldEnd = int(before.size() - tail);
        newEnd = int(after.size() - tail);
        TSInputEdit edit;
        edit.start_byte = uint32_t(start * 2);
        edit.old_end_byte = uint32_t(oldEnd * 2);
        edit.new_end_byte = uint32_t(newEnd * 2);
        edit.start_point = pointAt(before, 0, {0, 0}, start);
        edit.old_end_point = pointAt(before, start, edit.start_point, oldEnd);
        edit.new_end_point = pointAt(after, start, edit.start_point, newEnd);
        ts_tree_edit(old, &edit);
    }
    TSTree* tree = parse(m_parser, *request.language, old, text);
    if (!tree) { // cancelled by a newer text, which starts over from the last whole tree
        forgetTree();
        ts_parser_reset(m_parser);
        return;
    }
    if (old) {
        moveThroughEdit(m_pending, start, oldEnd, newEnd);
        addPart(m_pending, start, newEnd);
        uint32_t count = 0;
        TSRange* changed = ts_tree_get_changed_ranges(old, tree, &count);
        for (uint32_t i = 0; i < count; ++i) {
            const int from = int(std::min<uint32_t>(changed[i].start_byte / 2, text.size()));
            const int to = int(std::min<uint32_t>((changed[i].end_byte + 1) / 2, text.size()));
            addPart(m_pending, from, std::max(from, to));
        }
        std::free(changed);
        ts_tree_delete(old);
    } else {
        m_pending = {{0, int(text.size())}};
    }
    m_tree = tree;
    m_treeLanguage = request.language;
    m_treeText = text;
    // Edits made before the parse make it another text than the one asked for ahead.
    m_treeTicket = request.ahead && request.length < 0 ? request.ticket : 0;
    if (!request.ahead || request.colourAhead)
        colourPending(request);
}

void SyntaxColouring::colourPending(const Request& request) {
    m_pending = wholeLines(m_pending, m_treeText);
    if (m_pending.empty())
        return;
    if (request.visible.length > 0) {
        const Parts view = wholeLines(
            {{request.visible.start, request.visible.start + request.visible.length}}, m_treeText);
        const Parts first = within(m_pending, view.front().first, view.front().second);
        if (!first.empty() && first != m_pending &&
            !publish(*request.language, first, request.generation))
            return;
    }
    publish(*request.language, m_pending, request.generation);
}

bool SyntaxColouring::publish(const CodeLanguage& language, Parts parts, quint64 generation) {
    QList<ColourRun> runs;
    if (const HighlightQuery* query = language.highlights()) {
        // A coloured node that stands out of a part is coloured whole: its colour may hang on
        // text inside the part.
        for (int round = 0;; ++round) {
            runs.clear();
            Parts reached;
            for (auto [from, to] : parts) {
                HighlightQuery::Reach reach;
                runs.append(colourSpread(*query, m_tree, m_treeText, from, to, reach));
                addPart(reached, reach.from, reach.to);
            }
            if (reached == parts || round == 3)
                break;
            parts = std::move(reached);
        }
    }
    QList<Span> spans;
    spans.reserve(qsizetype(parts.size()));
    for (auto [from, to] : parts)
        spans.append({from, to - from});
    quint64 sequence = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_request) // superseded meanwhile
            return false;
        sequence = ++m_sequence;
        m_result = Result{generation, std::move(spans), std::move(runs), sequence};
    }
    m_published.push_back({sequence, std::move(parts)});
    emit ready();
    return true;
}
