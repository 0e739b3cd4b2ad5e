// SPDX-License-Identifier: MIT
#pragma once

#include "editor/highlightquery.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

struct TSLanguage;

// A language the editor can colour by its grammar.
struct Language {
    QString id;   // as the language file names it
    QString name; // as menus show it, before translation
    const TSLanguage* grammar = nullptr;
    std::unique_ptr<HighlightQuery> highlights;
};

namespace Languages {

// The languages whose grammar this runtime loads and whose query it reads, sorted by name. Worked
// out once, on first use, on any thread.
const std::vector<const Language*>& usable();
const Language* find(const QString& id);
// The grammars that did not load, as "Name (package@version)", in the table's order.
QStringList unusable();

// Above this many characters a snippet is coloured by the word list: a tree takes tens of bytes a
// character, and parsing and querying a text this long already takes a few seconds.
inline constexpr int SizeLimit = 2 << 20;

} // namespace Languages
