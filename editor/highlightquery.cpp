// SPDX-License-Identifier: MIT
#include "editor/highlightquery.h"

#include <tree_sitter/api.h>

#include <algorithm>

namespace SyntaxColours {

quint32 ofCapture(QStringView name) {
    if (name.startsWith(u"string.escape") || name.startsWith(u"escape"))
        return Escape;
    if (name == u"variable.builtin" || name == u"constant.builtin" || name == u"boolean")
        return Constant;
    if (name.startsWith(u"tag.attribute"))
        return Attribute;
    const QStringView first = name.left(name.indexOf(u'.') < 0 ? name.size() : name.indexOf(u'.'));
    static const struct {
        const char16_t* name;
        quint32 colour;
    } table[] = {
        {u"keyword", Colours::Keyword},
        {u"conditional", Colours::Keyword},
        {u"repeat", Colours::Keyword},
        {u"include", Colours::Keyword},
        {u"exception", Colours::Keyword},
        {u"storageclass", Colours::Keyword},
        {u"import", Colours::Keyword},
        {u"comment", Colours::Comment},
        {u"string", String},
        {u"character", String},
        {u"number", Number},
        {u"float", Number},
        {u"type", Type},
        {u"constructor", Type},
        {u"module", Type},
        {u"namespace", Type},
        {u"function", Function},
        {u"method", Function},
        {u"constant", Constant},
        {u"tag", Tag},
        {u"attribute", Attribute},
        {u"label", Attribute},
    };
    for (const auto& entry : table) {
        if (first == QStringView(entry.name))
            return entry.colour;
    }
    return Colours::Default;
}

} // namespace SyntaxColours

namespace {

// Where the top-level pattern holding `offset` begins and ends in a query's source: from an
// opening bracket or string at depth 0 to the next one.
std::pair<qsizetype, qsizetype> topLevelForm(const QString& source, qsizetype offset) {
    std::vector<qsizetype> starts;
    int depth = 0;
    for (qsizetype i = 0; i < source.size(); ++i) {
        const QChar c = source.at(i);
        if (c == u';') {
            while (i < source.size() && source.at(i) != u'\n')
                ++i;
        } else if (c == u'"') {
            if (depth == 0)
                starts.push_back(i);
            for (++i; i < source.size() && source.at(i) != u'"'; ++i) {
                if (source.at(i) == u'\\')
                    ++i;
            }
        } else if (c == u'(' || c == u'[') {
            if (depth++ == 0)
                starts.push_back(i);
        } else if (c == u')' || c == u']') {
            depth = std::max(0, depth - 1);
        }
    }
    starts.push_back(source.size());
    auto next = std::upper_bound(starts.begin(), starts.end(), offset);
    const qsizetype end = next == starts.end() ? source.size() : *next;
    const qsizetype begin = next == starts.begin() ? 0 : *(next - 1);
    return {begin, end};
}

// A capture that says nothing about colour: a private one that a predicate tests, or Neovim's
// spell-checking marks. Plain would paint over the node's colour (a comment's, for one).
constexpr quint32 NoColour = 0xFFFFFFFEu;

bool saysNothingOfColour(QStringView name) {
    return name.startsWith(u'_') || name == u"spell" || name == u"nospell";
}

QStringView nodeText(TSNode node, QStringView text) {
    const qsizetype start = std::min<qsizetype>(ts_node_start_byte(node) / 2, text.size());
    const qsizetype end = std::min<qsizetype>(ts_node_end_byte(node) / 2, text.size());
    return text.mid(start, std::max<qsizetype>(0, end - start));
}

} // namespace

