// SPDX-License-Identifier: MIT
#include "editor/syntaxcolouring.h"

#include "editor/languages.h"

#include <tree_sitter/api.h>

namespace {

TSTree* parse(TSParser* parser, const CodeLanguage& language, TSTree* old, QStringView text) {
    if (!ts_parser_set_language(parser, language.grammar))
        return nullptr;
    return ts_parser_parse_string_encoding(parser, old, reinterpret_cast<const char*>(text.utf16()),
                                           uint32_t(text.size() * 2), TSInputEncodingUTF16);
}

// Where `offset` stands as tree-sitter counts: rows, and columns in bytes of UTF-16.
TSPoint pointAt(QStringView text, qsizetype offset) {
    uint32_t row = 0;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < offset; ++i) {
        if (text[i] == u'\n') {
            ++row;
            lineStart = i + 1;
        }
    }
    return {row, uint32_t((offset - lineStart) * 2)};
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

void SyntaxColouring::colour(const CodeLanguage* language, const QString& text,
                             quint64 generation) {
    {
        std::lock_guard lock(m_mutex);
        const bool drop = m_request && m_request->drop;
        // Not cancelled: an edit's parse reuses the tree of the parse before it.
        m_request = Request{language, text, generation, drop};
        m_result.reset();
    }
    m_wake.notify_all();
}

void SyntaxColouring::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_request = Request{nullptr, QString(), 0, true};
        m_result.reset();
        m_cancel = 1;
    }
    m_wake.notify_all();
}

std::optional<SyntaxColouring::Result> SyntaxColouring::take() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_result, std::nullopt);
}

void SyntaxColouring::run() {
    // Every grammar's ABI is checked at start-up, off the window's thread.
    Languages::usable();
    emit ready();
    for (;;) {
        Request request;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || m_request; });
            if (m_quit)
                return;
            request = std::move(*m_request);
            m_request.reset();
            m_cancel = 0;
        }
        if (request.drop || request.language != m_treeLanguage) {
            if (m_tree)
                ts_tree_delete(m_tree);
            m_tree = nullptr;
            m_treeLanguage = nullptr;
            m_treeText.clear();
        }
        if (request.language)
            work(request.language, std::move(request.text), request.generation);
    }
}

void SyntaxColouring::work(const CodeLanguage* language, QString text, quint64 generation) {
    if (m_tree) {
        // The edit is what lies between the texts' common beginning and common end.
        const QStringView before(m_treeText), after(text);
        qsizetype start = 0;
        const qsizetype shorter = std::min(before.size(), after.size());
        while (start < shorter && before[start] == after[start])
            ++start;
        qsizetype tail = 0;
        while (tail < shorter - start &&
               before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
            ++tail;
        TSInputEdit edit;
        edit.start_byte = uint32_t(start * 2);
        edit.old_end_byte = uint32_t((before.size() - tail) * 2);
        edit.new_end_byte = uint32_t((after.size() - tail) * 2);
        edit.start_point = pointAt(before, start);
        edit.old_end_point = pointAt(before, before.size() - tail);
        edit.new_end_point = pointAt(after, after.size() - tail);
        ts_tree_edit(m_tree, &edit);
    }
    TSTree* tree = parse(m_parser, *language, m_tree, text);
    if (!tree) { // cancelled by a newer text, which starts over from the last whole tree
        if (m_tree)
            ts_tree_delete(m_tree);
        m_tree = nullptr;
        m_treeLanguage = nullptr;
        ts_parser_reset(m_parser);
        return;
    }
    if (m_tree)
        ts_tree_delete(m_tree);
    m_tree = tree;
    m_treeLanguage = language;
    m_treeText = text;
    const HighlightQuery* query = language->highlights();
    QList<ColourRun> runs = query ? query->colour(m_tree, text) : QList<ColourRun>();
    {
        std::lock_guard lock(m_mutex);
        if (m_request) // superseded meanwhile
            return;
        m_result = Result{generation, std::move(runs)};
    }
    emit ready();
}
