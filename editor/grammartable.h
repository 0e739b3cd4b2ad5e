// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

struct TSLanguage;

// The grammars built into the program, as third_party/grammars.cmake lists them.
struct GrammarEntry {
    const char* id;      // as the language file names it: "python"
    const char* name;    // as menus show it, before translation: "Python"
    const char* package; // the npm package and version it was built from
    const TSLanguage* (*language)();
    const char* highlights; // the package's highlight queries
};

const std::vector<GrammarEntry>& grammarTable();
