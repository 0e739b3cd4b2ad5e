// SPDX-License-Identifier: MIT
#include "editor/languages.h"

#include "editor/grammartable.h"

#include <tree_sitter/api.h>

#include <algorithm>

namespace Languages {

namespace {

struct Loaded {
    std::vector<std::unique_ptr<Language>> owned;
    std::vector<const Language*> usable;
    QStringList unusable;
};

const Loaded& loaded() {
    static const Loaded instance = [] {
        Loaded result;
        for (const GrammarEntry& entry : grammarTable()) {
            auto language = std::make_unique<Language>();
            language->id = QString::fromLatin1(entry.id);
            language->name = QString::fromLatin1(entry.name);
            language->grammar = entry.language();
            const uint32_t abi = language->grammar ? ts_language_version(language->grammar) : 0;
            if (abi >= TREE_SITTER_MIN_COMPATIBLE_LANGUAGE_VERSION &&
                abi <= TREE_SITTER_LANGUAGE_VERSION) {
                language->highlights = std::make_unique<HighlightQuery>(
                    language->grammar, QString::fromUtf8(entry.highlights));
            }
            if (!language->highlights || !language->highlights->ok()) {
                result.unusable.append(QStringLiteral("%1 (%2)").arg(
                    language->name, QString::fromLatin1(entry.package)));
                continue;
            }
            result.usable.push_back(language.get());
            result.owned.push_back(std::move(language));
        }
        std::sort(result.usable.begin(), result.usable.end(),
                  [](const Language* a, const Language* b) {
                      return a->name.compare(b->name, Qt::CaseInsensitive) < 0;
                  });
        return result;
    }();
    return instance;
}

} // namespace

const std::vector<const Language*>& usable() {
    return loaded().usable;
}

const Language* find(const QString& id) {
    for (const Language* language : loaded().usable) {
        if (language->id == id)
            return language;
    }
    return nullptr;
}

QStringList unusable() {
    return loaded().unusable;
}

} // namespace Languages
