// SPDX-License-Identifier: MIT
#include "editor/languages.h"

#include "editor/grammartable.h"

#include <tree_sitter/api.h>

#include <algorithm>

const HighlightQuery* CodeLanguage::highlights() const {
    std::call_once(m_once, [this] {
        auto query = std::make_unique<HighlightQuery>(grammar, QString::fromUtf8(querySource));
        if (query->ok())
            m_highlights = std::move(query);
        m_ready.store(true, std::memory_order_release);
    });
    return m_highlights.get();
}

namespace Languages {

namespace {

struct Loaded {
    std::vector<std::unique_ptr<CodeLanguage>> owned;
    std::vector<const CodeLanguage*> usable;
    QStringList unusable;
};

const Loaded& loaded() {
    static const Loaded instance = [] {
        Loaded result;
        for (const GrammarEntry& entry : grammarTable()) {
            auto language = std::make_unique<CodeLanguage>();
            language->id = QString::fromLatin1(entry.id);
            language->name = QString::fromLatin1(entry.name);
            language->grammar = entry.language();
            language->querySource = entry.highlights;
            const uint32_t abi = language->grammar ? ts_language_version(language->grammar) : 0;
            if (abi < TREE_SITTER_MIN_COMPATIBLE_LANGUAGE_VERSION ||
                abi > TREE_SITTER_LANGUAGE_VERSION) {
                result.unusable.append(QStringLiteral("%1 (%2)").arg(
                    language->name, QString::fromLatin1(entry.package)));
                continue;
            }
            result.usable.push_back(language.get());
            result.owned.push_back(std::move(language));
        }
        std::sort(result.usable.begin(), result.usable.end(),
                  [](const CodeLanguage* a, const CodeLanguage* b) {
                      return a->name.compare(b->name, Qt::CaseInsensitive) < 0;
                  });
        return result;
    }();
    return instance;
}

} // namespace

const std::vector<const CodeLanguage*>& usable() {
    return loaded().usable;
}

const CodeLanguage* find(const QString& id) {
    for (const CodeLanguage* language : loaded().usable) {
        if (language->id == id)
            return language;
    }
    return nullptr;
}

QStringList unusable() {
    return loaded().unusable;
}

} // namespace Languages
