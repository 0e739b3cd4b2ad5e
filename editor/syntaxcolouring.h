// SPDX-License-Identifier: MIT
#pragma once

#include "editor/colours.h"

#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>

struct CodeLanguage;
struct TSParser;
struct TSTree;

// Colours texts by their language's grammar on a thread of its own. Each text handed over
// supersedes the one before; when it is the same language, the tree of the last text is edited
// where the two differ and parsed again from there, so a key press costs a fraction of a parse.
class SyntaxColouring : public QObject {
    Q_OBJECT
public:
    SyntaxColouring();
    ~SyntaxColouring() override;

    // The colours of `text` in one pass on the caller's thread.
    static QList<ColourRun> colourNow(const CodeLanguage& language, QStringView text);

    void colour(const CodeLanguage* language, const QString& text, quint64 generation);
    void stop(); // drops what is queued and the tree

    struct Result {
        quint64 generation = 0;
        QList<ColourRun> runs;
    };
    std::optional<Result> take();

signals:
    // Sent from the colouring's thread when take() has a result, and once the grammars are
    // checked at start.
    void ready();

private:
    void run();
    void work(const CodeLanguage* language, QString text, quint64 generation);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    struct Request {
        const CodeLanguage* language = nullptr;
        QString text;
        quint64 generation = 0;
        bool drop = false; // forget the tree
    };
    std::optional<Request> m_request;
    std::optional<Result> m_result;
    bool m_quit = false;
    std::atomic<std::size_t> m_cancel{0};

    // The colouring's thread alone.
    TSParser* m_parser = nullptr;
    TSTree* m_tree = nullptr;
    const CodeLanguage* m_treeLanguage = nullptr;
    QString m_treeText;

    std::thread m_thread; // last: starts once the rest is made
};
