// SPDX-License-Identifier: MIT
#pragma once

#include "editor/highlightquery.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

struct TSLanguage;

// A language the editor can colour by its grammar.
struct CodeLanguage {
    QString id;   // as the language file names it
    QString name; // as menus show it, before translation
    const TSLanguage* grammar = nullptr;
    const char* querySource = nullptr;

    // The highlight query, read on first use on any thread (a large grammar's takes a third of a
    // second); null when this runtime cannot read it.
    const HighlightQuery* highlights() const;
    bool highlightsReady() const { return m_ready.load(std::memory_order_acquire); }

private:
    mutable std::once_flag m_once;
    mutable std::unique_ptr<HighlightQuery> m_highlights;
    mutable std::atomic<bool> m_ready{false};
};

namespace Languages {

// The languages whose grammar this runtime loads, sorted by name. Worked out once, on first use,
// on any thread.
const std::vector<const CodeLanguage*>& usable();
const CodeLanguage* find(const QString& id);
// The grammars that did not load, as "Name (package@version)", in the table's order.
QStringList unusable();

// Above this many characters a snippet is coloured by the word list: a tree takes tens of bytes a
// character, and parsing and querying a text this long already takes a few seconds.
inline constexpr int SizeLimit = 2 << 20;

} // namespace Languages