HighlightQuery::HighlightQuery(const TSLanguage* language, const QString& source) {
    QString text = source;
    for (int attempt = 0; attempt < 500 && !m_query; ++attempt) {
        const QByteArray utf8 = text.toUtf8();
        uint32_t errorOffset = 0;
        TSQueryError error = TSQueryErrorNone;
        m_query =
            ts_query_new(language, utf8.constData(), uint32_t(utf8.size()), &errorOffset, &error);
        if (m_query)
            break;
        // Offsets are in bytes of UTF-8; the queries are ASCII but for a few comments.
        const qsizetype at = QString::fromUtf8(utf8.left(errorOffset)).size();
        const auto [begin, end] = topLevelForm(text, at);
        if (end <= begin || text.mid(begin, end - begin).trimmed().isEmpty())
            return;
        text.replace(begin, end - begin, QString(end - begin, u' '));
        ++m_skipped;
    }
    if (!m_query)
        return;
    const uint32_t captures = ts_query_capture_count(m_query);
    for (uint32_t i = 0; i < captures; ++i) {
        uint32_t length = 0;
        const char* name = ts_query_capture_name_for_id(m_query, i, &length);
        const QString capture = QString::fromUtf8(name, qsizetype(length));
        m_captureColours.push_back(
            saysNothingOfColour(capture) ? NoColour : SyntaxColours::ofCapture(capture));
    }
    const uint32_t patterns = ts_query_pattern_count(m_query);
    m_patterns.resize(patterns);
    for (uint32_t pattern = 0; pattern < patterns; ++pattern) {
        uint32_t count = 0;
        const TSQueryPredicateStep* steps =
            ts_query_predicates_for_pattern(m_query, pattern, &count);
        std::vector<const TSQueryPredicateStep*> args;
        for (uint32_t i = 0; i < count; ++i) {
            if (steps[i].type != TSQueryPredicateStepTypeDone) {
                args.push_back(&steps[i]);
                continue;
            }
            auto string = [this](const TSQueryPredicateStep* step) {
                uint32_t length = 0;
                const char* value = ts_query_string_value_for_id(m_query, step->value_id, &length);
                return QString::fromUtf8(value, qsizetype(length));
            };
            if (args.size() >= 2 && args[0]->type == TSQueryPredicateStepTypeString &&
                args[1]->type == TSQueryPredicateStepTypeCapture) {
                QString op = string(args[0]);
                Predicate predicate;
                predicate.capture = args[1]->value_id;
                predicate.negated = op.startsWith(QLatin1String("not-"));
                if (predicate.negated)
                    op = op.mid(4);
                bool known = true;
                if (op == QLatin1String("eq?") && args.size() == 3) {
                    predicate.kind = Predicate::Kind::Eq;
                    if (args[2]->type == TSQueryPredicateStepTypeCapture)
                        predicate.otherCapture = int(args[2]->value_id);
                    else
                        predicate.literal = string(args[2]);
                } else if (op == QLatin1String("match?") && args.size() == 3 &&
                           args[2]->type == TSQueryPredicateStepTypeString) {
                    predicate.kind = Predicate::Kind::Match;
                    predicate.regex = QRegularExpression(string(args[2]));
                    // Compiled now, so the window's thread and the colouring's thread only ever
                    // read it.
                    predicate.regex.optimize();
                    known = predicate.regex.isValid();
                } else if (op == QLatin1String("any-of?")) {
                    predicate.kind = Predicate::Kind::AnyOf;
                    for (std::size_t a = 2; a < args.size(); ++a)
                        predicate.values.append(string(args[a]));
                } else {
                    known = false; // #is?, #set! and the like say nothing about colour
                }
                if (known)
                    m_patterns[pattern].push_back(std::move(predicate));
            }
            args.clear();
        }
    }
}

HighlightQuery::~HighlightQuery() {
    if (m_query)
        ts_query_delete(m_query);
}

