// SPDX-License-Identifier: MIT
#pragma once

#include "editor/colours.h"

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

struct TSLanguage;
struct TSQuery;
struct TSTree;

// The colours a grammar's highlight query gives, on a white page. Keywords and comments keep the
// word list's navy and green; every colour is at least 4.5:1 against white.
namespace SyntaxColours {
inline constexpr quint32 String = 0x1515A3;    // dark red
inline constexpr quint32 Number = 0x505A09;    // dark teal
inline constexpr quint32 Type = 0x7A5C1C;      // steel blue
inline constexpr quint32 Function = 0x265E79;  // brown
inline constexpr quint32 Constant = 0xB00000;  // dark blue
inline constexpr quint32 Tag = 0x000080;       // maroon
inline constexpr quint32 Attribute = 0x800080; // purple
inline constexpr quint32 Escape = 0x0046A6;    // rust
// The colour of a capture name ("keyword.control"): by its first part, plain when it names none.
quint32 ofCapture(QStringView name);
} // namespace SyntaxColours

// A grammar's highlight query with the predicates its patterns carry, which tree-sitter leaves
// to the caller.
class HighlightQuery {
public:
    // Patterns the runtime cannot read (a node type or a syntax newer than it) are left out, one
    // at a time, and named in `skipped`.
    HighlightQuery(const TSLanguage* language, const QString& source);
    ~HighlightQuery();
    HighlightQuery(const HighlightQuery&) = delete;
    HighlightQuery& operator=(const HighlightQuery&) = delete;

    bool ok() const { return m_query != nullptr; }
    int skipped() const { return m_skipped; }

    // The colours of `text`, which `tree` was parsed from as UTF-16: runs sorted, non-overlapping,
    // default ones left out. The same node caught by several patterns takes the last one's colour
    // and a node inside another takes its own, as tree-sitter's own highlighter does.
    QList<ColourRun> colour(const TSTree* tree, QStringView text) const;
    // The same colours in [from, to) only. `reach` takes in the whole of every coloured node met
    // there, which may stand out beyond it: a change inside such a node may change all of it.
    struct Reach {
        int from = 0;
        int to = 0;
    };
    QList<ColourRun> colour(const TSTree* tree, QStringView text, int from, int to,
                            Reach* reach = nullptr) const;

private:
    struct Predicate {
        enum class Kind { Eq, Match, AnyOf } kind = Kind::Eq;
        bool negated = false;
        quint32 capture = 0;
        int otherCapture = -1; // #eq? between two captures
        QString literal;
        QRegularExpression regex;
        QStringList values;
    };
    bool passes(const void* match, QStringView text) const;

    TSQuery* m_query = nullptr;
    int m_skipped = 0;
    std::vector<quint32> m_captureColours;          // by capture index; Default for plain
    std::vector<std::vector<Predicate>> m_patterns; // by pattern index
};