bool HighlightQuery::passes(const void* matchPointer, QStringView text) const {
    const TSQueryMatch& match = *static_cast<const TSQueryMatch*>(matchPointer);
    for (const Predicate& predicate : m_patterns[match.pattern_index]) {
        for (uint16_t i = 0; i < match.capture_count; ++i) {
            if (match.captures[i].index != predicate.capture)
                continue;
            const QStringView value = nodeText(match.captures[i].node, text);
            bool holds = false;
            switch (predicate.kind) {
            case Predicate::Kind::Eq:
                if (predicate.otherCapture < 0) {
                    holds = value == predicate.literal;
                } else {
                    for (uint16_t j = 0; j < match.capture_count; ++j) {
                        if (int(match.captures[j].index) == predicate.otherCapture)
                            holds = value == nodeText(match.captures[j].node, text);
                    }
                }
                break;
            case Predicate::Kind::Match:
                holds = predicate.regex.match(value).hasMatch();
                break;
            case Predicate::Kind::AnyOf:
                holds = predicate.values.contains(value);
                break;
            }
            if (holds == predicate.negated)
                return false;
        }
    }
    return true;
}

QList<ColourRun> HighlightQuery::colour(const TSTree* tree, QStringView text) const {
    return colour(tree, text, 0, int(text.size()));
}

QList<ColourRun> HighlightQuery::colour(const TSTree* tree, QStringView text, int from, int to,
                                        Reach* reach) const {
    from = std::clamp(from, 0, int(text.size()));
    to = std::clamp(to, from, int(text.size()));
    if (reach)
        *reach = {from, to};
    if (!m_query || !tree || from == to)
        return {};
    struct Capture {
        uint32_t start, end, pattern;
        quint32 colour;
    };
    std::vector<Capture> found;
    TSQueryCursor* cursor = ts_query_cursor_new();
    ts_query_cursor_set_byte_range(cursor, uint32_t(from) * 2, uint32_t(to) * 2);
    ts_query_cursor_exec(cursor, m_query, ts_tree_root_node(tree));
    TSQueryMatch match;
    // Whole matches as they complete: the captures are sorted below, and asking for them in order
    // makes the cursor hold every unfinished match back, which costs more than the sort.
    while (ts_query_cursor_next_match(cursor, &match)) {
        if (!passes(&match, text))
            continue;
        for (uint16_t i = 0; i < match.capture_count; ++i) {
            const TSNode node = match.captures[i].node;
            const uint32_t start = std::min<uint32_t>(ts_node_start_byte(node) / 2, text.size());
            const uint32_t end = std::min<uint32_t>(ts_node_end_byte(node) / 2, text.size());
            if (end <= uint32_t(from) || start >= uint32_t(to))
                continue;
            const quint32 colour = m_captureColours[match.captures[i].index];
            if (colour == NoColour)
                continue;
            if (reach && colour != Colours::Default) {
                reach->from = std::min(reach->from, int(start));
                reach->to = std::max(reach->to, int(end));
            }
            found.push_back({start, end, match.pattern_index, colour});
        }
    }
    ts_query_cursor_delete(cursor);
    // Outer nodes first, then inner ones over them; one node's patterns in their order.
    std::stable_sort(found.begin(), found.end(), [](const Capture& a, const Capture& b) {
        if (a.start != b.start)
            return a.start < b.start;
        if (a.end != b.end)
            return a.end > b.end;
        return a.pattern < b.pattern;
    });
    // Each character takes the colour of the last capture over it in that order. A sweep keeps
    // the captures open at the point reached, the latest on top; one that has ended is passed
    // over when it comes to the top.
    QList<ColourRun> runs;
    int at = from;
    std::vector<const Capture*> open;
    const auto colourTo = [&](int upTo) {
        if (upTo <= at)
            return;
        const quint32 colour = open.empty() ? Colours::Default : open.back()->colour;
        if (colour != Colours::Default) {
            if (!runs.isEmpty() && runs.back().start + runs.back().length == at &&
                runs.back().colour == colour)
                runs.back().length += upTo - at;
            else
                runs.append({at, upTo - at, colour});
        }
        at = upTo;
    };
    const auto closeBefore = [&](int point) {
        while (!open.empty() && int(open.back()->end) <= point) {
            colourTo(std::min(int(open.back()->end), to));
            open.pop_back();
        }
    };
    for (const Capture& capture : found) {
        const int start = std::max(int(capture.start), from);
        closeBefore(start);
        colourTo(start);
        open.push_back(&capture);
    }
    closeBefore(to);
    colourTo(to);
    return runs;
}
